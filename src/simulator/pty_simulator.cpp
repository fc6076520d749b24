#include "simulator/pty_simulator.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr int kPollMs = 5;
// After a long stall (a stopped process) the device goes on from now rather than pouring out
// the backlog at once.
constexpr double kMaxStep = 0.25;

bool SetRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

} // namespace

CPtySimulator::CPtySimulator(const SimulatorOptions& options) : m_sim(options) {}

CPtySimulator::~CPtySimulator() {
    Close();
}

void CPtySimulator::Close() {
    if (m_hSlave >= 0)
        close(m_hSlave);
    if (m_hMaster >= 0)
        close(m_hMaster);
    m_hSlave = m_hMaster = -1;
}

bool CPtySimulator::Open() {
    Close();
    m_strSlavePath.clear();
    const auto fail = [this] {
        m_nLastError = errno;
        Close();
        return false;
    };
    m_hMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_hMaster < 0 || grantpt(m_hMaster) != 0 || unlockpt(m_hMaster) != 0)
        return fail();
    char name[128];
    if (ptsname_r(m_hMaster, name, sizeof name) != 0)
        return fail();
    // No echo and no line editing in either direction: the stream is binary.
    if (!SetRaw(m_hMaster))
        return fail();
    const int flags = fcntl(m_hMaster, F_GETFL);
    if (flags < 0 || fcntl(m_hMaster, F_SETFL, flags | O_NONBLOCK) != 0)
        return fail();
    m_hSlave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_hSlave < 0 || !SetRaw(m_hSlave))
        return fail();
    m_strSlavePath = name;
    m_nLastError = 0;
    return true;
}

void CPtySimulator::Note(const std::string& text) const {
    if (m_noteSink)
        m_noteSink(text);
}

// Hands what the host wrote to the device, then writes what the device sends in `dElapsed`.
bool CPtySimulator::Pump(double dElapsed) {
    uint8_t in[512];
    for (;;) {
        const ssize_t n = read(m_hMaster, in, sizeof in);
        if (n > 0) {
            m_sim.OnInput(std::span<const uint8_t>(in, size_t(n)));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EIO only while no slave is open, which our own descriptor prevents.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO) {
            m_nLastError = errno;
            return false;
        }
        break;
    }
    if (m_bRecordRequest.exchange(false))
        m_sim.RequestRecord();

    const std::vector<uint8_t> out = m_sim.Advance(dElapsed);
    size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = write(m_hMaster, out.data() + done, out.size() - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            break; // full: nobody is reading
        }
    }
    m_nWritten += done;
    m_nLost += out.size() - done;
    return true;
}

bool CPtySimulator::Run(std::atomic<bool>& stop, double dSeconds) {
    if (m_hMaster < 0) {
        m_nLastError = EBADF;
        return false;
    }
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;

    bool bLink = m_sim.LinkUp();
    bool bRecord = m_sim.SendingRecord();
    bool bSilent = m_sim.Silent();
    while (!stop.load()) {
        const Clock::time_point now = Clock::now();
        if (dSeconds >= 0.0 && std::chrono::duration<double>(now - start).count() >= dSeconds)
            break;
        const double elapsed = std::chrono::duration<double>(now - last).count();
        last = now;
        if (!Pump(std::min(elapsed, kMaxStep)))
            return false;

        if (m_sim.LinkUp() != bLink) {
            bLink = m_sim.LinkUp();
            Note(bLink ? "link up" : "link down (DISCONNECT)");
        }
        if (m_sim.Silent() != bSilent) {
            bSilent = m_sim.Silent();
            Note(bSilent ? "device silent" : "device audible again");
        }
        if (m_sim.SendingRecord() != bRecord) {
            bRecord = m_sim.SendingRecord();
            Note(bRecord ? "sending the stored record"
                         : "record sent (" + std::to_string(m_sim.RecordFramesSent()) +
                               " record frames); live again");
        }

        pollfd p{m_hMaster, POLLIN, 0};
        const int r = poll(&p, 1, kPollMs);
        if (r < 0 && errno != EINTR) {
            m_nLastError = errno;
            return false;
        }
        // A hang-up that poll keeps reporting would otherwise spin this loop.
        if (r > 0 && (p.revents & POLLIN) == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
    }
    return true;
}
