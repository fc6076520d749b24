#include "mail/smtp_sender.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QRandomGenerator>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <curl/curl.h>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

// What the worker owns while it sends; once it runs, the caller's thread touches only the cancel
// flag and the socket list.
struct SSmtpJob {
    std::string strUrl, strUser, strPassword, strCaBundle, strFrom;
    std::vector<std::string> recipients;
    QByteArray message;
    bool bRequireTls = false;
    bool bAuthenticate = false;
    long nConnectTimeout = 30;
    long nStallTimeout = 60;

    std::atomic<bool> bCancel{false};
    // The sockets curl has open, so that a cancel can shut them down: curl waits for the
    // server's answers (after the data, to QUIT) without looking at the cancel for up to two
    // minutes.
    std::mutex socketMutex;
    std::vector<curl_socket_t> sockets;
    size_t nSent = 0;
    std::string strLastReply;
    std::chrono::steady_clock::time_point lastProgress{};
    char errbuf[CURL_ERROR_SIZE] = {};
    CSmtpSender* pSelf = nullptr;
};

namespace {

size_t ReadMessage(char* buffer, size_t size, size_t count, void* user) {
    auto* job = static_cast<SSmtpJob*>(user);
    const size_t left = size_t(job->message.size()) - job->nSent;
    const size_t n = std::min(left, size * count);
    std::memcpy(buffer, job->message.constData() + job->nSent, n);
    job->nSent += n;
    return n;
}

curl_socket_t OpenSocket(void* user, curlsocktype, curl_sockaddr* address) {
    auto* job = static_cast<SSmtpJob*>(user);
    std::lock_guard lock(job->socketMutex);
    if (job->bCancel)
        return CURL_SOCKET_BAD;
    const curl_socket_t fd =
        ::socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
    if (fd != CURL_SOCKET_BAD)
        job->sockets.push_back(fd);
    return fd;
}

int CloseSocket(void* user, curl_socket_t fd) {
    auto* job = static_cast<SSmtpJob*>(user);
    std::lock_guard lock(job->socketMutex);
    std::erase(job->sockets, fd);
    return ::close(fd);
}

// From the caller's thread: the worker stops at its next look or as soon as its socket fails.
void CancelJob(SSmtpJob& job) {
    std::lock_guard lock(job.socketMutex);
    job.bCancel = true;
    for (const curl_socket_t fd : job.sockets)
        ::shutdown(fd, SHUT_RDWR);
}

} // namespace

CSmtpSender::CSmtpSender(QObject* pParent) : QObject(pParent) {}

CSmtpSender::~CSmtpSender() {
    if (m_thread.joinable()) {
        CancelJob(*m_job);
        m_thread.join();
    }
}

QString CSmtpSender::SessionUrl(const SSmtpSettings& s) {
    QString host = s.strHost.trimmed();
    if (host.contains(QLatin1Char(':')) && !host.startsWith(QLatin1Char('[')))
        host = QLatin1Char('[') + host + QLatin1Char(']'); // an IPv6 address
    const bool implicitTls = s.bUseSsl && s.nPort == 465;
    return QStringLiteral("%1://%2:%3")
        .arg(implicitTls ? QStringLiteral("smtps") : QStringLiteral("smtp"), host)
        .arg(s.nPort);
}

void CSmtpSender::Cancel() {
    if (m_job)
        CancelJob(*m_job);
}

bool CSmtpSender::Send(const SSmtpSettings& settings, const SSmtpMessage& message,
                       QString* pError) {
    auto fail = [&](const QString& why) {
        if (pError)
            *pError = why;
        return false;
    };
    if (m_bSending)
        return fail(QStringLiteral("a message is being sent already"));
    const QString host = settings.strHost.trimmed();
    if (host.isEmpty())
        return fail(QStringLiteral("no SMTP server: set m_szMailHostName in the settings"));
    for (const QChar c : host) {
        if (c.unicode() <= 0x20 || QStringLiteral("/@?#\\").contains(c))
            return fail(QStringLiteral("\"%1\" is not a server name").arg(host));
    }
    if (settings.nPort < 1 || settings.nPort > 65535)
        return fail(QStringLiteral("%1 is not a port number").arg(settings.nPort));
    if (!settings.strCaBundle.isEmpty() && !QFileInfo(settings.strCaBundle).isReadable())
        return fail(QStringLiteral("cannot read the CA certificates %1").arg(settings.strCaBundle));

    QFile file(message.strAttachmentPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("cannot open the attachment %1: %2")
                        .arg(message.strAttachmentPath, file.errorString()));
    const QByteArray attachment = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("cannot read the attachment %1: %2")
                        .arg(message.strAttachmentPath, file.errorString()));
    file.close();

    const QByteArray boundary = "=_velmora_" +
                                QByteArray::number(QRandomGenerator::global()->generate64(), 16) +
                                QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    SSmtpEnvelope env;
    QString why;
    if (!BuildSmtpMessage({settings.strOrg, settings.strLogin.trimmed()}, message,
                          QFileInfo(message.strAttachmentPath).fileName(), attachment,
                          QDateTime::currentDateTime(), boundary, &env, &why))
        return fail(why);

    static std::once_flag curlInit;
    std::call_once(curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    auto job = std::make_shared<SSmtpJob>();
    job->strUrl = SessionUrl(settings).toStdString();
    job->bRequireTls = settings.bUseSsl;
    job->bAuthenticate = !settings.strLogin.isEmpty() || !settings.strPassword.isEmpty();
    job->strUser = settings.strLogin.trimmed().toStdString();
    job->strPassword = settings.strPassword.toStdString();
    job->strCaBundle = QFile::encodeName(settings.strCaBundle).toStdString();
    job->strFrom = "<" + env.strFrom.toStdString() + ">";
    for (const QString& r : env.recipients)
        job->recipients.push_back("<" + r.toStdString() + ">");
    job->message = env.message;
    job->nConnectTimeout = settings.nConnectTimeoutSec;
    job->nStallTimeout = settings.nStallTimeoutSec;
    job->pSelf = this;

    m_job = job;
    m_bSending = true;
    m_thread = std::thread(&CSmtpSender::Run, this, job);
    return true;
}

