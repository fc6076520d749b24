// Doctors' readings: a confirmation is locked and changes only by an amendment with its reason,
// every version stays readable, every change is in the audit trail whose chain finds an entry
// altered, removed or put in between, wrong passwords are refused, logged and slowed, and two
// doctors confirming at once end with one confirmation and the other told whose it is.

#include "archive/archive_fixture.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <barrier>
#include <chrono>
#include <thread>

namespace {

constexpr char kPassword[] = "correct horse 1";

CDoctorReading Reading(std::initializer_list<const char*> codes, const char* conclusion = "") {
    CDoctorReading r;
    for (const char* c : codes)
        r.statements.push_back({c, std::string("текст ") + c, std::string("text ") + c});
    r.conclusion = conclusion;
    return r;
}

struct ReadingsTest : ArchiveTest {
    void SetUp() override {
        ArchiveTest::SetUp();
        QString why;
        ASSERT_TRUE(archive.Open(Location(), &why)) << why.toStdString();
        PATIENT_CARD card = MakeCard();
        SetName(card, QStringLiteral("Сидоров"), QStringLiteral("Иван"), QStringLiteral("Ильич"));
        CArchive::Added added{};
        ASSERT_TRUE(archive.ImportFile(Save(QStringLiteral("r.scp"), card), &added, &id, &why))
            << why.toStdString();
        ASSERT_TRUE(archive.AddDoctor({0,
                                       QStringLiteral("petrova"),
                                       QStringLiteral("Петрова А. И."),
                                       QStringLiteral("врач ФД"),
                                       {}},
                                      kPassword, &why))
            << why.toStdString();
    }
    std::vector<QString> Actions() {
        std::vector<CAuditEntry> entries;
        QString why;
        EXPECT_TRUE(archive.Audit(id, entries, &why)) << why.toStdString();
        std::vector<QString> out;
        for (const CAuditEntry& e : entries)
            out.push_back(e.action + QLatin1Char(':') + e.user);
        return out;
    }
    CArchive archive;
    qint64 id = 0;
};

QJsonObject Object(const QString& text) {
    return QJsonDocument::fromJson(text.toUtf8()).object();
}

TEST_F(ReadingsTest, AConfirmationIsLockedAndAnAmendmentKeepsTheVersionBefore) {
    QString why;
    // Accounts: a plain login, a name and a password long enough; one login once.
    EXPECT_FALSE(archive.AddDoctor({0, QStringLiteral("петрова"), QStringLiteral("x"), {}, {}},
                                   kPassword, &why));
    EXPECT_FALSE(archive.AddDoctor({0, QStringLiteral("ivanov"), QStringLiteral("Иванов"), {}, {}},
                                   "short", &why));
    EXPECT_FALSE(archive.AddDoctor({0, QStringLiteral("petrova"), QStringLiteral("Другая"), {}, {}},
                                   kPassword, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("petrova"))) << why.toStdString();

    // The proposal is the record's first entry: the program's own statements.
    ASSERT_EQ(Actions(), std::vector<QString>{QStringLiteral("propose:velmora")});

    // A draft, then a wrong password: nothing is confirmed, the failure is logged.
    ASSERT_TRUE(archive.SaveDraft(id, Reading({"SR", "AXN"}, "черновик"), &why))
        << why.toStdString();
    CDoctorReading done;
    EXPECT_FALSE(archive.Confirm(id, Reading({"SR"}), QStringLiteral("petrova"), "wrong one!", 0,
                                 {}, &done, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("wrong password"))) << why.toStdString();
    EXPECT_FALSE(archive.Confirm(id, Reading({"SR"}), QStringLiteral("nobody"), kPassword, 0, {},
                                 &done, &why));

    ASSERT_TRUE(archive.Confirm(id, Reading({"SR", "LVH"}, "Заключение врача"),
                                QStringLiteral("petrova"), kPassword, 0, {}, &done, &why))
        << why.toStdString();
    EXPECT_EQ(done.version, 1);
    EXPECT_EQ(done.doctorName, "Петрова А. И.");
    EXPECT_GT(done.confirmedAt.wYear, 2000);

    // Locked: a second confirmation of version 0 is refused and names who confirmed it; an
    // amendment needs its reason and the version it changes.
    EXPECT_FALSE(archive.Confirm(id, Reading({"AFIB"}), QStringLiteral("petrova"), kPassword, 0, {},
                                 &done, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("Петрова А. И."))) << why.toStdString();
    EXPECT_FALSE(archive.Confirm(id, Reading({"AFIB"}), QStringLiteral("petrova"), kPassword, 1,
                                 QStringLiteral("  "), &done, &why));
    EXPECT_FALSE(archive.Confirm(id, Reading({"AFIB"}), QStringLiteral("petrova"), kPassword, 2,
                                 QStringLiteral("ошибка"), &done, &why));
    ASSERT_TRUE(archive.Confirm(id, Reading({"AFIB"}), QStringLiteral("petrova"), kPassword, 1,
                                QStringLiteral("пересмотрено"), &done, &why))
        << why.toStdString();
    EXPECT_EQ(done.version, 2);

    std::vector<CDoctorReading> versions;
    ASSERT_TRUE(archive.Readings(id, versions, &why)) << why.toStdString();
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions[0].statements.size(), 2u);
    EXPECT_EQ(versions[0].statements[1].code, "LVH");
    EXPECT_EQ(versions[0].conclusion, "Заключение врача");
    EXPECT_EQ(versions[1].statements.at(0).code, "AFIB");
    EXPECT_EQ(versions[1].amendReason, "пересмотрено");
    bool draft = true;
    CDoctorReading left;
    ASSERT_TRUE(archive.Draft(id, left, &draft, &why));
    EXPECT_FALSE(draft) << "the draft went with the confirmation";

