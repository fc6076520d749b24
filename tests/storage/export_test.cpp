// The export package: its three files read back, and what a failure leaves behind.

#include "storage/export_import_file.h"

#include "storage_test_support.h"

#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace {

std::string Local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

void FillNoise(void* p, size_t n) {
    uint32_t x = 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1664525u + 1013904223u;
        static_cast<unsigned char*>(p)[i] = uint8_t(x >> 24);
    }
}

// A record as acquisition leaves it, with samples that do not compress.
std::unique_ptr<ECG_RECORD> MakeRecord() {
    auto rec = std::make_unique<ECG_RECORD>();
    rec->patient_id = 0xFFFFFFFFu;
    std::strcpy(rec->date, "2012-05-04 14:05:00");
    FillNoise(rec->curves_buf, kSamplesSize);
    WriteRecordInfo(rec->curves_buf, RECORD_INFO{});
    rec->device_id = 0x0000000712345678ull;
    PATIENT_CARD card{};
    std::strcpy(card.last_name, "\xC8\xE2\xE0\xED\xEE\xE2");
    RECORD_DEFINITION def;
    ParseRecordDefinition(card, *rec, def);
    return rec;
}

struct Package {
    QTemporaryDir dir;
    QString temp = dir.filePath(QStringLiteral("tmp")); // the exporter's temporary root
    QString out = dir.filePath(QStringLiteral("out"));
    std::unique_ptr<ECG_RECORD> rec = MakeRecord();
    RECORD_DEFINITION def{};
    Package() {
        QDir(dir.path()).mkpath(QStringLiteral("tmp"));
        QDir(dir.path()).mkpath(QStringLiteral("out"));
        PATIENT_CARD card{};
        ParseRecordDefinition(card, *rec, def);
    }
};

TEST(ExportRecord, PackageHoldsTheThreeFilesInOrderByteForByte) {
    Package p;
    const QString path = p.out + "/K.107.18641.5752.ecg";
    ASSERT_TRUE(WriteBytes(path, "an older export"));
    CExportImportFile file(Local(p.temp));
    ASSERT_TRUE(file.ExportRecord(p.def, *p.rec, Local(path))) << file.LastErrorText();
    EXPECT_EQ(file.LastError(), 0);

    bool ok = false;
    const auto entries = ReadZip(path, &ok);
    ASSERT_TRUE(ok) << "every entry reads back with its CRC";
    ASSERT_EQ(Names(entries), (std::vector<std::string>{"structure.txt", "patient.ini",
                                                        "0_2012-05-04 14x05x00.DAT"}));
    const QByteArray golden =
        ReadBytes(QStringLiteral(VELMORA_SOURCE_DIR "/tests/data/structure.txt"));
    ASSERT_EQ(golden.size(), 780);
    EXPECT_EQ(entries[0].data, golden.toStdString());
    EXPECT_EQ(entries[0].data.substr(777), std::string("\r\n\0", 3));
    ASSERT_EQ(entries[1].data.size(), 728u);
    EXPECT_EQ(entries[1].data, std::string(reinterpret_cast<const char*>(&p.def), 728));
    EXPECT_EQ(entries[1].data.substr(0, 4), std::string("\2\0\0\0", 4));
    EXPECT_EQ(entries[1].data.substr(32, 17), std::string("K.107.18641.5752\0", 17));
    ASSERT_EQ(entries[2].data.size(), 112552u);
    EXPECT_TRUE(std::memcmp(entries[2].data.data(), p.rec.get(), 112552) == 0);
    for (const ZipEntry& e : entries) {
        EXPECT_EQ(e.info.compression_method, 8u) << e.name;
        EXPECT_EQ(e.info.external_fa & 1u, 0u) << e.name;
    }
    EXPECT_EQ(Listing(p.temp), QStringList()) << "the private folder is gone";
    EXPECT_EQ(Listing(p.out), QStringList{"K.107.18641.5752.ecg"});
}