namespace {

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t ultotal, curl_off_t ulnow) {
    auto* job = static_cast<SSmtpJob*>(user);
    if (job->bCancel)
        return 1;
    const auto now = std::chrono::steady_clock::now();
    if (ulnow > 0 &&
        (ulnow == ultotal || now - job->lastProgress > std::chrono::milliseconds(100))) {
        job->lastProgress = now;
        CSmtpSender* self = job->pSelf;
        const qint64 sent = ulnow, total = ultotal;
        QMetaObject::invokeMethod(
            self, [self, sent, total] { Q_EMIT self->Progress(sent, total); },
            Qt::QueuedConnection);
    }
    return 0;
}

// The server's replies, line by line. Only what comes in is looked at: what goes out holds the
// credentials.
int OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* user) {
    if (type != CURLINFO_HEADER_IN)
        return 0;
    auto* job = static_cast<SSmtpJob*>(user);
    const QList<QByteArray> lines = QByteArray(data, qsizetype(size)).split('\n');
    for (QByteArray line : lines) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        job->strLastReply = line.toStdString();
        CSmtpSender* self = job->pSelf;
        const QString text = QString::fromUtf8(line);
        QMetaObject::invokeMethod(
            self, [self, text] { Q_EMIT self->ServerLine(text); }, Qt::QueuedConnection);
    }
    return 0;
}

} // namespace

void CSmtpSender::Run(CSmtpSender* pSelf, std::shared_ptr<SSmtpJob> job) {
    CURLcode rc = CURLE_FAILED_INIT;
    if (CURL* c = curl_easy_init()) {
        curl_slist* rcpt = nullptr;
        for (const std::string& r : job->recipients)
            rcpt = curl_slist_append(rcpt, r.c_str());
        curl_easy_setopt(c, CURLOPT_URL, job->strUrl.c_str());
        curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "smtp,smtps");
        curl_easy_setopt(c, CURLOPT_MAIL_FROM, job->strFrom.c_str());
        curl_easy_setopt(c, CURLOPT_MAIL_RCPT, rcpt);
        if (job->bRequireTls)
            curl_easy_setopt(c, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
        curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
        if (!job->strCaBundle.empty())
            curl_easy_setopt(c, CURLOPT_CAINFO, job->strCaBundle.c_str());
        if (job->bAuthenticate) {
            curl_easy_setopt(c, CURLOPT_USERNAME, job->strUser.c_str());
            curl_easy_setopt(c, CURLOPT_PASSWORD, job->strPassword.c_str());
        }
        curl_easy_setopt(c, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(c, CURLOPT_READFUNCTION, ReadMessage);
        curl_easy_setopt(c, CURLOPT_READDATA, job.get());
        curl_easy_setopt(c, CURLOPT_INFILESIZE_LARGE, curl_off_t(job->message.size()));
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, job->nConnectTimeout);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, job->nStallTimeout);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, job.get());
        curl_easy_setopt(c, CURLOPT_VERBOSE, 1L); // for OnDebug; nothing is printed
        curl_easy_setopt(c, CURLOPT_DEBUGFUNCTION, OnDebug);
        curl_easy_setopt(c, CURLOPT_DEBUGDATA, job.get());
        curl_easy_setopt(c, CURLOPT_ERRORBUFFER, job->errbuf);
        curl_easy_setopt(c, CURLOPT_OPENSOCKETFUNCTION, OpenSocket);
        curl_easy_setopt(c, CURLOPT_OPENSOCKETDATA, job.get());
        curl_easy_setopt(c, CURLOPT_CLOSESOCKETFUNCTION, CloseSocket);
        curl_easy_setopt(c, CURLOPT_CLOSESOCKETDATA, job.get());
        rc = curl_easy_perform(c);
        curl_slist_free_all(rcpt);
        curl_easy_cleanup(c);
    }

    const QString reply = QString::fromStdString(job->strLastReply);
    QString error;
    if (rc != CURLE_OK && job->bCancel) {
        error = QStringLiteral("the send was cancelled");
    } else if (rc != CURLE_OK) {
        // curl's text for the kind of failure, and its detail when that adds anything.
        error = QString::fromUtf8(curl_easy_strerror(rc));
        const QString detail = QString::fromUtf8(job->errbuf).trimmed();
        if (detail.contains(error))
            error = detail;
        else if (!detail.isEmpty())
            error += QStringLiteral(": ") + detail;
        if ((reply.startsWith(QLatin1Char('4')) || reply.startsWith(QLatin1Char('5'))) &&
            !error.contains(reply))
            error += QStringLiteral(" (server: %1)").arg(reply);
    }
    const bool ok = rc == CURLE_OK;
    QMetaObject::invokeMethod(
        pSelf, [pSelf, ok, error, reply] { pSelf->Finish(ok, error, reply); },
        Qt::QueuedConnection);
}

void CSmtpSender::Finish(bool bOk, const QString& strError, const QString& strReply) {
    if (m_thread.joinable())
        m_thread.join(); // it has nothing left to do but return
    m_job.reset();
    m_bSending = false;
    Q_EMIT Completed(bOk, strError, strReply);
}
