#include "storage/package_reader.h"

#include "storage/export_import_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unzip.h>

namespace {

constexpr size_t kStructureSize = 780;
constexpr size_t kReadChunk = 16384;
constexpr unsigned kNameMax = 256; // longer entry names are never ours; kept cut for messages

// The archive's bytes for minizip's file callbacks: every read and seek stays inside them.
struct MemoryArchive {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t pos = 0;
};

voidpf ZCALLBACK MemOpen(voidpf opaque, const void*, int mode) {
    if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ)
        return nullptr;
    auto* a = static_cast<MemoryArchive*>(opaque);
    a->pos = 0;
    return a;
}

uLong ZCALLBACK MemRead(voidpf, voidpf stream, void* buf, uLong size) {
    auto* a = static_cast<MemoryArchive*>(stream);
    const size_t n = std::min<size_t>(size, a->size - a->pos);
    if (n > 0)
        std::memcpy(buf, a->data + a->pos, n);
    a->pos += n;
    return uLong(n);
}

uLong ZCALLBACK MemWrite(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK MemTell(voidpf, voidpf stream) {
    return static_cast<MemoryArchive*>(stream)->pos;
}

// Offsets come from the archive and may be anything: a seek outside the bytes fails.
long ZCALLBACK MemSeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* a = static_cast<MemoryArchive*>(stream);
    size_t base = 0;
    if (origin == ZLIB_FILEFUNC_SEEK_CUR)
        base = a->pos;
    else if (origin == ZLIB_FILEFUNC_SEEK_END)
        base = a->size;
    else if (origin != ZLIB_FILEFUNC_SEEK_SET)
        return -1;
    if (offset > a->size - base)
        return -1;
    a->pos = base + size_t(offset);
    return 0;
}

int ZCALLBACK MemClose(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK MemError(voidpf, voidpf) {
    return 0;
}

// The open archive and its open entry, closed on every way out.
class CUnzip {
public:
    explicit CUnzip(MemoryArchive& mem) {
        zlib_filefunc64_def io{};
        io.zopen64_file = MemOpen;
        io.zread_file = MemRead;
        io.zwrite_file = MemWrite;
        io.ztell64_file = MemTell;
        io.zseek64_file = MemSeek;
        io.zclose_file = MemClose;
        io.zerror_file = MemError;
        io.opaque = &mem;
        m_z = unzOpen2_64(&mem, &io);
    }
    ~CUnzip() {
        CloseEntry();
        if (m_z)
            unzClose(m_z);
    }
    CUnzip(const CUnzip&) = delete;
    CUnzip& operator=(const CUnzip&) = delete;

    unzFile Get() const { return m_z; }
    bool OpenEntry() {
        m_bEntryOpen = unzOpenCurrentFile(m_z) == UNZ_OK;
        return m_bEntryOpen;
    }
    int CloseEntry() {
        if (!m_bEntryOpen)
            return UNZ_OK;
        m_bEntryOpen = false;
        return unzCloseCurrentFile(m_z);
    }

private:
    unzFile m_z = nullptr;
    bool m_bEntryOpen = false;
};

// An entry name for a message: printable ASCII as it stands, other bytes as \xHH, cut when long.
std::string Shown(std::string_view name) {
    std::string out;
    for (const unsigned char c : name) {
        if (out.size() >= 60) {
            out += "...";
            break;
        }
        if (c >= 0x20 && c < 0x7F) {
            out += char(c);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(c));
            out += hex;
        }
    }
    return out;
}

bool Fail(std::string& why, std::string text) {
    why = std::move(text);
    return false;
}

// The data file's name: "<something>.DAT" alone, with nothing that could lead out of a folder
// it is extracted to.
const char* DataNameFault(std::string_view name) {
    if (name.size() <= 4 || !name.ends_with(".DAT"))
        return "is not a record data file (a name ending in .DAT)";
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos ||
        name.find(':') != std::string_view::npos || name.find("..") != std::string_view::npos)
        return "has a folder or '..' in its name";
    if (std::any_of(name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x20; }))
        return "has control characters in its name";
    return nullptr;
}

struct Slot {
    const char* name; // the fixed name, or null for the data file
    const char* what; // how a wrong size names it
    const char* unit; // what tells its right size in a message
    void* dest;
    size_t size;
};

