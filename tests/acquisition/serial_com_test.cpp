#include "acquisition/com_map.h"
#include "acquisition/serial_com.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

// A pseudo-terminal pair; the test keeps the slave open so that the terminal outlives the
// port under test, as a real device outlives the program.
struct Pty {
    int master = -1;
    int slave = -1;
    std::string path;
    Pty() {
        char name[256] = {};
        if (openpty(&master, &slave, name, nullptr, nullptr) == 0)
            path = name;
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    ~Pty() {
        close(master);
        close(slave);
    }
    bool Exclusive() const {
        int excl = 0;
        return ioctl(slave, TIOCGEXCL, &excl) == 0 && excl != 0;
    }
};

bool IsOpen(int fd) {
    return fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

template <class F> bool WaitFor(F cond) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        poll(nullptr, 0, 5);
    }
    return true;
}

} // namespace

TEST(SerialComTest, OpenSetsRaw8N1WithoutFlowControlAtEitherSpeed) {
    Pty pty;
    ASSERT_FALSE(pty.path.empty());
    // Start from a cooked line with everything the port must switch off.
    termios messy{};
    ASSERT_EQ(tcgetattr(pty.slave, &messy), 0);
    messy.c_cflag |= PARENB | PARODD | CSTOPB | CRTSCTS;
    messy.c_cflag = (messy.c_cflag & ~CSIZE) | CS7;
    messy.c_iflag |= IXON | IXOFF | IXANY | ICRNL;
    messy.c_lflag |= ICANON | ECHO | ISIG;
    messy.c_oflag |= OPOST | ONLCR;
    messy.c_cc[VMIN] = 1;
    cfsetspeed(&messy, B9600);
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &messy), 0);

    for (const bool slow : {false, true}) {
        CSerialCom com;
        const int fd = com.OpenDevice(pty.path, slow);
        ASSERT_GE(fd, 0) << com.m_nLastError;
        EXPECT_EQ(fd, com.m_hPort);
        EXPECT_EQ(com.m_strPortName, pty.path);
        EXPECT_TRUE(fcntl(fd, F_GETFL) & O_NONBLOCK);
        EXPECT_TRUE(pty.Exclusive());
        termios t{};
        ASSERT_EQ(tcgetattr(fd, &t), 0);
        EXPECT_EQ(cfgetospeed(&t), slow ? B38400 : B115200);
        EXPECT_EQ(cfgetispeed(&t), slow ? B38400 : B115200);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
        EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF | IXANY | ICRNL), 0u);
        EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
    }
}

TEST(SerialComTest, BytesPassBothWaysUntranslatedAndStaleInputIsDropped) {
    Pty pty;
    // Bytes that arrived before the open must not reach the decoder. (Raw, so that FIONREAD
    // counts them without a line end.)
    termios raw{};
    ASSERT_EQ(tcgetattr(pty.slave, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &raw), 0);
    ASSERT_EQ(write(pty.master, "old", 3), 3);
    int queued = 0;
    ASSERT_TRUE(WaitFor([&] { return ioctl(pty.slave, FIONREAD, &queued) == 0 && queued == 3; }));

    CSerialCom com;
    ASSERT_GE(com.OpenDevice(pty.path, false), 0);
    CFdBytePort port(com.m_hPort);
    uint8_t buf[16];
    EXPECT_EQ(port.Queued(), 0);
    EXPECT_EQ(port.Read(buf, sizeof buf), 0); // nothing there: returns at once

    // Line ends and the XON/XOFF characters are data to a raw line.
    const uint8_t in[] = {0x0D, 0x0A, 0x11, 0x13, 0x00, 0xFF, 0x03, 0x7F};
    ASSERT_EQ(write(pty.master, in, sizeof in), static_cast<ssize_t>(sizeof in));
    ASSERT_TRUE(WaitFor([&] { return port.Queued() == static_cast<int>(sizeof in); }));
    ASSERT_EQ(port.Read(buf, 3), 3);
    ASSERT_EQ(port.Read(buf + 3, sizeof buf - 3), static_cast<int>(sizeof in) - 3);
    EXPECT_EQ(std::vector<uint8_t>(buf, buf + sizeof in), std::vector<uint8_t>(in, in + sizeof in));

    const std::string wake = "BTConnect\n\r";
    ASSERT_EQ(port.Write(reinterpret_cast<const uint8_t*>(wake.data()), int(wake.size())),
              int(wake.size()));
    std::string out;
    EXPECT_TRUE(WaitFor([&] {
        char chunk[64];
        const ssize_t n = read(pty.master, chunk, sizeof chunk);
        out.append(chunk, n > 0 ? size_t(n) : 0);
        return out.size() >= wake.size();
    }));
    EXPECT_EQ(out, wake);
}

