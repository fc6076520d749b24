// velmora-cli send: a record sent by e-mail as the record window's send commands send it: the
// export package (or the SCP-ECG file) written into a private temporary folder, then sent over
// SMTP or handed to the desktop's mail client, as the settings file says.

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/record_output.h"
#include "config/ini.h"
#include "config/view_settings.h"
#include "record_io/record_mail.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

const char kSendUsage[] =
    "usage: velmora-cli send RECORD [--card CARD] --to ADDR [--subject S] [--note N]\n"
    "                        [--scp | --dicom] [--eml OUT.eml] [--config INI]\n"
    "\n"
    "Sends a record file of any type that opens by e-mail with its patient card (the card of\n"
    "--card, or else the one the record file holds), as the record window's send commands\n"
    "do: the export package (.ecg), with --scp the SCP-ECG file, with --dicom the DICOM ECG\n"
    "object, is written into a private temporary folder and attached. The settings file's section "
    "[Mail] decides how it goes:\n"
    "  SMTPEnabled=1  over SMTP to m_szMailHostName:m_nMailSMTPPort (MailUseSSL, m_szMailLogin,\n"
    "                 m_szMailPassword, m_szMailCABundle); progress and the server's replies\n"
    "                 on stderr\n"
    "  SMTPEnabled=0  handed to the desktop's default mail client as a draft; the command\n"
    "                 returns when the client ends\n"
    "The sender's name is m_attrOrg of section [settings].\n"
    "\n"
    "  --card CARD    the patient card: a UTF-8 file of 'key = value' lines (see README.md)\n"
    "  --to ADDR      recipients, separated by commas (required for SMTP)\n"
    "  --subject S    the subject (default \"Карточка пациента\")\n"
    "  --note N       the message text\n"
    "  --scp          attach the SCP-ECG file instead of the export package\n"
    "  --dicom        attach the DICOM ECG object (.dcm) instead of the export package\n"
    "  --eml OUT.eml  write the message file for a mail client to OUT.eml; nothing is sent\n"
    "  --config INI   the settings file to use\n"
    "\n"
    "exit codes: 0 sent (or written), 1 bad usage or an incomplete card, 2 file, settings or\n"
    "send failure\n";

void Message(const std::string& text) {
    ::Message("send", text);
}

void Message(const QString& text) {
    Message(text.toStdString());
}

void Message(const char* text) {
    Message(std::string(text));
}

int SendOverSmtp(const CRecordMail& mail, const CViewSettings& settings, const SMailText& text) {
    CSmtpSender sender;
    const bool tty = ::isatty(2);
    int lastPercent = -1;
    QObject::connect(&sender, &CSmtpSender::Progress, [&](qint64 sent, qint64 total) {
        const int percent = total > 0 ? int(sent * 100 / total) : 0;
        if (percent == lastPercent || (!tty && percent % 10 != 0 && percent != 100))
            return;
        lastPercent = percent;
        std::fprintf(stderr, "%ssent %lld of %lld bytes (%d%%)%s", tty ? "\r" : "",
                     static_cast<long long>(sent), static_cast<long long>(total), percent,
                     tty ? "" : "\n");
        std::fflush(stderr);
    });
    QObject::connect(&sender, &CSmtpSender::ServerLine, [&](const QString& line) {
        if (tty && lastPercent >= 0) {
            std::fputc('\n', stderr);
            lastPercent = -1;
        }
        std::fprintf(stderr, "server: %s\n", PrintableName(line).toUtf8().constData());
    });
    QEventLoop loop;
    int code = 2;
    QObject::connect(&sender, &CSmtpSender::Completed,
                     [&](bool ok, const QString& error, const QString& reply) {
                         if (ok) {
                             Message(QStringLiteral("sent; the server answered: ") + reply);
                             code = 0;
                         } else {
                             Message(QStringLiteral("not sent: ") + error);
                         }
                         loop.quit();
                     });

    QString why;
    Message(QStringLiteral("sending to %1 from %2")
                .arg(CSmtpSender::SessionUrl(SmtpSettingsOf(settings)), settings.m_szMailLogin));
    if (!mail.StartSmtp(sender, settings, text, &why)) {
        Message(QStringLiteral("not sent: ") + why);
        return 2;
    }
    // Ctrl+C cancels the send; the completion then reports it.
    CatchInterrupts();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (Interrupted())
            sender.Cancel();
    });
    watch.start(50);
    loop.exec();
    return code;
}

} // namespace

