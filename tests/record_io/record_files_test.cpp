// The records layer: every type saved and opened again gives back what the format keeps, and
// whatever is not a record file is refused with the file named and the reason.

#include "record_io/record_files.h"
#include "record_io/record_mail.h"
#include "record_io/records_test_support.h"
#include "storage/record_definition.h"
#include "storage/storage_test_support.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>

namespace {

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

const RecordFileType& Type(const char* extension) {
    return *RecordFileTypeOf(QLatin1String(extension));
}

bool SameSamples(const ECG_RECORD& a, const ECG_RECORD& b, int lanes) {
    for (int p = 0; p < kPoints; ++p)
        for (int l = 0; l < lanes; ++l)
            if (Sample(a, p, l) != Sample(b, p, l))
                return false;
    return true;
}

TEST(RecordFiles, EveryTypeOpensAgainWithWhatItKeeps) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    // What a save writes: the record with the card's texts.
    auto texts = std::make_unique<ECG_RECORD>(*record);
    PATIENT_CARD cardCopy = card;
    RECORD_DEFINITION def{};
    ParseRecordDefinition(cardCopy, *texts, def);

    for (const char* ext : {".dat", ".ecg", ".scp"}) {
        SCOPED_TRACE(ext);
        const QString path = dir.filePath(QStringLiteral("rec") + QLatin1String(ext));
        std::string error;
        ASSERT_TRUE(SaveRecordFile(path, Type(ext), *record, &card, &error)) << error;
        CLoadedRecord doc;
        const RecordFileType* type = nullptr;
        ASSERT_TRUE(OpenRecordFile(path, doc, &error, &type)) << error;
        EXPECT_EQ(type, &Type(ext));
        EXPECT_TRUE(SameSamples(*doc.pRecord, *record, kLeads));
        EXPECT_EQ(doc.pRecord->device_id, record->device_id);
        EXPECT_STREQ(doc.pRecord->date, record->date);
        EXPECT_EQ(ReadRecordInfo(doc.pRecord->curves_buf).leadSystem, 1u);
        // The card's fields that every type keeps (in the record's texts or in Section 1).
        EXPECT_STREQ(doc.card.last_name, card.last_name);
        EXPECT_EQ(doc.card.birth_year, card.birth_year);
        EXPECT_EQ(doc.card.sex, card.sex);
        EXPECT_EQ(doc.card.height, card.height);
        EXPECT_EQ(doc.card.weight, card.weight);
        if (std::strcmp(ext, ".scp") != 0) {
            // The record block itself, byte for byte, and the doctor from its texts.
            EXPECT_EQ(std::memcmp(doc.pRecord.get(), texts.get(), sizeof(ECG_RECORD)), 0);
            EXPECT_STREQ(doc.card.doctor_name, card.doctor_name);
            EXPECT_STREQ(doc.card.doctor_phone, card.doctor_phone);
        } else {
            // Section 1 keeps the whole patient, address included, but no doctor.
            EXPECT_EQ(std::memcmp(doc.card.first_name, card.first_name, 30), 0);
            EXPECT_EQ(std::memcmp(doc.card.patronymic, card.patronymic, 30), 0);
            EXPECT_EQ(doc.card.birth_day, 29);
            EXPECT_EQ(doc.card.birth_month, 2);
            EXPECT_EQ(std::memcmp(doc.card.postal_code, card.postal_code, 6 * 129), 0);
            EXPECT_EQ(doc.card.years_of_residence, 12);
            EXPECT_EQ(doc.card.doctor_name[0], 0);
        }
        // Saved again from what was opened: the same file where the format keeps everything.
        if (std::strcmp(ext, ".ecg") != 0) { // (a zip's entries carry the time of writing)
            // An SCP file keeps no doctor: the card asks for one again before a save.
            std::memcpy(doc.card.doctor_name, card.doctor_name, sizeof card.doctor_name);
            std::memcpy(doc.card.doctor_phone, card.doctor_phone, sizeof card.doctor_phone);
            const QString again = dir.filePath(QStringLiteral("again") + QLatin1String(ext));
            ASSERT_TRUE(SaveRecordFile(again, Type(ext), *doc.pRecord,
                                       std::strcmp(ext, ".dat") ? &doc.card : nullptr, &error))
                << error;
            EXPECT_EQ(Bytes(again), Bytes(path));
        }
    }
}

