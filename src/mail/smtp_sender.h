#pragma once
// CSmtpSender: sends one record by e-mail over SMTP (libcurl) on a worker thread and reports the
// end on the thread the sender lives on (the GUI thread for a record window), through the queued
// signal Completed.
//
// The record commands' use (the send command, after the dialog):
//
//     m_pSender = new CSmtpSender(this);   // once, on the GUI thread
//     connect(m_pSender, &CSmtpSender::Completed, this,
//             [this](bool bOk, const QString& strError, const QString&) {
//                 m_document.SetSending(false); // on the GUI thread: no lock needed
//                 if (!bOk)
//                     emit Failed(strError, FailurePlace::Window); // the balloon
//             });
//     QString why;
//     if (m_pSender->Send(settings, {recipient, subject, note, path}, &why))
//         m_document.SetSending(true);      // Completed follows, exactly once
//     else
//         emit Failed(why, FailurePlace::Window); // nothing was started
//     // the attachment may be deleted now: Send has read it
//
// Port and SSL: with bUseSsl on port 465 the session uses implicit TLS (smtps); on any other port
// it starts in plain text and requires STARTTLS, failing when the server does not offer it. The
// server's certificate and host name are always verified, against the system's CA certificates or
// the PEM bundle strCaBundle (a clinic's own certificate authority).

#include "mail/smtp_message.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>
#include <thread>

struct SSmtpJob; // what the worker thread owns while it sends

struct SSmtpSettings {
    QString strHost;
    int nPort = 25;
    bool bUseSsl = false;
    QString strLogin;    // SMTP user name and the sender's address
    QString strPassword; // no authentication when both are empty
    QString strOrg;      // the sender's display name (the organisation attributes)
    QString strCaBundle; // PEM file of trusted CA certificates; empty: the system's
    int nConnectTimeoutSec = 30;
    int nStallTimeoutSec = 60; // give up when nothing moves for this long
};

class CSmtpSender : public QObject {
    Q_OBJECT
public:
    explicit CSmtpSender(QObject* pParent = nullptr);
    // A send under way is cancelled and its thread waited for; its Completed is not emitted.
    ~CSmtpSender() override;

    // Builds the message, reading the attachment whole, and starts the send. True: Completed
    // follows exactly once. False (nothing started, no signal) with the reason in *pError: a
    // send already under way, a setting or address that cannot work, an unreadable attachment.
    bool Send(const SSmtpSettings& settings, const SSmtpMessage& message, QString* pError);

    // True from a successful Send until Completed is emitted.
    bool IsSending() const { return m_bSending; }

    // Asks a send under way to stop; Completed then reports it as cancelled.
    void Cancel();

    // The session URL for the settings: smtp:// or smtps://host:port.
    static QString SessionUrl(const SSmtpSettings& settings);

Q_SIGNALS:
    // Bytes of the message handed to the server so far, and the message's size.
    void Progress(qint64 nSent, qint64 nTotal);
    // One reply line of the server, as it arrives.
    void ServerLine(const QString& strLine);
    // The end of the send: bOk, the error for the user (empty on success) and the server's last
    // reply.
    void Completed(bool bOk, const QString& strError, const QString& strServerReply);

private:
    static void Run(CSmtpSender* pSelf, std::shared_ptr<SSmtpJob> job);
    void Finish(bool bOk, const QString& strError, const QString& strReply);

    bool m_bSending = false;
    std::thread m_thread;
    std::shared_ptr<SSmtpJob> m_job;
};
