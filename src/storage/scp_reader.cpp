#include "storage/scp_reader.h"

#include "platform/cp1251.h"
#include "record_model/lead_vocabulary.h"
#include "record_model/record_date.h"
#include "storage/card_fields.h"

#include "storage/scp_export.h"
#include "storage/scp_file.h"

#include <QString>
#include <algorithm>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

// Every number below comes from a file that may be hostile: each count and length is checked
// against the bytes that hold it before it is used, and nothing is allocated by a count read from
// the file. The input is copied once (the section table helpers work on a vector); the copy is
// bounded by kLargestFile.

namespace {

// Reasons that start with this mark are codings of other writers, not faults: ReadScpSignal
// (scp_signal) reads such a file.
constexpr char kOtherCoding = '\x01';

std::string OtherCoding(const std::string& why) {
    return kOtherCoding + why;
}

constexpr size_t kLargestFile = size_t(16) << 20; // ours are about 100 KiB
constexpr uint16_t kRecordNanovolts = 2000;       // one record count
constexpr uint16_t kOurSampleMicroseconds = 2500; // the 400 Hz our files state
constexpr uint8_t kEndTag = 255;

uint16_t Get16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t Get32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

std::string Num(unsigned v) {
    return std::to_string(v);
}

// Bytes of the file: a section's content after its 16-byte header (empty for an absent section),
// or a tag's value.
using Body = std::span<const uint8_t>;

struct Leads {
    int nLeadSystem = 0;
    int nCount = 0;
    uint32_t offset[kLeads] = {};  // first point of each lead in the record
    uint32_t samples[kLeads] = {}; // samples of each lead
};

int LeadSystemOf(std::span<const uint16_t> codes) {
    for (uint32_t system = 1; system <= 3; ++system) {
        const std::span<const CLeadEntry> known = LeadSystemLeads(system);
        if (std::equal(
                codes.begin(), codes.end(), known.begin(), known.end(),
                [](uint16_t code, const CLeadEntry& lead) { return code == lead.m_nScpCode; }))
            return int(system);
    }
    return 0;
}

// Section 3: lead count, flags, then per lead its first and last sample number and its code.
std::string ReadLeads(Body s3, Leads& leads) {
    if (s3.size() < 2)
        return "section 3 (the leads) is too short";
    const unsigned count = s3[0];
    if (s3[1] & 0x01)
        return OtherCoding("section 3 says reference beat subtraction is used");
    if (count == 0 || 2 + size_t(count) * 9 > s3.size())
        return "section 3's lead count (" + Num(count) + ") does not fit the section";
    std::vector<uint16_t> codes(count); // at most 255
    for (unsigned k = 0; k < count; ++k)
        codes[k] = s3[2 + k * 9 + 8];
    leads.nLeadSystem = LeadSystemOf(codes);
    if (leads.nLeadSystem == 0) {
        std::string list;
        for (unsigned k = 0; k < count && k < 16; ++k)
            list += (k ? ", " : "") + std::to_string(codes[k]);
        return OtherCoding("the file's leads (codes " + list + (count > 16 ? ", ..." : "") +
                           ") are not the 12 standard leads, Nehb or Slopak");
    }
    leads.nCount = int(count);

    // Leads placed by their sample numbers, so that leads starting later stay in time.
    uint32_t first = UINT32_MAX, last = 0;
    for (unsigned k = 0; k < count; ++k) {
        const uint32_t start = Get32(&s3[2 + k * 9]), end = Get32(&s3[2 + k * 9 + 4]);
        if (start < 1 || end < start)
            return "section 3 gives lead " + Num(k + 1) + " an invalid sample range";
        first = std::min(first, start);
        last = std::max(last, end);
    }
    if (last - first >= uint32_t(kPoints))
        return OtherCoding("section 3 gives more than 4096 samples per lead");
    for (unsigned k = 0; k < count; ++k) {
        const uint32_t start = Get32(&s3[2 + k * 9]), end = Get32(&s3[2 + k * 9 + 4]);
        leads.offset[k] = start - first;
        leads.samples[k] = end - start + 1;
    }
    return {};
}

// `value` counts of `nanovolts` each in record counts, rounded half away from zero, clamped.
int16_t RecordCounts(int16_t value, uint16_t nanovolts) {
    if (nanovolts == kRecordNanovolts)
        return value;
    const int64_t scaled = int64_t(value) * nanovolts;
    const int64_t half = scaled < 0 ? -kRecordNanovolts / 2 : kRecordNanovolts / 2;
    const int64_t counts = (scaled + half) / kRecordNanovolts;
    return int16_t(std::clamp<int64_t>(counts, INT16_MIN, INT16_MAX));
}

// Section 6: amplitude value (nV), sample interval (µs), difference and bimodal flags, the byte
// length of each lead, then the leads one after the other.
std::string ReadSamples(Body s6, const Leads& leads, int16_t* curves) {
    const size_t n = size_t(leads.nCount);
    const size_t dataStart = 6 + 2 * n;
    if (s6.size() < dataStart)
        return "section 6 (the samples) is too short";
    const uint16_t nanovolts = Get16(&s6[0]);
    if (s6[4] != 0)
        return OtherCoding("section 6 uses difference encoding");
    if (s6[5] != 0)
        return OtherCoding("section 6 uses bimodal compression");
    if (nanovolts == 0)
        return "section 6 gives no amplitude value";
    if (Get16(&s6[2]) == 0)
        return "section 6 gives no sample interval";
    if (Get16(&s6[2]) != kOurSampleMicroseconds)
        return OtherCoding("section 6 gives a sample interval of " + Num(Get16(&s6[2])) + " µs");
    size_t total = dataStart;
    for (size_t k = 0; k < n; ++k) {
        if (Get16(&s6[6 + 2 * k]) != 2 * size_t(leads.samples[k]))
            return "section 6 does not hold 16-bit samples of lead " + Num(unsigned(k + 1)) +
                   " as section 3 counts them";
        total += 2 * size_t(leads.samples[k]);
    }
    if (total > s6.size())
        return "section 6's samples run past the section";
    const uint8_t* p = &s6[dataStart];
    for (size_t k = 0; k < n; ++k) {
        for (uint32_t j = 0; j < leads.samples[k]; ++j, p += 2)
            Sample(curves, int(leads.offset[k] + j), int(k)) =
                RecordCounts(int16_t(Get16(p)), nanovolts);
    }
    return {};
}

// Texts are copied as the bytes they are, up to their zero, cut to fit the field with its zero.
void CopyText(char* field, size_t fieldSize, Body value) {
    const auto end = std::find(value.begin(), value.end(), uint8_t(0));
    const size_t size = std::min<size_t>(size_t(end - value.begin()), fieldSize - 1);
    std::memcpy(field, value.data(), size);
    field[size] = 0;
}

uint16_t Clamp16(uint64_t v) {
    return uint16_t(std::min<uint64_t>(v, UINT16_MAX));
}

// Tag 6: a 16-bit value and a unit byte. An unknown unit leaves the height unknown (0).
uint16_t HeightCm(uint16_t value, uint8_t unit) {
    switch (unit) {
    case 0: // no unit given: centimetres, as the cardiograph writes
    case 1:
        return value;
    case 2: // inches
        return Clamp16((uint64_t(value) * 254 + 50) / 100);
    case 3: // millimetres
        return uint16_t((uint32_t(value) + 5) / 10);
    default:
        return 0;
    }
}

// Tag 7 in the same way: kilograms, grams, pounds, ounces.
uint16_t WeightKg(uint16_t value, uint8_t unit) {
    switch (unit) {
    case 0:
    case 1:
        return value;
    case 2:
        return uint16_t((uint32_t(value) + 500) / 1000);
    case 3: // 0.45359237 kg
        return uint16_t((uint64_t(value) * 45359237 + 50000000) / 100000000);
    case 4: // 0.028349523125 kg
        return uint16_t((uint64_t(value) * 28349523125 + 500000000000) / 1000000000000);
    default:
        return 0;
    }
}

} // namespace

