// The archive's store: records belong to their patient however the names are written, the same
// file twice is one record, searches take what is typed literally, what goes in comes back whole,
// two workstations importing at once make each patient and record once, and a database that is
// no archive of ours is refused and left as it was.
//
// The ArchiveTest cases run on an SQLite file, and once more on PostgreSQL when VELMORA_TEST_PG
// names a server (postgresql://USER@HOST:PORT/DB, the password in PGPASSWORD; CTest runs the
// program so under tests/support/postgres_server.py): each case then has a database of its own.

#include "archive/archive_fixture.h"
#include "archive/archive_store.h"
#include "config/view_settings.h"
#include "platform/cp1251.h"
#include "record_io/records_test_support.h"
#include "storage/card_fields.h"
#include "support/wfdb.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <barrier>
#include <cstring>
#include <gtest/gtest.h>
#include <thread>

namespace {

CFindCriteria Named(const QString& name) {
    CFindCriteria c;
    c.name = name;
    return c;
}

CFindCriteria Between(QDate from, QDate to = QDate()) {
    CFindCriteria c;
    c.from = from;
    c.to = to;
    return c;
}

TEST_F(ArchiveTest, RecordsFindTheirPatientAndTheSameFileIsOneRecord) {
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    PATIENT_CARD a = MakeCard();
    SetName(a, QStringLiteral("Ёлкин"), QStringLiteral("Пётр"), QStringLiteral("Иванович"));
    PATIENT_CARD b = a; // the same patient, written otherwise
    SetName(b, QStringLiteral("ЕЛКИН"), QStringLiteral("пётр"), QStringLiteral("  иванович "));
    PATIENT_CARD other = a;
    other.birth_day = 28; // another patient of the same name
    PATIENT_CARD none{};
    const QStringList files = {
        Save(QStringLiteral("a.scp"), a, 1), Save(QStringLiteral("b.scp"), b, 2),
        Save(QStringLiteral("c.scp"), other, 3), Save(QStringLiteral("d.dat"), none, 4)};
    std::vector<qint64> ids;
    for (const QString& f : files) {
        CArchive::Added added{};
        qint64 id = 0;
        ASSERT_TRUE(archive.ImportFile(f, &added, &id, &why)) << why.toStdString();
        EXPECT_EQ(added, CArchive::Added::Imported) << f.toStdString();
        ids.push_back(id);
    }
    CArchive::Added again{};
    qint64 id = 0;
    ASSERT_TRUE(archive.ImportFile(files[0], &again, &id, &why));
    EXPECT_EQ(again, CArchive::Added::AlreadyThere) << "the same file adds nothing";
    EXPECT_EQ(id, ids[0]);

    std::vector<CArchivedRecord> found;
    ASSERT_TRUE(archive.Find(Named(QStringLiteral("елк")), found, &why)) << why.toStdString();
    ASSERT_EQ(found.size(), 3u) << "ё = е, any case";
    EXPECT_EQ(found[0].patientId, found[1].patientId) << "one patient however written";
    EXPECT_NE(found[0].patientId, found[2].patientId) << "another date of birth, another patient";
    EXPECT_EQ(found[0].type, QStringLiteral(".scp"));
    EXPECT_EQ(found[0].source, QStringLiteral("a.scp"));
    EXPECT_EQ(found[0].recordedAt, QStringLiteral("2026-12-08 23:18:57"));
    EXPECT_TRUE(found[0].heartRateBpm.has_value()) << "measured on the way in";

    CArchiveCounts counts;
    ASSERT_TRUE(archive.Check(counts, &why)) << why.toStdString();
    EXPECT_EQ(counts.records, 4);
    EXPECT_EQ(counts.patients, 2);
    EXPECT_EQ(counts.withoutPatient, 1) << "a record without a card waits without a patient";

    // What is typed is searched for as it is: no wildcard, no quote ends the statement.
    for (const char* typed : {"%", "_", "\\", "' OR 1=1 --", "Ёлкин%", "ел_ин", "ел%"}) {
        ASSERT_TRUE(archive.Find(Named(QString::fromUtf8(typed)), found, &why))
            << typed << ": " << why.toStdString();
        EXPECT_TRUE(found.empty()) << typed;
    }
    ASSERT_TRUE(archive.Find(Between(QDate(2026, 12, 8), QDate(2026, 12, 8)), found, &why));
    EXPECT_EQ(found.size(), 4u);
    ASSERT_TRUE(archive.Find(Between(QDate(2026, 12, 9)), found, &why));
    EXPECT_TRUE(found.empty());

    // A second program opening the same archive sees the same records.
    CArchive second;
    ASSERT_TRUE(second.Open(Location(), &why)) << why.toStdString();
    ASSERT_TRUE(second.Check(counts, &why));
    EXPECT_EQ(counts.records, 4);
}

TEST_F(ArchiveTest, WhatGoesInComesBackWhole) {
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    // A flat record has nothing to measure: its values are absent, not zero. The device's record
    // number takes all 32 bits.
    CLoadedRecord flat;
    std::memcpy(flat.pRecord->date, "2026-12-01 08:00:00", 20);
    flat.pRecord->curve_id = 0xFFFFFFF0u;
    flat.card = MakeCard();
    // Bytes of every value, the quote and the backslash among them, in the file as it came.
    QByteArray original;
    for (int i = 0; i < 1024; ++i)
        original.append(char(i * 7));
    original.append("'\\x00\\'");
    CArchive::Added added{};
    qint64 id = 0;
    ASSERT_TRUE(archive.AddRecord(flat, QStringLiteral(".scp"), original,
                                  QStringLiteral("ф'айл.scp"), &added, &id, &why))
        << why.toStdString();
    std::vector<CArchivedRecord> found;
    ASSERT_TRUE(archive.Find(Named(QStringLiteral("иванов-щ")), found, &why)) << why.toStdString();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].id, id);
    EXPECT_EQ(found[0].recordNumber, 0xFFFFFFF0u);
    EXPECT_FALSE(found[0].heartRateBpm.has_value());
    EXPECT_FALSE(found[0].qrsMs.has_value());
    EXPECT_EQ(found[0].source, QStringLiteral("ф'айл.scp"));
    EXPECT_EQ(std::memcmp(&found[0].card, &flat.card, sizeof flat.card), 0) << "the whole card";

    CRawDb raw(Location());
    ASSERT_TRUE(raw.IsOpen()) << raw.Error().toStdString();
    QVariantList rows;
    ASSERT_TRUE(raw.Query(QStringLiteral("SELECT original FROM records WHERE id = ?"), {id}, &rows))
        << raw.Error().toStdString();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toByteArray(), original);
    rows.clear();
    ASSERT_TRUE(raw.Query(QStringLiteral("SELECT record FROM records WHERE id = ?"), {id}, &rows));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toByteArray(),
              QByteArray(reinterpret_cast<const char*>(flat.pRecord.get()), sizeof(ECG_RECORD)));

    // Another maker's file keeps its bytes as they came.
    const std::filesystem::path data = wfdb::RealData();
    if (data.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): the foreign file "
                        "skipped";
    const QString scp = QString::fromStdString((data / "scp/ecgconversion_Example.scp").string());
    ASSERT_TRUE(archive.ImportFile(scp, &added, &id, &why)) << why.toStdString();
    rows.clear();
    ASSERT_TRUE(
        raw.Query(QStringLiteral("SELECT original FROM records WHERE id = ?"), {id}, &rows));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toByteArray(), BytesOf(scp));
}

