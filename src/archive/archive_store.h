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

#include "record_io/record_files.h"

#include <QByteArray>
#include <QDate>
#include <QString>
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
};

// One record as a search lists it.
struct CArchivedRecord {
    qint64 id = 0;
    qint64 patientId = 0; // 0: no patient yet
    PATIENT_CARD card{};  // the card the record came with
    QString recordedAt;   // "YYYY-MM-DD hh:mm:ss" as the record has it
    QString type;         // the record type's extension: ".scp"
    QString device;       // the device's number text, or the source's maker and model
    quint32 recordNumber = 0;
    QString source; // the file it was imported from (its name), or empty
    std::optional<double> heartRateBpm, qrsMs, qtcBazettMs;
};

struct CFindCriteria {
    QString name;       // the beginning of the surname, any case, ё = е
    QString identifier; // the patient identifier, exactly
    QDate from, to;     // the recording dates, inclusive; invalid: open
};

struct CArchiveCounts {
    qint64 patients = 0, records = 0, withoutPatient = 0;
};

class CArchive {
public:
    static constexpr int kSchemaVersion = 1;

    CArchive();
    ~CArchive();
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    // Opens (an SQLite file is created when missing) and brings the schema to kSchemaVersion;
    // false with *error when it is no archive of ours, damaged, newer than this program, or out
    // of reach.
    bool Open(const CArchiveLocation& where, QString* error);
    bool IsOpen() const;

    enum class Added { Imported, AlreadyThere };
    // A record file into the archive, as the record layer opens it; *added says whether it was
    // new. False with *error when the file does not open or the archive refuses the write (then
    // nothing of it is in the archive).
    bool ImportFile(const QString& path, Added* added, qint64* id, QString* error);
    // A record the program holds (received, or opened from `original`'s file).
    bool AddRecord(const CLoadedRecord& loaded, const QString& type, const QByteArray& original,
                   const QString& sourceName, Added* added, qint64* id, QString* error);

    bool Find(const CFindCriteria& criteria, std::vector<CArchivedRecord>& out, QString* error);
    // The database's own integrity check and the counts.
    bool Check(CArchiveCounts& counts, QString* error);

private:
    struct Impl;
    std::unique_ptr<Impl> m;
};

// The text a name is compared by: case-folded, ё as е, blanks simplified.
QString ArchiveFold(const QString& text);
