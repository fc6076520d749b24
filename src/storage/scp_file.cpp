#include "storage/scp_file.h"

#include <algorithm>

namespace {

constexpr size_t kFileHeader = 6;     // file CRC, file length
constexpr size_t kSectionHeader = 16; // CRC, id, length, version, protocol, 6 reserved
constexpr size_t kPointerSize = 10;   // id, length, index

constexpr std::array<uint16_t, 256> MakeCrcTable() {
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        uint16_t crc = uint16_t(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? uint16_t((crc << 1) ^ 0x1021) : uint16_t(crc << 1);
        table[i] = crc;
    }
    return table;
}
constexpr std::array<uint16_t, 256> kCrcTable = MakeCrcTable();

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

void Append16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

// Tag, 16-bit length, value.
void PutTag(std::vector<uint8_t>& out, uint8_t tag, const std::vector<uint8_t>& value) {
    out.push_back(tag);
    Append16(out, uint16_t(value.size()));
    out.insert(out.end(), value.begin(), value.end());
}

std::vector<uint8_t> ZeroTerminated(const std::string& text) {
    std::vector<uint8_t> v(text.begin(), text.end());
    v.push_back(0);
    return v;
}

void PutText(std::vector<uint8_t>& out, uint8_t tag, const std::string& text) {
    PutTag(out, tag, ZeroTerminated(text));
}
void PutOptionalText(std::vector<uint8_t>& out, uint8_t tag, const std::string& text) {
    if (!text.empty())
        PutText(out, tag, text);
}

std::vector<uint8_t> EncodeTag14(const SCP_TAG14& t) {
    std::vector<uint8_t> v;
    Append16(v, t.nInstitution);
    Append16(v, t.nDepartment);
    Append16(v, t.nDeviceId);
    v.push_back(t.nDeviceType);
    v.push_back(t.nManufacturerCode);
    uint8_t model[6] = {};
    std::copy_n(t.strModel.begin(), std::min<size_t>(t.strModel.size(), 5), model);
    v.insert(v.end(), model, model + 6);
    v.push_back(t.nProtocolRevision);
    v.push_back(t.nCompatibilityLevel);
    v.push_back(t.nLanguageSupport);
    v.push_back(t.nCapabilities);
    v.push_back(t.nMainsFrequency);
    v.insert(v.end(), 16, 0); // reserved
    // The analysing program's text is the only one with a length byte in front of it.
    v.push_back(uint8_t(std::min<size_t>(t.strAnalysingProgram.size() + 1, 255)));
    for (const std::string* text : {&t.strAnalysingProgram, &t.strSerialNumber,
                                    &t.strSystemSoftware, &t.strScpSoftware, &t.strManufacturer}) {
        const std::vector<uint8_t> z = ZeroTerminated(*text);
        v.insert(v.end(), z.begin(), z.end());
    }
    return v;
}

// A section's bytes: its header (CRC, id, length, section and protocol version) and `body`,
// padded to an even length.
std::vector<uint8_t> SectionWithHeader(uint16_t nId, const std::vector<uint8_t>& body,
                                       uint8_t nVersion, uint8_t nProtocol) {
    std::vector<uint8_t> section(kSectionHeader, 0);
    section.insert(section.end(), body.begin(), body.end());
    if (section.size() % 2)
        section.push_back(0);
    Put16(&section[2], nId);
    Put32(&section[4], uint32_t(section.size()));
    section[8] = nVersion;
    section[9] = nProtocol;
    Put16(&section[0], ScpCrc(section.data() + 2, section.size() - 2));
    return section;
}

// After Section 0's table changed: its CRC, the file length and the file CRC.
void FinishScpFile(std::vector<uint8_t>& file) {
    uint8_t* s0 = &file[kFileHeader];
    Put16(s0, ScpCrc(s0 + 2, Get32(s0 + 4) - 2));
    Put32(&file[2], uint32_t(file.size()));
    Put16(&file[0], ScpCrc(file.data() + 2, file.size() - 2));
}

} // namespace

