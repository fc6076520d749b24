// The carts' XML files through the record layer: each opens by its content under ".xml" as its
// own type (the shared files and generated ones), becomes a record with the file's start, card,
// findings and statements, gives its whole signal when longer than a record, and an XML of no
// known kind is refused in our words while a save as ".xml" stays an aECG.

#include "platform/cp1251.h"
#include "record_io/record_files.h"
#include "storage/cart_xml_writer.h"
#include "support/wfdb.h"

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QString Write(const QTemporaryDir& dir, const char* name, const QByteArray& bytes) {
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}

} // namespace

TEST(CartXmlFiles, SharedFilesOpenAsTheirTypeWithTimeCardFindingsAndWholeSignal) {
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    struct {
        const char* file;
        const char* type;
        const char* date; // "" : the file gives no usable time
        double sourceSeconds;
        int heartRate;
    } files[] = {
        {"xml/philips/129DYNRG.XML", "Philips XML", "2011-12-01 07:22:37", 11, 72},
        {"xml/philips/2020-5-18_15-48-11.xml", "Philips XML", "2020-05-18 15:48:11", 11, 64},
        {"xml/philips/3191723_ZZDEMOPTONLY_1-04_orig.xml", "Philips XML", "2010-01-19 15:19:22", 11,
         84},
        {"xml/muse/braveheart_example1.xml", "GE MUSE XML", "", 0, 48},
        {"xml/muse/braveheart_example2.xml", "GE MUSE XML", "", 0, 65},
        {"xml/cardiosoft/ecgvisualizer_example1.xml", "GE CardioSoft XML", "", 0, 42},
    };
    for (const auto& f : files) {
        SCOPED_TRACE(f.file);
        const QString path = QString::fromStdString((data / f.file).string());
        CLoadedRecord doc;
        std::string error;
        const RecordFileType* type = nullptr;
        ASSERT_TRUE(OpenRecordFile(path, doc, &error, &type)) << error;
        EXPECT_STREQ(type->name, f.type);
        EXPECT_EQ(doc.absentLanes, 0);
        EXPECT_DOUBLE_EQ(doc.dSourceSeconds, f.sourceSeconds);
        if (*f.date) {
            EXPECT_STREQ(doc.pRecord->date, f.date);
        }
        EXPECT_EQ(doc.fileFindings.m_strWriter, f.type);
        EXPECT_EQ(doc.fileFindings.m_nHeartRate, f.heartRate);
        EXPECT_FALSE(IsOurRecord(*doc.pRecord));
        // Lane III of the record is II - I but for rounding and resampling.
        double worst = 0;
        for (int p = 100; p < kPoints - 100; ++p)
            worst = std::max(worst, std::fabs(double(Sample(*doc.pRecord, p, kLaneIII)) -
                                              (Sample(*doc.pRecord, p, kLaneII) -
                                               Sample(*doc.pRecord, p, kLaneI))));
        EXPECT_LT(worst, 120) << "units of 2 µV"; // a calibration pulse in stored III
        CEcgSignal whole;
        ASSERT_TRUE(OpenRecordSignal(path, whole, &error)) << error;
        EXPECT_EQ(whole.dRate, 500);
        EXPECT_NEAR(whole.Seconds(), f.sourceSeconds ? f.sourceSeconds : 10, 1e-9);
        EXPECT_EQ(whole.names.size(), 12u);
    }
}

TEST(CartXmlFiles, GeneratedFilesOpenByContentAndOtherXmlIsRefused) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString muse = Write(
        dir, "muse.XML",
        cartxmltest::MuseXml(QStringLiteral("Сидорова"), QStringLiteral("Анна"), "windows-1251"));
    CLoadedRecord doc;
    std::string error;
    const RecordFileType* type = nullptr;
    ASSERT_TRUE(OpenRecordFile(muse, doc, &error, &type)) << error;
    EXPECT_STREQ(type->name, "GE MUSE XML");
    EXPECT_STREQ(doc.pRecord->date, "2023-11-24 08:15:30");
    EXPECT_EQ(FromCp1251(QByteArray(doc.card.last_name)), QStringLiteral("Сидорова"));
    EXPECT_EQ(doc.fileStatements.m_Statements.size(), 2u);
    EXPECT_TRUE(doc.fileStatements.m_bConfirmed);
    EXPECT_EQ(doc.absentLanes, 0); // III, aVR, aVL, aVF derived from the 8 stored leads
    EXPECT_EQ(RecordEquipment(*doc.pRecord).m_strModel, "MAC5500");

    const QString philips = Write(dir, "p.xml", cartxmltest::PhilipsXml(true));
    ASSERT_TRUE(OpenRecordFile(philips, doc, &error, &type)) << error;
    EXPECT_STREQ(type->name, "Philips XML");
    EXPECT_NEAR(doc.dSourceSeconds, 11, 1e-9);
    const QString cardio = Write(dir, "c.xml", cartxmltest::CardioSoftXml());
    ASSERT_TRUE(OpenRecordFile(cardio, doc, &error, &type)) << error;
    EXPECT_STREQ(type->name, "GE CardioSoft XML");
    EXPECT_EQ(doc.fileFindings.m_nRrMs, 1200);

    // Damage is named with the file; another XML is none of our formats.
    const QString damaged =
        Write(dir, "d.xml", cartxmltest::CardioSoftXml(5000, QStringLiteral("1,2,3")));
    EXPECT_FALSE(OpenRecordFile(damaged, doc, &error));
    EXPECT_EQ(error, "cannot open " + damaged.toStdString() +
                         ": lead V2 holds 3 samples, its file says 5000");
    for (const char* other : {"<?xml version=\"1.0\"?>\n<svg xmlns=\"x\"/>", "plain text"}) {
        const QString path = Write(dir, "other.xml", other);
        EXPECT_FALSE(OpenRecordFile(path, doc, &error));
        EXPECT_EQ(error,
                  "cannot open " + path.toStdString() + ": not an ECG file in a known format");
    }

    // Saving as .xml is still our aECG; the open dialog offers every type once under "*.xml".
    EXPECT_STREQ(RecordFileTypeOf(QStringLiteral("out.xml"))->name, "HL7 aECG");
    const QString filter = OpenDialogFilter();
    EXPECT_EQ(filter.count(QStringLiteral("*.xml")), 5); // the "all records" group and 4 types
    EXPECT_TRUE(filter.contains(QStringLiteral("Philips XML (*.xml)")));
    EXPECT_TRUE(filter.contains(QStringLiteral("GE MUSE XML (*.xml)")));
    EXPECT_TRUE(filter.contains(QStringLiteral("GE CardioSoft XML (*.xml)")));
}
