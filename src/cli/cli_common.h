#pragma once
// What the commands share: their messages on stderr, reading a record file, and Ctrl+C / SIGTERM
// turned into a flag the command's loop looks at.

#include "record/ecg_record.h"

#include <QString>
#include <string>

// "velmora-cli COMMAND: TEXT" on stderr.
void Message(const char* command, const std::string& text);

// Reads a file holding exactly one record block; false after a message naming the file and why.
bool ReadRecordFile(const char* command, const QString& path, ECG_RECORD* record);

// From now on SIGINT and SIGTERM only set the flag that Interrupted() reads.
void CatchInterrupts();
bool Interrupted();
