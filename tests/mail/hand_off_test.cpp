#include "mail/mail_client.h"
#include "mail/send_by_email.h"
#include "mail/temp_folder.h"
#include "mail_test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// A private XDG data folder whose only mail client is fake_mail_client.sh; the environment is set
// before GIO first looks, and the client's behaviour is steered per test through variables it
// inherits.
class HandOff : public testing::Test {
protected:
    static void SetUpTestSuite() {
        TestApp();
        s_pData = new QTemporaryDir();
        ASSERT_TRUE(s_pData->isValid());
        const QString apps = s_pData->path() + QStringLiteral("/applications");
        ASSERT_TRUE(QDir().mkpath(apps));
        QFile entry(apps + QStringLiteral("/velmora-fake-mail.desktop"));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        // The placeholder in quotes, a switch after it: the path must arrive as one argument in
        // its place whatever it holds.
        entry.write("[Desktop Entry]\nType=Application\nName=Fake Mail\n"
                    "Exec=/bin/sh \"" +
                    QFile::encodeName(MailTestDir()) +
                    "/fake_mail_client.sh\" --compose \"%f\" --no-remote\n"
                    "MimeType=message/rfc822;\n");
        entry.close();
        QFile list(apps + QStringLiteral("/mimeapps.list"));
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write("[Default Applications]\nmessage/rfc822=velmora-fake-mail.desktop\n");
        list.close();
        const QByteArray data = QFile::encodeName(s_pData->path());
        setenv("XDG_DATA_HOME", data.constData(), 1);
        setenv("XDG_DATA_DIRS", data.constData(), 1);
        setenv("XDG_CONFIG_DIRS", data.constData(), 1);
    }
    static void TearDownTestSuite() {
        delete s_pData;
        s_pData = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(m_out.isValid());
        setenv("VELMORA_FAKE_CLIENT_OUT", QFile::encodeName(m_out.path()).constData(), 1);
        unsetenv("VELMORA_FAKE_CLIENT_PIPE");
    }
    QString Out(const char* name) const {
        return m_out.path() + QLatin1Char('/') + QLatin1String(name);
    }
    QStringList ClientArgs() const {
        QFile f(Out("args"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    static bool WriteFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
    }

    static QTemporaryDir* s_pData;
    QTemporaryDir m_out;
};
QTemporaryDir* HandOff::s_pData = nullptr;

} // namespace

TEST_F(HandOff, ClientGetsThePathWithABlankAsOneArgumentAndTheLoopKeepsRunningWhileItWorks) {
    const QString pipe = Out("release");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    setenv("VELMORA_FAKE_CLIENT_PIPE", QFile::encodeName(pipe).constData(), 1);

    CMailTempFolder dir;
    ASSERT_TRUE(dir.IsValid());
    const QString record = dir.FilePath(QStringLiteral("ECG 1-2345-7.ecg"));
    ASSERT_TRUE(WriteFile(record, QByteArray(500, 'r')));
    const QString eml = dir.FilePath(QStringLiteral("ECG 1-2345-7.eml"));

    // While the client runs, the caller's timers fire: this one sees the message in place and
    // lets the client end.
    int ticks = 0;
    bool sawMessage = false, released = false;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        if (released || !QFile::exists(Out("args")))
            return;
        sawMessage = QFile::exists(eml);
        const int fd = ::open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) { // the client is waiting on its end of the pipe
            released = ::write(fd, "go\n", 3) == 3;
            ::close(fd);
        }
    });
    timer.start(5);

    SSendByEmailOptions o;
    o.nQuickExitMs = 0; // however fast it was, the client ended: delete the message
    CSendByEmail mail(record, QStringLiteral("Org"), QStringLiteral("a@b.ru"),
                      QStringLiteral("Subj"), QStringLiteral("note"), o);
    EXPECT_EQ(mail.Result(), EMailHandOff::Done) << mail.ErrorText().toStdString();
    EXPECT_TRUE(released);
    EXPECT_TRUE(sawMessage);
    EXPECT_GT(ticks, 0);
    EXPECT_EQ(ClientArgs(),
              (QStringList{QStringLiteral("--compose"), eml, QStringLiteral("--no-remote")}));
    QFile copy(Out("message"));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_TRUE(copy.readAll().contains("X-Unsent: 1\r\n"));
    EXPECT_FALSE(QFile::exists(eml)) << "deleted once the client ended";
    EXPECT_TRUE(QFile::exists(record)) << "the attachment is the caller's";
}

