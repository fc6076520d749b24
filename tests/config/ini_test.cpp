#include "config/ini.h"
#include "config/view_settings.h"
#include "platform/cp1251.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <climits>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& data) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QString U(const char16_t* s) {
    return QString::fromUtf16(s);
}

// Each test gets its own settings file through the programs' --config override.
class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.filePath("velmora.ini");
        SetIniFileOverride(m_file);
    }
    void TearDown() override { SetIniFileOverride(QString()); }

    QTemporaryDir m_dir;
    QString m_file;
};

TEST_F(SettingsFile, FreshInstallLoadsDefaultsAndFirstSaveCreatesEveryKey) {
    CViewSettings s;
    s.m_attrOrg = "kept";
    EXPECT_TRUE(s.UpdateIni(true));
    EXPECT_EQ(s.m_nCom, 1);
    EXPECT_EQ(s.m_attrOrg, "kept"); // a missing key keeps the member's value
    EXPECT_FALSE(s.m_bSMTPEnabled);
    EXPECT_EQ(s.m_nMailSMTPPort, 25);
    EXPECT_FALSE(s.m_bMailUseSSL);
    EXPECT_FALSE(QFile::exists(m_file));

    s.m_attrOrg.clear();
    const mode_t oldMask = ::umask(0);
    const bool saved = s.UpdateIni(false);
    ::umask(oldMask);
    ASSERT_TRUE(saved);
    EXPECT_EQ(ReadAll(m_file), QByteArray("[settings]\n"
                                          "m_nCom=1\n"
                                          "m_attrOrg=\n"
                                          "m_nLanguage=0\n"
                                          "\n"
                                          "[Mail]\n"
                                          "SMTPEnabled=0\n"
                                          "m_szMailHostName=\n"
                                          "m_szMailLogin=\n"
                                          "m_szMailPassword=\n"
                                          "m_nMailSMTPPort=25\n"
                                          "MailUseSSL=0\n"
                                          "\n"
                                          "[PACS]\n"
                                          "m_szPacsAETitle=ORTHANC\n"
                                          "m_szPacsHost=\n"
                                          "m_nPacsPort=104\n"
                                          "m_szOwnAETitle=VELMORA\n"
                                          "m_szWorklistAETitle=WORKLIST\n"
                                          "m_szWorklistHost=\n"
                                          "m_nWorklistPort=104\n"
                                          "\n"
                                          "[HIS]\n"
                                          "m_szHisHost=\n"
                                          "m_szHisApplication=\n"
                                          "m_szHisFacility=\n"
                                          "m_szHisOwnFacility=\n"
                                          "m_nHisPort=2575\n"
                                          "\n"
                                          "[Archive]\n"
                                          "m_bArchiveEnabled=1\n"
                                          "m_bDoctorAccountOffered=0\n"
                                          "m_szArchiveKind=sqlite\n"
                                          "m_szArchiveFile=\n"
                                          "m_szArchiveHost=\n"
                                          "m_szArchiveDatabase=\n"
                                          "m_szArchiveUser=\n"
                                          "m_szArchivePassword=\n"
                                          "m_szArchiveSslMode=\n"
                                          "m_nArchivePort=5432\n"
                                          "\n"
                                          "[Analysis]\n"
                                          "m_szRatePractice=russian\n"));
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(m_file).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u); // it holds the password
}

TEST_F(SettingsFile, NumbersLoadAsTheCLibraryReadsThemAndFlagsAreStoredAsZeroOrOne) {
    WriteFile(m_file, "[settings]\nm_nCom=abc\n[Mail]\nSMTPEnabled=5\nMailUseSSL=-2\n"
                      "m_nMailSMTPPort= +587 (ssl)\n");
    CViewSettings s;
    s.UpdateIni(true);
    EXPECT_EQ(s.m_nCom, 0);
    EXPECT_TRUE(s.m_bSMTPEnabled);
    EXPECT_TRUE(s.m_bMailUseSSL);
    EXPECT_EQ(s.m_nMailSMTPPort, 587);
    ASSERT_TRUE(s.UpdateIni(false));
    CIni ini(QString(), "Mail");
    EXPECT_EQ(ini.GetString("SMTPEnabled"), "1");
    EXPECT_EQ(ini.GetString("MailUseSSL"), "1");

    ini.WriteString("big", "99999999999");
    ini.WriteString("small", "-99999999999");
    EXPECT_EQ(ini.GetInt("big", 0), INT_MAX);
    EXPECT_EQ(ini.GetInt("small", 0), INT_MIN);
    EXPECT_EQ(ini.GetInt("missing", -7), -7);
}

