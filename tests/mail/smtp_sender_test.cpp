#include "mail/smtp_sender.h"
#include "mail/temp_folder.h"
#include "mail_test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// smtp_server.py started for one test: its port once it listens, what it printed since.
class CTestServer {
public:
    explicit CTestServer(const QStringList& args) {
        QObject::connect(&m_p, &QProcess::readyReadStandardOutput, [this] {
            while (m_p.canReadLine())
                m_lines << QString::fromUtf8(m_p.readLine()).trimmed();
        });
        m_p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_p.start(QStringLiteral("/usr/bin/python3"),
                  QStringList{MailTestDir() + QStringLiteral("/smtp_server.py")} + args);
        const QString ready = Wait(QStringLiteral("ready "));
        m_nPort = ready.mid(6).toInt();
    }
    ~CTestServer() {
        m_p.kill();
        m_p.waitForFinished(10000);
    }
    int Port() const { return m_nPort; }
    // The first line that starts with prefix, waiting for it with a deadline; empty if none came.
    QString Wait(const QString& prefix, int ms = 30000) {
        QString found;
        WaitUntil(
            [&] {
                for (const QString& l : m_lines) {
                    if (l.startsWith(prefix)) {
                        found = l;
                        return true;
                    }
                }
                return m_p.state() == QProcess::NotRunning;
            },
            ms);
        return found;
    }
    QJsonObject Message() {
        const QString line = Wait(QStringLiteral("message "));
        return QJsonDocument::fromJson(line.mid(8).toUtf8()).object();
    }
    bool Has(const QString& line) const { return m_lines.contains(line); }
    void Tell(const QByteArray& line) { m_p.write(line + "\n"); }

private:
    QProcess m_p;
    QStringList m_lines;
    int m_nPort = 0;
};

// What one send reported.
struct SOutcome {
    int nCompleted = 0;
    bool bOk = false;
    QString strError, strReply;
    qint64 nLastSent = 0, nTotal = -1;
    QStringList serverLines;
};

void Watch(CSmtpSender& sender, SOutcome& o) {
    QObject::connect(&sender, &CSmtpSender::Completed,
                     [&o, &sender](bool ok, const QString& error, const QString& reply) {
                         ++o.nCompleted;
                         o.bOk = ok;
                         o.strError = error;
                         o.strReply = reply;
                         EXPECT_FALSE(sender.IsSending()) << "the sending state is left first";
                     });
    QObject::connect(&sender, &CSmtpSender::Progress, [&o](qint64 sent, qint64 total) {
        o.nLastSent = sent;
        o.nTotal = total;
    });
    QObject::connect(&sender, &CSmtpSender::ServerLine,
                     [&o](const QString& line) { o.serverLines << line; });
}

