#include "mail/send_by_email.h"

#include "mail/mail_client.h"
#include "mail/mime_message.h"
#include "mail/temp_folder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <utility>

CSendByEmail::CSendByEmail(QString strAttachment, QString strFrom, QString strTo,
                           QString strSubject, QString strNote, SSendByEmailOptions options)
    : m_strAttachment(std::move(strAttachment)), m_strFrom(std::move(strFrom)),
      m_strTo(std::move(strTo)), m_strSubject(std::move(strSubject)), m_strNote(std::move(strNote)),
      m_options(std::move(options)) {
    m_stClock = m_options.clock ? m_options.clock() : GetLocalTime();
    m_strMessagePath = m_options.strMessagePath.isEmpty() ? MessageFilePath(m_strAttachment)
                                                          : m_options.strMessagePath;
    sendMail();
}

CSendByEmail::~CSendByEmail() = default;

int CSendByEmail::Fail(EMailHandOff result, const QString& why) {
    m_eResult = result;
    m_strError = why;
    return -1;
}

int CSendByEmail::sendMail() {
    QString why;
    const SMimeTexts texts{m_strFrom, m_strTo, m_strSubject, m_strNote};
    switch (WriteMimeMessage(m_strAttachment, m_strMessagePath, texts, m_stClock, &why)) {
    case EMessageWrite::Ok:
        break;
    case EMessageWrite::BadAttachment:
        return Fail(EMailHandOff::NoAttachment, why);
    case EMessageWrite::CannotWrite:
        return Fail(EMailHandOff::WriteFailed, why);
    }
    if (!m_options.bHandOff) {
        m_eResult = EMailHandOff::Written;
        return 0;
    }

    SMailClient client;
    if (FindDefaultMailClient(&client, &why))
        m_clientCommand = ExpandOpenCommand(client, m_strMessagePath, &why);
    if (m_clientCommand.isEmpty()) {
        QFile::remove(m_strMessagePath);
        return Fail(EMailHandOff::NoClient, why);
    }

    QProcess process;
    process.setProgram(m_clientCommand.first());
    process.setArguments(m_clientCommand.mid(1));
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    process.start();
    if (!process.waitForStarted(-1)) {
        QFile::remove(m_strMessagePath);
        return Fail(EMailHandOff::StartFailed,
                    QStringLiteral("cannot start the mail client %1: %2")
                        .arg(m_clientCommand.first(), process.errorString()));
    }
    if (process.state() != QProcess::NotRunning) {
        if (QCoreApplication::instance())
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        else
            process.waitForFinished(-1);
    }
    if (clock.elapsed() < m_options.nQuickExitMs) {
        KeepUntilExit(m_strMessagePath);
        m_eResult = EMailHandOff::Kept;
    } else {
        QFile::remove(m_strMessagePath);
        m_eResult = EMailHandOff::Done;
    }
    return 0;
}
