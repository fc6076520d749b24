// Port enumeration: name completion, the text order of port names, and the ports the COM map
// adds (a pseudo-terminal), with busy ports left out on request.

#include "acquisition/com_map.h"
#include "acquisition/enum_com_port.h"
#include "acquisition/serial_com.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

namespace {

TEST(EnumComPort, CompletesNamesAndSortsAsText) {
    SSerInfo usb;
    usb.m_szFriendlyName = "USB Serial Port (COM7)";
    CompleteSerInfo(usb);
    EXPECT_EQ(usb.m_szPortName, "COM7");
    EXPECT_EQ(usb.m_szDescription, "USB Serial Port");

    SSerInfo plain;
    plain.m_szPortName = "COM3";
    CompleteSerInfo(plain);
    EXPECT_EQ(plain.m_szFriendlyName, "COM3");
    EXPECT_EQ(plain.m_szDescription, "COM3");

    SSerInfo odd;
    odd.m_szFriendlyName = "(COM2) port"; // ")" not at the end: the description stays whole
    odd.m_szPortName = "COM2";
    CompleteSerInfo(odd);
    EXPECT_EQ(odd.m_szDescription, "(COM2) port");

    CSortStringArray names{"COM10", "com2", "COM1", "COMX"};
    names.Sort();
    EXPECT_EQ(names, (CSortStringArray{"COM1", "COM10", "com2", "COMX"}));
    CSortStringArray pair{"COM1", "COM10"};
    EXPECT_FALSE(pair.CompareAndSwap(0));
}

TEST(EnumComPort, ListsARegisteredPseudoTerminalAndLeavesItOutWhenBusy) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath(QStringLiteral("map.ini")), QSettings::IniFormat);
    CComMap map(&settings);
    int master = -1, slave = -1;
    char name[64] = {};
    ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
    ASSERT_TRUE(map.Register(57, name));

    std::vector<SSerInfo> ports;
    CEnumComPort::EnumSerialPorts(ports, false, &map);
    auto found = std::find_if(ports.begin(), ports.end(),
                              [](const SSerInfo& p) { return p.m_szPortName == "COM57"; });
    ASSERT_NE(found, ports.end());
    EXPECT_EQ(found->m_szDevicePath, name);
    EXPECT_EQ(found->m_szFriendlyName, "COM57");
    EXPECT_FALSE(found->m_bUsbDevice);
    for (size_t i = 0; i + 1 < ports.size(); ++i)
        EXPECT_LE(strcasecmp(ports[i].m_szPortName.c_str(), ports[i + 1].m_szPortName.c_str()), 0);

    CSerialCom holder;
    ASSERT_GE(holder.OpenDevice(name, false), 0);
    CEnumComPort::EnumSerialPorts(ports, true, &map);
    EXPECT_TRUE(std::none_of(ports.begin(), ports.end(), [](const SSerInfo& p) {
        return p.m_szPortName == "COM57";
    })) << "a port another program holds is left out";
    CEnumComPort::EnumSerialPorts(ports, false, &map);
    EXPECT_TRUE(std::any_of(ports.begin(), ports.end(), [](const SSerInfo& p) {
        return p.m_szPortName == "COM57";
    })) << "without the flag every port stays";
    close(slave);
    close(master);
}

} // namespace