class Smtp : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TestApp();
        s_pCerts = new QTemporaryDir();
        // A self-signed certificate for 127.0.0.1, made here: the clinic's own CA in miniature.
        QProcess openssl;
        openssl.start(
            QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
             QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
             QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
             QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1,DNS:localhost"),
             QStringLiteral("-keyout"), Cert("key.pem"), QStringLiteral("-out"), Cert("cert.pem")});
        ASSERT_TRUE(openssl.waitForFinished(60000));
        ASSERT_EQ(openssl.exitCode(), 0) << openssl.readAllStandardError().toStdString();
    }
    static void TearDownTestSuite() {
        delete s_pCerts;
        s_pCerts = nullptr;
    }
    static QString Cert(const char* name) {
        return s_pCerts->path() + QLatin1Char('/') + QLatin1String(name);
    }
    static QStringList TlsArgs() {
        return {QStringLiteral("--cert"), Cert("cert.pem"), QStringLiteral("--key"),
                Cert("key.pem")};
    }
    static QStringList AuthArgs(const char* exclude) {
        return {QStringLiteral("--user"),         QStringLiteral("ecg@clinic.ru"),
                QStringLiteral("--password"),     QStringLiteral("s3cret пароль"),
                QStringLiteral("--exclude-auth"), QLatin1String(exclude)};
    }
    void SetUp() override {
        ASSERT_TRUE(m_tmp.isValid());
        m_oldTmp = qgetenv("TMPDIR");
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
    }
    void TearDown() override { qputenv("TMPDIR", m_oldTmp); }
    bool NoTemporaryFiles() const {
        return QDir(m_tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty();
    }
    SSmtpSettings Settings(int port) const {
        SSmtpSettings s;
        s.strHost = QStringLiteral("127.0.0.1");
        s.nPort = port;
        s.strLogin = QStringLiteral("ecg@clinic.ru");
        s.strPassword = QStringLiteral("s3cret пароль");
        s.strOrg = QStringLiteral("ГБУЗ \"Поликлиника №3\", кабинет функциональной диагностики");
        return s;
    }
    // As the send command does: the record in a private folder that is gone as soon as Send
    // returns.
    bool StartSend(CSmtpSender& sender, const SSmtpSettings& s, const QByteArray& record,
                   QString* pWhy = nullptr) {
        CMailTempFolder dir;
        const QString path = dir.FilePath(QStringLiteral("ECG 1-2345-7.ecg"));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(record) != record.size())
            return false;
        f.close();
        const SSmtpMessage m{
            QStringLiteral("doctor@clinic.ru, \"Архив, отдел\" <archive@clinic.ru>"), m_strSubject,
            QStringLiteral("Пациент Иванов.\nЭКГ в покое."), path};
        QString why;
        const bool ok = sender.Send(s, m, &why);
        if (pWhy)
            *pWhy = why;
        return ok;
    }

    static QTemporaryDir* s_pCerts;
    QTemporaryDir m_tmp;
    QByteArray m_oldTmp;
    QString m_strSubject = QStringLiteral(
        "Карточка пациента: ЭКГ в 12 отведениях, запись №7 от 05.03.2012, кабинет 214 — срочно");
};
QTemporaryDir* Smtp::s_pCerts = nullptr;

QByteArray RandomRecord(int n) {
    QByteArray r(n, Qt::Uninitialized);
    quint32 x = 2463534242u;
    for (char& c : r) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = char(x);
    }
    return r;
}

// A port nothing listens on: bound by us for a moment and released.
int ClosedPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

} // namespace

TEST_F(Smtp, PlainSessionWithAuthPlainDeliversUtf8TextsAndTheAttachmentIntact) {
    CTestServer server(AuthArgs("LOGIN"));
    ASSERT_GT(server.Port(), 0);
    CSmtpSender sender;
    SOutcome o;
    Watch(sender, o);
    const QByteArray record = RandomRecord(70000);
    ASSERT_TRUE(StartSend(sender, Settings(server.Port()), record));
    EXPECT_TRUE(sender.IsSending());
    ASSERT_TRUE(WaitUntil([&] { return o.nCompleted > 0; }));
    EXPECT_TRUE(o.bOk) << o.strError.toStdString();
    EXPECT_EQ(o.nCompleted, 1);
    EXPECT_TRUE(o.strReply.startsWith(QLatin1String("250 2.0.0 Ok"))) << o.strReply.toStdString();
    EXPECT_TRUE(o.serverLines.contains(o.strReply));
    EXPECT_EQ(o.nLastSent, o.nTotal);
    EXPECT_TRUE(server.Has(QStringLiteral("auth PLAIN ok")));
    EXPECT_TRUE(NoTemporaryFiles());

    const QJsonObject m = server.Message();
    ASSERT_FALSE(m.isEmpty());
    EXPECT_FALSE(m[QStringLiteral("tls")].toBool());
    EXPECT_EQ(m[QStringLiteral("login")].toString(), QStringLiteral("ecg@clinic.ru"));
    EXPECT_EQ(m[QStringLiteral("mail_from")].toString(), QStringLiteral("ecg@clinic.ru"));
    EXPECT_EQ(
        m[QStringLiteral("rcpt_tos")].toArray(),
        (QJsonArray{QStringLiteral("doctor@clinic.ru"), QStringLiteral("archive@clinic.ru")}));
    EXPECT_EQ(m[QStringLiteral("subject")].toString(), m_strSubject);
    EXPECT_EQ(m[QStringLiteral("from_addresses")].toArray(),
              (QJsonArray{QJsonArray{Settings(0).strOrg, QStringLiteral("ecg@clinic.ru")}}));
    EXPECT_EQ(m[QStringLiteral("to_addresses")].toArray(),
              (QJsonArray{QJsonArray{QString(), QStringLiteral("doctor@clinic.ru")},
                          QJsonArray{QStringLiteral("Архив, отдел"),
                                     QStringLiteral("archive@clinic.ru")}}));
    EXPECT_EQ(m[QStringLiteral("defects")].toArray().size(), 0);
    const QJsonArray parts = m[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 2);
    EXPECT_EQ(QString::fromUtf8(QByteArray::fromBase64(
                  parts[0].toObject()[QStringLiteral("data")].toString().toLatin1())),
              QStringLiteral("Пациент Иванов.\r\nЭКГ в покое."));
    EXPECT_EQ(parts[0].toObject()[QStringLiteral("charset")].toString(), QStringLiteral("utf-8"));
    EXPECT_EQ(parts[1].toObject()[QStringLiteral("filename")].toString(),
              QStringLiteral("ECG 1-2345-7.ecg"));
    EXPECT_EQ(
        QByteArray::fromBase64(parts[1].toObject()[QStringLiteral("data")].toString().toLatin1()),
        record);
}

