#pragma once
// The desktop's default mail client: the application registered for message/rfc822 files, and
// the argument list that opens one message file with it.

#include <QString>
#include <QStringList>

struct SMailClient {
    QString strName;        // as the desktop shows it
    QString strCommandLine; // the Exec line of its desktop entry: the template of the open command
    QString strIcon;        // for the %i field code
    QString strDesktopFile; // for the %k field code
};

// Looks the default application for message/rfc822 up (GIO, mimeapps.list and the desktop
// entries of the XDG data folders). False with the reason in *pError when there is none.
bool FindDefaultMailClient(SMailClient* pClient, QString* pError);

// The program and arguments that open strPath with the client: the command line is split as a
// desktop entry's Exec line (quotes and escapes), the path takes the place of the first file or
// URL field code (%f %F %u %U) as one argument of its own whatever characters it holds, %i %c %k
// %% are expanded and the other field codes dropped; without a file field code the path is added
// as the last argument. Empty when the command line cannot be split or names no program.
QStringList ExpandOpenCommand(const SMailClient& client, const QString& strPath,
                              QString* pError = nullptr);