    // The trail: what was there before each change and what after.
    std::vector<CAuditEntry> entries;
    ASSERT_TRUE(archive.Audit(id, entries, &why)) << why.toStdString();
    EXPECT_EQ(Actions(), (std::vector<QString>{QStringLiteral("propose:velmora"),
                                               QStringLiteral("edit:") + entries[1].user,
                                               QStringLiteral("login-failed:petrova"),
                                               QStringLiteral("confirm:petrova"),
                                               QStringLiteral("amend:petrova")}));
    EXPECT_EQ(Object(entries[3].before).value(QStringLiteral("conclusion")).toString(),
              QStringLiteral("черновик"));
    EXPECT_EQ(Object(entries[4].before).value(QStringLiteral("version")).toInt(), 1);
    EXPECT_EQ(Object(entries[4].after).value(QStringLiteral("reason")).toString(),
              QStringLiteral("пересмотрено"));

    // The list shows who confirmed it; the unconfirmed filter leaves it out.
    std::vector<CArchivedRecord> found;
    ASSERT_TRUE(archive.Find({}, found, &why));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].readingVersion, 2);
    EXPECT_EQ(found[0].confirmedBy, QStringLiteral("Петрова А. И."));
    CFindCriteria unconfirmed;
    unconfirmed.unconfirmed = true;
    ASSERT_TRUE(archive.Find(unconfirmed, found, &why));
    EXPECT_TRUE(found.empty());

    // A card edit is logged with the card before and after.
    PATIENT_CARD card = MakeCard();
    SetName(card, QStringLiteral("Сидоров"), QStringLiteral("Илья"), QStringLiteral("Ильич"));
    ASSERT_TRUE(archive.UpdateCard(id, card, &why)) << why.toStdString();
    ASSERT_TRUE(archive.Audit(id, entries, &why));
    EXPECT_EQ(entries.back().action, QStringLiteral("card"));
    EXPECT_EQ(Object(entries.back().before).value(QStringLiteral("first_name")).toString(),
              QStringLiteral("Иван"));
    EXPECT_EQ(Object(entries.back().after).value(QStringLiteral("first_name")).toString(),
              QStringLiteral("Илья"));
    CArchiveCounts counts;
    ASSERT_TRUE(archive.Check(counts, &why)) << why.toStdString();
    EXPECT_EQ(counts.doctors, 1);
    EXPECT_EQ(counts.unconfirmed, 0);
}

