#pragma once
// What the commands share: their messages on stderr, opening a record file, texts for the terminal,
// and Ctrl+C / SIGTERM turned into a flag the command's loop looks at.

#include "platform/printable_text.h"
#include "record_io/record_files.h"

#include <QString>
#include <string>

// "velmora-cli COMMAND: TEXT" on stderr, TEXT through PrintableName (it names files and quotes
// what they hold).
void Message(const char* command, const std::string& text);

class COptions;

// Parses the arguments of a command that takes one record file: -1 when it may go on, else the
// exit code (1 after a message and the usage for bad usage or no file, 0 after --help).
int ParseRecordCommand(const char* command, const char* usage, const QStringList& args,
                       COptions& opts);

// Opens a record file of any type the records layer opens; false after a message naming the
// file and why.
bool OpenRecord(const char* command, const QString& path, CLoadedRecord* doc,
                const RecordFileType** pType = nullptr);

// A text from a file, fit for a terminal: at most `size` bytes up to its zero, Windows-1251 bytes
// as UTF-8 text, every control character and bidirectional mark as a visible escape
// (PrintableName).
std::string PrintableText(const char* text, size_t size);

// Makes the file of --config the settings file; false after "cannot read the settings file X:
// reason" when it is missing, unreadable, a folder or no text.
bool UseSettingsFile(const char* command, const QString& path);

// From now on SIGINT and SIGTERM only set the flag that Interrupted() reads.
void CatchInterrupts();
bool Interrupted();