TEST_F(Smtp, SslSettingRequiresStartTlsAndTrustsTheConfiguredCaWithAuthLogin) {
    CTestServer server(TlsArgs() + AuthArgs("PLAIN"));
    ASSERT_GT(server.Port(), 0);
    CSmtpSender sender;
    SOutcome o;
    Watch(sender, o);
    SSmtpSettings s = Settings(server.Port());
    s.bUseSsl = true;
    s.strCaBundle = Cert("cert.pem");
    EXPECT_TRUE(CSmtpSender::SessionUrl(s).startsWith(QLatin1String("smtp://")));
    ASSERT_TRUE(StartSend(sender, s, RandomRecord(1000)));
    ASSERT_TRUE(WaitUntil([&] { return o.nCompleted > 0; }));
    EXPECT_TRUE(o.bOk) << o.strError.toStdString();
    EXPECT_TRUE(server.Has(QStringLiteral("auth LOGIN ok")));
    const QJsonObject m = server.Message();
    EXPECT_TRUE(m[QStringLiteral("tls")].toBool());
    EXPECT_EQ(m[QStringLiteral("subject")].toString(), m_strSubject);

    // Port 465 means TLS from the first byte; without SSL every port is plain.
    s.nPort = 465;
    EXPECT_EQ(CSmtpSender::SessionUrl(s), QStringLiteral("smtps://127.0.0.1:465"));
    s.bUseSsl = false;
    EXPECT_EQ(CSmtpSender::SessionUrl(s), QStringLiteral("smtp://127.0.0.1:465"));
    s.strHost = QStringLiteral("::1");
    EXPECT_EQ(CSmtpSender::SessionUrl(s), QStringLiteral("smtp://[::1]:465"));
}

TEST_F(Smtp, FailuresReachTheCallerWithTheirReasonAndLeaveTheSendingState) {
    struct SCase {
        const char* what;
        QStringList serverArgs; // empty: no server at all
        std::function<void(SSmtpSettings&)> adjust;
        const char* expected; // in the error text
    };
    const SCase cases[] = {
        {"connection refused", {}, [](SSmtpSettings& s) { s.nPort = ClosedPort(); }, "connect"},
        {"wrong password", AuthArgs("LOGIN"),
         [](SSmtpSettings& s) { s.strPassword = QStringLiteral("wrong"); }, "535"},
        {"untrusted certificate", TlsArgs() + AuthArgs("LOGIN"),
         [](SSmtpSettings& s) { s.bUseSsl = true; }, "certificate"},
        {"no STARTTLS offered", AuthArgs("LOGIN"),
         [](SSmtpSettings& s) {
             s.bUseSsl = true;
             s.strCaBundle = Cert("cert.pem");
         },
         "TLS"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<CTestServer> server;
        if (!c.serverArgs.isEmpty()) {
            server = std::make_unique<CTestServer>(c.serverArgs);
            ASSERT_GT(server->Port(), 0);
        }
        SSmtpSettings s = Settings(server ? server->Port() : 0);
        c.adjust(s);
        CSmtpSender sender;
        SOutcome o;
        Watch(sender, o);
        ASSERT_TRUE(StartSend(sender, s, RandomRecord(3000)));
        ASSERT_TRUE(WaitUntil([&] { return o.nCompleted > 0; }));
        EXPECT_FALSE(o.bOk);
        EXPECT_TRUE(o.strError.contains(QLatin1String(c.expected), Qt::CaseInsensitive))
            << o.strError.toStdString();
        EXPECT_FALSE(sender.IsSending());
        EXPECT_TRUE(NoTemporaryFiles());
        if (server) {
            EXPECT_TRUE(server->Wait(QStringLiteral("message "), 0).isEmpty());
        }
    }
}

TEST_F(Smtp, ServerDroppingTheConnectionInDataIsReportedWhileTheCallerLoopRuns) {
    CTestServer server(AuthArgs("LOGIN") + QStringList{QStringLiteral("--drop-in-data")});
    ASSERT_GT(server.Port(), 0);
    CSmtpSender sender;
    SOutcome o;
    Watch(sender, o);
    ASSERT_TRUE(StartSend(sender, Settings(server.Port()), RandomRecord(5000)));

    // The server holds the connection until told; only the caller's own timer tells it, so a
    // completion proves the loop kept running during the send.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 5) {
            EXPECT_FALSE(server.Wait(QStringLiteral("data")).isEmpty());
            EXPECT_TRUE(sender.IsSending());
            server.Tell("drop");
        }
    });
    timer.start(5);
    ASSERT_TRUE(WaitUntil([&] { return o.nCompleted > 0; }));
    EXPECT_GE(ticks, 5);
    EXPECT_FALSE(o.bOk);
    EXPECT_FALSE(o.strError.isEmpty());
    EXPECT_FALSE(sender.IsSending());
    EXPECT_TRUE(NoTemporaryFiles());
}