uint16_t ScpCrc(const uint8_t* data, size_t size) {
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < size; ++i)
        crc = uint16_t((crc << 8) ^ kCrcTable[((crc >> 8) ^ data[i]) & 0xFF]);
    return crc;
}

bool ReadScpSectionTable(const std::vector<uint8_t>& file, std::vector<ScpSectionPointer>& table,
                         std::string* error) {
    auto fail = [&](const char* why) {
        if (error)
            *error = why;
        return false;
    };
    table.clear();
    if (file.size() < kFileHeader + kSectionHeader)
        return fail("the SCP file is too short");
    if (Get32(&file[2]) != file.size())
        return fail("the SCP file's length field does not match its size");
    const uint8_t* s0 = &file[kFileHeader];
    const uint32_t s0Length = Get32(s0 + 4);
    if (Get16(s0 + 2) != 0 || s0Length < kSectionHeader || kFileHeader + s0Length > file.size() ||
        (s0Length - kSectionHeader) % kPointerSize != 0)
        return fail("the SCP file has no valid Section 0");
    for (size_t at = kFileHeader + kSectionHeader; at < kFileHeader + s0Length;
         at += kPointerSize) {
        ScpSectionPointer p;
        p.nId = Get16(&file[at]);
        p.nLength = Get32(&file[at + 2]);
        p.nIndex = Get32(&file[at + 6]);
        p.nEntryOffset = at;
        if (p.nLength > 0) {
            if (p.nIndex < 1 || p.nLength < kSectionHeader ||
                uint64_t(p.nIndex) - 1 + p.nLength > file.size() ||
                Get16(&file[p.nIndex - 1 + 2]) != p.nId)
                return fail("the SCP file's section table points outside its sections");
        }
        table.push_back(p);
    }
    return true;
}

bool ScpCrcsOk(const std::vector<uint8_t>& file) {
    std::vector<ScpSectionPointer> table;
    if (!ReadScpSectionTable(file, table, nullptr))
        return false;
    if (ScpCrc(file.data() + 2, file.size() - 2) != Get16(file.data()))
        return false;
    for (const ScpSectionPointer& p : table) {
        if (p.nLength == 0)
            continue;
        const uint8_t* s = &file[p.nIndex - 1];
        if (ScpCrc(s + 2, p.nLength - 2) != Get16(s))
            return false;
    }
    return true;
}

std::string ScpSectionsFault(const std::vector<uint8_t>& file,
                             const std::vector<ScpSectionPointer>& table, bool bSection0) {
    const auto num = [](unsigned v) { return std::to_string(v); };
    if (ScpCrc(file.data() + 2, file.size() - 2) != Get16(file.data()))
        return "not an SCP-ECG file: the file CRC does not match";
    for (const ScpSectionPointer& p : table) {
        if (p.nLength == 0)
            continue;
        const uint8_t* s = &file[p.nIndex - 1];
        if (Get32(s + 4) != p.nLength)
            return "section " + num(p.nId) + "'s length does not match the section table";
        if (ScpCrc(s + 2, p.nLength - 2) != Get16(s))
            return "the CRC of section " + num(p.nId) + " does not match";
    }
    // Section 0 itself (ReadScpSectionTable checked its size).
    if (bSection0) {
        const uint8_t* s0 = &file[6];
        if (ScpCrc(s0 + 2, Get32(s0 + 4) - 2) != Get16(s0))
            return "the CRC of section 0 does not match";
    }
    return {};
}

std::string ScpSectionBody(const std::vector<uint8_t>& file,
                           const std::vector<ScpSectionPointer>& table, uint16_t id,
                           std::span<const uint8_t>& body) {
    body = {};
    bool found = false;
    for (const ScpSectionPointer& p : table) {
        if (p.nId != id || p.nLength == 0)
            continue;
        if (found)
            return "the section table lists section " + std::to_string(id) + " twice";
        found = true;
        body = std::span<const uint8_t>(file.data() + p.nIndex - 1 + kSectionHeader,
                                        p.nLength - kSectionHeader);
    }
    return {};
}