// Reads the current entry into slot.dest after checking its name, kind and size. Never inflates
// more than one byte past the expected size, whatever the entry declares.
bool ReadEntry(CUnzip& zip, int index, const Slot& slot, std::string& why) {
    static const char* const kOrdinal[] = {"first", "second", "third"};
    unz_file_info64 info{};
    char nameBuf[kNameMax] = {};
    if (unzGetCurrentFileInfo64(zip.Get(), &info, nameBuf, sizeof nameBuf, nullptr, 0, nullptr,
                                0) != UNZ_OK)
        return Fail(why, "not an export package: its list of entries is damaged");
    const std::string name(nameBuf, std::min<size_t>(info.size_filename, kNameMax));
    const std::string shown = Shown(name);

    if (slot.name) {
        if (name != slot.name)
            return Fail(why, std::string("not an export package: its ") + kOrdinal[index] +
                                 " entry is '" + shown + "', not '" + slot.name + "'");
    } else if (const char* fault =
                   info.size_filename > kNameMax ? "has too long a name" : DataNameFault(name)) {
        return Fail(why, "the package's data file '" + shown + "' " + fault);
    }
    if (info.flag & 0x41) // traditional or strong encryption
        return Fail(why, "entry '" + shown + "' is encrypted");
    if (info.compression_method != 0 && info.compression_method != Z_DEFLATED)
        return Fail(why, "entry '" + shown + "' is compressed with method " +
                             std::to_string(info.compression_method) +
                             "; only stored and deflated entries are read");
    if (info.uncompressed_size != slot.size)
        return Fail(why, std::string("the package's ") + slot.what + " is " +
                             std::to_string(info.uncompressed_size) + " bytes, " + slot.unit + " " +
                             std::to_string(slot.size));

    if (!zip.OpenEntry())
        return Fail(why, "entry '" + shown + "' is damaged");
    auto* dest = static_cast<char*>(slot.dest);
    size_t done = 0;
    char spare;
    for (;;) {
        const bool full = done >= slot.size;
        const unsigned len = full ? 1u : unsigned(std::min(kReadChunk, slot.size - done));
        const int n = unzReadCurrentFile(zip.Get(), full ? &spare : dest + done, len);
        if (n == UNZ_ERRNO)
            return Fail(why, "entry '" + shown + "' runs past the end of the package");
        if (n < 0)
            return Fail(why, "entry '" + shown + "' is damaged: its data does not inflate");
        if (n == 0)
            break;
        done += size_t(n);
        if (done > slot.size)
            return Fail(why, "entry '" + shown + "' holds more than the " +
                                 std::to_string(slot.size) + " bytes it declares");
    }
    if (done < slot.size)
        return Fail(why, "entry '" + shown + "' holds " + std::to_string(done) + " of the " +
                             std::to_string(slot.size) + " bytes it declares");
    // minizip checks the CRC when the whole entry has been read, as it has here.
    const int closed = zip.CloseEntry();
    if (closed == UNZ_CRCERROR)
        return Fail(why, "entry '" + shown + "' fails its CRC check");
    if (closed != UNZ_OK)
        return Fail(why, "entry '" + shown + "' is damaged");
    return true;
}

bool ReadPackage(const uint8_t* data, size_t size, ECG_RECORD& record, RECORD_DEFINITION& def,
                 std::string& why) {
    MemoryArchive mem{data, data ? size : 0, 0};
    CUnzip zip(mem);
    if (!zip.Get())
        return Fail(why, "not an export package: it is not a zip archive");
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(zip.Get(), &global) != UNZ_OK)
        return Fail(why, "not an export package: it is not a zip archive");
    if (global.number_entry != 3)
        return Fail(why, "not an export package: it holds " + std::to_string(global.number_entry) +
                             (global.number_entry == 1 ? " entry" : " entries") +
                             ", a package holds 3");

    char structure[kStructureSize];
    const Slot slots[3] = {
        {CExportImportFile::kStructureName, "structure.txt", "it should be", structure,
         sizeof structure},
        {CExportImportFile::kPatientName, "patient.ini", "a record definition is", &def,
         sizeof def},
        {nullptr, "data file", "a record is", &record, sizeof record},
    };
    for (int i = 0; i < 3; ++i) {
        const int moved = i == 0 ? unzGoToFirstFile(zip.Get()) : unzGoToNextFile(zip.Get());
        if (moved != UNZ_OK)
            return Fail(why, "not an export package: its list of entries is damaged");
        if (!ReadEntry(zip, i, slots[i], why))
            return false;
        if (i == 0 &&
            CExportImportFile::StructureText() != std::string_view(structure, sizeof structure))
            return Fail(why, "not an export package: its structure.txt does not describe our "
                             "record layout");
    }
    return true;
}