TEST_F(Smtp, WhatCannotWorkIsRefusedAtOnceAndASenderGoingAwayStopsItsSend) {
    CTestServer server(AuthArgs("LOGIN") + QStringList{QStringLiteral("--drop-in-data")});
    ASSERT_GT(server.Port(), 0);
    struct SCase {
        const char* what;
        std::function<void(SSmtpSettings&)> adjust;
    };
    const SCase refused[] = {
        {"no host", [](SSmtpSettings& s) { s.strHost.clear(); }},
        {"bad port", [](SSmtpSettings& s) { s.nPort = 70000; }},
        {"login is no address", [](SSmtpSettings& s) { s.strLogin = QStringLiteral("ecg"); }},
        {"unreadable CA",
         [](SSmtpSettings& s) { s.strCaBundle = QStringLiteral("/nonexistent.pem"); }},
    };
    CSmtpSender sender;
    SOutcome o;
    Watch(sender, o);
    for (const SCase& c : refused) {
        SSmtpSettings s = Settings(server.Port());
        c.adjust(s);
        QString why;
        EXPECT_FALSE(StartSend(sender, s, "x", &why)) << c.what;
        EXPECT_FALSE(why.isEmpty()) << c.what;
        EXPECT_FALSE(sender.IsSending()) << c.what;
    }
    QString why;
    m_strSubject = QStringLiteral("ok");
    const SSmtpMessage noRecipient{QStringLiteral(" , "), {}, {}, QStringLiteral("/etc/hostname")};
    EXPECT_FALSE(sender.Send(Settings(server.Port()), noRecipient, &why));
    const SSmtpMessage badRecipient{
        QStringLiteral("a@b.ru, not an address"), {}, {}, QStringLiteral("/etc/hostname")};
    EXPECT_FALSE(sender.Send(Settings(server.Port()), badRecipient, &why));
    EXPECT_TRUE(why.contains(QLatin1String("not an address")));
    const SSmtpMessage noFile{
        QStringLiteral("a@b.ru"), {}, {}, m_tmp.path() + QStringLiteral("/none")};
    EXPECT_FALSE(sender.Send(Settings(server.Port()), noFile, &why));

    // One send at a time; a sender destroyed mid-send stops and joins its worker.
    auto busy = std::make_unique<CSmtpSender>();
    SOutcome busyOutcome;
    Watch(*busy, busyOutcome);
    ASSERT_TRUE(StartSend(*busy, Settings(server.Port()), "x"));
    EXPECT_FALSE(StartSend(*busy, Settings(server.Port()), "x", &why));
    EXPECT_FALSE(server.Wait(QStringLiteral("data")).isEmpty());
    QElapsedTimer clock;
    clock.start();
    busy.reset(); // the server holds the connection: only the cancel ends the worker
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(busyOutcome.nCompleted, 0);
    EXPECT_EQ(o.nCompleted, 0);
}