TEST_F(ArchiveTest, TwoWorkstationsAtOnceMakeEachPatientAndRecordOnce) {
    // Both import the same files in the same order from the same moment on, the first opening
    // of the empty database among them: every write meets the other's.
    constexpr int kPatients = 6;
    QStringList files;
    for (int p = 0; p < kPatients; ++p) {
        PATIENT_CARD card = MakeCard();
        SetName(card, QStringLiteral("Одновременный%1").arg(p), QStringLiteral("Пётр"),
                QStringLiteral("Ильич"));
        files << Save(QStringLiteral("p%1a.scp").arg(p), card, 2 * p + 1)
              << Save(QStringLiteral("p%1b.scp").arg(p), card, 2 * p + 2);
    }
    const CArchiveLocation where = Location();
    std::barrier together(2);
    QStringList failures[2];
    std::vector<qint64> ids[2];
    auto workstation = [&](int n) {
        CArchive archive;
        QString why;
        together.arrive_and_wait();
        const bool open = archive.Open(where, &why);
        if (!open)
            failures[n] << QStringLiteral("open: ") + why;
        for (const QString& f : files) {
            together.arrive_and_wait();
            CArchive::Added added{};
            qint64 id = 0;
            if (open && !archive.ImportFile(f, &added, &id, &why))
                failures[n] << QFileInfo(f).fileName() + QStringLiteral(": ") + why;
            ids[n].push_back(id);
        }
    };
    std::thread first(workstation, 0), second(workstation, 1);
    first.join();
    second.join();
    for (const QStringList& f : failures)
        EXPECT_TRUE(f.isEmpty()) << f.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(ids[0], ids[1]) << "both were told the same record";

    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    CArchiveCounts counts;
    ASSERT_TRUE(archive.Check(counts, &why)) << why.toStdString();
    EXPECT_EQ(counts.patients, kPatients);
    EXPECT_EQ(counts.records, 2 * kPatients);
    std::vector<CArchivedRecord> found;
    ASSERT_TRUE(archive.Find(Named(QStringLiteral("одновременный3")), found, &why));
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].patientId, found[1].patientId);
}

