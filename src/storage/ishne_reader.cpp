#include "storage/ishne_reader.h"

#include "platform/bounded_file.h"
#include "storage/scp_file.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr char kMagic[] = "ISHNE1.0";
constexpr size_t kMagicSize = 8;
constexpr size_t kCrcFrom = 10; // the CRC covers what follows it
// Far above any recorder's notes, far below what would hurt to read for a header.
constexpr int32_t kMaxVarBlock = 16 << 20;

int16_t Get16(const uint8_t* p) {
    return int16_t(uint16_t(p[0] | p[1] << 8));
}

int32_t Get32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

// A fixed-width text field: up to its first zero, trailing blanks dropped, Latin-1 as UTF-8.
std::string Text(const uint8_t* p, size_t size) {
    size_t n = 0;
    while (n < size && p[n] != 0)
        ++n;
    while (n > 0 && p[n - 1] == ' ')
        --n;
    std::string out;
    for (size_t i = 0; i < n; ++i) {
        if (p[i] < 0x80) {
            out += char(p[i] < 0x20 ? ' ' : p[i]);
        } else {
            out += char(0xC0 | p[i] >> 6);
            out += char(0x80 | (p[i] & 0x3F));
        }
    }
    return out;
}

// Day, month, year as three int16; -9 (or anything out of range) is "not given".
bool Date(const uint8_t* p, uint16_t& year, uint16_t& month, uint16_t& day) {
    const int d = Get16(p), m = Get16(p + 2), y = Get16(p + 4);
    if (d < 1 || d > 31 || m < 1 || m > 12 || y < 1850 || y > 9999)
        return false;
    year = uint16_t(y), month = uint16_t(m), day = uint16_t(d);
    return true;
}

bool Fail(std::string* error, const std::string& why) {
    *error = "not a readable ISHNE Holter file: " + why;
    return false;
}

} // namespace

std::string IshneLeadName(int code, int index) {
    static const char* const kNames[] = {
        nullptr, nullptr, "X",   "Y",   "Z",   "I",  "II", "III", "aVR", "aVL", "aVF",
        "V1",    "V2",    "V3",  "V4",  "V5",  "V6", "ES", "AS",  "AI",  "S",   "I",
        "II",    "III",   "aVR", "aVL", "aVF", "V1", "V2", "V3",  "V4",  "V5",  "V6"};
    // Codes 21-32 are the same leads derived by the recorder: the same place on the chart.
    if (code >= 0 && code < int(std::size(kNames)) && kNames[code])
        return kNames[code];
    const std::string place = "lead " + std::to_string(index + 1);
    if (code == 0)
        return place + " (unknown)";
    if (code == 1)
        return place + " (bipolar)";
    if (code == -9)
        return place + " (absent)";
    return place + " (code " + std::to_string(code) + ")";
}

bool IshneClaims(std::span<const uint8_t> head) {
    if (head.size() < kIshneFixedHeader || std::memcmp(head.data(), kMagic, kMagicSize) != 0)
        return false;
    const int32_t var = Get32(&head[10]);
    if (var < 0 || var > kMaxVarBlock)
        return false;
    const size_t end = kIshneFixedHeader + size_t(var);
    if (end > head.size())
        return true; // the CRC is the reader's to check
    return ScpCrc(&head[kCrcFrom], end - kCrcFrom) == uint16_t(Get16(&head[8]));
}

