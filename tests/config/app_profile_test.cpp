#include "config/app_profile.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// Restores the current folder when the test ends.
class CurrentFolder {
public:
    CurrentFolder() : m_saved(QDir::currentPath()) {}
    ~CurrentFolder() { QDir::setCurrent(m_saved); }

private:
    QString m_saved;
};

TEST(AppProfile, EmptyRecordFolderBecomesCurrentFolderEcgAndStays) {
    QTemporaryDir dir;
    const QString store = dir.filePath("profile.ini");
    const CurrentFolder restore;
    ASSERT_TRUE(QDir().mkdir(dir.filePath("one")) && QDir().mkdir(dir.filePath("two")));
    const QString one = QDir(dir.filePath("one")).canonicalPath();

    ASSERT_TRUE(QDir::setCurrent(one));
    {
        QSettings settings(store, QSettings::IniFormat);
        CAppProfile profile(&settings);
        EXPECT_EQ(profile.GetEcgFolder(), one + "/ecg/");
    }
    ASSERT_TRUE(QDir::setCurrent(dir.filePath("two")));
    QSettings settings(store, QSettings::IniFormat);
    CAppProfile profile(&settings);
    EXPECT_EQ(profile.GetEcgFolder(), one + "/ecg/");
}

TEST(AppProfile, HistoryKeepsTheNewestTenAndForgetsDroppedEntries) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("profile.ini"), QSettings::IniFormat);
    CAppProfile profile(&settings);
    QStringList many;
    for (int i = 0; i < 12; ++i)
        many << QString("Doctor %1").arg(i);
    ASSERT_TRUE(profile.WriteHistory("DoctorName", many));
    EXPECT_EQ(profile.GetHistory("DoctorName"), many.mid(0, 10));
    ASSERT_TRUE(profile.WriteHistory("DoctorName", {"a", "b"}));
    EXPECT_EQ(profile.GetHistory("DoctorName"), (QStringList{"a", "b"}));
    EXPECT_TRUE(profile.GetHistory("Subject").isEmpty());
    EXPECT_EQ(settings.value("HistoryCombos/DoctorName1").toString(), "b");
}

TEST(AppProfile, UserProfileIsTheVelmoraProfileOfTheUser) {
    // Redirect the user's settings folder so that running this test by hand leaves the real
    // profile alone.
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    {
        CAppProfile profile;
        EXPECT_TRUE(profile.WriteProfileString("Test", "entry", "value"));
    }
    EXPECT_TRUE(QFile::exists(dir.filePath("velmora/velmora.conf")));
    {
        CAppProfile again;
        EXPECT_EQ(again.GetProfileString("Test", "entry"), "value");
        EXPECT_EQ(again.GetProfileString("Test", "none", "def"), "def");
    }
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QStandardPaths::writableLocation(QStandardPaths::ConfigLocation));
}

} // namespace