TEST_F(ReadingsTest, TheAuditChainFindsAnEntryAlteredRemovedOrPutInBetween) {
    QString why;
    CDoctorReading done;
    ASSERT_TRUE(archive.Confirm(id, Reading({"SR"}), QStringLiteral("petrova"), kPassword, 0, {},
                                &done, &why))
        << why.toStdString();
    ASSERT_TRUE(archive.SaveDraft(id, Reading({"SR", "LVH"}), &why));
    ASSERT_TRUE(archive.Delete(id, &why));
    CArchiveCounts counts;
    ASSERT_TRUE(archive.Check(counts, &why)) << why.toStdString();
    const qint64 entries = counts.auditEntries;
    ASSERT_GE(entries, 5);

    CRawDb raw(Location());
    ASSERT_TRUE(raw.IsOpen()) << raw.Error().toStdString();
    QVariantList rows;
    ASSERT_TRUE(
        raw.Query(QStringLiteral("SELECT after_value FROM audit WHERE sequence = 3"), {}, &rows));
    const QString kept = rows.value(0).toString();
    const auto broken = [&](const char* expected) {
        CArchiveCounts c;
        QString problem;
        EXPECT_FALSE(archive.Check(c, &problem));
        EXPECT_TRUE(problem.contains(QLatin1String(expected))) << problem.toStdString();
    };
    // Altered: a reading changed after the fact.
    ASSERT_TRUE(raw.Query(QStringLiteral("UPDATE audit SET after_value = ? WHERE sequence = 3"),
                          {kept + QLatin1Char(' ')}));
    broken("entry 3 was altered");
    ASSERT_TRUE(
        raw.Query(QStringLiteral("UPDATE audit SET after_value = ? WHERE sequence = 3"), {kept}));
    ASSERT_TRUE(archive.Check(counts, &why)) << why.toStdString();

    // Removed from the middle, and the rest renumbered to hide it.
    QVariantList all;
    ASSERT_TRUE(
        raw.Query(QStringLiteral("SELECT sequence FROM audit ORDER BY sequence"), {}, &all));
    ASSERT_TRUE(raw.Query(QStringLiteral("CREATE TABLE audit_copy AS SELECT * FROM audit"), {}));
    ASSERT_TRUE(raw.Query(QStringLiteral("DELETE FROM audit WHERE sequence = 2"), {}));
    broken("entry 2 is missing");
    // One at a time, upwards: PostgreSQL checks the key at each row.
    for (const QVariant& sequence : all) {
        if (sequence.toLongLong() > 2) {
            ASSERT_TRUE(
                raw.Query(QStringLiteral("UPDATE audit SET sequence = ? WHERE sequence = ?"),
                          {sequence.toLongLong() - 1, sequence}));
        }
    }
    broken("entry 2 was altered");
    // The last one removed: the head still counts it.
    ASSERT_TRUE(raw.Query(QStringLiteral("DELETE FROM audit"), {}));
    ASSERT_TRUE(raw.Query(QStringLiteral("INSERT INTO audit SELECT * FROM audit_copy"), {}));
    ASSERT_TRUE(archive.Check(counts, &why)) << why.toStdString();
    ASSERT_TRUE(raw.Query(QStringLiteral("DELETE FROM audit WHERE sequence = ?"), {entries}));
    broken("last 1 entries are missing");
    // One put in at the end with a made-up hash.
    ASSERT_TRUE(raw.Query(QStringLiteral("INSERT INTO audit SELECT * FROM audit_copy WHERE "
                                         "sequence = ?"),
                          {entries}));
    ASSERT_TRUE(raw.Query(QStringLiteral("INSERT INTO audit (sequence, record_id, at, actor, "
                                         "action, before_value, after_value, hash) VALUES (?, ?, "
                                         "'2026-01-01T00:00:00Z', 'x', 'confirm', '', '', 'ab')"),
                          {entries + 1, id}));
    broken("entry " + QByteArray::number(entries + 1) + " was altered");
}