// Tag 14's serial number back into the device number it was made from (ScpSerialNumber); 0 for
// any other text, so that a foreign serial never turns into a wrong device of ours.
uint64_t DeviceIdFromSerial(std::string_view text) {
    constexpr std::string_view kPrefix = "K.10";
    if (!text.starts_with(kPrefix))
        return 0;
    size_t at = kPrefix.size();
    uint32_t part[3] = {};
    for (int i = 0; i < 3; ++i) {
        if (i > 0 && (at >= text.size() || text[at++] != '.'))
            return 0;
        const size_t digitsFrom = at;
        while (at < text.size() && at - digitsFrom < 7 && text[at] >= '0' && text[at] <= '9')
            part[i] = part[i] * 10 + uint32_t(text[at++] - '0');
        if (at == digitsFrom || at - digitsFrom > 6)
            return 0;
    }
    if (at != text.size() || part[0] > 0xFF || part[1] > 0x1FFFF || part[2] > 0x3FFF)
        return 0;
    const uint64_t id = uint64_t(part[0]) << 32 | part[1] << 14 | part[2];
    // Leading zeros and the like: only the text we write for this number is ours.
    return ScpSerialNumber(id) == text ? id : 0;
}

namespace {

// Tag 14: 36 fixed bytes, then zero-terminated texts: analysing program, serial number, ... The
// program's zero is looked for rather than its length byte, which cannot exceed 255.
uint64_t DeviceIdOfTag14(Body value) {
    const std::string_view texts =
        value.size() > 36
            ? std::string_view(reinterpret_cast<const char*>(&value[36]), value.size() - 36)
            : std::string_view();
    const size_t programEnd = texts.find('\0');
    if (programEnd == std::string_view::npos)
        return 0;
    const std::string_view serial = texts.substr(programEnd + 1);
    return DeviceIdFromSerial(serial.substr(0, serial.find('\0')));
}

bool ValidDateTime(unsigned y, unsigned mo, unsigned d, unsigned h, unsigned mi, unsigned s) {
    if (y < 1 || y > 9999 || mo < 1 || mo > 12 || h > 23 || mi > 59 || s > 59)
        return false;
    return d >= 1 && d <= unsigned(DaysInMonth(int(y), int(mo)));
}

// Language code 0x13 names the Cyrillic character set: our files mean Windows-1251 by it, as the
// card holds its texts. Any other code is taken as Latin-1 (ASCII its first half) and re-coded,
// a character Windows-1251 lacks becoming '?'.
constexpr uint8_t kCyrillic = 0x13;

struct Acquisition {
    uint64_t device_id = 0;
    // Tag 14's language support code; a file without tag 14 says none, and its texts are kept
    // as the bytes they are (as the card holds them).
    uint8_t language = kCyrillic;
    // Tag 14's device texts as the file's bytes: model, serial number, manufacturer.
    std::string model, serial, manufacturer;
    std::string physician; // tag 21, the latest confirming physician, as the file's bytes
    Body date;             // tag 25
    Body time;             // tag 26
};

// Tag 14's model (bytes 8-13) and, among the zero-terminated texts after byte 36, the serial
// number (second) and the manufacturer (fifth).
void ReadTag14Texts(Body value, Acquisition& acq) {
    auto text = [&](size_t from, size_t end) {
        std::string t;
        for (size_t i = from; i < std::min(end, value.size()) && value[i] != 0; ++i)
            t += char(value[i]);
        return t;
    };
    acq.model = text(8, 14);
    std::vector<std::string> texts;
    for (size_t at = 36; at < value.size() && texts.size() < 5;) {
        texts.push_back(text(at, value.size()));
        at += texts.back().size() + 1;
    }
    acq.serial = texts.size() > 1 ? texts[1] : std::string();
    acq.manufacturer = texts.size() > 4 ? texts[4] : std::string();
}

// A text of the file as UTF-8 by its language code.
std::string Utf8Text(const std::string& bytes, uint8_t language) {
    const QByteArray b = QByteArray::fromStdString(bytes);
    return (language == kCyrillic ? FromCp1251(b) : QString::fromLatin1(b)).toStdString();
}

// Tag 14's device in UTF-8, by the file's language code.
CRecordEquipment EquipmentOf(const Acquisition& acq) {
    CRecordEquipment e;
    e.m_strManufacturer = Utf8Text(acq.manufacturer, acq.language);
    e.m_strModel = Utf8Text(acq.model, acq.language);
    e.m_strSerial = Utf8Text(acq.serial, acq.language);
    e.m_bOurs = IsOurDevice(e.m_strManufacturer, e.m_strModel);
    return e;
}

void ReadCardTag(uint8_t tag, Body v, PATIENT_CARD& card) {
    char* const address[kScpAddressTags] = {card.postal_code, card.region, card.district,
                                            card.locality,    card.street, card.house};
    static_assert(sizeof card.postal_code == 129 && sizeof card.region == 129 &&
                  sizeof card.district == 129 && sizeof card.locality == 129 &&
                  sizeof card.street == 129 && sizeof card.house == 129);
    switch (tag) {
    case 0:
        return CopyText(card.last_name, sizeof card.last_name, v);
    case 1:
        return CopyText(card.first_name, sizeof card.first_name, v);
    case 2:
        return CopyText(card.patient_id, sizeof card.patient_id, v);
    case 3:
        return CopyText(card.patronymic, sizeof card.patronymic, v);
    case 5:
        if (v.size() >= 4) {
            card.birth_year = Get16(&v[0]);
            card.birth_month = v[2];
            card.birth_day = v[3];
        }
        return;
    case 6:
        if (v.size() >= 3)
            card.height = HeightCm(Get16(&v[0]), v[2]);
        return;
    case 7:
        if (v.size() >= 3)
            card.weight = WeightKg(Get16(&v[0]), v[2]);
        return;
    case 8:
        if (!v.empty())
            card.sex = v[0] == 1 ? 1 : v[0] == 2 ? 0 : kSexNotGiven; // 0 and 9: not known
        return;
    case 206:
        if (v.size() >= 4)
            card.years_of_residence = int32_t(Get32(&v[0]));
        return;
    default:
        if (tag >= 200 && tag < 200 + kScpAddressTags)
            CopyText(address[tag - 200], sizeof card.postal_code, v);
        return;
    }
}

void Latin1TextsToCp1251(PATIENT_CARD& card) {
    for (const CardField& f : CardFields()) {
        if (f.kind != CardFieldKind::Text)
            continue;
        char* text = CardFieldText(card, f);
        const QByteArray coded = ToCp1251(QString::fromLatin1(text, int(strnlen(text, f.size))));
        const size_t n = std::min<size_t>(size_t(coded.size()), f.size - 1);
        std::memcpy(text, coded.constData(), n);
        text[n] = 0;
    }
}

// Section 1: tag byte, 16-bit length, value; up to tag 255. Unknown tags are passed over.
std::string ReadSection1(Body s1, PATIENT_CARD& card, Acquisition& acq) {
    card.years_of_residence = -1; // what the card holds when the file leaves tag 206 out
    size_t at = 0;
    while (at < s1.size()) {
        if (s1.size() - at < 3)
            return "section 1 ends inside a tag";
        const uint8_t tag = s1[at];
        const size_t length = Get16(&s1[at + 1]);
        if (length > s1.size() - at - 3)
            return "section 1's tag " + Num(tag) + " runs past the section";
        if (tag == kEndTag)
            break;
        const Body value = s1.subspan(at + 3, length);
        if (tag == 14) {
            acq.device_id = DeviceIdOfTag14(value);
            if (value.size() > 16)
                acq.language = value[16];
            ReadTag14Texts(value, acq);
        } else if (tag == 21) {
            acq.physician.assign(value.begin(), std::find(value.begin(), value.end(), 0));
        } else if (tag == 25)
            acq.date = value;
        else if (tag == 26)
            acq.time = value;
        else
            ReadCardTag(tag, value, card);
        at += 3 + length;
    }
    if (acq.language != kCyrillic)
        Latin1TextsToCp1251(card);
    if (acq.date.size() < 4 || acq.time.size() < 3)
        return "section 1 gives no acquisition date and time";
    const unsigned y = Get16(&acq.date[0]), mo = acq.date[2], d = acq.date[3];
    const unsigned h = acq.time[0], mi = acq.time[1], s = acq.time[2];
    if (!ValidDateTime(y, mo, d, h, mi, s))
        return "the acquisition date and time in section 1 are not a valid date and time";
    return {};
}

// The acquisition time of a Section 1 that ReadSection1 accepted.
SYSTEMTIME TakenAt(const Acquisition& acq) {
    SYSTEMTIME t;
    t.wYear = Get16(&acq.date[0]);
    t.wMonth = acq.date[2];
    t.wDay = acq.date[3];
    t.wHour = acq.time[0];
    t.wMinute = acq.time[1];
    t.wSecond = acq.time[2];
    return t;
}

std::string FindSection(const std::vector<uint8_t>& file,
                        const std::vector<ScpSectionPointer>& table, uint16_t id, Body& body) {
    return ScpSectionBody(file, table, id, body);
}

std::string CheckSections(const std::vector<uint8_t>& file,
                          const std::vector<ScpSectionPointer>& table) {
    return ScpSectionsFault(file, table, true);
}

std::string Read(const uint8_t* data, size_t size, ECG_RECORD& record, PATIENT_CARD& card) {
    if (size > kLargestFile)
        return "not an SCP-ECG record: the file is far larger than one";
    const std::vector<uint8_t> file(data, data + size);
    std::vector<ScpSectionPointer> table;
    std::string why;
    if (!ReadScpSectionTable(file, table, &why))
        return "not an SCP-ECG file: " + why;
    if (why = CheckSections(file, table); !why.empty())
        return why;

    Body s1, s2, s3, s6;
    for (auto [id, body] : {std::pair<uint16_t, Body*>{1, &s1}, {2, &s2}, {3, &s3}, {6, &s6}})
        if (why = FindSection(file, table, id, *body); !why.empty())
            return why;
    for (auto [id, body] : {std::pair<unsigned, Body*>{1, &s1}, {3, &s3}, {6, &s6}})
        if (body->empty())
            return "not an SCP-ECG record: section " + Num(id) + " is missing";
    // Section 2 holds Huffman tables (19999: the default one); its presence means coded samples.
    if (!s2.empty())
        return OtherCoding("section 6 is compressed (Huffman)");

    Leads leads;
    if (why = ReadLeads(s3, leads); !why.empty())
        return why;
    if (why = ReadSamples(s6, leads, record.curves_buf); !why.empty())
        return why;
    Acquisition acq;
    if (why = ReadSection1(s1, card, acq); !why.empty())
        return why;

    const SYSTEMTIME taken = TakenAt(acq);
    const std::string date = FormatRecordDate(taken); // checked valid above: 19 characters
    std::memcpy(record.date, date.c_str(), date.size() + 1);
    record.record_id = 0;
    record.patient_id = 0xFFFFFFFFu;
    record.device_id = acq.device_id;
    RECORD_INFO info;
    info.leadSystem = uint32_t(leads.nLeadSystem);
    info.serial = uint32_t(acq.device_id);
    info.serialHi = uint32_t(acq.device_id >> 32) & 0xFF;
    WriteRecordInfo(record.curves_buf, info);
    // Another writer's device stays with the record as its source.
    SetRecordEquipment(record, EquipmentOf(acq));
    return {};
}

} // namespace