TEST_F(ArchiveTest, ADatabaseOfAnotherProgramOrANewerVelmoraIsRefusedAndLeftAsItWas) {
    QString why;
    {
        CRawDb raw(Location());
        ASSERT_TRUE(raw.IsOpen()) << raw.Error().toStdString();
        ASSERT_TRUE(raw.Query(QStringLiteral("CREATE TABLE invoices (n INTEGER)"), {}));
        CArchive archive;
        EXPECT_FALSE(archive.Open(Location(), &why));
        EXPECT_TRUE(why.contains(QStringLiteral("another program"))) << why.toStdString();
        EXPECT_EQ(raw.Tables(), QStringList{QStringLiteral("invoices")}) << "nothing made";
        ASSERT_TRUE(raw.Query(QStringLiteral("DROP TABLE invoices"), {}));
        ASSERT_TRUE(raw.Query(QStringLiteral("CREATE TABLE velmora_archive (schema_version "
                                             "INTEGER)"),
                              {}));
        ASSERT_TRUE(raw.Query(QStringLiteral("INSERT INTO velmora_archive VALUES (99)"), {}));
    }
    CArchive newer;
    EXPECT_FALSE(newer.Open(Location(), &why));
    EXPECT_TRUE(why.contains(QStringLiteral("newer velmora"))) << why.toStdString();
    CRawDb raw(Location());
    EXPECT_EQ(raw.Tables(), QStringList{QStringLiteral("velmora_archive")}) << "nothing made";
}

// What is particular to an SQLite file.
struct ArchiveFileTest : ArchiveTest {
    void SetUp() override {}
};

