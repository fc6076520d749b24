#include "config/private_profile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <atomic>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

mode_t ModeOf(const QString& path) {
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

TEST(PrivateProfile, LookupIsCaseInsensitiveTrimmedAndFirstMatchWins) {
    const QByteArray text = "; settings of velmora\r\n"
                            "[Settings ]\r\n"
                            "  M_NCOM = 7  \r\n"
                            "m_nCom=9\r\n"
                            "bare\r\n"
                            "[settings]\r\n"
                            "m_attrOrg=only the first section counts\r\n"
                            "[ Mail ]\r\n"
                            "quoted = \"  spaced  \"\r\n"
                            "single='x'\r\n"
                            "lone=\"\r\n"
                            "empty=\r\n"
                            "[\xCF\xEE\xF7\xF2\xE0]\n" // [Почта]
                            "k=v";
    EXPECT_EQ(ProfileFindValue(text, "settings", " m_ncom "), QByteArray("7"));
    EXPECT_EQ(ProfileFindValue(text, "settings", "m_attrOrg"), std::nullopt);
    EXPECT_EQ(ProfileFindValue(text, "settings", "bare"), std::nullopt); // a line without '='
    EXPECT_EQ(ProfileFindValue(text, "MAIL", "quoted"), QByteArray("  spaced  "));
    EXPECT_EQ(ProfileFindValue(text, "Mail", "single"), QByteArray("x"));
    EXPECT_EQ(ProfileFindValue(text, "Mail", "lone"), QByteArray("\""));
    EXPECT_EQ(ProfileFindValue(text, "Mail", "empty"), QByteArray(""));
    EXPECT_EQ(ProfileFindValue(text, "Mail", "k"), std::nullopt);
    EXPECT_EQ(ProfileFindValue(text, "\xCF\xCE\xD7\xD2\xC0" /* ПОЧТА */, "K"), QByteArray("v"));
}

TEST(PrivateProfile, WriteTouchesOnlyTheKeysLineOrTheEndOfItsSection) {
    QByteArray text = "; keep me\r\n"
                      "[settings]\r\n"
                      "m_nCom = 3   \r\n"
                      "bare\r\n"
                      "\r\n"
                      "[Other]\r\n"
                      "x=1";
    ASSERT_TRUE(ProfileSetValue(text, "SETTINGS", "m_ncom", "12"));
    ASSERT_TRUE(ProfileSetValue(text, "settings", "bare", "b"));
    ASSERT_TRUE(ProfileSetValue(text, "settings", "m_attrOrg", "Org"));
    ASSERT_TRUE(ProfileSetValue(text, "other", "y", "2"));
    ASSERT_TRUE(ProfileSetValue(text, "Mail", "SMTPEnabled", "1"));
    EXPECT_EQ(text, QByteArray("; keep me\r\n"
                               "[settings]\r\n"
                               "m_nCom = 12\r\n"
                               "bare=b\r\n"
                               "m_attrOrg=Org\r\n"
                               "\r\n"
                               "[Other]\r\n"
                               "x=1\r\n"
                               "y=2\r\n"
                               "\r\n"
                               "[Mail]\r\n"
                               "SMTPEnabled=1\r\n"));

    // Names a line cannot hold are refused without touching the text.
    const QByteArray before = text;
    EXPECT_FALSE(ProfileSetValue(text, "settings", "a=b", "v"));
    EXPECT_FALSE(ProfileSetValue(text, "settings", " ", "v"));
    EXPECT_FALSE(ProfileSetValue(text, "settings", "[x]", "v"));
    EXPECT_FALSE(ProfileSetValue(text, "a]b", "k", "v"));
    EXPECT_FALSE(ProfileSetValue(text, "a\nb", "k", "v"));
    EXPECT_EQ(text, before);
}

TEST(PrivateProfile, StoredValueReadsBackAsGivenAndCannotAddLines) {
    for (const QByteArray& v :
         {QByteArray(" pass "), QByteArray("\"\xD0\xEE\xEC\xE0\xF8\xEA\xE0\""), QByteArray("'x'"),
          QByteArray("a\"b"), QByteArray("\""), QByteArray("\t"), QByteArray("")}) {
        QByteArray text = "[Mail]\nm_szMailPassword=old\n";
        ASSERT_TRUE(ProfileSetValue(text, "Mail", "m_szMailPassword", v));
        EXPECT_EQ(ProfileFindValue(text, "Mail", "m_szMailPassword"), v) << text.constData();
    }

    // Only the first line of a multi-line value is what reads back; the rest must not become
    // keys or sections of its own.
    QByteArray text = "[settings]\nm_nCom=1\n[Mail]\nSMTPEnabled=0\n";
    ASSERT_TRUE(ProfileSetValue(text, "settings", "m_attrOrg",
                                "Org\r\n[Mail]\nSMTPEnabled=1\nm_szMailHostName=evil"));
    EXPECT_EQ(text, QByteArray("[settings]\nm_nCom=1\nm_attrOrg=Org\n[Mail]\nSMTPEnabled=0\n"));
}

TEST(PrivateProfile, FileIsCreatedPrivateAndReplacedKeepingItsMode) {
    QTemporaryDir dir;
    const QString folder = dir.filePath("new/sub");
    const QString file = folder + "/velmora.ini";
    const mode_t oldMask = ::umask(0); // the mode must not depend on the umask
    const bool created = WritePrivateProfileString("settings", "m_nCom", "2", file);
    ::umask(oldMask);
    ASSERT_TRUE(created);
    EXPECT_EQ(ModeOf(file), 0600u);
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ReadAll(file), QByteArray("[settings]\nm_nCom=2\n"));

    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0640), 0);
    ASSERT_TRUE(WritePrivateProfileString("settings", "m_nCom", "3", file));
    EXPECT_EQ(ModeOf(file), 0640u);

    // Written through a symbolic link, which stays a link.
    const QString link = dir.filePath("link.ini");
    ASSERT_TRUE(QFile::link(file, link));
    ASSERT_TRUE(WritePrivateProfileString("Mail", "MailUseSSL", "1", link));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(ReadAll(file), QByteArray("[settings]\nm_nCom=3\n\n[Mail]\nMailUseSSL=1\n"));

    // No temporary file stays behind (the writers' lock file does, on purpose).
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"velmora.ini", "velmora.ini.lock"}));

    // A folder that cannot exist, or a path that is no file: reported, not claimed as done,
    // and nothing replaced.
    QString error;
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", file + "/x.ini", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", folder));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_FALSE(WritePrivateProfileString("s", "k", "v", "/dev/null"));
    EXPECT_FALSE(QFileInfo("/dev/null").isFile());

    // A file made read-only (0444) is an administrator's lock: kept as it is, and said so.
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    const QByteArray locked = ReadAll(file);
    EXPECT_FALSE(WritePrivateProfileString("settings", "m_nCom", "9", file, &error));
    EXPECT_TRUE(error.endsWith("the file is read-only")) << error.toStdString();
    EXPECT_EQ(ReadAll(file), locked);
    EXPECT_EQ(ModeOf(file), 0444u);
}

TEST(PrivateProfile, ConcurrentWritersLoseNoKey) {
    QTemporaryDir dir;
    const QString file = dir.filePath("velmora.ini");
    constexpr int kWriters = 4, kRounds = 25;
    std::atomic<bool> allOk{true};
    std::vector<std::thread> threads;
    for (int w = 0; w < kWriters; ++w) {
        threads.emplace_back([&, w] {
            for (int r = 0; r < kRounds; ++r) {
                if (!WritePrivateProfileString("s", "key" + QByteArray::number(w),
                                               QByteArray::number(r), file))
                    allOk = false;
            }
        });
    }
    for (std::thread& t : threads)
        t.join();
    EXPECT_TRUE(allOk);
    const QByteArray text = ReadAll(file);
    for (int w = 0; w < kWriters; ++w)
        EXPECT_EQ(ProfileFindValue(text, "s", "key" + QByteArray::number(w)),
                  QByteArray::number(kRounds - 1));
}

} // namespace
