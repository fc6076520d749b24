#pragma once
// The archive: every record and its patient in one database, an SQLite file on one workstation
// or a PostgreSQL database a clinic shares, through one schema and one code path (Qt SQL, every
// value a bound parameter). The schema carries its version; opening an older archive migrates it
// in one transaction, and a file that is no archive of ours (another database, a damaged file)
// is refused with its reason, never changed.
//
// A record belongs to a patient by the card's identifier when it has one, otherwise by surname,
// first name, patronymic and date of birth compared without case and with ё = е; a record
// without a surname belongs to no patient yet ("без карточки"). A record is kept whole: our
// lossless record block, and the file as it came when it was another system's, with a content
// hash that makes importing the same file twice add nothing.

#include "config/view_settings.h"
#include "record_io/record_files.h"
#include "record_model/doctor_reading.h"

#include <QByteArray>
#include <QDate>
#include <QJsonObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

// Where an archive lives.
struct CArchiveLocation {
    enum class Kind { Sqlite, Postgresql };
    Kind kind = Kind::Sqlite;
    QString file; // SQLite
    QString host, database, user, password;
    int port = 5432;
    // TLS to the server, libpq's sslmode: disable, allow, prefer, require, verify-ca or
    // verify-full; empty: libpq's own default (prefer, or PGSSLMODE).
    QString sslmode;

    // postgresql://USER@HOST:PORT/DB[?sslmode=MODE] (no password: it never goes on a command
    // line).
    static bool FromUrl(const QString& url, CArchiveLocation& out, QString* error);
    static bool IsSslMode(const QString& mode);
    // The user's own archive: ~/.local/share/velmora/archive.sqlite.
    static CArchiveLocation DefaultFile();
    // The archive the settings name ([Archive]); false with *error for a kind it does not know.
    static bool FromSettings(const CViewSettings& settings, CArchiveLocation& out, QString* error);
};

// One record as a search lists it.
struct CArchivedRecord {
    qint64 id = 0;
    qint64 patientId = 0; // 0: no patient yet ("без карточки")
    PATIENT_CARD card{};  // the record's card as the archive keeps it now
    QString recordedAt;   // "YYYY-MM-DD hh:mm:ss" as the record has it
    QString type;         // the record type's extension: ".scp"
    QString device;       // the device's number text, or the source's maker and model
    quint32 recordNumber = 0;
    QString source;    // the file it was imported from (its name), or empty
    QString deletedAt; // when it went to the recycle list (UTC, ISO), or empty
    std::optional<double> heartRateBpm, qrsMs, qtcBazettMs;
    // The doctor's reading: its version (0: not confirmed), who confirmed it and when (local).
    int readingVersion = 0;
    QString confirmedBy, confirmedAt;
};

// One patient as the patient list shows it.
struct CArchivedPatient {
    qint64 id = 0;
    PATIENT_CARD card{}; // the card of the patient's newest record
    qint64 records = 0;
    QString lastRecordedAt;
};

// A card a record had before it was changed.
struct CCardVersion {
    PATIENT_CARD card{};
    QString replacedAt; // UTC, ISO
};

// A record's measurements as the archive keeps them beside it.
struct CRecordMeasures {
    std::optional<double> heartRateBpm, qrsMs, qtcBazettMs;
    // The automatic statements, as the audit trail's first entry of the record keeps them.
    std::vector<CReadStatement> proposal;
};

// What an import reads of a file before it touches the archive (the record, the file as it
// came for another system's, the measurements), made on any thread.
struct CImportItem {
    QString path;
    std::shared_ptr<CLoadedRecord> loaded; // null when the file does not open (error says why)
    QString type;
    QByteArray original;
    CRecordMeasures measured;
    QString error;
};
CImportItem PrepareImport(const QString& path);
// The measurements and the automatic statements of a record as the archive keeps them.
CRecordMeasures MeasuresOf(const CLoadedRecord& loaded);

struct CFindCriteria {
    QString name;       // the beginning of the surname, any case, ё = е
    QString identifier; // the patient identifier, exactly
    QString text;       // the beginning of the surname or of the identifier (the search field)
    QDate from, to;     // the recording dates, inclusive; invalid: open
    std::optional<qint64> patientId; // one patient's records; 0: those without a patient
    bool recycled = false;           // the recycle list instead of the archive
    bool unconfirmed = false;        // only records no doctor has confirmed
};