TEST_F(ArchiveFileTest, WhatIsNoSqliteDatabaseIsRefusedAndANewArchiveIsItsUsersAlone) {
    QString why;
    const QString garbage = dir.filePath(QStringLiteral("garbage.sqlite"));
    {
        QFile f(garbage);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(8192, 'x'));
    }
    CArchive a;
    CArchiveLocation where;
    where.file = garbage;
    EXPECT_FALSE(a.Open(where, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("no sound SQLite database"))) << why.toStdString();
    EXPECT_EQ(BytesOf(garbage), QByteArray(8192, 'x'));

    // Another program's file is refused before the journal mode rewrites its header.
    const QString foreign = dir.filePath(QStringLiteral("foreign.sqlite"));
    where.file = foreign;
    {
        CRawDb raw(where);
        ASSERT_TRUE(raw.Query(QStringLiteral("CREATE TABLE invoices (n INTEGER)"), {}));
    }
    const QByteArray foreignBefore = BytesOf(foreign);
    CArchive b;
    EXPECT_FALSE(b.Open(where, &why));
    EXPECT_EQ(BytesOf(foreign), foreignBefore);

    CArchive d;
    ASSERT_TRUE(d.Open(Location(), &why)) << why.toStdString();
    EXPECT_EQ(QFile::permissions(Location().file) & (QFile::ReadGroup | QFile::ReadOther),
              QFile::Permissions());
}

TEST(ArchiveLocation, AnAddressNamesServerUserAndDatabaseButNeverAPassword) {
    CArchiveLocation pg;
    QString why;
    EXPECT_TRUE(CArchiveLocation::FromUrl(QStringLiteral("postgresql://ecg@db.clinic:5433/velmora"),
                                          pg, &why));
    EXPECT_EQ(pg.kind, CArchiveLocation::Kind::Postgresql);
    EXPECT_EQ(pg.host, QStringLiteral("db.clinic"));
    EXPECT_EQ(pg.port, 5433);
    EXPECT_EQ(pg.user, QStringLiteral("ecg"));
    EXPECT_EQ(pg.database, QStringLiteral("velmora"));
    EXPECT_FALSE(
        CArchiveLocation::FromUrl(QStringLiteral("postgresql://ecg:secret@db/velmora"), pg, &why))
        << "a password is never taken from a command line";
    EXPECT_FALSE(CArchiveLocation::FromUrl(QStringLiteral("mysql://db/x"), pg, &why));
    EXPECT_TRUE(pg.sslmode.isEmpty()) << "libpq's own default unless asked";

    for (const char* mode : {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"}) {
        ASSERT_TRUE(CArchiveLocation::FromUrl(
            QStringLiteral("postgresql://ecg@db/velmora?sslmode=") + QLatin1String(mode), pg, &why))
            << mode << ": " << why.toStdString();
        EXPECT_EQ(pg.sslmode, QLatin1String(mode));
    }
    // Anything else is refused, saying what was wrong, rather than connecting without TLS or
    // passing words of its own to the connection.
    for (const char* url : {"postgresql://ecg@db/velmora?sslmode=Require",
                            "postgresql://ecg@db/velmora?sslmode=require%20host%3Devil",
                            "postgresql://ecg@db/velmora?sslmode=",
                            "postgresql://ecg@db/velmora?sslmode=require&sslrootcert=x"}) {
        EXPECT_FALSE(CArchiveLocation::FromUrl(QLatin1String(url), pg, &why)) << url;
        EXPECT_TRUE(why.contains(QStringLiteral("ssl"))) << url << ": " << why.toStdString();
    }
    // The settings' mode goes the same way.
    CViewSettings settings;
    settings.m_szArchiveKind = QStringLiteral("postgresql");
    settings.m_szArchiveHost = QStringLiteral("db.clinic");
    settings.m_szArchiveDatabase = QStringLiteral("velmora");
    settings.m_szArchiveSslMode = QStringLiteral(" verify-full ");
    ASSERT_TRUE(CArchiveLocation::FromSettings(settings, pg, &why)) << why.toStdString();
    EXPECT_EQ(pg.sslmode, QStringLiteral("verify-full"));
    settings.m_szArchiveSslMode = QStringLiteral("yes");
    EXPECT_FALSE(CArchiveLocation::FromSettings(settings, pg, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("m_szArchiveSslMode"))) << why.toStdString();

    CArchiveLocation typed;
    typed.kind = CArchiveLocation::Kind::Postgresql;
    typed.host = QStringLiteral("127.0.0.1");
    typed.database = QStringLiteral("velmora");
    typed.sslmode = QStringLiteral("require host=elsewhere");
    CArchive archive;
    EXPECT_FALSE(archive.Open(typed, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("none of disable"))) << why.toStdString();
}

TEST_F(ArchiveTest, SurnamesWithLikeSyntaxAreFoundLiterallyAndReceivedRecordsNeedNoFile) {
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    // Received records: no source file, no type; each its own recording.
    const char* const surnames[] = {"100%", "10_0", "1000", "a\\b", "O'Brien", "a_b", "axb"};
    uint32_t n = 0;
    for (const char* surname : surnames) {
        CLoadedRecord loaded;
        loaded.pRecord = MakeRecord();
        loaded.pRecord->curve_id = ++n;
        SetName(loaded.card, surname, "", "");
        CArchive::Added added{};
        qint64 id = 0;
        ASSERT_TRUE(
            archive.AddRecord(loaded, QString(), QByteArray(), QString(), &added, &id, &why))
            << surname << ": " << why.toStdString();
    }
    const std::pair<QString, std::vector<const char*>> searches[] = {
        {QStringLiteral("100%"), {"100%"}},
        {QStringLiteral("10_"), {"10_0"}}, // `_` is no wildcard for one character
        {QStringLiteral("a\\"), {"a\\b"}},
        {QStringLiteral("o'b"), {"O'Brien"}},
        {QStringLiteral("a_"), {"a_b"}},
        {QStringLiteral("A"), {"a\\b", "a_b", "axb"}},
        // A zero ends no card's surname early: the text after it counts.
        {QStringLiteral("a") + QChar(0) + QStringLiteral("x"), {}},
    };
    for (const auto& [typed, expected] : searches) {
        std::vector<CArchivedRecord> found;
        ASSERT_TRUE(archive.Find(Named(typed), found, &why)) << why.toStdString();
        std::vector<std::string> names;
        for (const CArchivedRecord& r : found)
            names.push_back(CardTextUtf8(r.card.last_name, sizeof r.card.last_name));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, std::vector<std::string>(expected.begin(), expected.end()))
            << typed.toStdString();
        for (const CArchivedRecord& r : found)
            EXPECT_TRUE(r.source.isEmpty() && r.type.isEmpty()) << "a received record";
    }
}