TEST_F(SettingsFile, LongTextLoadsCutTo255Characters) {
    const QString org(300, QChar(0x0416)); // Ж: one byte in the file
    CViewSettings s;
    s.m_attrOrg = org;
    ASSERT_TRUE(s.UpdateIni(false));
    CViewSettings t;
    t.UpdateIni(true);
    EXPECT_EQ(t.m_attrOrg, org.left(255));
    CIni ini(QString(), "settings");
    EXPECT_EQ(std::strlen(ini.GetLPCSTR("m_attrOrg")), 255u);

    // Quotes come off before the cut; a default is cut too and loses trailing blanks.
    QFile f(m_file);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("quoted=\"" + QByteArray(300, 'y') + "\"\n"); // the last section: Analysis
    f.close();
    EXPECT_EQ(ini.GetString("quoted", QString(), "Analysis"), QString(255, 'y'));
    EXPECT_EQ(ini.GetString("missing", QString(300, 'd')), QString(255, 'd'));
    EXPECT_EQ(ini.GetString("missing", "def  "), "def");
}

TEST_F(SettingsFile, MultiLineTextLoadsAsItsFirstLineAndLeavesOtherKeysAlone) {
    CViewSettings s;
    s.m_attrOrg = U(u"ООО \"Ромашка\"\r\nг. Москва\n[Mail]\nm_szMailHostName=evil.example");
    s.m_szMailHostName = "smtp.example.org";
    s.m_szMailPassword = "  secret  ";
    ASSERT_TRUE(s.UpdateIni(false));
    EXPECT_TRUE(s.m_attrOrg.endsWith("evil.example")); // the window keeps what it has

    CViewSettings t;
    t.UpdateIni(true);
    EXPECT_EQ(t.m_attrOrg, U(u"ООО \"Ромашка\""));
    EXPECT_EQ(t.m_szMailHostName, "smtp.example.org");
    EXPECT_EQ(t.m_szMailPassword, "  secret  ");
}

TEST_F(SettingsFile, SecondWindowStoresItsOwnOlderValuesOfEveryKey) {
    WriteFile(m_file, "; site settings\n[settings]\nm_nCom=4\n[Other]\nx=1\n");
    CViewSettings first, second;
    first.UpdateIni(true);
    second.UpdateIni(true);
    first.m_nCom = 7;
    first.m_szMailHostName = "a.example";
    first.m_bMailUseSSL = true;
    ASSERT_TRUE(first.UpdateIni(false));
    second.m_attrOrg = "second";
    ASSERT_TRUE(second.UpdateIni(false));

    CViewSettings now;
    now.UpdateIni(true);
    EXPECT_EQ(now.m_nCom, 4);
    EXPECT_EQ(now.m_attrOrg, "second");
    EXPECT_EQ(now.m_szMailHostName, "");
    EXPECT_FALSE(now.m_bMailUseSSL);
    const QByteArray text = ReadAll(m_file);
    EXPECT_TRUE(
        text.startsWith("; site settings\n[settings]\nm_nCom=4\nm_attrOrg=second\nm_nLanguage=0\n"
                        "[Other]\nx=1\n"))
        << text.constData();
}

TEST_F(SettingsFile, TextsAreStoredAsWindows1251AndUnencodableOnesAreReported) {
    CViewSettings s;
    s.m_attrOrg = U(u"Поликлиника №1");
    ASSERT_TRUE(s.UpdateIni(false));
    EXPECT_TRUE(ReadAll(m_file).contains("m_attrOrg=" + ToCp1251(s.m_attrOrg) + "\n"));

    s.m_szMailPassword = U(u"пароль中");
    s.m_nMailSMTPPort = 465;
    QString error;
    EXPECT_FALSE(s.UpdateIni(false, &error));
    EXPECT_TRUE(error.contains("m_szMailPassword")) << error.toStdString();
    CViewSettings t;
    t.UpdateIni(true);
    EXPECT_EQ(t.m_nMailSMTPPort, 465); // the keys after it are still stored
}