TEST_F(HandOff, MessageOfAClientThatEndsAtOnceStaysUntilExit) {
    auto folder = std::make_unique<CMailTempFolder>();
    ASSERT_TRUE(folder->IsValid());
    const QString path = folder->Path();
    const QString record = folder->FilePath(QStringLiteral("r.scp"));
    ASSERT_TRUE(WriteFile(record, "scp"));
    SSendByEmailOptions o;
    o.nQuickExitMs = 600000;
    CSendByEmail mail(record, {}, {}, {}, {}, o);
    EXPECT_EQ(mail.Result(), EMailHandOff::Kept);
    EXPECT_TRUE(QFile::exists(mail.MessagePath()));
    EXPECT_TRUE(IsKeptUntilExit(mail.MessagePath()));

    // The command ends: the record goes now, the message and its folder stay.
    folder.reset();
    EXPECT_FALSE(QFile::exists(record));
    EXPECT_TRUE(QFile::exists(mail.MessagePath()));
    EXPECT_EQ(QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 1);
}

TEST(TempFolder, PrivateWhileInUseAndGoneAtTheEndOrAtExit) {
    QString path;
    {
        CMailTempFolder dir;
        ASSERT_TRUE(dir.IsValid());
        path = dir.Path();
        QFileInfo info(path);
        EXPECT_EQ(info.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                        QFile::ReadOther | QFile::WriteOther | QFile::ExeOther),
                  QFile::Permissions());
        QFile f(dir.FilePath(QStringLiteral("a.ecg")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QDir(path).mkdir(QStringLiteral("sub"));
    }
    EXPECT_FALSE(QFileInfo::exists(path));

    // A kept file and its folder last until the program exits, then both are gone. The child is
    // forked, so only the statement runs there.
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    const QByteArray old = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(tmp.path()));
    // The child reports on stderr, so that a leak report of a sanitizer build at its exit
    // (GLib's threads from earlier tests) does not hide the answer.
    EXPECT_EXIT(
        {
            auto* dir = new CMailTempFolder;
            QFile f(dir->FilePath(QStringLiteral("m.eml")));
            if (!f.open(QIODevice::WriteOnly))
                std::exit(3);
            f.close();
            KeepUntilExit(f.fileName());
            delete dir;
            if (QFile::exists(f.fileName()))
                std::fputs("message kept until exit\n", stderr);
            std::exit(0);
        },
        [](int status) { return WIFEXITED(status); }, "message kept until exit");
    qputenv("TMPDIR", old);
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
}

TEST(MailClientCommand, PathTakesTheFieldCodesPlaceAsOneArgument) {
    const QString path = QStringLiteral("/tmp/velmora-x/ECG 1 \"q\" $HOME.eml");
    SMailClient c;
    c.strName = QStringLiteral("Mail");
    c.strIcon = QStringLiteral("mail-icon");
    c.strDesktopFile = QStringLiteral("/apps/mail.desktop");
    auto expand = [&](const char* line) {
        c.strCommandLine = QString::fromUtf8(line);
        return ExpandOpenCommand(c, path);
    };
    EXPECT_EQ(expand("thunderbird %u"), (QStringList{QStringLiteral("thunderbird"), path}));
    EXPECT_EQ(expand("\"/opt/my mail/bin\" -open \"%f\" -x"),
              (QStringList{QStringLiteral("/opt/my mail/bin"), QStringLiteral("-open"), path,
                           QStringLiteral("-x")}));
    EXPECT_EQ(expand("mailer"), (QStringList{QStringLiteral("mailer"), path}));
    EXPECT_EQ(expand("mailer --file=%f %U %i --name %c %k 50%% %d"),
              (QStringList{QStringLiteral("mailer"), QStringLiteral("--file=") + path,
                           QStringLiteral("--icon"), QStringLiteral("mail-icon"),
                           QStringLiteral("--name"), QStringLiteral("Mail"),
                           QStringLiteral("/apps/mail.desktop"), QStringLiteral("50%")}));
    QString why;
    c.strCommandLine = QStringLiteral("mailer \"unterminated");
    EXPECT_TRUE(ExpandOpenCommand(c, path, &why).isEmpty());
    EXPECT_FALSE(why.isEmpty());
    c.strCommandLine = QStringLiteral("%f");
    EXPECT_TRUE(ExpandOpenCommand(c, path).isEmpty());
}