// A record text up to its first zero, never past its field.
template <size_t N> std::string_view FieldText(const char (&field)[N]) {
    return std::string_view(field, strnlen(field, N));
}

// A card text, cut to leave its field's last byte for the terminating zero.
template <size_t N> void Put(char (&field)[N], std::string_view text) {
    const size_t n = std::min(text.size(), N - 1);
    std::memcpy(field, text.data(), n);
    field[n] = 0;
}

// Reads a text from its right end, where its shape is fixed.
class CTail {
public:
    explicit CTail(std::string_view text) : m_text(text) {}

    bool Literal(std::string_view s) {
        if (!m_text.ends_with(s))
            return false;
        m_text.remove_suffix(s.size());
        return true;
    }

    // A decimal number of a 16-bit card field, as "%i" wrote it.
    bool Number(uint16_t& value) {
        size_t digits = 0;
        while (digits < m_text.size() && digits < 6 && IsDigit(m_text[m_text.size() - 1 - digits]))
            ++digits;
        if (digits == 0 || digits > 5)
            return false;
        uint32_t v = 0;
        for (const char c : m_text.substr(m_text.size() - digits))
            v = v * 10 + uint32_t(c - '0');
        if (v > 0xFFFF)
            return false;
        value = uint16_t(v);
        m_text.remove_suffix(digits);
        return true;
    }

    std::string_view Rest() const { return m_text; }

private:
    static bool IsDigit(char c) { return c >= '0' && c <= '9'; }
    std::string_view m_text;
};

// Windows-1251 bytes of the texts ParseRecordDefinition writes.
constexpr std::string_view kTel = ", \xF2\xE5\xEB. "; // ", тел. "
constexpr std::string_view kBorn = "\xE3.\xF0.";      // "г.р."
constexpr std::string_view kKg = "\xEA\xE3";          // "кг"
constexpr std::string_view kCm = "\xF1\xEC";          // "см"
constexpr std::string_view kMale = "\xEC";            // "м"
constexpr std::string_view kFemale = "\xE6";          // "ж"

// "%s, тел. %s". "Нет данных" has no separator and so gives nothing; neither does a text with
// no name before it, which ParseRecordDefinition never writes.
void DoctorFromSource(std::string_view source, PATIENT_CARD& card) {
    const size_t sep = source.find(kTel);
    if (sep == std::string_view::npos || sep == 0)
        return;
    Put(card.doctor_name, source.substr(0, sep));
    Put(card.doctor_phone, source.substr(sep + kTel.size()));
}

// "%s, %iг.р.,%s,%iкг,%iсм" read from the right, since the surname may hold commas. "- - -"
// and anything else that does not end in this shape (or has no surname) give nothing.
void PatientFromNotes(std::string_view notes, PATIENT_CARD& card) {
    CTail t(notes);
    uint16_t height = 0, weight = 0, year = 0;
    uint8_t sex = 0;
    if (!t.Literal(kCm) || !t.Number(height) || !t.Literal(",") || !t.Literal(kKg) ||
        !t.Number(weight) || !t.Literal(","))
        return;
    if (t.Literal(kMale))
        sex = 1;
    else if (!t.Literal(kFemale))
        return;
    if (!t.Literal(",") || !t.Literal(kBorn) || !t.Number(year) || !t.Literal(", ") ||
        t.Rest().empty())
        return;
    Put(card.last_name, t.Rest());
    card.birth_year = year;
    card.sex = sex;
    card.weight = weight;
    card.height = height;
}

} // namespace

bool ReadExportPackage(const uint8_t* data, size_t size, ECG_RECORD& record, RECORD_DEFINITION& def,
                       std::string* error) {
    std::string why;
    if (ReadPackage(data, size, record, def, why))
        return true;
    std::memset(&record, 0, sizeof record);
    std::memset(&def, 0, sizeof def);
    if (error)
        *error = std::move(why);
    return false;
}

void CardFromRecordTexts(const ECG_RECORD& record, PATIENT_CARD& card) {
    std::memset(&card, 0, sizeof card);
    DoctorFromSource(FieldText(record.source), card);
    PatientFromNotes(FieldText(record.notes), card);
}