int RunSend(const QStringList& args) {
    COptions opts({"card", "to", "subject", "note", "eml", "config"}, {"scp", "dicom", "help"});
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 1) {
        Message(error.isEmpty() ? std::string("give one record file") : error.toStdString());
        std::fputs(kSendUsage, stderr);
        return 1;
    }
    if (opts.Has("help")) {
        std::fputs(kSendUsage, stdout);
        return 0;
    }
    if (opts.Positional().isEmpty()) {
        Message("give the record file");
        return 1;
    }
    if (opts.Has("config") && !UseSettingsFile("send", opts.Value("config")))
        return 2;
    CViewSettings settings;
    settings.UpdateIni(true);
    const bool bEml = opts.Has("eml");
    const bool bSmtp = !bEml && settings.m_bSMTPEnabled;
    if (bSmtp && opts.Value("to").trimmed().isEmpty()) {
        Message("give the recipient: --to ADDR");
        return 1;
    }
    QList<SMailbox> recipients;
    if (bSmtp && !ParseRecipients(opts.Value("to"), &recipients, &error)) {
        Message(error);
        return 1;
    }
    if (bEml && opts.Value("eml").isEmpty()) {
        Message("give the message file: --eml OUT.eml");
        return 1;
    }

    CLoadedRecord doc;
    if (!OpenRecord("send", opts.Positional().first(), &doc))
        return 2;
    // The card of --card, or the file's own, checked as every save checks it.
    if (opts.Has("scp") && opts.Has("dicom")) {
        Message("give --scp or --dicom, not both");
        return 1;
    }
    const char* extension = opts.Has("scp") ? ".scp" : opts.Has("dicom") ? ".dcm" : ".ecg";
    CRecordOutput output;
    if (const int code = PrepareRecordOutput("send", AttachmentName(*doc.pRecord, extension),
                                             opts.Value("card"), &output, &doc.card))
        return code;
    const PATIENT_CARD& card = output.m_Card;

    CRecordMail mail;
    std::string why;
    if (!mail.Prepare(*doc.pRecord, card, extension, &why)) {
        Message(why);
        return 2;
    }
    const SMailText text{opts.Value("to"),
                         opts.Has("subject") ? opts.Value("subject")
                                             : QStringLiteral("Карточка пациента"),
                         opts.Value("note")};
    if (bSmtp)
        return SendOverSmtp(mail, settings, text);

    SSendByEmailOptions o;
    if (bEml) {
        o.bHandOff = false;
        o.strMessagePath = opts.Value("eml");
    }
    const std::unique_ptr<CSendByEmail> handed = mail.HandOff(settings, text, o);
    switch (handed->Result()) {
    case EMailHandOff::Written:
        Message(QStringLiteral("message written to ") + handed->MessagePath());
        return 0;
    case EMailHandOff::Done:
        Message(
            QStringLiteral("handed to the mail client (%1)").arg(handed->ClientCommand().first()));
        return 0;
    case EMailHandOff::Kept:
        // The client passed the message to its running instance, which reads it later: leave
        // it in place rather than delete it under the client when this program ends.
        LeaveKeptFilesAtExit();
        Message(QStringLiteral("handed to the mail client (%1); the message stays at %2")
                    .arg(handed->ClientCommand().first(), handed->MessagePath()));
        return 0;
    default:
        Message(QStringLiteral("not handed to the mail client: ") + handed->ErrorText());
        return 2;
    }
}