bool ParseIshneHeader(std::span<const uint8_t> head, uint64_t fileSize, CIshneHeader& out,
                      std::string* error) {
    if (head.size() < kMagicSize || std::memcmp(head.data(), kMagic, kMagicSize) != 0)
        return Fail(error, "it does not begin with \"ISHNE1.0\"");
    if (head.size() < kIshneFixedHeader)
        return Fail(error, "its header is cut short at " + std::to_string(head.size()) +
                               " bytes, it has " + std::to_string(kIshneFixedHeader));
    const uint8_t* p = head.data();
    CIshneHeader h;
    h.m_nVarBlockSize = Get32(p + 10);
    h.m_nSamples = Get32(p + 14);
    h.m_nVarBlockOffset = Get32(p + 18);
    h.m_nEcgOffset = Get32(p + 22);
    h.m_nVersion = Get16(p + 26);
    if (h.m_nVarBlockSize < 0 || h.m_nVarBlockSize > kMaxVarBlock)
        return Fail(error, "its variable block of " + std::to_string(h.m_nVarBlockSize) +
                               " bytes cannot be");
    const size_t headerEnd = kIshneFixedHeader + size_t(h.m_nVarBlockSize);
    if (head.size() < headerEnd || fileSize < headerEnd)
        return Fail(error, "its variable block of " + std::to_string(h.m_nVarBlockSize) +
                               " bytes runs past the end of the file");
    const uint16_t stored = uint16_t(Get16(p + 8));
    const uint16_t crc = ScpCrc(p + kCrcFrom, headerEnd - kCrcFrom);
    if (crc != stored) {
        char text[96];
        std::snprintf(text, sizeof text, "the header's CRC is 0x%04X, its bytes give 0x%04X",
                      stored, crc);
        return Fail(error, text);
    }
    if (h.m_nVarBlockOffset != int32_t(kIshneFixedHeader))
        return Fail(error, "its variable block is said to begin at byte " +
                               std::to_string(h.m_nVarBlockOffset) + ", not 522");
    if (h.m_nEcgOffset < int32_t(headerEnd) || uint64_t(h.m_nEcgOffset) > fileSize)
        return Fail(error, "its samples are said to begin at byte " +
                               std::to_string(h.m_nEcgOffset) + ", outside the file");
    h.m_strFirstName = Text(p + 28, 40);
    h.m_strLastName = Text(p + 68, 40);
    h.m_strId = Text(p + 108, 20);
    h.m_nSex = Get16(p + 128);
    if (h.m_nSex < 0 || h.m_nSex > 2)
        h.m_nSex = 0;
    Date(p + 132, h.m_nBirthYear, h.m_nBirthMonth, h.m_nBirthDay);
    uint16_t y = 0, mo = 0, d = 0;
    const int hour = Get16(p + 150), minute = Get16(p + 152), second = Get16(p + 154);
    if (Date(p + 138, y, mo, d) && hour >= 0 && hour < 24 && minute >= 0 && minute < 60 &&
        second >= 0 && second < 60)
        h.m_stStart =
            SYSTEMTIME{y, mo, 0, d, uint16_t(hour), uint16_t(minute), uint16_t(second), 0};
    h.m_nLeads = Get16(p + 156);
    if (h.m_nLeads < 1 || h.m_nLeads > kIshneMaxLeads)
        return Fail(error,
                    "it says it has " + std::to_string(h.m_nLeads) + " leads, a file has 1 to 12");
    for (int i = 0; i < kIshneMaxLeads; ++i) {
        h.m_LeadCodes[i] = Get16(p + 158 + 2 * i);
        h.m_ResolutionNv[i] = Get16(p + 206 + 2 * i);
    }
    for (int i = 0; i < h.m_nLeads; ++i)
        if (h.m_ResolutionNv[i] <= 0)
            return Fail(error, "the resolution of lead " + std::to_string(i + 1) + " is " +
                                   std::to_string(h.m_ResolutionNv[i]) + " nV");
    h.m_strRecorder = Text(p + 232, 40);
    h.m_nRate = Get16(p + 272);
    if (h.m_nRate <= 0)
        return Fail(error, "its sampling rate is " + std::to_string(h.m_nRate) + " Hz");
    if (h.m_nSamples <= 0)
        return Fail(error,
                    "it says it holds " + std::to_string(h.m_nSamples) + " samples per lead");
    const uint64_t need =
        uint64_t(h.m_nEcgOffset) + uint64_t(h.m_nSamples) * uint64_t(h.m_nLeads) * 2;
    if (need > fileSize)
        return Fail(error, "it says it holds " + std::to_string(h.m_nSamples) +
                               " samples per lead, which end at byte " + std::to_string(need) +
                               ", past the file's end at " + std::to_string(fileSize));
    out = std::move(h);
    return true;
}