struct CArchiveCounts {
    qint64 patients = 0, records = 0, withoutPatient = 0, recycled = 0;
    qint64 unconfirmed = 0, doctors = 0, auditEntries = 0;
};

// A doctor who reads and confirms records: an account of the archive (a shared archive shares
// them).
struct CDoctorAccount {
    qint64 id = 0;
    QString login, name, position;
    QString createdAt; // UTC, ISO
};

// One entry of the audit trail: who did what to which record when, with what was there before
// and what is after (JSON texts; empty where nothing was).
struct CAuditEntry {
    qint64 sequence = 0; // 1, 2, ... over the whole archive
    qint64 recordId = 0;
    QString at;     // UTC, ISO
    QString user;   // a doctor's login, "velmora" for the program's proposals, else the system
                    // account that made the change
    QString action; // propose, edit, confirm, amend, card, delete, restore, login-failed
    QString before, after;
};

class CArchive {
public:
    static constexpr int kSchemaVersion = 4;
    // How long a deleted record stays in the recycle list before it is erased.
    static constexpr int kRecycleDays = 30;

    CArchive();
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // Opens (an SQLite file is created when missing) and brings the schema to kSchemaVersion;
    // false with *error when it is no archive of ours, damaged, newer than this program, or out
    // of reach. Records deleted more than kRecycleDays ago are erased then.
    bool Open(const CArchiveLocation& where, QString* error);
    bool IsOpen() const;
    CArchiveLocation::Kind Kind() const;

    enum class Added { Imported, AlreadyThere };
    // A record file into the archive, as the record layer opens it; *added says whether it was
    // new. False with *error when the file does not open or the archive refuses the write (then
    // nothing of it is in the archive).
    bool ImportFile(const QString& path, Added* added, qint64* id, QString* error);
    // A file PrepareImport read, into the archive as ImportFile puts it.
    bool AddPrepared(const CImportItem& item, Added* added, qint64* id, QString* error);
    // A record the program holds (received, or opened from `original`'s file). A record already
    // there takes the card given when it differs, the earlier card kept in its history; one in
    // the recycle list comes back from it.
    // It is measured unless `measured` gives what measuring it gave already (a generator of
    // many records from a few signals).
    bool AddRecord(const CLoadedRecord& loaded, const QString& type, const QByteArray& original,
                   const QString& sourceName, Added* added, qint64* id, QString* error,
                   const CRecordMeasures* measured = nullptr);

    bool Find(const CFindCriteria& criteria, std::vector<CArchivedRecord>& out, QString* error);
    // The patients with a record that matches (deleted records left out), by surname.
    bool FindPatients(const CFindCriteria& criteria, std::vector<CArchivedPatient>& out,
                      QString* error);
    // A record as the record layer would open it, with its card as the archive keeps it now;
    // *type is its type's extension. A record in the recycle list opens too.
    bool Load(qint64 id, CLoadedRecord& out, QString* type, QString* error);
    // The file as it came, for another system's record (a WFDB record: its header and signal
    // files, each as "NAME SIZE\n" and its bytes after the line "velmora WFDB files 1"); empty
    // for ours.
    bool Original(qint64 id, QByteArray& out, QString* error);

    // A new card for a record: the earlier one goes into the record's history, and the record
    // moves to the patient the new card names (a record without a card finds its patient).
    bool UpdateCard(qint64 id, const PATIENT_CARD& card, QString* error);
    // The worklist order the record is bound to (Load gives it too; none: unbound), and binding
    // it to another: an export or a store of the record carries it.
    bool Order(qint64 id, CRecordOrder& out, QString* error);
    bool SetOrder(qint64 id, const CRecordOrder& order, QString* error);
    // The record's earlier cards, oldest first.
    bool CardHistory(qint64 id, std::vector<CCardVersion>& out, QString* error);

    // Into the recycle list and back; erased for good after kRecycleDays.
    bool Delete(qint64 id, QString* error);
    bool Restore(qint64 id, QString* error);