TEST_F(ArchiveTest, ALongImportKeepsTheWriteAheadLogShort) {
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    CLoadedRecord loaded;
    loaded.pRecord = MakeRecord();
    loaded.card = MakeCard();
    const CRecordMeasures measured{72.0, 90.0, 400.0, {}};
    // 80 records of 110 KB: 8.8 MB, over twice SQLite's checkpoint mark of 1000 pages.
    for (uint32_t n = 1; n <= 80; ++n) {
        loaded.pRecord->curve_id = n;
        CArchive::Added added{};
        qint64 id = 0;
        ASSERT_TRUE(archive.AddRecord(loaded, QString(), QByteArray(), QString(), &added, &id, &why,
                                      &measured))
            << why.toStdString();
    }
    const qint64 log = QFileInfo(Location().file + QStringLiteral("-wal")).size();
    EXPECT_LT(log, 5 * 1024 * 1024) << "the log is checkpointed as the import goes";
    std::vector<CArchivedRecord> found;
    ASSERT_TRUE(archive.Find(CFindCriteria{}, found, &why)) << why.toStdString();
    ASSERT_EQ(found.size(), 80u);
    EXPECT_EQ(found[0].heartRateBpm, 72.0) << "the measurements given are kept";
    EXPECT_EQ(found[0].qtcBazettMs, 400.0);
}

} // namespace

