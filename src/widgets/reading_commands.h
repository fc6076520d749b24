#pragma once
// The reading commands of "Вид": speed, gain and the three filters. Each is one row: its
// command id, its menu text, what it does to a window's reading settings and whether it is on.
// Choosing a filter that is on turns it off; the speeds and gains are each one of a group.

#include "display/reading_settings.h"

#include <vector>

class CAppProfile;

struct ReadingCommand {
    int id;
    const char* menuText; // Russian source, shown translated in context "ReadingCommands"
    void (*toggle)(ReadingSettings&);
    bool (*isOn)(const ReadingSettings&);
    bool separatorAfter;
};

const std::vector<ReadingCommand>& ReadingCommands();
const ReadingCommand* FindReadingCommand(int id);

// The settings a user chose last (group "Reading" of the profile): new windows start with them.
ReadingSettings LoadReadingSettings(const CAppProfile& profile);
bool StoreReadingSettings(CAppProfile& profile, const ReadingSettings& settings);