    // A consistent copy of an SQLite archive in use, written whole or not at all.
    bool Backup(const QString& path, QString* error);
    // A record saved as the type path names, through the record layer; another system's file
    // asked for in its own type is written as it came.
    // `reportFor` gives the maker of the printed report for the types that carry it (a FHIR
    // bundle): the archive draws nothing itself.
    using ReportMakerFor =
        std::function<ReportPdfMaker(const CStatementSettings& how, uint16_t absentLanes)>;
    bool Export(qint64 id, const QString& path, QString* error,
                const ReportMakerFor& reportFor = {});

    // The database's own integrity check, the audit trail's chain (an entry removed, altered or
    // put in between is found and named) and the counts.
    bool Check(CArchiveCounts& counts, QString* error);

    // The audit trail's chain alone (Check runs it too): *entries counts them.
    bool CheckAuditTrail(qint64* entries, QString* error);

    // Doctors. A login is letters, digits, '.', '_' and '-'; the password is kept only as
    // its hash (password_hash.h).
    static constexpr int kMinimumPasswordLength = 8;
    bool AddDoctor(const CDoctorAccount& account, const QByteArray& password, QString* error);
    bool Doctors(std::vector<CDoctorAccount>& out, QString* error);

    // The record's confirmed readings, oldest first (every version stays readable), and the
    // newest (version 0 when none).
    bool Readings(qint64 id, std::vector<CDoctorReading>& out, QString* error);
    bool CurrentReading(qint64 id, CDoctorReading& out, QString* error);
    // A reading not yet confirmed, kept for the record (the window's over-read in progress);
    // Draft gives back false in *found when there is none.
    bool SaveDraft(qint64 id, const CDoctorReading& draft, QString* error);
    bool Draft(qint64 id, CDoctorReading& out, bool* found, QString* error);

    // Confirms `reading` (its statements and conclusion) in the doctor's name, who gives the
    // password. `seenVersion` is the version the doctor read: 0 confirms a record not yet
    // confirmed; a confirmed one takes an amendment, with a reason, on top of the version seen.
    // Someone else's confirmation meanwhile, a wrong password (slowed after kFreeAttempts
    // failures in a row, each logged) or a missing reason refuse it, and nothing changes but
    // the log. The reading as confirmed is in *confirmed.
    static constexpr int kFreeAttempts = 3;
    bool Confirm(qint64 id, const CDoctorReading& reading, const QString& login,
                 const QByteArray& password, int seenVersion, const QString& reason,
                 CDoctorReading* confirmed, QString* error);

    // The same patient's record before this one (by the recording's date and time; deleted
    // records left out): its id in *previous, 0 when there is none or the record has no patient.
    bool PreviousRecord(qint64 id, qint64* previous, QString* error);

    // What the program proposes for a record as `how` reads it: its automatic statements, then
    // the changes since the patient's previous record when there is one. A proposal unlike the
    // one the trail logged last is logged as a new "propose" entry (not in a read-only archive).
    bool Proposal(qint64 id, const CStatementSettings& how, std::vector<CReadStatement>& out,
                  QString* error);

    // The record's audit trail, oldest first.
    bool Audit(qint64 id, std::vector<CAuditEntry>& out, QString* error);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// The text a name is compared by: case-folded, ё as е, blanks simplified.
QString ArchiveFold(const QString& text);

// A card as an object of its fields by name (texts as UTF-8, numbers as numbers), as the audit
// trail and velmora-cli's JSON give it.
QJsonObject ArchiveCardJson(const PATIENT_CARD& card);

// The files an import takes from paths: each file, and every file under each folder (searched
// through), in order.
QStringList ArchiveFilesOf(const QStringList& paths);

// Imports files into the archive in their order; the next files are read and measured on other
// threads while the archive writes one. each() hears of every file, in order, on the calling
// thread. Stops before the next file once *cancel is set.
using ImportReport = std::function<void(const QString& path, bool ok, CArchive::Added added,
                                        qint64 id, const QString& error)>;
void ImportFiles(CArchive& archive, const QStringList& files, const ImportReport& each,
                 const std::atomic<bool>* cancel = nullptr);