TEST_F(ArchiveTest, ACardChangedKeepsItsHistoryAndMovesTheRecordToItsPatient) {
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    PATIENT_CARD none{};
    CArchive::Added added{};
    qint64 id = 0;
    ASSERT_TRUE(archive.ImportFile(Save("n.dat", none, 1), &added, &id, &why));
    CArchiveCounts counts;
    ASSERT_TRUE(archive.Check(counts, &why));
    EXPECT_EQ(counts.withoutPatient, 1);

    // The card filled: the record leaves "без карточки" for its patient, found by identifier.
    PATIENT_CARD filled = MakeCard();
    SetName(filled, "Сидорова", "Анна", "Петровна");
    std::strcpy(filled.patient_id, "MRN-7");
    ASSERT_TRUE(archive.UpdateCard(id, filled, &why)) << why.toStdString();
    CFindCriteria byText;
    byText.text = QStringLiteral("mrn");
    std::vector<CArchivedRecord> found;
    ASSERT_TRUE(archive.Find(byText, found, &why)) << why.toStdString();
    ASSERT_EQ(found.size(), 1u) << "the search field takes the identifier's beginning too";
    EXPECT_NE(found[0].patientId, 0);
    ASSERT_TRUE(archive.Check(counts, &why));
    EXPECT_EQ(counts.withoutPatient, 0);

    // Changed again: the history keeps both earlier cards, oldest first, and the same card
    // given twice is no change.
    PATIENT_CARD heavier = filled;
    heavier.weight = 99;
    ASSERT_TRUE(archive.UpdateCard(id, heavier, &why));
    ASSERT_TRUE(archive.UpdateCard(id, heavier, &why));
    std::vector<CCardVersion> history;
    ASSERT_TRUE(archive.CardHistory(id, history, &why));
    ASSERT_EQ(history.size(), 2u);
    EXPECT_EQ(history[0].card.last_name[0], 0);
    EXPECT_EQ(history[1].card.weight, filled.weight);

    // The record opens back with the card it has now.
    CLoadedRecord loaded;
    QString type;
    ASSERT_TRUE(archive.Load(id, loaded, &type, &why)) << why.toStdString();
    EXPECT_EQ(loaded.card.weight, 99);
    EXPECT_EQ(type, QStringLiteral(".dat"));
    EXPECT_EQ(std::memcmp(loaded.card.patient_id, "MRN-7", 6), 0);
    EXPECT_FALSE(archive.UpdateCard(id + 100, heavier, &why));
    EXPECT_FALSE(archive.Load(id + 100, loaded, &type, &why));

    // Saving our record again with the new card is the same record, not a second one.
    ASSERT_TRUE(archive.ImportFile(Save("n2.dat", heavier, 1), &added, &id, &why));
    EXPECT_EQ(added, CArchive::Added::AlreadyThere);
}

TEST_F(ArchiveTest, ABoundOrderStaysWithItsRecordAndLeavesWithAnExport) {
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    CArchive::Added added{};
    qint64 id = 0, other = 0;
    ASSERT_TRUE(archive.ImportFile(Save("o.dcm", MakeCard(), 5), &added, &id, &why))
        << why.toStdString();
    ASSERT_TRUE(archive.ImportFile(Save("p.scp", MakeCard(), 6), &added, &other, &why));
    CRecordOrder order;
    order.m_strAccession = "ACC-77";
    order.m_strStudyUid = "1.2.826.0.1.3680043.10.1234.77";
    order.m_strRequestedProcedureId = "RP-77";
    order.m_strProcedureDescription = "ЭКГ покоя";
    order.m_strScheduledStepId = "SPS-77";
    ASSERT_TRUE(archive.SetOrder(id, order, &why)) << why.toStdString();
    CRecordOrder changed = order;
    changed.m_strScheduledStepId = "SPS-78";
    ASSERT_TRUE(archive.SetOrder(id, changed, &why)) << "bound again: the newer order";
    EXPECT_FALSE(archive.SetOrder(id + 100, order, &why));
    EXPECT_FALSE(archive.SetOrder(id, CRecordOrder{}, &why)) << "no order without its number";

    CLoadedRecord loaded;
    QString type;
    ASSERT_TRUE(archive.Load(id, loaded, &type, &why)) << why.toStdString();
    EXPECT_EQ(loaded.order, changed);
    ASSERT_TRUE(archive.Load(other, loaded, &type, &why));
    EXPECT_FALSE(loaded.order.Bound()) << "another record is not bound";

    // Exported as its own type: written anew, since the file as it came has no order.
    const QString out = dir.filePath(QStringLiteral("out.dcm"));
    ASSERT_TRUE(archive.Export(id, out, &why)) << why.toStdString();
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    EXPECT_TRUE(bytes.contains("ACC-77"));
    EXPECT_TRUE(bytes.contains("1.2.826.0.1.3680043.10.1234.77"));
    EXPECT_TRUE(bytes.contains("SPS-78"));
}