long DecodeIshneFrames(std::span<const uint8_t> bytes, const CIshneHeader& h, long frames,
                       std::vector<std::vector<float>>& leads) {
    const size_t n = size_t(h.m_nLeads);
    if (n < 1 || n > size_t(kIshneMaxLeads) || frames <= 0 || leads.size() < n)
        return 0;
    const long count = std::min(frames, long(bytes.size() / (2 * n)));
    float scale[kIshneMaxLeads];
    for (size_t c = 0; c < n; ++c) {
        scale[c] = float(h.m_ResolutionNv[c]) / 1000.0f; // nV to µV
        leads[c].reserve(leads[c].size() + size_t(count));
    }
    const uint8_t* at = bytes.data();
    for (long i = 0; i < count; ++i)
        for (size_t c = 0; c < n; ++c, at += 2)
            leads[c].push_back(float(Get16(at)) * scale[c]);
    return count;
}

bool CIshneReader::Open(const std::string& path, std::string* error) {
    std::vector<uint8_t> head;
    uint64_t size = 0;
    if (!ReadFilePart(path, 0, kIshneFixedHeader, head, error, &size))
        return false;
    if (head.size() == kIshneFixedHeader && std::memcmp(head.data(), kMagic, kMagicSize) == 0) {
        const int32_t var = Get32(&head[10]);
        if (var > 0 && var <= kMaxVarBlock &&
            !ReadFilePart(path, 0, kIshneFixedHeader + size_t(var), head, error, &size))
            return false;
    }
    CIshneHeader h;
    if (!ParseIshneHeader(head, size, h, error))
        return false;
    m_strPath = path;
    m_header = std::move(h);
    return true;
}

bool CIshneReader::Read(long first, long count, CEcgSignal& out, std::string* error) const {
    const CIshneHeader& h = m_header;
    first = std::clamp(first, 0L, Frames());
    count = std::max(0L, std::min(count, Frames() - first));
    const size_t frameBytes = 2 * size_t(h.m_nLeads);
    std::vector<uint8_t> bytes;
    if (count > 0 &&
        !ReadFilePart(m_strPath, uint64_t(h.m_nEcgOffset) + uint64_t(first) * frameBytes,
                      size_t(count) * frameBytes, bytes, error))
        return false;
    CEcgSignal s;
    s.dRate = Rate();
    s.leads.resize(size_t(h.m_nLeads));
    if (DecodeIshneFrames(bytes, h, count, s.leads) != count && count > 0)
        return *error = "the file became shorter while it was read", false;
    for (int i = 0; i < h.m_nLeads; ++i) {
        s.names.push_back(IshneLeadName(h.m_LeadCodes[i], i));
        s.present.push_back(h.m_LeadCodes[i] != -9);
    }
    out = std::move(s);
    return true;
}

bool CIshneReader::ReadStart(double seconds, ForeignEcg& out, std::string* error) const {
    ForeignEcg e;
    if (!Read(0, long(std::ceil(seconds * Rate())), e.signal, error))
        return false;
    const CIshneHeader& h = m_header;
    e.dTotalSeconds = TotalSeconds();
    e.start = h.m_stStart;
    e.lastName = h.m_strLastName;
    e.firstName = h.m_strFirstName;
    e.patientId = h.m_strId;
    e.birthYear = h.m_nBirthYear;
    e.birthMonth = h.m_nBirthMonth;
    e.birthDay = h.m_nBirthDay;
    e.sex = h.m_nSex == 1 ? 1 : h.m_nSex == 2 ? 0 : -1;
    out = std::move(e);
    return true;
}
