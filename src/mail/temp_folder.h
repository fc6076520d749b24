#pragma once
// Private temporary folders for the files a send writes (the record file, the message file):
// a fresh folder of mode 0700 per operation instead of fixed names in the shared temporary
// folder, removed with everything in it when the operation ends.
//
// A message file that a mail client may still read after the send command has finished (a client
// that passed it on to its running instance and exited) is kept until the program exits: its
// folder then outlives the folder object and both are removed at exit.

#include <QString>

class CMailTempFolder {
public:
    // Creates <temp>/velmora-XXXXXX with mode 0700; IsValid() tells whether that worked.
    CMailTempFolder();
    // Removes the folder and what it holds, except a file kept until exit: then the rest goes now
    // and the folder with that file at exit.
    ~CMailTempFolder();
    CMailTempFolder(const CMailTempFolder&) = delete;
    CMailTempFolder& operator=(const CMailTempFolder&) = delete;

    bool IsValid() const { return !m_strPath.isEmpty(); }
    QString ErrorString() const { return m_strError; }
    QString Path() const { return m_strPath; }
    QString FilePath(const QString& strName) const {
        return m_strPath + QLatin1Char('/') + strName;
    }

private:
    QString m_strPath;
    QString m_strError;
};

// Deletes the file strPath when the program exits normally, not before; a private temporary
// folder holding it is kept until then too.
void KeepUntilExit(const QString& strPath);

// True when strPath was passed to KeepUntilExit.
bool IsKeptUntilExit(const QString& strPath);

// Leaves the kept files and their folders in place at exit, for a program that ends right after
// the hand-off (the command-line tool) and would otherwise pull the message from under the
// client.
void LeaveKeptFilesAtExit();