TEST(ExportRecord, DataFileNameComesFromTheNumberAndDate) {
    auto rec = std::make_unique<ECG_RECORD>();
    std::strcpy(rec->date, "2012-05-04 14:05:00");
    EXPECT_EQ(CExportImportFile::DataFileName(*rec), "0_2012-05-04 14x05x00.DAT");
    rec->record_id = 0xFFFFFFFFu;
    std::memset(rec->date, ':', sizeof rec->date); // no terminator
    EXPECT_EQ(CExportImportFile::DataFileName(*rec), "-1_" + std::string(20, 'x') + ".DAT");

    // A date text with a folder separator cannot name a file in the package: refused.
    Package p;
    std::strcpy(p.rec->date, "04/05/2012 14:05");
    CExportImportFile file(Local(p.temp));
    EXPECT_FALSE(file.ExportRecord(p.def, *p.rec, Local(p.out + "/a.ecg")));
    EXPECT_EQ(file.LastError(), EINVAL);
    EXPECT_EQ(Listing(p.out), QStringList());
    EXPECT_EQ(Listing(p.temp), QStringList());
}

TEST(ExportRecord, LinksPlantedUnderTheFileNamesInTheTemporaryFolderAreNotFollowed) {
    Package p;
    const QString victim = p.dir.filePath(QStringLiteral("victim"));
    ASSERT_TRUE(WriteBytes(victim, "keep me"));
    for (const char* name : {"structure.txt", "patient.ini", "0_2012-05-04 14x05x00.DAT"}) {
        ASSERT_EQ(symlink(QFile::encodeName(victim).constData(),
                          QFile::encodeName(p.temp + "/" + QString::fromLatin1(name)).constData()),
                  0);
    }
    CExportImportFile file(Local(p.temp));
    ASSERT_TRUE(file.ExportRecord(p.def, *p.rec, Local(p.out + "/a.ecg"))) << file.LastErrorText();
    EXPECT_EQ(ReadBytes(victim), "keep me");
    EXPECT_EQ(Listing(p.temp).size(), 3) << "only the planted links";
}

TEST(ExportRecord, FailuresReachTheCallerAndLeaveTheOldFileAndNoTemporaryFile) {
    Package p;
    const QString old = p.out + "/a.ecg";
    ASSERT_TRUE(WriteBytes(old, "OLD"));
    CExportImportFile file(Local(p.temp));

    // Writes that fail for real: the temporary data file (112552 bytes) is cut off, then the
    // archive itself (a record of noise does not compress: the archive is larger than it).
    FillNoise(p.rec.get(), sizeof(ECG_RECORD));
    std::strcpy(p.rec->date, "2012-05-04 14:05:00");
    const struct {
        rlim_t limit;
        std::string what;
    } limits[] = {{100000, "cannot write the temporary file"},
                  {112700, "cannot write " + Local(old)}};
    for (const auto& l : limits) {
        {
            CFileSizeLimit fsize(l.limit);
            EXPECT_FALSE(file.ExportRecord(p.def, *p.rec, Local(old))) << l.limit;
        }
        EXPECT_EQ(file.LastError(), EFBIG) << file.LastErrorText();
        EXPECT_NE(file.LastErrorText().find(l.what), std::string::npos) << file.LastErrorText();
        EXPECT_NE(file.LastErrorText().find("File too large"), std::string::npos);
        EXPECT_EQ(ReadBytes(old), "OLD");
        EXPECT_EQ(Listing(p.out), QStringList{"a.ecg"});
        EXPECT_EQ(Listing(p.temp), QStringList());
    }

    CExportImportFile noTemp(Local(p.dir.filePath(QStringLiteral("missing-tmp"))));
    EXPECT_FALSE(noTemp.ExportRecord(p.def, *p.rec, Local(old)));
    EXPECT_EQ(noTemp.LastError(), ENOENT);
    EXPECT_EQ(ReadBytes(old), "OLD");

    ASSERT_TRUE(file.ExportRecord(p.def, *p.rec, Local(old))) << "and it still works";
    EXPECT_EQ(Listing(p.out), QStringList{"a.ecg"});
}

} // namespace
