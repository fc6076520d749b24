#include "acquisition/com_map.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace fs = std::filesystem;

namespace {

// A settings file and a device folder of our own: ttyS0, ttyS1 and ttyS3 exist (COM3 is
// free), a USB adapter with its by-id link, an ACM device.
class ComMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        dev = fs::path(tmp.path().toStdString()) / "dev";
        fs::create_directories(dev / "serial" / "by-id");
        for (const char* node : {"ttyS0", "ttyS1", "ttyS3", "ttyUSB0", "ttyUSB1", "ttyACM0"})
            std::ofstream(dev / node).put('\0');
        fs::create_symlink("../../ttyUSB0", ById());
    }
    std::string Dev(const char* node) const { return (dev / node).string(); }
    std::string ById() const {
        return (dev / "serial" / "by-id" / "usb-FTDI_FT232R_A1-if00").string();
    }
    QString IniPath() const { return tmp.filePath("velmora.conf"); }

    QTemporaryDir tmp;
    fs::path dev;
};

} // namespace

TEST_F(ComMapTest, TtySDevicesHaveTheirNumbersUntilTheNumberIsGivenAway) {
    QSettings settings(IniPath(), QSettings::IniFormat);
    CComMap real(&settings);
    EXPECT_EQ(real.DevicePath(1), "/dev/ttyS0");
    EXPECT_EQ(real.DevicePath(12), "/dev/ttyS11");
    EXPECT_EQ(real.DevicePath(0), "");
    EXPECT_EQ(real.DevicePath(-3), "");
    EXPECT_EQ(real.NumberOf("/dev/ttyS11"), 12);
    EXPECT_EQ(real.NumberOf("/dev/ttyUSB0"), 0);
    EXPECT_TRUE(real.Entries().empty());

    CComMap map(&settings);
    map.SetDeviceDir(dev.string() + "/");
    EXPECT_EQ(map.NumberOf(Dev("ttyS3")), 4);
    ASSERT_TRUE(map.Register(4, "/dev/pts/7"));
    EXPECT_EQ(map.DevicePath(4), "/dev/pts/7");
    // ttyS3 lost COM4; it gets a number of its own when it is assigned.
    EXPECT_EQ(map.NumberOf(Dev("ttyS3")), 0);
    const int n = map.Assign(Dev("ttyS3"));
    EXPECT_EQ(n, 3);
    EXPECT_EQ(map.DevicePath(n), Dev("ttyS3"));
}

TEST_F(ComMapTest, AssignGivesTheLowestFreeNumberAndKeepsIt) {
    {
        QSettings settings(IniPath(), QSettings::IniFormat);
        CComMap map(&settings);
        map.SetDeviceDir(dev.string());
        EXPECT_EQ(map.Assign(Dev("ttyACM0")), 3);
        EXPECT_EQ(map.Assign("/dev/rfcomm0"), 5); // COM4 is ttyS3's
        EXPECT_EQ(map.Assign(Dev("ttyACM0")), 3);
        EXPECT_EQ(map.Assign(""), 0);
    }
    QSettings settings(IniPath(), QSettings::IniFormat);
    CComMap fresh(&settings);
    fresh.SetDeviceDir(dev.string());
    EXPECT_EQ(fresh.Assign(Dev("ttyACM0")), 3);
    EXPECT_EQ(fresh.Assign("/dev/pts/3"), 6);
    fresh.Unregister(3);
    EXPECT_EQ(fresh.Assign("/dev/pts/4"), 3);
    const std::map<int, std::string> expected{
        {3, "/dev/pts/4"}, {5, "/dev/rfcomm0"}, {6, "/dev/pts/3"}};
    EXPECT_EQ(fresh.Entries(), expected);
}

TEST_F(ComMapTest, AssignRecordsTheByIdLinkSoTheNumberFollowsTheAdapter) {
    QSettings settings(IniPath(), QSettings::IniFormat);
    CComMap map(&settings);
    map.SetDeviceDir(dev.string());
    const int n = map.Assign(Dev("ttyUSB0"));
    ASSERT_EQ(n, 3);
    EXPECT_EQ(map.DevicePath(n), ById());
    EXPECT_EQ(map.NumberOf(Dev("ttyUSB0")), n);
    EXPECT_EQ(map.Assign(ById()), n);

    // Plugged in again, the adapter comes up as ttyUSB1; ttyUSB0 is now another device.
    fs::remove(ById());
    fs::create_symlink("../../ttyUSB1", ById());
    EXPECT_EQ(map.Assign(Dev("ttyUSB1")), n);
    EXPECT_EQ(map.Assign(Dev("ttyUSB0")), 5);
    EXPECT_EQ(map.DevicePath(5), Dev("ttyUSB0"));
}

TEST_F(ComMapTest, RegisterReplacesMovesAndIsSeenByOtherReaders) {
    QSettings settings(IniPath(), QSettings::IniFormat);
    QSettings otherSettings(IniPath(), QSettings::IniFormat);
    CComMap map(&settings), reader(&otherSettings);
    EXPECT_EQ(reader.DevicePath(20), "/dev/ttyS19");

    EXPECT_FALSE(map.Register(0, "/dev/pts/5"));
    EXPECT_FALSE(map.Register(20, ""));
    ASSERT_TRUE(map.Register(20, "/dev/pts/5"));
    // On disk at once, for a receiver in another process.
    std::ifstream file(IniPath().toStdString());
    const std::string text{std::istreambuf_iterator<char>(file), {}};
    EXPECT_NE(text.find("COM20=/dev/pts/5"), std::string::npos) << text;
    EXPECT_EQ(reader.DevicePath(20), "/dev/pts/5");
    ASSERT_TRUE(map.Register(20, "/dev/pts/6"));
    ASSERT_TRUE(map.Register(21, "/dev/pts/6")); // a device has one number
    EXPECT_EQ(reader.Entries(), (std::map<int, std::string>{{21, "/dev/pts/6"}}));
    EXPECT_EQ(reader.NumberOf("/dev/pts/6"), 21);

    map.Unregister(21);
    EXPECT_EQ(reader.DevicePath(21), "/dev/ttyS20");
    EXPECT_TRUE(reader.Entries().empty());

    // Another process (the simulator) writes the file behind our back.
    std::ofstream(IniPath().toStdString()) << "[ComMap]\nCOM30=/dev/pts/30\nCOMX=/dev/pts/1\n";
    EXPECT_EQ(reader.DevicePath(30), "/dev/pts/30");
    EXPECT_EQ(reader.Entries(), (std::map<int, std::string>{{30, "/dev/pts/30"}}));
}
