// The export package read back: what ExportRecord wrote comes back byte for byte, anything else is
// refused with its reason and leaves nothing behind; the card's texts in the record read back.

#include "storage/package_reader.h"

#include "platform/cp1251.h"
#include "storage/export_import_file.h"
#include "storage_test_support.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <zlib.h>

namespace {

using Bytes = std::string;

// Little-endian fields: values[i] in widths[i] bytes ("24" is a 16-bit, then a 32-bit value).
void Le(Bytes& b, const char* widths, std::initializer_list<uint32_t> values) {
    for (const uint32_t v : values)
        for (int i = 0, n = *widths++ - '0'; i < n; ++i)
            b += char(v >> (8 * i));
}

uint32_t Crc(const Bytes& b) {
    return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(b.data()), uInt(b.size())));
}

// One entry as both its headers declare it, and the bytes after its local header.
struct Entry {
    std::string name;
    Bytes data;
    uint16_t method = 0, flags = 0;
    uint32_t crc = 0, csize = 0, usize = 0;
};

Entry Stored(std::string name, Bytes content) {
    const uint32_t n = uint32_t(content.size());
    return {std::move(name), content, 0, 0, Crc(content), n, n};
}

// A raw deflate stream of `piece` repeated `times` times.
Entry Deflated(std::string name, const Bytes& piece, size_t times = 1) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 9, Z_DEFLATED, -MAX_WBITS, 8, Z_RLE), Z_OK);
    Entry e{std::move(name), {}, Z_DEFLATED, 0, 0, 0, uint32_t(piece.size() * times)};
    char out[65536];
    for (size_t i = 0; i <= times; ++i) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
        z.avail_in = i < times ? uInt(piece.size()) : 0;
        e.crc = i < times ? uint32_t(crc32(e.crc, z.next_in, z.avail_in)) : e.crc;
        do {
            z.next_out = reinterpret_cast<Bytef*>(out);
            z.avail_out = sizeof out;
            deflate(&z, i < times ? Z_NO_FLUSH : Z_FINISH);
            e.data.append(out, sizeof out - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    e.csize = uint32_t(e.data.size());
    return e;
}

Bytes Zip(const std::vector<Entry>& entries) {
    Bytes out, cd;
    for (const Entry& e : entries) {
        const auto head = [&e](Bytes& b) {
            Le(b, "2222244422",
               {20, e.flags, e.method, 0, 0x21, e.crc, e.csize, e.usize, uint32_t(e.name.size()),
                0});
        };
        Le(cd, "42", {0x02014b50, 20});
        head(cd);
        Le(cd, "22244", {0, 0, 0, 0, uint32_t(out.size())}); // comment, disk, attributes, offset
        cd += e.name;
        Le(out, "4", {0x04034b50});
        head(out);
        out += e.name + e.data;
    }
    const uint32_t n = uint32_t(entries.size());
    Le(cd, "4422442", {0x06054b50, 0, n, n, uint32_t(cd.size()), uint32_t(out.size()), 0});
    return out + cd;
}

template <class T> Bytes AsBytes(const T& t) {
    return Bytes(reinterpret_cast<const char*>(&t), sizeof t);
}

std::string Cp(const char* utf8) {
    return ToCp1251(QString::fromUtf8(utf8)).toStdString();
}

struct Fixture {
    std::unique_ptr<ECG_RECORD> rec = std::make_unique<ECG_RECORD>();
    RECORD_DEFINITION def{};
    std::unique_ptr<ECG_RECORD> back = std::make_unique<ECG_RECORD>();
    RECORD_DEFINITION defBack{};
    std::string error;

    Fixture() {
        std::strcpy(rec->date, "2012-05-04 14:05:00");
        uint32_t x = 7; // noise: the samples do not compress
        for (int16_t& s : rec->curves_buf)
            s = int16_t((x = x * 1664525u + 1013904223u) >> 16);
        WriteRecordInfo(rec->curves_buf, RECORD_INFO{});
        rec->device_id = 0x0000000712345678ull;
        PATIENT_CARD card{};
        std::strcpy(card.last_name, "\xC8\xE2\xE0\xED\xEE\xE2");
        ParseRecordDefinition(card, *rec, def);
    }
    // The three entries, stored and deflated as another zip writer might make them.
    std::vector<Entry> Entries() const {
        return {Stored("structure.txt", Bytes(CExportImportFile::StructureText())),
                Deflated("patient.ini", AsBytes(def)),
                Deflated("0_2012-05-04 14x05x00.DAT", AsBytes(*rec))};
    }
    bool Read(const Bytes& b) {
        std::memset(back.get(), 0xAA, sizeof *back);
        std::memset(&defBack, 0xAA, sizeof defBack);
        error.clear();
        return ReadExportPackage(reinterpret_cast<const uint8_t*>(b.data()), b.size(), *back,
                                 defBack, &error);
    }
    // Refused, with nothing left in the outputs; the reason.
    std::string Refused(const Bytes& b) {
        EXPECT_FALSE(Read(b)) << b.size() << " bytes";
        EXPECT_TRUE(AsBytes(*back) == Bytes(sizeof *back, '\0'));
        EXPECT_TRUE(AsBytes(defBack) == Bytes(sizeof defBack, '\0'));
        EXPECT_FALSE(error.empty());
        return error;
    }
};

TEST(ReadExportPackage, GivesBackWhatWasExportedByteForByte) {
    Fixture f;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.ecg"));
    CExportImportFile file(QFile::encodeName(dir.path()).toStdString());
    ASSERT_TRUE(file.ExportRecord(f.def, *f.rec, QFile::encodeName(path).toStdString()));
    for (const Bytes& package : {ReadBytes(path).toStdString(), Zip(f.Entries())}) {
        ASSERT_TRUE(f.Read(package)) << f.error;
        EXPECT_EQ(AsBytes(*f.back), AsBytes(*f.rec));
        EXPECT_EQ(AsBytes(f.defBack), AsBytes(f.def));
    }
}

TEST(ReadExportPackage, RefusesWhatIsNotAPackageAndLeavesNothing) {
    Fixture f;
    const Bytes good = Zip(f.Entries());
    EXPECT_EQ(f.Refused({}), "not an export package: it is not a zip archive");
    EXPECT_EQ(f.Refused(AsBytes(*f.rec).substr(28, 5000)), // noise
              "not an export package: it is not a zip archive");
    // Cut short, and cut inside with the entry list kept, so that its offsets lead astray.
    const size_t list = good.find(Bytes("PK\1\2", 4), good.size() - 300);
    for (size_t cut = 0; cut < list; cut += list / 9 + 1) {
        f.Refused(good.substr(0, cut));
        f.Refused(good.substr(0, cut) + good.substr(list));
    }

    const auto with = [&f](auto change) {
        std::vector<Entry> e = f.Entries();
        change(e);
        return Zip(e);
    };
    const struct {
        Bytes zip;
        std::string reason;
    } cases[] = {
        {Zip({Stored("readme.txt", "a"), Stored("b", "b"), Stored("c", "c")}),
         "not an export package: its first entry is 'readme.txt', not 'structure.txt'"},
        {with([](auto& e) { e.push_back(Stored("extra", "")); }), "it holds 4 entries"},
        {with([](auto& e) { e.erase(e.begin() + 1); }), "it holds 2 entries"},
        {with([](auto& e) { std::swap(e[0], e[1]); }), "first entry is 'patient.ini'"},
        {with([&f](auto& e) { e[2] = Stored(e[2].name, AsBytes(*f.rec).substr(0, 1000)); }),
         "the package's data file is 1000 bytes, a record is 112552"},
        {with([&f](auto& e) { e[1] = Stored("patient.ini", AsBytes(f.def).substr(1)); }),
         "the package's patient.ini is 727 bytes, a record definition is 728"},
        {with([](auto& e) { e[0] = Stored("structure.txt", Bytes(780, 'x')); }),
         "its structure.txt does not describe"},
        {with([](auto& e) { e[2].flags |= 1; }), "' is encrypted"},
        {with([](auto& e) { e[1].method = 12; }), "'patient.ini' is compressed with method 12"},
        {with([](auto& e) { e[2].name = "../0.DAT"; }), "'../0.DAT' has a folder or '..'"},
        {with([](auto& e) { e[2].name = "a\\0.DAT"; }), "has a folder or '..'"},
        {with([](auto& e) { e[2].name = "0.dat"; }), "'0.dat' is not a record data file"},
        {with([](auto& e) { e[2].name = "0\n.DAT"; }), "'0\\x0A.DAT' has control characters"},
    };
    for (const auto& c : cases)
        EXPECT_NE(f.Refused(c.zip).find(c.reason), std::string::npos) << f.error;
}

TEST(ReadExportPackage, StopsZipBombsAndCatchesDamagedData) {
    Fixture f;
    const std::string dat = "'0_2012-05-04 14x05x00.DAT' ";
    // 200 MB of zeros: declared as a record it fails its CRC once a record's worth is read;
    // declared as what it is it is refused before anything is inflated.
    std::vector<Entry> e = f.Entries();
    e[2] = Deflated(e[2].name, Bytes(1 << 20, '\0'), 200);
    e[2].usize = sizeof(ECG_RECORD);
    EXPECT_EQ(f.Refused(Zip(e)), "entry " + dat + "fails its CRC check");
    e[2].usize = 200u << 20;
    EXPECT_EQ(f.Refused(Zip(e)), "the package's data file is 209715200 bytes, a record is 112552");
    e[2].usize = 0xFFFFFFFFu;
    f.Refused(Zip(e));

    // A stream that ends early: minizip checks no CRC for an entry it did not finish.
    e[2] = Deflated(e[2].name, AsBytes(*f.rec).substr(0, 1000));
    e[2].usize = sizeof(ECG_RECORD);
    EXPECT_EQ(f.Refused(Zip(e)), "entry " + dat + "holds 1000 of the 112552 bytes it declares");

    // One flipped byte in a stored and in a deflated record.
    e = f.Entries();
    e[2] = Stored(e[2].name, AsBytes(*f.rec));
    e[2].data[50000] ^= 0x10;
    EXPECT_EQ(f.Refused(Zip(e)), "entry " + dat + "fails its CRC check");
    e = f.Entries();
    e[2].data[e[2].data.size() / 2] ^= 0x10;
    EXPECT_NE(f.Refused(Zip(e)).find("entry " + dat), std::string::npos) << f.error;
}

struct CardTexts {
    std::string doctor, phone, surname;
    uint16_t year;
    uint8_t sex;
    uint16_t weight, height;
    bool patientBack = true;
};

// A card holding the doctor's and the patient's fields of `t` (when asked), every other byte
// `fill`.
PATIENT_CARD MakeCard(const CardTexts& t, char fill, bool doctor, bool patient) {
    PATIENT_CARD card;
    std::memset(&card, fill, sizeof card);
    const auto put = [](char* field, const std::string& text) {
        std::memcpy(field, text.c_str(), text.size() + 1);
    };
    put(card.doctor_name, doctor ? t.doctor : "");
    put(card.doctor_phone, doctor ? t.phone : "");
    put(card.last_name, patient ? t.surname : "");
    card.birth_year = patient ? t.year : 0;
    card.sex = patient ? t.sex : 0;
    card.weight = patient ? t.weight : 0;
    card.height = patient ? t.height : 0;
    return card;
}

TEST(CardFromRecordTexts, GivesBackTheCardParseRecordDefinitionWrote) {
    const std::string max(29, '\xD9'); // "Щ" 29 times: the longest text a card field holds
    const CardTexts cases[] = {
        {Cp("Петров П.П."), "+7 495 123-45-67", Cp("Иванов"), 1950, 1, 80, 180},
        {"Dr Smith", "555-0100", "O'Brien-Smith", 2001, 0, 0, 7},
        {"A", "", Cp("Ли, 1г.р.,м,1кг,1см"), 65535, 1, 65535, 65535},
        {max, max, max, 1, 0, 3, 4},
        {"", "123", "", 1950, 1, 80, 180, false}, // "Нет данных" and "- - -"
    };
    for (const CardTexts& c : cases) {
        PATIENT_CARD card = MakeCard(c, 'q', true, true);
        auto rec = std::make_unique<ECG_RECORD>();
        RECORD_DEFINITION def;
        ParseRecordDefinition(card, *rec, def);
        CardFromRecordTexts(*rec, card);
        const PATIENT_CARD expected = MakeCard(c, 0, !c.doctor.empty(), c.patientBack);
        EXPECT_EQ(AsBytes(card), AsBytes(expected)) << c.surname;
    }
}

TEST(CardFromRecordTexts, TextsOfAnotherShapeLeaveTheirFieldsEmpty) {
    auto rec = std::make_unique<ECG_RECORD>();
    const Bytes zero(sizeof(PATIENT_CARD), '\0');
    PATIENT_CARD card;
    for (const char* notes : {"Иванов, 1950г.р.,м,80кг,180", "Иванов, 65536г.р.,м,80кг,180см",
                              "Иванов, 1950г.р.,м,80кг,-18см", "Иванов, 1950г.р.,x,80кг,180см",
                              "Иванов,1950г.р.,м,80кг,180см", ", 1950г.р.,м,80кг,180см",
                              "Иванов, 1950г.р.,м,кг,180см"}) {
        std::strcpy(rec->notes, Cp(notes).c_str());
        std::strcpy(rec->source, Cp("Петров, тел 1").c_str());
        CardFromRecordTexts(*rec, card);
        EXPECT_EQ(AsBytes(card), zero) << notes;
    }
    // A text that fills its field to the last byte ends there, not in what follows it.
    for (const char* tail : {", 1950г.р.,м,80кг,180см", ", 1950г.р.,м,80кг,180"}) {
        const Bytes t = Cp(tail);
        std::memset(rec->notes, 'x', sizeof rec->notes);
        std::memcpy(rec->notes + sizeof rec->notes - t.size(), t.data(), t.size());
        std::memcpy(rec->padding, Cp("см").data(), 2);
        CardFromRecordTexts(*rec, card);
        EXPECT_EQ(Bytes(card.last_name), t.ends_with(Cp("см")) ? Bytes(29, 'x') : "") << tail;
        EXPECT_EQ(card.height, t.ends_with(Cp("см")) ? 180 : 0) << tail;
    }
}

} // namespace
