#pragma once
// CSendByEmail: a record file handed to the desktop's mail client. The constructor writes the
// message file beside the attachment (see mime_message.h), starts the default mail client with it
// and waits until the client ends, then deletes the message file.
//
// The wait runs a local event loop that excludes user input: the program's windows keep painting
// and its timers keep running, but nothing the user does reaches them until the client ends. A
// client that passes the file on to an instance already running exits at once; the message file
// is then kept until the program exits (KeepUntilExit), since that instance reads it later.
//
// Construct it with the attachment in a private temporary folder (CMailTempFolder); the message
// file lies in the same folder.

#include "platform/systemtime.h"

#include <QString>
#include <QStringList>
#include <functional>

enum class EMailHandOff {
    Done,         // the client ran and ended; the message file is deleted
    Kept,         // the client ended at once; the message file stays until the program exits
    Written,      // the message file is written; no client was started (bHandOff false)
    NoAttachment, // the attachment cannot be read or is empty; nothing written
    WriteFailed,  // the message file cannot be written
    NoClient,     // no mail client is registered, or its command line is unusable
    StartFailed,  // the client's program could not be started
};

struct SSendByEmailOptions {
    // The local clock the boundary is made of; GetLocalTime when empty.
    std::function<SYSTEMTIME()> clock;
    // False: write the message file and stop (nothing started, nothing deleted).
    bool bHandOff = true;
    // A client that ends within this time is taken to have passed the file on.
    int nQuickExitMs = 5000;
    // The message file; empty: MessageFilePath(attachment).
    QString strMessagePath;
};

class CSendByEmail {
public:
    // strFrom is the sender text (the organisation attributes), strTo the recipient text.
    CSendByEmail(QString strAttachment, QString strFrom, QString strTo, QString strSubject,
                 QString strNote, SSendByEmailOptions options = {});
    virtual ~CSendByEmail();
    CSendByEmail(const CSendByEmail&) = delete;
    CSendByEmail& operator=(const CSendByEmail&) = delete;

    // Writes the message file and hands it to the mail client; the constructor calls it. 0 when
    // the message reached the client (or was written, without hand-off), -1 otherwise.
    int sendMail();

    EMailHandOff Result() const { return m_eResult; }
    bool Succeeded() const {
        return m_eResult == EMailHandOff::Done || m_eResult == EMailHandOff::Kept ||
               m_eResult == EMailHandOff::Written;
    }
    // Why the hand-off failed, for the user.
    const QString& ErrorText() const { return m_strError; }
    const QString& MessagePath() const { return m_strMessagePath; }
    // The program and arguments the client was started with.
    const QStringList& ClientCommand() const { return m_clientCommand; }

private:
    int Fail(EMailHandOff result, const QString& why);

    QString m_strAttachment;
    QString m_strFrom;
    QString m_strTo;
    QString m_strSubject;
    QString m_strNote;
    SYSTEMTIME m_stClock;
    SSendByEmailOptions m_options;
    QString m_strMessagePath;
    QStringList m_clientCommand;
    EMailHandOff m_eResult = EMailHandOff::NoAttachment;
    QString m_strError;
};
