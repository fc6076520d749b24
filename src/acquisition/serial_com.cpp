#include "acquisition/serial_com.h"

#include "acquisition/com_map.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Raw 8N1 without flow control, reads that return at once with what is queued.
bool SetLine(int fd, bool bSlow) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP | IGNPAR | PARMRK);
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
    // HUPCL drops the modem lines on close even if a driver raised them on open.
    tio.c_cflag |= CS8 | CREAD | CLOCAL | HUPCL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = bSlow ? B38400 : B115200;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0)
        return false;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

CSerialCom::CSerialCom() = default;

CSerialCom::~CSerialCom() {
    ClosePort();
}

void CloseSerialHandle(int& fd) {
    if (fd < 0)
        return;
    // Purging first keeps close() from waiting for pending output to drain.
    tcflush(fd, TCIFLUSH);
    tcflush(fd, TCOFLUSH);
    // The exclusive flag belongs to the terminal, not to this descriptor: it would outlive the
    // close while anyone else keeps the device open.
    ioctl(fd, TIOCNXCL);
    close(fd);
    fd = -1;
}

void CSerialCom::ClosePort() {
    CloseSerialHandle(m_hPort);
}

int CSerialCom::OpenPort(int nPort, bool bSlow, const CComMap* map) {
    std::unique_ptr<CComMap> own;
    if (!map && nPort >= 1) {
        own = std::make_unique<CComMap>();
        map = own.get();
    }
    const std::string path = nPort >= 1 ? map->DevicePath(nPort) : std::string();
    if (path.empty()) {
        ClosePort();
        m_strPortName.clear();
        m_nLastError = ENOENT;
        return -1;
    }
    return OpenDevice(path, bSlow);
}

int CSerialCom::OpenDevice(const std::string& path, bool bSlow) {
    ClosePort();
    m_strPortName = path;

    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_nLastError = errno;
        return -1;
    }
    bool bExclusive = false;
    auto fail = [&](int err) {
        if (bExclusive)
            ioctl(fd, TIOCNXCL);
        close(fd);
        m_nLastError = err;
        return -1;
    };
    // The lock first: TIOCEXCL does not stop root, and setting it on a port that someone else
    // holds would lock them out of reopening it.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        return fail(errno == EWOULDBLOCK ? EBUSY : errno);
    if (ioctl(fd, TIOCEXCL) != 0)
        return fail(errno);
    bExclusive = true;
    if (!SetLine(fd, bSlow))
        return fail(errno);
    // A pseudo-terminal has no modem lines.
    int lines = TIOCM_DTR | TIOCM_RTS;
    if (ioctl(fd, TIOCMBIC, &lines) != 0 && errno != ENOTTY && errno != EINVAL)
        return fail(errno);
    // Drop whatever arrived or was queued before this open.
    if (tcflush(fd, TCIOFLUSH) != 0)
        return fail(errno);
    m_hPort = fd;
    m_nLastError = 0;
    return fd;
}

int CFdBytePort::Write(const uint8_t* data, int len) {
    if (len <= 0)
        return 0;
    const ssize_t n = write(m_fd, data, static_cast<size_t>(len));
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    return static_cast<int>(n);
}

int CFdBytePort::Queued() {
    int n = 0;
    return ioctl(m_fd, FIONREAD, &n) == 0 ? n : -1;
}

int CFdBytePort::Read(uint8_t* data, int max) {
    if (max <= 0)
        return 0;
    const ssize_t n = read(m_fd, data, static_cast<size_t>(max));
    if (n < 0)
        return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
    return static_cast<int>(n);
}