TEST(RecordFiles, ScpKeepsTheLanesOfEveryLeadSystem) {
    QTemporaryDir dir;
    const PATIENT_CARD card = MakeCard();
    for (int ls : {2, 3}) {
        const auto record = MakeRecord(ls);
        const QString path = dir.filePath(QStringLiteral("ls%1.scp").arg(ls));
        std::string error;
        ASSERT_TRUE(SaveRecordFile(path, Type(".scp"), *record, &card, &error)) << error;
        CLoadedRecord doc;
        ASSERT_TRUE(OpenRecordFile(path, doc, &error)) << error;
        EXPECT_EQ(ReadRecordInfo(doc.pRecord->curves_buf).leadSystem, uint32_t(ls));
        EXPECT_TRUE(SameSamples(*doc.pRecord, *record, ls == 2 ? 3 : 4)) << ls;
    }
}

TEST(RecordFiles, SaveRefusesWhatTheTypeCannotTakeAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    PATIENT_CARD card = MakeCard();
    const QString path = dir.filePath(QStringLiteral("keep.scp"));
    std::string error;
    ASSERT_TRUE(SaveRecordFile(path, Type(".scp"), *record, &card, &error));
    const QByteArray before = Bytes(path);
    card.patronymic[0] = 0;
    EXPECT_FALSE(SaveRecordFile(path, Type(".scp"), *record, &card, &error));
    EXPECT_NE(error.find("missing patronymic"), std::string::npos) << error;
    EXPECT_FALSE(SaveRecordFile(path, Type(".ecg"), *record, nullptr, &error));
    card = MakeCard();
    card.birth_year = 2026;
    card.birth_month = 12;
    card.birth_day = 8;
    EXPECT_TRUE(SaveRecordFile(dir.filePath(QStringLiteral("newborn.dat")), Type(".dat"), *record,
                               &card, &error))
        << "born the day the record was taken: " << error;
    card.birth_year = 2027; // the record was taken in 2026
    EXPECT_FALSE(SaveRecordFile(path, Type(".scp"), *record, &card, &error));
    EXPECT_NE(error.find("birth_year 2027 is not a year of birth"), std::string::npos) << error;
    EXPECT_FALSE(SaveRecordFile(dir.filePath(QStringLiteral("no/such/x.dat")), Type(".dat"),
                                *record, nullptr, &error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_EQ(Bytes(path), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// A FHIR bundle carries the printed report: never written without it, the maker's reason when it
// cannot print, its bytes whole in the report's presented form, and the card's texts in the
// record the maker is given.
TEST(RecordFiles, AFhirBundleTakesItsReportFromTheMakerItIsGiven) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    const QString path = dir.filePath(QStringLiteral("rec.json"));
    const RecordFileType& fhir = Type(".json");
    EXPECT_FALSE(fhir.read) << "a bundle is saved, never opened";
    std::string error;
    CStatementSettings how;
    EXPECT_FALSE(SaveRecordFile(path, fhir, *record, &card, &error, how));
    EXPECT_NE(error.find("nothing was given to print it"), std::string::npos) << error;
    how.m_MakeReportPdf = [](const ECG_RECORD&, const PATIENT_CARD&, std::vector<uint8_t>&,
                             std::string* why) {
        *why = "no fonts";
        return false;
    };
    EXPECT_FALSE(SaveRecordFile(path, fhir, *record, &card, &error, how));
    EXPECT_NE(error.find("no fonts"), std::string::npos) << error;
    EXPECT_FALSE(QFile::exists(path));

    static const char kPdf[] = "%PDF-1.4\n\x01\xff\x00 binary\n%%EOF\n";
    const QByteArray pdf(kPdf, sizeof kPdf - 1);
    std::string source;
    how.m_MakeReportPdf = [&](const ECG_RECORD& r, const PATIENT_CARD& c, std::vector<uint8_t>& out,
                              std::string*) {
        source = std::string(r.source, strnlen(r.source, sizeof r.source));
        EXPECT_STREQ(c.last_name, card.last_name);
        out.assign(pdf.begin(), pdf.end());
        return true;
    };
    ASSERT_TRUE(SaveRecordFile(path, fhir, *record, &card, &error, how)) << error;
    EXPECT_FALSE(source.empty()) << "the maker draws the record as the file carries it";
    const QJsonObject bundle = QJsonDocument::fromJson(Bytes(path)).object();
    const QJsonObject report = bundle["entry"].toArray().at(0).toObject()["resource"].toObject();
    ASSERT_EQ(report["resourceType"].toString(), QStringLiteral("DiagnosticReport"));
    const QJsonObject form = report["presentedForm"].toArray().at(0).toObject();
    EXPECT_EQ(QByteArray::fromBase64(form["data"].toString().toLatin1()), pdf);
    EXPECT_EQ(form["size"].toInt(), pdf.size());
    EXPECT_EQ(report["status"].toString(), QStringLiteral("preliminary"));
}

TEST(RecordFiles, AWriteThatFailsSaysTheSystemsReasonAndLeavesNothing) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    for (const char* ext : {".dat", ".scp", ".ecg"}) {
        const QString path = dir.filePath(QStringLiteral("full") + QLatin1String(ext));
        std::string error;
        {
            const CFileSizeLimit limit(50000); // the disk fills up half way
            EXPECT_FALSE(SaveRecordFile(path, Type(ext), *record, &card, &error)) << ext;
        }
        // (The SCP encoder's own scratch file is bound by the limit too, and libbiosig says
        // nothing of it: the check of what it wrote is what catches that.)
        EXPECT_NE(error.find(std::strcmp(ext, ".scp") ? "File too large" : "incomplete SCP file"),
                  std::string::npos)
            << ext << ": " << error;
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(RecordFiles, WhatIsNoRecordFileIsRefusedNamingTheFileAndTheFault) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    std::string error;
    const QString good = dir.filePath(QStringLiteral("good.ecg"));
    ASSERT_TRUE(SaveRecordFile(good, Type(".ecg"), *record, &card, &error));
    const QString goodScp = dir.filePath(QStringLiteral("good.scp"));
    ASSERT_TRUE(SaveRecordFile(goodScp, Type(".scp"), *record, &card, &error));

    std::mt19937 random(7);
    QByteArray noise(112552, 0);
    for (char& c : noise)
        c = char(random());
    QByteArray badDate(reinterpret_cast<const char*>(record.get()), sizeof(ECG_RECORD));
    std::memcpy(badDate.data() + 8, "2026-13-45 99:99:99", 20);
    QByteArray flippedScp = Bytes(goodScp);
    flippedScp[flippedScp.size() / 2] = char(flippedScp[flippedScp.size() / 2] ^ 0x55);

    struct Case {
        const char* name;
        QByteArray bytes;
        const char* why;
    };
    const Case cases[] = {
        {"empty.dat", {}, "the file is empty"},
        {"noise.dat", noise, "record info block is missing"},
        {"baddate.dat", badDate, "its date is not a date"},
        {"noise.ecg", noise, "not an export package"},
        {"cut.ecg", Bytes(good).left(Bytes(good).size() / 2), "not an export package"},
        {"noise.scp", noise, "not an SCP-ECG file"},
        {"flipped.scp", flippedScp, "CRC"},
        {"cut.scp", Bytes(goodScp).left(300), "not an SCP-ECG file"},
        {"record.txt", noise, "not a record file type"},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(QLatin1String(c.name));
        Write(path, c.bytes);
        CLoadedRecord doc;
        std::memcpy(doc.pRecord->date, "untouched", 10);
        EXPECT_FALSE(OpenRecordFile(path, doc, &error)) << c.name;
        EXPECT_NE(error.find("cannot open " + path.toStdString() + ": "), std::string::npos)
            << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.name << ": " << error;
        EXPECT_STREQ(doc.pRecord->date, "untouched") << "nothing half opened";
    }

    // Things that are not regular files: refused at once, never read or waited for.
    const QString fifo = dir.filePath(QStringLiteral("pipe.dat"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString folder = dir.filePath(QStringLiteral("folder.ecg"));
    ASSERT_TRUE(QDir().mkdir(folder));
    const QString zero = dir.filePath(QStringLiteral("zero.scp"));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), zero));
    for (const auto& [path, why] :
         {std::pair{fifo, "not a regular file"}, std::pair{folder, "it is a folder"},
          std::pair{zero, "not a regular file"},
          std::pair{dir.filePath(QStringLiteral("none.dat")), "No such file or directory"}}) {
        CLoadedRecord doc;
        EXPECT_FALSE(OpenRecordFile(path, doc, &error));
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

// Every type's file is the user's alone, and what a killed save left beside its target goes at
// the next save into that folder, but only what is ours and old: another save may be under way.
TEST(RecordFiles, SavesArePrivateAndClearWhatAKilledSaveLeft) {
    QTemporaryDir dir;
    const auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    auto touch = [&](const char* name, int secondsAgo) {
        const QString path = dir.filePath(QLatin1String(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("partial");
        f.close();
        const time_t t = time(nullptr) - secondsAgo;
        struct timespec times[2] = {{t, 0}, {t, 0}};
        EXPECT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    };
    touch(".old.ecg.velmora-Ab12Cd", 2 * 3600); // a save killed two hours ago
    touch(".new.ecg.velmora-Ef34Gh", 5);        // one that may still be running
    touch(".other.txt.Ij56Kl", 2 * 3600);       // not our naming
    for (const char* name : {"r.dat", "r.ecg", "r.scp", "r.xml", "r.edf"}) {
        const QString path = dir.filePath(QLatin1String(name));
        std::string error;
        ASSERT_TRUE(SaveRecordFile(path, *RecordFileTypeOf(path), *record, &card, &error))
            << name << ": " << error;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name << " is patient data";
    }
    const QStringList left = QDir(dir.path()).entryList(QDir::Hidden | QDir::Files);
    EXPECT_FALSE(left.contains(QStringLiteral(".old.ecg.velmora-Ab12Cd")));
    EXPECT_TRUE(left.contains(QStringLiteral(".new.ecg.velmora-Ef34Gh")));
    EXPECT_TRUE(left.contains(QStringLiteral(".other.txt.Ij56Kl")));
}

TEST(RecordMail, AttachmentIsWrittenPrivatelyAndGoesWithTheObject) {
    const auto record = MakeRecord();
    PATIENT_CARD card = MakeCard();
    QString folder;
    {
        CRecordMail mail;
        std::string error;
        ASSERT_TRUE(mail.Prepare(*record, card, true, &error)) << error;
        EXPECT_TRUE(mail.AttachmentPath().endsWith(QStringLiteral("/K.107.18641.5752-3.scp")))
            << mail.AttachmentPath().toStdString();
        folder = QFileInfo(mail.AttachmentPath()).absolutePath();
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u);
        CLoadedRecord doc;
        ASSERT_TRUE(OpenRecordFile(mail.AttachmentPath(), doc, &error)) << error;
        card.last_name[0] = 0;
        EXPECT_FALSE(mail.Prepare(*record, card, false, &error)) << "an incomplete card";
        EXPECT_NE(error.find("last_name"), std::string::npos) << error;
    }
    EXPECT_FALSE(QFileInfo::exists(folder)) << "the private folder goes with the object";

    CViewSettings settings;
    settings.m_szMailHostName = QStringLiteral("smtp.clinic.ru");
    settings.m_nMailSMTPPort = 587;
    settings.m_szMailCABundle = QStringLiteral("/etc/velmora/ca.pem");
    const SSmtpSettings smtp = SmtpSettingsOf(settings);
    EXPECT_EQ(smtp.strHost, QStringLiteral("smtp.clinic.ru"));
    EXPECT_EQ(smtp.nPort, 587);
    EXPECT_EQ(smtp.strCaBundle, QStringLiteral("/etc/velmora/ca.pem"));
}

} // namespace