bool ReadScpRecord(const uint8_t* data, size_t size, ECG_RECORD& record, PATIENT_CARD& card,
                   std::string* error, bool* pOtherCoding) {
    std::memset(&record, 0, sizeof record);
    std::memset(&card, 0, sizeof card);
    std::string why = Read(data, size, record, card);
    if (pOtherCoding)
        *pOtherCoding = !why.empty() && why.front() == kOtherCoding;
    if (why.empty())
        return true;
    std::memset(&record, 0, sizeof record);
    std::memset(&card, 0, sizeof card);
    if (!why.empty() && why.front() == kOtherCoding)
        why = why.substr(1) + ", which this reader does not take";
    if (error)
        *error = why;
    return false;
}

bool ReadScpPatient(const uint8_t* data, size_t size, PATIENT_CARD& card, SYSTEMTIME& taken,
                    std::string* error, CRecordEquipment* device) {
    std::memset(&card, 0, sizeof card);
    taken = SYSTEMTIME{};
    const std::vector<uint8_t> file(data, data + std::min(size, kLargestFile));
    std::vector<ScpSectionPointer> table;
    std::string why;
    Body s1;
    Acquisition acq;
    if (!ReadScpSectionTable(file, table, &why))
        why = "not an SCP-ECG file: " + why;
    else if (why = CheckSections(file, table); why.empty())
        if (why = FindSection(file, table, 1, s1); why.empty())
            why = s1.empty() ? "section 1 is missing" : ReadSection1(s1, card, acq);
    if (!why.empty()) {
        std::memset(&card, 0, sizeof card);
        if (error)
            *error = why;
        return false;
    }
    taken = TakenAt(acq);
    if (device)
        *device = EquipmentOf(acq);
    return true;
}