std::vector<uint8_t> EncodeScpSection1Tags(const SCP_SECTION1& s1) {
    std::vector<uint8_t> out;
    PutOptionalText(out, 0, s1.strLastName);
    PutOptionalText(out, 1, s1.strFirstName);
    PutText(out, 2, s1.strPatientId); // required, even when empty
    PutOptionalText(out, 3, s1.strSecondLastName);
    if (s1.nAgeYears) {
        std::vector<uint8_t> v;
        Append16(v, *s1.nAgeYears);
        v.push_back(1); // years
        PutTag(out, 4, v);
    }
    if (s1.dateOfBirth) {
        std::vector<uint8_t> v;
        Append16(v, s1.dateOfBirth->nYear);
        v.push_back(s1.dateOfBirth->nMonth);
        v.push_back(s1.dateOfBirth->nDay);
        PutTag(out, 5, v);
    }
    for (const auto& [tag, value] :
         {std::pair<uint8_t, uint16_t>{6, s1.nHeight}, {7, s1.nWeight}}) {
        if (value == 0)
            continue;
        std::vector<uint8_t> v;
        Append16(v, value);
        v.push_back(1); // cm, kg
        PutTag(out, tag, v);
    }
    PutTag(out, 8, {s1.nSex});
    PutTag(out, 14, EncodeTag14(s1.tag14));
    // A text tag holds at most 64 bytes with its zero.
    PutOptionalText(out, 21, s1.strConfirmingPhysician.substr(0, 63));
    PutTag(out, 24, {s1.nStatCode});
    const SYSTEMTIME& t = s1.stAcquisition;
    PutTag(out, 25, {uint8_t(t.wYear), uint8_t(t.wYear >> 8), uint8_t(t.wMonth), uint8_t(t.wDay)});
    PutTag(out, 26, {uint8_t(t.wHour), uint8_t(t.wMinute), uint8_t(t.wSecond)});
    out.insert(out.end(), s1.filterTags.begin(), s1.filterTags.end());
    // Time zone: offset, index and an empty description, all zero.
    PutTag(out, 34, std::vector<uint8_t>(5, 0));
    for (int i = 0; i < kScpAddressTags; ++i)
        PutOptionalText(out, uint8_t(200 + i), s1.address[size_t(i)]);
    if (s1.nYearsOfResidence) {
        std::vector<uint8_t> v(4);
        Put32(v.data(), uint32_t(*s1.nYearsOfResidence));
        PutTag(out, 206, v);
    }
    PutTag(out, 255, {});
    return out;
}

std::vector<uint8_t> CopyScpTags(const uint8_t* tags, size_t size,
                                 std::initializer_list<uint8_t> wanted) {
    std::vector<uint8_t> out;
    size_t at = 0;
    while (at + 3 <= size && tags[at] != 255) {
        const size_t len = Get16(tags + at + 1);
        if (at + 3 + len > size)
            break;
        if (std::find(wanted.begin(), wanted.end(), tags[at]) != wanted.end())
            out.insert(out.end(), tags + at, tags + at + 3 + len);
        at += 3 + len;
    }
    return out;
}

bool ReplaceScpSection(std::vector<uint8_t>& file, uint16_t nId, const std::vector<uint8_t>& body,
                       std::string* error) {
    std::vector<ScpSectionPointer> table;
    if (!ReadScpSectionTable(file, table, error))
        return false;
    const auto target = std::find_if(table.begin(), table.end(), [&](const ScpSectionPointer& p) {
        return p.nId == nId && p.nLength > 0;
    });
    if (nId == 0 || target == table.end()) {
        if (error)
            *error = "the SCP file has no section " + std::to_string(nId) + " to replace";
        return false;
    }
    const size_t start = target->nIndex - 1;
    const size_t oldLength = target->nLength;
    const std::vector<uint8_t> section =
        SectionWithHeader(nId, body, file[start + 8], file[start + 9]);

    std::vector<uint8_t> out;
    out.reserve(file.size() - oldLength + section.size());
    out.insert(out.end(), file.begin(), file.begin() + ptrdiff_t(start));
    out.insert(out.end(), section.begin(), section.end());
    out.insert(out.end(), file.begin() + ptrdiff_t(start + oldLength), file.end());

    const int64_t delta = int64_t(section.size()) - int64_t(oldLength);
    for (const ScpSectionPointer& p : table) {
        uint8_t* entry = &out[p.nEntryOffset];
        if (&p == &*target)
            Put32(entry + 2, uint32_t(section.size()));
        else if (p.nLength > 0 && p.nIndex - 1 > start)
            Put32(entry + 6, uint32_t(int64_t(p.nIndex) + delta));
    }
    FinishScpFile(out);
    file.swap(out);
    return true;
}