TEST_F(SettingsFile, AUtf8FileIsReadAndWrittenBackAsUtf8AndAnyOtherAsWindows1251) {
    const QString org = U(u"ГБУЗ «Поликлиника №3»");
    for (const QByteArray& bom : {QByteArray(), QByteArray("\xEF\xBB\xBF")}) {
        WriteFile(m_file, bom + "[settings]\r\nm_attrOrg=" + org.toUtf8() + "\r\nm_nCom=3\r\n");
        CViewSettings v;
        v.UpdateIni(true);
        EXPECT_EQ(v.m_attrOrg, org) << "BOM " << bom.size();
        EXPECT_EQ(v.m_nCom, 3) << "the first section is found behind a BOM";
        v.m_szMailHostName = U(u"почта.клиника.рф");
        ASSERT_TRUE(v.UpdateIni(false));
        const QByteArray text = ReadAll(m_file);
        EXPECT_TRUE(text.startsWith(bom + "[settings]"));
        EXPECT_TRUE(text.contains("m_attrOrg=" + org.toUtf8()));
        EXPECT_TRUE(text.contains("m_szMailHostName=" + v.m_szMailHostName.toUtf8()));
        EXPECT_EQ(IniFileEncoding(m_file), IniEncoding::Utf8);
    }
    // Windows-1251 bytes are not UTF-8: read and kept as Windows-1251.
    WriteFile(m_file, "[settings]\r\nm_attrOrg=" + ToCp1251(org) + "\r\n");
    CViewSettings w;
    w.UpdateIni(true);
    EXPECT_EQ(w.m_attrOrg, org);
    ASSERT_TRUE(w.UpdateIni(false));
    EXPECT_TRUE(ReadAll(m_file).contains("m_attrOrg=" + ToCp1251(org)));
    EXPECT_EQ(IniFileEncoding(m_file), IniEncoding::Cp1251);
    // A new file is Windows-1251.
    QFile::remove(m_file);
    ASSERT_TRUE(w.UpdateIni(false));
    EXPECT_TRUE(ReadAll(m_file).contains("m_attrOrg=" + ToCp1251(org)));
}

TEST_F(SettingsFile, ExplicitSectionBecomesTheCurrentOne) {
    CIni ini;
    EXPECT_EQ(ini.GetFileName(), m_file);
    EXPECT_EQ(ini.GetSection(), CIni::GetDefaultSection());
    ASSERT_TRUE(ini.WriteInt("n", 5, "Mail"));
    EXPECT_EQ(ini.GetSection(), "Mail");
    EXPECT_EQ(ini.GetInt("n", 0), 5);
    EXPECT_EQ(CIni::Read(m_file, "MAIL", "N", "x"), "5");
    EXPECT_EQ(ini.GetString("n", "d", "settings"), "d");
    EXPECT_EQ(ini.GetString("n", "d"), "d"); // still in "settings"
}

TEST(SettingsFileLocation, BesideTheExecutableElsePerUserAndOverrideWins) {
    QTemporaryDir exeDir;
    EXPECT_EQ(DefaultIniFileFor(exeDir.path()), exeDir.filePath("velmora.ini"));
    // A folder the program cannot write to (here: one that does not exist).
    const QString perUser =
        QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/velmora/velmora.ini";
    EXPECT_EQ(DefaultIniFileFor(exeDir.filePath("missing")), perUser);

    EXPECT_EQ(CIni::AddModulPath("/etc/x.ini"), "/etc/x.ini");
    EXPECT_TRUE(CIni::AddModulPath("x.ini").endsWith("/x.ini"));
    EXPECT_FALSE(QDir::isRelativePath(CIni::AddModulPath("x.ini")));

    SetIniFileOverride("rel/v.ini");
    EXPECT_EQ(CIni::GetDefaultIniFile(), QDir::current().absoluteFilePath("rel/v.ini"));
    SetIniFileOverride(QString());
    EXPECT_NE(CIni::GetDefaultIniFile(), QDir::current().absoluteFilePath("rel/v.ini"));
}

} // namespace
