#pragma once
// Every command of the program in one table: menu place and text, keys, toolbar place, prompt
// and tooltip, what carries it out and when it is enabled. Menus, toolbar, shortcuts, status
// prompts and command states are all built from this table.

#include <vector>

class CMainFrame;

// What a command does, given the main frame (and through it the active record window); null for
// the greyed entries that do nothing.
using CommandHandler = void (*)(CMainFrame&);

enum class EnableRule {
    Always,
    Never,            // greyed entries, and the toolbar toggle that finds no bar under its id
    NeedsWindow,      // a record window is active
    NotSending,       // a record window is active and no mail send runs in it
    Loaded,           // ... and its record is loaded
    LoadedNotSending, // ... loaded and no mail send runs
    // ... its record is in the archive and the patient has an earlier record there
    ArchivedWithPrevious
};

struct CommandInfo {
    int id;
    const char* popup;    // menu popup, null for key-only commands
    const char* menuText; // "&Новый\tCtrl+N"; the part after the tab names the keys
    const char* keys[2];  // QKeySequence strings, null when none
    int toolbar;          // place on the toolbar counted from 1, 0 when not on it
    CommandHandler handler;
    const char* prompt; // status prompt, "\n", tooltip
    EnableRule rule;
    bool separatorAfter; // a menu separator follows the entry
};

const std::vector<CommandInfo>& CommandTable();
const CommandInfo* FindCommand(int id);

// Menu popups in their order.
const std::vector<const char*>& MenuPopups();
// Toolbar layout: command ids in order, 0 for a separator. The toolbar places of the table
// follow it.
const std::vector<int>& ToolbarLayout();

// The state the enable rules look at.
struct CommandContext {
    bool hasWindow = false;
    bool loaded = false;
    bool sending = false;
    bool archived = false;    // the window's record is in the archive
    bool hasPrevious = false; // ... and so is the same patient's record before it
};
bool IsCommandEnabled(const CommandInfo& c, const CommandContext& ctx);
// Why a command is disabled, for its tooltip and status prompt; null when its prompt says
// enough (enabled, or no reason beyond the obvious).
const char* DisabledReason(const CommandInfo& c, const CommandContext& ctx);

constexpr int ID_FILE_NEW = 57600;
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_CLOSE = 57602;
constexpr int ID_FILE_PRINT = 57607;
constexpr int ID_FILE_PRINT_PREVIEW = 57609;
constexpr int ID_FILE_SAVE_PDF = 32790;
constexpr int ID_FILE_MRU_FIRST = 57616; // the recent files, four entries
constexpr int kRecentFiles = 4;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_CONFIG = 32771;
constexpr int ID_EKARD = 32772;
constexpr int ID_EXPORT = 32775;
constexpr int ID_SEND_EMAIL = 32776;
constexpr int ID_DEFINE_CURVES = 32777;
constexpr int ID_EXPORT_SCP = 32779;
constexpr int ID_SEND_EMAIL_SCP = 32781;
constexpr int ID_SEND_PACS = 32791;
constexpr int ID_SEND_EMAIL_DICOM = 32792;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;
constexpr int ID_WINDOW_CASCADE = 57650;
constexpr int ID_WINDOW_TILE_HORZ = 57651;
constexpr int ID_WINDOW_ARRANGE = 57649;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_ARCHIVE = 32793;
constexpr int ID_ARCHIVE_IMPORT = 32794;
constexpr int ID_READING = 32796;
constexpr int ID_NEW_DOCTOR = 32797;
constexpr int ID_WORKLIST = 32798;
constexpr int ID_COMPARE_PREVIOUS = 32795;
constexpr int ID_SEND_HIS = 32820;
constexpr int ID_HIS_OUTBOX = 32821;