bool AppendScpSection(std::vector<uint8_t>& file, uint16_t nId, const std::vector<uint8_t>& body,
                      std::string* error) {
    std::vector<ScpSectionPointer> table;
    if (!ReadScpSectionTable(file, table, error))
        return false;
    const auto entry = std::find_if(table.begin(), table.end(),
                                    [&](const ScpSectionPointer& p) { return p.nId == nId; });
    if (nId == 0 || entry == table.end() || entry->nLength != 0) {
        if (error)
            *error =
                "the SCP file's section table has no free entry for section " + std::to_string(nId);
        return false;
    }
    std::vector<uint8_t> section =
        SectionWithHeader(nId, body, file[kFileHeader + 8], file[kFileHeader + 9]);
    Put32(&file[entry->nEntryOffset + 2], uint32_t(section.size()));
    Put32(&file[entry->nEntryOffset + 6], uint32_t(file.size() + 1));
    file.insert(file.end(), section.begin(), section.end());
    FinishScpFile(file);
    return true;
}

std::vector<uint8_t> EncodeScpSection8(const SCP_SECTION8& s8) {
    std::vector<uint8_t> out;
    out.push_back(s8.nConfirmed);
    const SYSTEMTIME& t = s8.stInterpreted;
    Append16(out, t.wYear);
    out.insert(out.end(), {uint8_t(t.wMonth), uint8_t(t.wDay), uint8_t(t.wHour), uint8_t(t.wMinute),
                           uint8_t(t.wSecond)});
    const size_t count = std::min<size_t>(s8.statements.size(), 255);
    out.push_back(uint8_t(count));
    for (size_t i = 0; i < count; ++i) {
        // The length counts the zero; a text holds none of its own.
        std::string text = s8.statements[i].substr(0, s8.statements[i].find('\0'));
        text.resize(std::min<size_t>(text.size(), 0xFFFE));
        out.push_back(uint8_t(i + 1));
        Append16(out, uint16_t(text.size() + 1));
        out.insert(out.end(), text.begin(), text.end());
        out.push_back(0);
    }
    return out;
}

bool DecodeScpSection8(const uint8_t* body, size_t size, SCP_SECTION8& s8, std::string* error) {
    s8 = SCP_SECTION8{};
    constexpr size_t kFixed = 9; // confirmation, date (4), time (3), count
    if (size < kFixed) {
        if (error)
            *error = "section 8 (the statements) is too short";
        return false;
    }
    s8.nConfirmed = body[0];
    s8.stInterpreted.wYear = Get16(body + 1);
    s8.stInterpreted.wMonth = body[3];
    s8.stInterpreted.wDay = body[4];
    s8.stInterpreted.wHour = body[5];
    s8.stInterpreted.wMinute = body[6];
    s8.stInterpreted.wSecond = body[7];
    const unsigned count = body[8];
    size_t at = kFixed;
    for (unsigned i = 0; i < count; ++i) {
        if (size - at < 3 || Get16(body + at + 1) > size - at - 3) {
            if (error)
                *error = "section 8's statement " + std::to_string(i + 1) + " of " +
                         std::to_string(count) + " runs past the section";
            return false;
        }
        const size_t length = Get16(body + at + 1);
        const uint8_t* text = body + at + 3;
        s8.statements.emplace_back(reinterpret_cast<const char*>(text),
                                   std::find(text, text + length, uint8_t(0)) - text);
        at += 3 + length;
    }
    return true;
}