// The archive keeps no password, only its Argon2id hash with a salt of its own: two doctors of
// one password have two hashes, and each still signs with it.
TEST_F(ReadingsTest, APasswordIsKeptOnlyAsASaltedArgon2idHash) {
    QString why;
    ASSERT_TRUE(archive.AddDoctor(
        {0, QStringLiteral("ivanov"), QStringLiteral("Иванов П. П."), {}, {}}, kPassword, &why))
        << why.toStdString();
    CRawDb raw(Location());
    ASSERT_TRUE(raw.IsOpen()) << raw.Error().toStdString();
    QVariantList hashes;
    ASSERT_TRUE(
        raw.Query(QStringLiteral("SELECT password_hash FROM doctors ORDER BY login"), {}, &hashes))
        << raw.Error().toStdString();
    ASSERT_EQ(hashes.size(), 2);
    for (const QVariant& h : hashes) {
        EXPECT_TRUE(h.toString().startsWith(QStringLiteral("$argon2id$")))
            << h.toString().toStdString();
        EXPECT_FALSE(h.toString().contains(QLatin1String(kPassword)));
    }
    EXPECT_NE(hashes[0], hashes[1]) << "each hash has its own salt";
    CDoctorReading done;
    EXPECT_TRUE(archive.Confirm(id, Reading({"SR"}), QStringLiteral("ivanov"), kPassword, 0, {},
                                &done, &why))
        << why.toStdString();
}

TEST_F(ReadingsTest, WrongPasswordsAreSlowedAfterThreeInARow) {
    QString why;
    CDoctorReading done;
    for (int i = 0; i < CArchive::kFreeAttempts; ++i) {
        EXPECT_FALSE(archive.Confirm(id, Reading({"SR"}), QStringLiteral("petrova"), "not it", 0,
                                     {}, &done, &why));
        EXPECT_TRUE(why.contains(QStringLiteral("wrong password"))) << why.toStdString();
    }
    // Now even the right one waits its turn, and is taken once the wait is over.
    EXPECT_FALSE(archive.Confirm(id, Reading({"SR"}), QStringLiteral("petrova"), kPassword, 0, {},
                                 &done, &why));
    EXPECT_TRUE(why.contains(QStringLiteral("try again"))) << why.toStdString();
    QElapsedTimer waited;
    waited.start();
    bool taken = false;
    while (!taken && waited.elapsed() < 15000) {
        taken = archive.Confirm(id, Reading({"SR"}), QStringLiteral("petrova"), kPassword, 0, {},
                                &done, &why);
        if (!taken)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_TRUE(taken) << why.toStdString();
    std::vector<CAuditEntry> entries;
    ASSERT_TRUE(archive.Audit(id, entries, &why));
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const CAuditEntry& e) { return e.action == "login-failed"; }),
              CArchive::kFreeAttempts);
}

TEST_F(ReadingsTest, TwoDoctorsConfirmingAtOnceEndWithOneConfirmation) {
    QString why;
    ASSERT_TRUE(archive.AddDoctor(
        {0, QStringLiteral("ivanov"), QStringLiteral("Иванов П. П."), {}, {}}, kPassword, &why));
    std::barrier start(2);
    bool ok[2] = {false, false};
    QString said[2];
    const auto doctor = [&](int k) {
        CArchive own;
        QString e;
        if (!own.Open(Location(), &e)) {
            said[k] = e;
            start.arrive_and_wait();
            return;
        }
        start.arrive_and_wait();
        CDoctorReading done;
        ok[k] = own.Confirm(id, Reading({k == 0 ? "SR" : "AFIB"}),
                            k == 0 ? QStringLiteral("petrova") : QStringLiteral("ivanov"),
                            kPassword, 0, {}, &done, &said[k]);
    };
    std::thread a(doctor, 0), b(doctor, 1);
    a.join();
    b.join();
    ASSERT_NE(ok[0], ok[1]) << said[0].toStdString() << " / " << said[1].toStdString();
    const int loser = ok[0] ? 1 : 0;
    EXPECT_TRUE(said[loser].contains(QStringLiteral("confirmed"))) << said[loser].toStdString();
    std::vector<CDoctorReading> versions;
    ASSERT_TRUE(archive.Readings(id, versions, &why));
    ASSERT_EQ(versions.size(), 1u);
    EXPECT_EQ(versions[0].statements.at(0).code, ok[0] ? "SR" : "AFIB");
    CArchiveCounts counts;
    EXPECT_TRUE(archive.Check(counts, &why)) << why.toStdString();
}

} // namespace