TEST(SerialComTest, ReopenClosesTheFirstDescriptorAndReleasesItsLock) {
    Pty a, b;
    QTemporaryDir dir;
    QSettings settings(dir.filePath("map.ini"), QSettings::IniFormat);
    CComMap map(&settings);
    ASSERT_TRUE(map.Register(12, a.path));
    ASSERT_TRUE(map.Register(3, b.path));

    CSerialCom com;
    // A free slot below the first descriptor lets the reopen take a different number, so that
    // the old one can be seen closed.
    const int hole = open("/dev/null", O_RDONLY | O_CLOEXEC);
    const int first = com.OpenPort(12, false, &map);
    ASSERT_GE(first, 0);
    EXPECT_EQ(com.m_strPortName, a.path);
    close(hole);
    const int second = com.OpenPort(12, false, &map); // our own lock must not stand in the way
    ASSERT_GE(second, 0) << com.m_nLastError;
    ASSERT_NE(second, first);
    EXPECT_FALSE(IsOpen(first));

    ASSERT_GE(com.OpenDevice(b.path, false), 0);
    EXPECT_FALSE(a.Exclusive());
    CSerialCom other;
    EXPECT_GE(other.OpenDevice(a.path, false), 0) << other.m_nLastError;
}

TEST(SerialComTest, BusyPortFailsWithEbusyAndTheHolderKeepsWorking) {
    Pty pty;
    CSerialCom holder, intruder;
    ASSERT_GE(holder.OpenDevice(pty.path, false), 0);
    EXPECT_EQ(intruder.OpenDevice(pty.path, false), -1);
    EXPECT_EQ(intruder.m_nLastError, EBUSY);
    EXPECT_EQ(intruder.m_hPort, -1);

    EXPECT_TRUE(pty.Exclusive());
    CFdBytePort port(holder.m_hPort);
    ASSERT_EQ(write(pty.master, "x", 1), 1);
    ASSERT_TRUE(WaitFor([&] { return port.Queued() == 1; }));

    holder.ClosePort();
    EXPECT_GE(intruder.OpenDevice(pty.path, false), 0) << intruder.m_nLastError;
}

TEST(SerialComTest, ClosingTwiceAndClosingACopyLeaveOtherDescriptorsAlone) {
    Pty pty;
    int copy = -1;
    {
        CSerialCom com;
        const int fd = com.OpenDevice(pty.path, false);
        ASSERT_GE(fd, 0);
        com.ClosePort();
        EXPECT_EQ(com.m_hPort, -1);
        EXPECT_FALSE(pty.Exclusive());
        // The freed number goes to the next open; a second close must not take it away.
        const int unrelated = open("/dev/null", O_RDONLY | O_CLOEXEC);
        com.ClosePort();
        EXPECT_TRUE(IsOpen(unrelated));
        close(unrelated);

        // The session closes its copy of the handle with the same steps.
        copy = com.OpenDevice(pty.path, false);
        ASSERT_GE(copy, 0);
        const int fdCopy = copy;
        CloseSerialHandle(copy);
        EXPECT_EQ(copy, -1);
        EXPECT_FALSE(IsOpen(fdCopy));
        CloseSerialHandle(copy);

        ASSERT_GE(com.OpenDevice(pty.path, false), 0);
        copy = com.m_hPort;
    } // the destructor closes
    EXPECT_FALSE(IsOpen(copy));
    CSerialCom again;
    EXPECT_GE(again.OpenDevice(pty.path, false), 0);
}

TEST(SerialComTest, NumbersWithoutADeviceFailWithEnoent) {
    Pty pty;
    CSerialCom com;
    ASSERT_GE(com.OpenDevice(pty.path, false), 0);
    EXPECT_EQ(com.OpenPort(0, false), -1); // also closes what was open
    EXPECT_EQ(com.m_nLastError, ENOENT);
    EXPECT_EQ(com.m_hPort, -1);
    EXPECT_FALSE(pty.Exclusive());

    // The per-user map: an unregistered number is a ttyS device.
    EXPECT_EQ(com.OpenPort(5000, false), -1);
    EXPECT_EQ(com.m_strPortName, "/dev/ttyS4999");
    EXPECT_EQ(com.m_nLastError, ENOENT);
    EXPECT_EQ(com.OpenDevice("/dev/pts/missing", false), -1);
    EXPECT_EQ(com.m_nLastError, ENOENT);
}
