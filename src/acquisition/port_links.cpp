#include "acquisition/port_links.h"

#include "platform/bounded_file.h"
#include "platform/error_text.h"
#include "record_model/session_state.h"

#include <cerrno>
#include <cstring>

CSerialPortLink::CSerialPortLink(std::string devicePath) : m_strDevice(std::move(devicePath)) {}

int CSerialPortLink::Open(int nCom) {
    const int fd = m_strDevice.empty() ? m_Serial.OpenPort(nCom, false)
                                       : m_Serial.OpenDevice(m_strDevice, false);
    if (fd < 0) {
        const std::string port =
            m_strDevice.empty() ? "COM" + std::to_string(nCom) + " (" + m_Serial.m_strPortName + ")"
                                : m_strDevice;
        m_strError = port + ": " + ErrorText(m_Serial.m_nLastError);
    } else {
        m_strError.clear();
    }
    return fd;
}

void CSerialPortLink::Close() {
    m_Serial.ClosePort();
}

int CSerialPortLink::Write(const uint8_t* data, int len) {
    return CFdBytePort(m_Serial.m_hPort).Write(data, len);
}

int CSerialPortLink::Queued() {
    return CFdBytePort(m_Serial.m_hPort).Queued();
}

int CSerialPortLink::Read(uint8_t* data, int max) {
    return CFdBytePort(m_Serial.m_hPort).Read(data, max);
}

CCaptureLink::CCaptureLink(ISerialLink& inner) : m_inner(inner) {}

CCaptureLink::~CCaptureLink() = default; // an unfinished capture goes with its file

bool CCaptureLink::Create(const std::string& path, std::string* error) {
    m_pFile = std::make_unique<CAtomicFile>(path);
    if (!m_pFile->Open()) {
        if (error)
            *error = m_pFile->ErrorText();
        m_pFile.reset();
        return false;
    }
    return true;
}

bool CCaptureLink::Finish(std::string* error) {
    if (!m_pFile)
        return true;
    const bool ok = m_pFile->Commit();
    if (!ok && error)
        *error = m_pFile->ErrorText();
    m_pFile.reset();
    return ok;
}

void CCaptureLink::Append(const uint8_t* data, uint32_t len) {
    if (!m_pFile)
        return;
    const uint8_t header[4] = {uint8_t(len), uint8_t(len >> 8), uint8_t(len >> 16),
                               uint8_t(len >> 24)};
    if (!m_pFile->Write(header, 4) || (len > 0 && !m_pFile->Write(data, len)))
        m_bOk = false;
}

int CCaptureLink::Queued() {
    const int queued = m_inner.Queued();
    if (queued <= 0)
        Append(nullptr, 0); // the tick ends without reading
    return queued;
}

int CCaptureLink::Read(uint8_t* data, int max) {
    const int got = m_inner.Read(data, max);
    Append(data, uint32_t(got > 0 ? got : 0));
    return got;
}

bool CReplayLink::Load(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error)
            *error = path + ": " + what;
        return false;
    };
    // A capture of a whole reception is a few megabytes; far more is no capture.
    constexpr size_t kMaxCapture = size_t(256) << 20;
    std::vector<uint8_t> bytes;
    std::string why;
    uint64_t size = 0;
    if (!ReadFilePart(path, 0, kMaxCapture, bytes, &why, &size))
        return fail(why);
    if (size > kMaxCapture)
        return fail("it is " + std::to_string(size) + " bytes, more than any capture");
    if (!Parse(bytes, &why))
        return fail(why);
    return true;
}

bool CReplayLink::Parse(std::span<const uint8_t> bytes, std::string* error) {
    auto fail = [&](const std::string& what) {
        if (error)
            *error = what;
        return false;
    };
    m_ticks.clear();
    m_nNext = 0;
    std::vector<std::vector<uint8_t>> ticks;
    size_t pos = 0;
    while (pos < bytes.size()) {
        const std::string where =
            "tick " + std::to_string(ticks.size() + 1) + " at offset " + std::to_string(pos);
        if (bytes.size() - pos < 4)
            return fail(where + ": the 4-byte length is cut short");
        const uint32_t len = uint32_t(bytes[pos]) | uint32_t(bytes[pos + 1]) << 8 |
                             uint32_t(bytes[pos + 2]) << 16 | uint32_t(bytes[pos + 3]) << 24;
        if (len > uint32_t(kMaxChunk))
            return fail(where + ": length " + std::to_string(len) + " is more than a tick reads (" +
                        std::to_string(kMaxChunk) + ")");
        if (bytes.size() - pos - 4 < len)
            return fail(where + ": " + std::to_string(len) + " bytes announced, only " +
                        std::to_string(bytes.size() - pos - 4) + " left");
        const auto tick = bytes.subspan(pos + 4, len);
        ticks.emplace_back(tick.begin(), tick.end());
        pos += 4 + len;
    }
    m_ticks = std::move(ticks);
    return true;
}

int CReplayLink::Queued() {
    if (AtEnd())
        return 0;
    const int n = int(m_ticks[m_nNext].size());
    if (n == 0)
        ++m_nNext; // an empty tick is used up by the status query alone
    return n;
}

int CReplayLink::Read(uint8_t* data, int max) {
    if (AtEnd())
        return 0;
    const std::vector<uint8_t>& tick = m_ticks[m_nNext++];
    const int n = std::min<int>(max, int(tick.size()));
    std::memcpy(data, tick.data(), size_t(n));
    return n;
}