bool ReadScpStatements(const uint8_t* data, size_t size, CFileStatements& statements,
                       std::string* error) {
    statements = CFileStatements{};
    const std::vector<uint8_t> file(data, data + std::min(size, kLargestFile));
    std::vector<ScpSectionPointer> table;
    std::string why;
    Body s1, s8;
    if (!ReadScpSectionTable(file, table, &why))
        why = "not an SCP-ECG file: " + why;
    else if (why = CheckSections(file, table); why.empty())
        if (why = FindSection(file, table, 1, s1); why.empty())
            why = FindSection(file, table, 8, s8);
    if (!why.empty()) {
        if (error)
            *error = why;
        return false;
    }
    if (s8.empty())
        return true;
    // The language code only: a Section 1 that is otherwise broken does not make the texts
    // unreadable.
    PATIENT_CARD card{};
    Acquisition acq;
    ReadSection1(s1, card, acq);
    SCP_SECTION8 section;
    const bool whole = DecodeScpSection8(s8.data(), s8.size(), section, &why);
    statements.m_bConfirmed = section.nConfirmed == 1;
    statements.m_stMade = section.stInterpreted;
    statements.m_strPhysician = Utf8Text(acq.physician, acq.language);
    for (const std::string& text : section.statements) {
        std::string t = Utf8Text(text, acq.language);
        // Our files carry a doctor's conclusion as the last statement, after its prefix.
        if (t.starts_with(kConclusionPrefix) && statements.m_strConclusion.empty())
            statements.m_strConclusion = t.substr(std::strlen(kConclusionPrefix));
        else
            statements.m_Statements.push_back(std::move(t));
    }
    if (statements.m_bConfirmed && !statements.m_strPhysician.empty())
        statements.m_strHeading = ConfirmationLine(statements.m_strPhysician, statements.m_stMade);
    if (!whole && error)
        *error = why;
    return whole;
}