TEST_F(ArchiveFileTest, DeletedRecordsWaitInTheRecycleListAndTheBackupIsWhole) {
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    PATIENT_CARD card = MakeCard();
    SetName(card, "Орлов", "Олег", "Олегович");
    std::vector<qint64> ids;
    for (int i = 0; i < 3; ++i) {
        CArchive::Added added{};
        qint64 id = 0;
        ASSERT_TRUE(
            archive.ImportFile(Save(i ? "o.scp" : "p.scp", card, 10 + i), &added, &id, &why));
        ids.push_back(id);
    }
    ASSERT_TRUE(archive.Delete(ids[0], &why)) << why.toStdString();
    std::vector<CArchivedRecord> found;
    ASSERT_TRUE(archive.Find(Named(QStringLiteral("орл")), found, &why));
    EXPECT_EQ(found.size(), 2u) << "a deleted record is out of the searches";
    CFindCriteria bin;
    bin.recycled = true;
    ASSERT_TRUE(archive.Find(bin, found, &why));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_FALSE(found[0].deletedAt.isEmpty());
    std::vector<CArchivedPatient> patients;
    ASSERT_TRUE(archive.FindPatients(Named(QStringLiteral("ОРЛОВ")), patients, &why));
    ASSERT_EQ(patients.size(), 1u);
    EXPECT_EQ(patients[0].records, 2);
    EXPECT_FALSE(archive.Delete(ids[2] + 50, &why)) << "no such record";

    // The backup while the archive is open: a whole archive of its own.
    const QString copy = dir.filePath(QStringLiteral("copy.sqlite"));
    ASSERT_TRUE(archive.Backup(copy, &why)) << why.toStdString();
    EXPECT_EQ(QFile::permissions(copy) & (QFile::ReadGroup | QFile::ReadOther), 0);
    ASSERT_TRUE(archive.Restore(ids[0], &why));
    {
        CArchive backup;
        CArchiveLocation there;
        there.file = copy;
        ASSERT_TRUE(backup.Open(there, &why)) << why.toStdString();
        CArchiveCounts counts;
        ASSERT_TRUE(backup.Check(counts, &why)) << why.toStdString();
        EXPECT_EQ(counts.records, 2);
        EXPECT_EQ(counts.recycled, 1);
    }
    EXPECT_FALSE(archive.Backup(dir.filePath(QStringLiteral("no/such/folder/x.sqlite")), &why));

    // Thirty days on, the recycle list is erased when the archive is next opened.
    ASSERT_TRUE(archive.Delete(ids[1], &why));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("o"));
        db.setDatabaseName(Location().file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(QStringLiteral("UPDATE records SET deleted_at = '2000-01-01T00:00:00Z' "
                                          "WHERE deleted_at IS NOT NULL")));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("o"));
    CArchive later;
    ASSERT_TRUE(later.Open(Location(), &why)) << why.toStdString();
    CArchiveCounts counts;
    ASSERT_TRUE(later.Check(counts, &why));
    EXPECT_EQ(counts.records, 2);
    EXPECT_EQ(counts.recycled, 0);
}

