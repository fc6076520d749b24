#pragma once
// A private-profile layer with the behaviour of the Windows functions the settings were written
// for, on Windows-1251 bytes:
// - section and key names compare case-insensitively; the first matching section, and the first
//   matching key in it, win; blanks around names and values do not count;
// - a value enclosed in a matching pair of double or single quotes loses them on read;
// - a value read is at most nSize - 1 bytes long, and only what stands on the key's own line;
// - a write replaces the key's line in place, or adds the key at the end of its section, or adds
//   the section at the end of the file; every other byte of the file stays as it was.
// Where storing a value as given would read back differently, the writer stores what reads back
// the same: only the first line of a multi-line value (so a value cannot add lines, keys or
// sections to the file), and in double quotes a value with blanks at its ends or in quotes.
// Files are replaced atomically (a temporary file in the same folder, then a rename), created
// with mode 0600 since they hold a password; an existing file keeps its mode. Writers in any
// process take an exclusive lock on "<file>.lock" around their read-modify-write, so that two
// programs writing the same file lose none of each other's keys.

#include <QByteArray>
#include <QString>
#include <optional>

// The value of key in section of INI text as it reads back (trimmed, quotes removed, uncut);
// nothing when the section or the key is missing or the key's line has no '='.
std::optional<QByteArray> ProfileFindValue(const QByteArray& text, const QByteArray& section,
                                           const QByteArray& key);

// Sets key in section of INI text to value as described above. False, and text unchanged, for
// a section or key name that a line of INI text cannot hold.
bool ProfileSetValue(QByteArray& text, const QByteArray& section, const QByteArray& key,
                     const QByteArray& value);

// The value of key in section of file, at most nSize - 1 bytes; def (without trailing blanks,
// cut the same way) when the file, the section or the key is missing.
QByteArray GetPrivateProfileString(const QByteArray& section, const QByteArray& key,
                                   const QByteArray& def, int nSize, const QString& file);

// Writes one key of file, creating the file (and a missing folder, mode 0700) when needed.
// False when the value could not be stored, with the reason in *pError when given.
bool WritePrivateProfileString(const QByteArray& section, const QByteArray& key,
                               const QByteArray& value, const QString& file,
                               QString* pError = nullptr);