TEST_F(ArchiveFileTest, AnArchiveOfTheFirstSchemaIsBroughtUpToDate) {
    const QString path = Location().file;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v"));
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"CREATE TABLE velmora_archive (schema_version INTEGER NOT NULL)",
              "INSERT INTO velmora_archive VALUES (1)",
              "CREATE TABLE patients (id INTEGER PRIMARY KEY, match_key TEXT NOT NULL UNIQUE, "
              "identifier TEXT, last_name TEXT NOT NULL, first_name TEXT NOT NULL, patronymic "
              "TEXT NOT NULL, name_fold TEXT NOT NULL, birth_date TEXT, card BLOB NOT NULL)",
              "CREATE TABLE records (id INTEGER PRIMARY KEY, patient_id INTEGER REFERENCES "
              "patients (id), recorded_at TEXT NOT NULL, device TEXT NOT NULL, record_number "
              "INTEGER NOT NULL, type TEXT NOT NULL, source_name TEXT NOT NULL, content_hash "
              "TEXT NOT NULL UNIQUE, record BLOB NOT NULL, original BLOB, card BLOB NOT NULL, "
              "heart_rate_bpm REAL, qrs_ms REAL, qtc_bazett_ms REAL, imported_at TEXT NOT NULL)"})
            ASSERT_TRUE(q.exec(QString::fromLatin1(sql))) << sql;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v"));
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    PATIENT_CARD card = MakeCard();
    CArchive::Added added{};
    qint64 id = 0;
    ASSERT_TRUE(archive.ImportFile(Save("m.scp", card), &added, &id, &why)) << why.toStdString();
    CRecordOrder order;
    order.m_strAccession = "A1";
    ASSERT_TRUE(archive.SetOrder(id, order, &why)) << "the order's table came with the steps";
    ASSERT_TRUE(archive.Delete(id, &why)) << why.toStdString();
}

TEST_F(ArchiveTest, AWfdbRecordKeepsItsHeaderAndWholeSignalFile) {
    // Thirty seconds of two leads: the record block holds ten, the archive all of it.
    const int rate = 500, n = 30 * rate;
    QByteArray samples;
    for (int i = 0; i < n; ++i)
        for (int lead = 0; lead < 2; ++lead) {
            const int16_t v = int16_t(i % 400 < 10 ? 800 : (lead ? i % 97 : 0));
            samples.append(reinterpret_cast<const char*>(&v), 2);
        }
    auto write = [&](const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(QStringLiteral("w.dat"), samples);
    write(QStringLiteral("w.hea"), QStringLiteral("w 2 %1 %2\nw.dat 16 1000 16 0 0 0 0 I\n"
                                                  "w.dat 16 1000 16 0 0 0 0 II\n")
                                       .arg(rate)
                                       .arg(n)
                                       .toLatin1());
    write(QStringLiteral("x.hea"),
          QStringLiteral("x 1 %1 %2\n../w.dat 16 1000 16 0 0 0 0 I\n").arg(rate).arg(n).toLatin1());
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
    CArchive::Added added{};
    qint64 id = 0;
    ASSERT_TRUE(archive.ImportFile(dir.filePath(QStringLiteral("w.hea")), &added, &id, &why))
        << why.toStdString();
    QByteArray original;
    ASSERT_TRUE(archive.Original(id, original, &why));
    EXPECT_TRUE(original.startsWith("velmora WFDB files 1\nw.hea "));
    const QByteArray dat = "\nw.dat " + QByteArray::number(samples.size()) + "\n" + samples;
    EXPECT_TRUE(original.endsWith(dat)) << "the whole signal file, once";
    EXPECT_EQ(original.count("w.dat 16"), 2) << "inside the header only";
    EXPECT_FALSE(archive.Export(id, dir.filePath(QStringLiteral("back.hea")), &why))
        << "WFDB is not written";
    // A header reaching out of its folder: imported, but no file of it kept from elsewhere.
    if (archive.ImportFile(dir.filePath(QStringLiteral("x.hea")), &added, &id, &why)) {
        ASSERT_TRUE(archive.Original(id, original, &why));
        EXPECT_TRUE(original.isEmpty());
    }
}
