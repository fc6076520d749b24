#include "archive/archive_store.h"

#include "archive/archive_impl.h"

#include "analysis/measurements.h"
#include "platform/atomic_file.h"
#include "platform/bounded_file.h"
#include "record_io/record_device.h"
#include "storage/card_fields.h"
#include "storage/scp_export.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <chrono>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <future>
#include <thread>
#include <unistd.h>

using namespace archive_detail;

namespace {

// How long a write waits for another process's write to the same SQLite file.
constexpr int kBusyTimeoutMs = 10000;
// The PostgreSQL advisory lock a schema migration holds ("velmora" in ASCII).
constexpr qint64 kMigrationLock = 0x76656c6d6f7261;

QString NewConnectionName() {
    static QAtomicInteger<int> next(0);
    return QStringLiteral("velmora-archive-%1").arg(next.fetchAndAddRelaxed(1));
}

// The schema, one step per version; a step runs once, in the transaction that records it. Types
// are written for both databases: INTEGER PRIMARY KEY takes its number from SQLite's row id and
// from a sequence in PostgreSQL (the step text is adapted there).
struct SchemaStep {
    int version;
    const char* statements[10];
};

constexpr SchemaStep kSteps[] = {
    {1,
     {"CREATE TABLE patients (id INTEGER PRIMARY KEY, match_key TEXT NOT NULL UNIQUE, "
      "identifier TEXT, last_name TEXT NOT NULL, first_name TEXT NOT NULL, "
      "patronymic TEXT NOT NULL, name_fold TEXT NOT NULL, birth_date TEXT, card BLOB NOT NULL)",
      "CREATE INDEX patients_name ON patients (name_fold)",
      "CREATE TABLE records (id INTEGER PRIMARY KEY, patient_id INTEGER REFERENCES patients (id), "
      "recorded_at TEXT NOT NULL, device TEXT NOT NULL, record_number INTEGER NOT NULL, "
      "type TEXT NOT NULL, source_name TEXT NOT NULL, content_hash TEXT NOT NULL UNIQUE, "
      "record BLOB NOT NULL, original BLOB, card BLOB NOT NULL, heart_rate_bpm REAL, "
      "qrs_ms REAL, qtc_bazett_ms REAL, imported_at TEXT NOT NULL)",
      "CREATE INDEX records_patient ON records (patient_id)",
      "CREATE INDEX records_date ON records (recorded_at)", nullptr}},
    {2,
     {"ALTER TABLE records ADD COLUMN deleted_at TEXT",
      "ALTER TABLE records ADD COLUMN absent_lanes INTEGER NOT NULL DEFAULT 0",
      "ALTER TABLE records ADD COLUMN source_seconds REAL NOT NULL DEFAULT 0",
      // Identifiers were never filled before this step: the folded copy starts empty.
      "ALTER TABLE patients ADD COLUMN identifier_fold TEXT",
      "CREATE INDEX patients_identifier ON patients (identifier_fold)",
      "CREATE TABLE card_history (id INTEGER PRIMARY KEY, record_id INTEGER NOT NULL "
      "REFERENCES records (id) ON DELETE CASCADE, card BLOB NOT NULL, replaced_at TEXT NOT NULL)",
      "CREATE INDEX card_history_record ON card_history (record_id)", nullptr}},
    {3,
     {"CREATE TABLE doctors (id INTEGER PRIMARY KEY, login TEXT NOT NULL UNIQUE, "
      "name TEXT NOT NULL, position TEXT NOT NULL, password_hash TEXT NOT NULL, "
      "created_at TEXT NOT NULL, failed_logins INTEGER NOT NULL DEFAULT 0, last_failed_at TEXT)",
      // Every confirmed version of a record's reading; the newest is the one in force.
      "CREATE TABLE readings (id INTEGER PRIMARY KEY, record_id INTEGER NOT NULL REFERENCES "
      "records (id) ON DELETE CASCADE, version INTEGER NOT NULL, statements TEXT NOT NULL, "
      "conclusion TEXT NOT NULL, doctor_id INTEGER NOT NULL REFERENCES doctors (id), "
      "confirmed_at TEXT NOT NULL, reason TEXT NOT NULL, UNIQUE (record_id, version))",
      "CREATE TABLE drafts (id INTEGER PRIMARY KEY, record_id INTEGER NOT NULL UNIQUE "
      "REFERENCES records (id) ON DELETE CASCADE, statements TEXT NOT NULL, "
      "conclusion TEXT NOT NULL, saved_at TEXT NOT NULL)",
      // Entries are never changed or removed; each one's hash covers the one before it, and
      // the head holds the count and the last hash, so that a removed last entry shows too.
      "CREATE TABLE audit (sequence INTEGER PRIMARY KEY, record_id INTEGER, at TEXT NOT NULL, "
      "actor TEXT NOT NULL, action TEXT NOT NULL, before_value TEXT NOT NULL, "
      "after_value TEXT NOT NULL, hash TEXT NOT NULL)",
      "CREATE INDEX audit_record ON audit (record_id)",
      "CREATE TABLE audit_head (entries INTEGER NOT NULL, hash TEXT NOT NULL)",
      "INSERT INTO audit_head VALUES (0, '')", nullptr}},
    // The worklist order a record was made for, so that a later export or store carries it.
    {4,
     {"CREATE TABLE record_orders (id INTEGER PRIMARY KEY, record_id INTEGER NOT NULL UNIQUE "
      "REFERENCES records (id) ON DELETE CASCADE, accession TEXT NOT NULL, "
      "study_uid TEXT NOT NULL, procedure_id TEXT NOT NULL, procedure_text TEXT NOT NULL, "
      "step_id TEXT NOT NULL, scheduled_start TEXT NOT NULL, station TEXT NOT NULL, "
      "referring TEXT NOT NULL, bound_at TEXT NOT NULL)",
      nullptr}},
};

QString Adapted(const char* sql, CArchiveLocation::Kind kind) {
    QString s = QString::fromLatin1(sql);
    if (kind == CArchiveLocation::Kind::Postgresql) {
        // PostgreSQL's INTEGER is 32 bits with a sign, SQLite's 64: a device's record number
        // (32 bits without one) would not fit.
        s.replace(QStringLiteral("INTEGER PRIMARY KEY"), QStringLiteral("BIGSERIAL PRIMARY KEY"));
        s.replace(QStringLiteral(" INTEGER"), QStringLiteral(" BIGINT"));
        s.replace(QStringLiteral(" BLOB"), QStringLiteral(" BYTEA"));
        s.replace(QStringLiteral(" REAL"), QStringLiteral(" DOUBLE PRECISION"));
        // A server sorts text by its language's rules, and an index in that order cannot serve
        // LIKE 'prefix%': the surname search read every patient. This one compares bytes.
        s.replace(QStringLiteral("ON patients (name_fold)"),
                  QStringLiteral("ON patients (name_fold text_pattern_ops)"));
    }
    return s;
}

// The text LIKE takes as the beginning of a value: its own wildcards and escape made plain.
QString LikePrefix(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    s.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    s.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return s + QLatin1Char('%');
}

QString NewerArchive(int version) {
    return QStringLiteral("the archive was written by a newer velmora (schema %1; this one knows "
                          "up to %2)")
        .arg(version)
        .arg(CArchive::kSchemaVersion);
}

QString SslModeRefused(const QString& mode) {
    return QStringLiteral("sslmode %1 is none of disable, allow, prefer, require, verify-ca, "
                          "verify-full")
        .arg(mode);
}

} // namespace

namespace archive_detail {

QString CardText(const char* field, size_t size) {
    return QString::fromStdString(CardTextUtf8(field, size));
}

QByteArray CardBytes(const PATIENT_CARD& card) {
    return QByteArray(reinterpret_cast<const char*>(&card), sizeof card);
}

PATIENT_CARD CardOf(const QByteArray& bytes) {
    PATIENT_CARD card{};
    if (bytes.size() == qsizetype(sizeof card))
        std::memcpy(&card, bytes.constData(), sizeof card);
    return card;
}

QString BirthDate(const PATIENT_CARD& c) {
    return CardBirthDateValid(c) ? QStringLiteral("%1-%2-%3")
                                       .arg(c.birth_year, 4, 10, QLatin1Char('0'))
                                       .arg(c.birth_month, 2, 10, QLatin1Char('0'))
                                       .arg(c.birth_day, 2, 10, QLatin1Char('0'))
                                 : QString();
}

std::optional<double> Real(const QVariant& v) {
    return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
}

QVariant Value(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}

} // namespace archive_detail

QJsonObject ArchiveCardJson(const PATIENT_CARD& card) {
    QJsonObject o;
    for (const CardField& f : CardFields()) {
        if (f.kind == CardFieldKind::Text)
            o[QLatin1String(f.name)] = CardText(CardFieldText(card, f), f.size);
        else
            o[QLatin1String(f.name)] = qint64(CardNumber(card, f));
    }
    return o;
}

QString archive_detail::CardAuditText(const PATIENT_CARD& card) {
    return QString::fromUtf8(QJsonDocument(ArchiveCardJson(card)).toJson(QJsonDocument::Compact));
}

QString ArchiveFold(const QString& text) {
    QString s = text.simplified().toCaseFolded();
    s.replace(QChar(0x0451), QChar(0x0435)); // ё -> е
    return s;
}

QStringList ArchiveFilesOf(const QStringList& paths) {
    QStringList files;
    for (const QString& path : paths) {
        if (!QFileInfo(path).isDir()) {
            files << path;
            continue;
        }
        QStringList under;
        QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            under << it.next();
        under.sort();
        files << under;
    }
    return files;
}

bool CArchiveLocation::FromUrl(const QString& url, CArchiveLocation& out, QString* error) {
    const QUrl u(url, QUrl::StrictMode);
    if (!u.isValid() ||
        (u.scheme() != QLatin1String("postgresql") && u.scheme() != QLatin1String("postgres")) ||
        u.host().isEmpty() || u.path().size() < 2) {
        *error =
            QStringLiteral("not a database address postgresql://USER@HOST:PORT/DB: %1").arg(url);
        return false;
    }
    if (!u.password().isEmpty()) {
        *error = QStringLiteral("the address holds a password: it is never given on a command "
                                "line (use the settings or PGPASSWORD)");
        return false;
    }
    const QUrlQuery query(u);
    QString sslmode;
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key != QLatin1String("sslmode")) {
            *error = QStringLiteral("the database address takes only sslmode, not %1").arg(key);
            return false;
        }
        if (!IsSslMode(value)) {
            *error = SslModeRefused(value);
            return false;
        }
        sslmode = value;
    }
    out = CArchiveLocation{};
    out.kind = Kind::Postgresql;
    out.host = u.host();
    out.port = u.port(5432);
    out.user = u.userName();
    out.database = u.path().mid(1);
    out.sslmode = sslmode;
    return true;
}

bool CArchiveLocation::IsSslMode(const QString& mode) {
    static const QStringList modes = {QStringLiteral("disable"),   QStringLiteral("allow"),
                                      QStringLiteral("prefer"),    QStringLiteral("require"),
                                      QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    return modes.contains(mode);
}

CArchiveLocation CArchiveLocation::DefaultFile() {
    CArchiveLocation l;
    l.file = QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
                 .filePath(QStringLiteral("velmora/archive.sqlite"));
    return l;
}

bool CArchiveLocation::FromSettings(const CViewSettings& s, CArchiveLocation& out, QString* error) {
    const QString kind = s.m_szArchiveKind.trimmed().toLower();
    if (kind.isEmpty() || kind == QLatin1String("sqlite")) {
        out = DefaultFile();
        if (!s.m_szArchiveFile.trimmed().isEmpty())
            out.file = s.m_szArchiveFile.trimmed();
        return true;
    }
    if (kind != QLatin1String("postgresql")) {
        *error = QStringLiteral("the settings name an archive of a kind unknown: %1 (sqlite or "
                                "postgresql)")
                     .arg(s.m_szArchiveKind);
        return false;
    }
    out = CArchiveLocation{};
    out.kind = Kind::Postgresql;
    out.host = s.m_szArchiveHost.trimmed();
    out.port = s.m_nArchivePort;
    out.database = s.m_szArchiveDatabase.trimmed();
    out.user = s.m_szArchiveUser.trimmed();
    out.password = s.m_szArchivePassword;
    out.sslmode = s.m_szArchiveSslMode.trimmed();
    if (out.host.isEmpty() || out.database.isEmpty()) {
        *error = QStringLiteral("the settings name a shared archive without its host or database");
        return false;
    }
    if (!out.sslmode.isEmpty() && !IsSslMode(out.sslmode)) {
        *error = QStringLiteral("the settings' [Archive] m_szArchiveSslMode: ") +
                 SslModeRefused(out.sslmode);
        return false;
    }
    return true;
}

bool CArchive::Impl::Migrate(QString* error) {
    bool known = false;
    int version = Version(error, &known);
    if (version < 0)
        return false;
    if (version > kSchemaVersion) {
        *error = NewerArchive(version);
        return false;
    }
    if (version == kSchemaVersion)
        return true;
    if (!readOnly.isEmpty()) {
        *error = QStringLiteral("the archive is of an older velmora and cannot be brought up to "
                                "date: %1")
                     .arg(readOnly);
        return false;
    }
    if (!Begin(error))
        return false;
    // Two PostgreSQL programs opening a new archive at once would both create the tables; the
    // second waits here for the first, then finds them made.
    if (!Sqlite() &&
        !Exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kMigrationLock), error))
        return Rollback(error, *error);
    // Within the transaction again: another process may have made it meanwhile.
    version = Version(error, &known);
    if (version < 0)
        return Rollback(error, *error);
    if (!known && !Exec(QStringLiteral("CREATE TABLE velmora_archive (schema_version INTEGER "
                                       "NOT NULL)"),
                        error))
        return Rollback(error, *error);
    if (!known && !Exec(QStringLiteral("INSERT INTO velmora_archive VALUES (0)"), error))
        return Rollback(error, *error);
    for (const SchemaStep& step : kSteps) {
        if (step.version <= version)
            continue;
        for (const char* const* sql = step.statements; *sql; ++sql)
            if (!Exec(Adapted(*sql, kind), error))
                return Rollback(error, *error);
        QSqlQuery q(Db());
        if (!Run(q, QStringLiteral("UPDATE velmora_archive SET schema_version = ?"), {step.version},
                 error))
            return Rollback(error, *error);
    }
    return Commit(error);
}

// The patient a card names, made when new; null for a card without a surname. Inside the
// caller's transaction; two writers making the same patient at once end with one.
bool CArchive::Impl::PatientFor(const PATIENT_CARD& c, QVariant& patient, QString* error) {
    patient = QVariant(QMetaType(QMetaType::LongLong));
    const QString last = CardText(c.last_name, sizeof c.last_name);
    if (last.isEmpty())
        return true;
    const QString first = CardText(c.first_name, sizeof c.first_name);
    const QString middle = CardText(c.patronymic, sizeof c.patronymic);
    const QString born = BirthDate(c);
    const QString identifier = QString::fromStdString(CardPatientId(c));
    const QString key = !identifier.isEmpty() ? QStringLiteral("id:") + identifier
                                              : QStringLiteral("name:%1|%2|%3|%4")
                                                    .arg(ArchiveFold(last), ArchiveFold(first),
                                                         ArchiveFold(middle), born);
    auto orNull = [](const QString& v) {
        return v.isEmpty() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(v);
    };
    QSqlQuery add(Db());
    if (!Run(add,
             QStringLiteral("INSERT INTO patients (match_key, identifier, identifier_fold, "
                            "last_name, first_name, patronymic, name_fold, birth_date, card) "
                            "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (match_key) DO "
                            "NOTHING"),
             {key, orNull(identifier), orNull(ArchiveFold(identifier)), last, first, middle,
              ArchiveFold(last), orNull(born), CardBytes(c)},
             error))
        return false;
    QSqlQuery find(Db());
    if (!Run(find, QStringLiteral("SELECT id FROM patients WHERE match_key = ?"), {key}, error))
        return false;
    if (!find.next()) {
        *error = QStringLiteral("the patient cannot be found after it was added");
        return false;
    }
    patient = find.value(0);
    // The patient shows the newest card given for them (each record keeps its own).
    QSqlQuery newest(Db());
    return Run(newest, QStringLiteral("UPDATE patients SET card = ? WHERE id = ?"),
               {CardBytes(c), patient}, error);
}

void CArchive::Impl::EraseOldRecycled() {
    // Best effort: an archive opened only to be read (a read-only file) keeps them until a
    // writer opens it.
    const QString cutoff =
        QDateTime::currentDateTimeUtc().addDays(-kRecycleDays).toString(Qt::ISODate);
    QSqlQuery q(Db());
    QString ignored;
    if (!Run(q, QStringLiteral("SELECT COUNT(*) FROM records WHERE deleted_at < ?"), {cutoff},
             &ignored) ||
        !q.next() || q.value(0).toLongLong() == 0)
        return;
    QSqlQuery erase(Db());
    if (Begin(&ignored) &&
        Run(erase, QStringLiteral("DELETE FROM records WHERE deleted_at < ?"), {cutoff}, &ignored))
        Commit(&ignored);
    else
        Rollback(&ignored, ignored);
}

CArchive::CArchive() : m(std::make_unique<Impl>()) {
    m->connection = NewConnectionName();
}

CArchive::~CArchive() {
    if (QSqlDatabase::contains(m->connection)) {
        QSqlDatabase::database(m->connection, false).close();
        QSqlDatabase::removeDatabase(m->connection);
    }
}

bool CArchive::IsOpen() const {
    return m->open;
}

CArchiveLocation::Kind CArchive::Kind() const {
    return m->kind;
}

namespace {

// An existing file that is not an SQLite database at all: refused before SQLite opens it.
bool NotSqliteFile(const QString& path, QString* error) {
    QFile f(path);
    if (!f.exists() || f.size() == 0)
        return false;
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("the archive cannot be read: %1").arg(f.errorString());
        return true;
    }
    if (f.read(16) == QByteArray("SQLite format 3", 16))
        return false;
    *error = QStringLiteral(
        "the file is no sound SQLite database (its header is not SQLite's); it is left as it is");
    return true;
}

} // namespace

bool CArchive::Open(const CArchiveLocation& where, QString* error) {
    m->kind = where.kind;
    const bool sqlite = m->Sqlite();
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *error = QStringLiteral("Qt's %1 database driver is not installed (Debian: %2)")
                     .arg(driver, sqlite ? QStringLiteral("libqt6sql6-sqlite")
                                         : QStringLiteral("libqt6sql6-psql"));
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m->connection);
    if (sqlite) {
        if (where.file.isEmpty() || QFileInfo(where.file).isDir()) {
            *error = QStringLiteral("no archive file named: %1").arg(where.file);
            return false;
        }
        if (NotSqliteFile(where.file, error))
            return false;
        const QString folder = QFileInfo(where.file).absolutePath();
        QDir().mkpath(folder);
        // Patient data: a new archive is its user's alone (SQLite would make it 0644).
        const int fd = ::open(QFile::encodeName(where.file).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
        // An archive we may not write (the file, or its folder where SQLite keeps its write-ahead
        // log) is opened to be read only, so that it can still be searched and checked, and an
        // import is refused with that reason rather than with a half-done write's.
        const bool fileWritable = ::access(QFile::encodeName(where.file).constData(), W_OK) == 0;
        const bool folderWritable = ::access(QFile::encodeName(folder).constData(), W_OK) == 0;
        if (!fileWritable || !folderWritable) {
            m->readOnly = QStringLiteral("%1 is not writable")
                              .arg(fileWritable ? QStringLiteral("its folder %1").arg(folder)
                                                : QStringLiteral("the file %1").arg(where.file));
            QUrl url = QUrl::fromLocalFile(QFileInfo(where.file).absoluteFilePath());
            // Without the log beside it and no right to make one, SQLite reads the file only as
            // one that nobody changes meanwhile: nobody can, without writing that folder.
            const bool logBeside = QFileInfo::exists(where.file + QStringLiteral("-wal")) ||
                                   QFileInfo::exists(where.file + QStringLiteral("-shm"));
            url.setQuery(!folderWritable && !logBeside ? QStringLiteral("mode=ro&immutable=1")
                                                       : QStringLiteral("mode=ro"));
            db.setDatabaseName(url.toString(QUrl::FullyEncoded));
            options += QStringLiteral(";QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI");
        } else {
            db.setDatabaseName(where.file);
        }
        db.setConnectOptions(options);
    } else {
        db.setHostName(where.host);
        db.setPort(where.port);
        db.setDatabaseName(where.database);
        db.setUserName(where.user);
        if (!where.password.isEmpty())
            db.setPassword(where.password);
        if (!where.sslmode.isEmpty()) {
            // The mode goes into libpq's connection string as it is: only its own words pass.
            if (!CArchiveLocation::IsSslMode(where.sslmode)) {
                *error = SslModeRefused(where.sslmode);
                return false;
            }
            db.setConnectOptions(QStringLiteral("sslmode=") + where.sslmode);
        }
    }
    if (!db.open()) {
        // libpq's reason runs over lines ("...failed: Connection refused\n\tIs the server
        // running...") and Qt adds its own: the reason alone, on one line.
        const QSqlError fault = db.lastError();
        const QString reason = fault.databaseText().simplified();
        *error = QStringLiteral("the archive cannot be opened: %1")
                     .arg(reason.isEmpty() ? fault.text().simplified() : reason);
        return false;
    }
    if (sqlite) {
        // A damaged header or schema fails here, before anything is written. The whole file is
        // checked by Check only: reading every page of a large archive at each start would cost
        // seconds, and SQLite reports a damaged page when it meets one, never mending it.
        QString fault;
        {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")) || !q.next())
                fault = q.lastError().text();
        }
        if (!fault.isEmpty()) {
            *error = QStringLiteral("the file is no sound SQLite database (%1); it is left as it "
                                    "is")
                         .arg(fault);
            db.close();
            return false;
        }
        // Whose the database is, before the journal mode rewrites its header.
        bool known = false;
        const int version = m->Version(error, &known);
        if (version < 0 || version > kSchemaVersion) {
            if (version > kSchemaVersion)
                *error = NewerArchive(version);
            db.close();
            return false;
        }
        QString why;
        // Another program making the same new archive holds its lock while it switches the
        // journal and writes the tables; SQLite refuses a journal switch then at once, without
        // the busy wait, so it is asked again until that is done.
        const auto wal = [&] {
            QElapsedTimer waited;
            waited.start();
            while (!m->Exec(QStringLiteral("PRAGMA journal_mode = WAL"), &why)) {
                if (!why.contains(QLatin1String("locked")) || waited.elapsed() > kBusyTimeoutMs)
                    return false;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            return true;
        };
        if (!m->Exec(QStringLiteral("PRAGMA foreign_keys = ON"), &why) ||
            (m->readOnly.isEmpty() && !wal())) {
            *error = QStringLiteral("the archive cannot be used: %1").arg(why);
            db.close();
            return false;
        }
    }
    if (!m->Migrate(error)) {
        db.close();
        return false;
    }
    m->open = true;
    m->EraseOldRecycled();
    return true;
}

namespace {

// A WFDB record is a header and the signal files it names: kept as one blob, each file as
// "NAME SIZE\n" and its bytes after a first line naming the form. Empty when a file named is
// not a plain name beside the header, is missing or too large: the record block is kept then.
QByteArray WfdbFiles(const QString& header) {
    std::vector<uint8_t> text;
    std::string why;
    if (!ReadWholeFile(QFile::encodeName(header).toStdString(), size_t(kMaxRecordFileSize), text,
                       &why))
        return {};
    const QStringList lines =
        QString::fromLatin1(reinterpret_cast<const char*>(text.data()), qsizetype(text.size()))
            .split(QLatin1Char('\n'));
    QStringList names = {QFileInfo(header).fileName()};
    bool first = true;
    for (const QString& line : lines) {
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(QLatin1Char('#')))
            continue;
        if (std::exchange(first, false)) {
            if (t.section(QLatin1Char(' '), 0, 0).contains(QLatin1Char('/')))
                return {}; // a multi-segment record: its segments are headers of their own
            continue;
        }
        const QString name = t.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
            name == QLatin1String(".."))
            return {};
        if (!names.contains(name))
            names << name;
    }
    QByteArray blob("velmora WFDB files 1\n");
    const QDir folder = QFileInfo(header).absoluteDir();
    for (const QString& name : names) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(QFile::encodeName(folder.filePath(name)).toStdString(),
                           size_t(kMaxRecordFileSize), bytes, &why))
            return {};
        blob += name.toUtf8() + ' ' + QByteArray::number(qulonglong(bytes.size())) + '\n';
        blob.append(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    return blob;
}

} // namespace

CRecordMeasures MeasuresOf(const CLoadedRecord& loaded) {
    // As a record is read without a window's filters, by the Russian practice: what the
    // program proposed when the record came in.
    const analysis::RecordAnalysis a = analysis::AnalyseRecord(*loaded.pRecord, &loaded.card, {});
    CRecordMeasures out{
        a.measurements.heartRateBpm, a.measurements.qrsMs, a.measurements.qtcBazettMs, {}};
    for (const analysis::Statement& st : a.interpretation.statements)
        out.proposal.push_back({st.code, st.text, st.textEn});
    return out;
}

CImportItem PrepareImport(const QString& path) {
    CImportItem item;
    item.path = path;
    auto loaded = std::make_shared<CLoadedRecord>();
    std::string why;
    const RecordFileType* type = nullptr; // what the file holds, whatever its name says
    if (!OpenRecordFile(path, *loaded, &why, &type)) {
        item.error = QString::fromStdString(why);
        return item;
    }
    item.type = QString::fromLatin1(type->extension);
    // The file as it came, for another system's file: nothing of it is lost (a WFDB record's
    // header with its signal files, which may run far past the ten seconds of its block). Our
    // own types are whole in the record block and the card.
    if (type == RecordFileTypeOf(QStringLiteral(".hea"))) {
        item.original = WfdbFiles(path);
    } else if (!IsOurRecord(*loaded->pRecord)) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(QFile::encodeName(path).toStdString(), size_t(kMaxRecordFileSize), bytes,
                           &why)) {
            item.error = QString::fromStdString(why);
            return item;
        }
        item.original =
            QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    item.measured = MeasuresOf(*loaded);
    item.loaded = std::move(loaded);
    return item;
}

bool CArchive::AddPrepared(const CImportItem& item, Added* added, qint64* id, QString* error) {
    if (!item.loaded) {
        *error = item.error;
        return false;
    }
    return AddRecord(*item.loaded, item.type, item.original, QFileInfo(item.path).fileName(), added,
                     id, error, &item.measured);
}

bool CArchive::ImportFile(const QString& path, Added* added, qint64* id, QString* error) {
    return AddPrepared(PrepareImport(path), added, id, error);
}

void ImportFiles(CArchive& archive, const QStringList& files, const ImportReport& each,
                 const std::atomic<bool>* cancel) {
    // Reading and measuring take most of an import's time and need no database: the files
    // ahead are prepared on as many threads as the machine has cores.
    const size_t ahead = std::max(2u, std::thread::hardware_concurrency());
    std::deque<std::future<CImportItem>> pending;
    qsizetype next = 0;
    auto fill = [&] {
        while (pending.size() < ahead && next < files.size())
            pending.push_back(std::async(std::launch::async, PrepareImport, files[next++]));
    };
    fill();
    while (!pending.empty()) {
        if (cancel && *cancel)
            break; // the futures under way finish as they are dropped
        const CImportItem item = pending.front().get();
        pending.pop_front();
        fill();
        CArchive::Added added{};
        qint64 id = 0;
        QString why;
        const bool ok = archive.AddPrepared(item, &added, &id, &why);
        each(item.path, ok, added, id, why);
    }
}

bool CArchive::AddRecord(const CLoadedRecord& loaded, const QString& type,
                         const QByteArray& original, const QString& sourceName, Added* added,
                         qint64* id, QString* error, const CRecordMeasures* measured) {
    if (m->NotOpen(error))
        return false;
    if (!m->readOnly.isEmpty()) {
        *error = QStringLiteral("the archive is read-only (%1); nothing is added").arg(m->readOnly);
        return false;
    }
    const ECG_RECORD& r = *loaded.pRecord;
    const QByteArray record(reinterpret_cast<const char*>(&r), sizeof r);
    // The same file is one entry, and so is our own record however often it is saved: its
    // block without the card's texts (a save writes them into the source and notes) names it.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!original.isEmpty()) {
        hash.addData(original);
    } else {
        auto bare = std::make_unique<ECG_RECORD>(r);
        std::memset(bare->source, 0, sizeof bare->source);
        std::memset(bare->notes, 0, sizeof bare->notes);
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(bare.get()), sizeof r));
    }
    const QString contentHash = QString::fromLatin1(hash.result().toHex());

    QSqlQuery known(m->Db());
    if (!m->Run(known, QStringLiteral("SELECT id FROM records WHERE content_hash = ?"),
                {contentHash}, error))
        return false;
    if (known.next()) {
        *id = known.value(0).toLongLong();
        *added = Added::AlreadyThere;
        return true;
    }

    const CRecordMeasures values = measured ? *measured : MeasuresOf(loaded);
    const CRecordEquipment equipment = RecordEquipment(r);
    const QString device = equipment.m_bOurs ? RecordNumberText(r)
                                             : QString::fromStdString(equipment.m_strManufacturer +
                                                                      " " + equipment.m_strModel +
                                                                      " " + equipment.m_strSerial)
                                                   .simplified();
    if (!m->Begin(error))
        return false;
    QVariant patient;
    if (!m->PatientFor(loaded.card, patient, error))
        return m->Rollback(error, *error);
    QSqlQuery ins(m->Db());
    if (!m->Run(
            ins,
            QStringLiteral(
                "INSERT INTO records (patient_id, recorded_at, device, record_number, type, "
                "source_name, content_hash, record, original, card, heart_rate_bpm, qrs_ms, "
                "qtc_bazett_ms, imported_at, absent_lanes, source_seconds) VALUES (?, ?, ?, "
                "?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (content_hash) DO NOTHING"),
            {patient, QString::fromLatin1(r.date, int(strnlen(r.date, sizeof r.date))), device,
             // A received record has no source file: an empty name, never a null the column
             // refuses.
             qint64(r.curve_id), type.isNull() ? QStringLiteral("") : type,
             sourceName.isNull() ? QStringLiteral("") : sourceName, contentHash, record,
             original.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(original),
             CardBytes(loaded.card), Value(values.heartRateBpm), Value(values.qrsMs),
             Value(values.qtcBazettMs), QDateTime::currentDateTimeUtc().toString(Qt::ISODate),
             int(loaded.absentLanes), loaded.dSourceSeconds},
            error))
        return m->Rollback(error, *error);
    // No row: another writer added the same record meanwhile.
    const bool inserted = ins.numRowsAffected() > 0;
    QSqlQuery got(m->Db());
    if (!m->Run(got, QStringLiteral("SELECT id FROM records WHERE content_hash = ?"), {contentHash},
                error) ||
        !got.next())
        return m->Rollback(error, *error);
    *id = got.value(0).toLongLong();
    if (inserted) {
        CDoctorReading proposal;
        proposal.statements = values.proposal;
        if (!m->AppendAudit(*id, QStringLiteral("velmora"), QStringLiteral("propose"), QString(),
                            ReadingAuditText(proposal), error))
            return m->Rollback(error, *error);
    }
    // A statement still reading holds the connection's read transaction past the commit, and
    // SQLite then skips the checkpoint the commit would run: the log grew by every record of
    // an import until the archive was closed.
    got.finish();
    if (!m->Commit(error))
        return false;
    *added = inserted ? Added::Imported : Added::AlreadyThere;
    return true;
}

namespace {

// The conditions of a search, its values in the order of their places.
QString Conditions(const CFindCriteria& c, QVariantList& values) {
    QString sql = c.recycled ? QStringLiteral(" WHERE r.deleted_at IS NOT NULL")
                             : QStringLiteral(" WHERE r.deleted_at IS NULL");
    // A card's texts end at their first zero: no name or identifier holds one. SQLite's LIKE
    // would end the pattern there and find what begins with the part before it, and Qt's
    // PostgreSQL driver cuts the value's literal there; such a text reaches no database.
    if (ArchiveFold(c.name).contains(QChar(0)) || c.identifier.contains(QChar(0)) ||
        ArchiveFold(c.text).contains(QChar(0)))
        return sql + QStringLiteral(" AND 1 = 0");
    // The patients first, then their records by index: conditions on a joined patient let the
    // database walk every record in date order and look its patient up.
    if (!c.name.isEmpty()) {
        sql += QStringLiteral(" AND r.patient_id IN (SELECT id FROM patients WHERE name_fold "
                              "LIKE ? ESCAPE '\\')");
        values << LikePrefix(ArchiveFold(c.name));
    }
    if (!c.identifier.isEmpty()) {
        sql +=
            QStringLiteral(" AND r.patient_id IN (SELECT id FROM patients WHERE identifier = ?)");
        values << c.identifier;
    }
    if (!c.text.trimmed().isEmpty()) {
        sql += QStringLiteral(" AND r.patient_id IN (SELECT id FROM patients WHERE name_fold LIKE "
                              "? ESCAPE '\\' OR identifier_fold LIKE ? ESCAPE '\\')");
        values << LikePrefix(ArchiveFold(c.text)) << LikePrefix(ArchiveFold(c.text));
    }
    if (c.from.isValid()) {
        sql += QStringLiteral(" AND r.recorded_at >= ?");
        values << c.from.toString(Qt::ISODate);
    }
    if (c.to.isValid()) {
        sql += QStringLiteral(" AND r.recorded_at < ?");
        values << c.to.addDays(1).toString(Qt::ISODate);
    }
    if (c.unconfirmed)
        sql += QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM readings WHERE record_id = r.id)");
    if (c.patientId && *c.patientId == 0) {
        sql += QStringLiteral(" AND r.patient_id IS NULL");
    } else if (c.patientId) {
        sql += QStringLiteral(" AND r.patient_id = ?");
        values << *c.patientId;
    }
    return sql;
}

} // namespace

bool CArchive::Find(const CFindCriteria& criteria, std::vector<CArchivedRecord>& out,
                    QString* error) {
    out.clear();
    if (m->NotOpen(error))
        return false;
    QVariantList values;
    const QString sql =
        QStringLiteral("SELECT r.id, r.patient_id, r.card, r.recorded_at, r.type, r.device, "
                       "r.record_number, r.source_name, r.heart_rate_bpm, r.qrs_ms, "
                       "r.qtc_bazett_ms, r.deleted_at, g.version, d.name, g.confirmed_at FROM "
                       "records r LEFT JOIN patients p ON p.id = r.patient_id LEFT JOIN readings "
                       "g ON g.record_id = r.id AND g.version = (SELECT MAX(version) FROM "
                       "readings WHERE record_id = r.id) LEFT JOIN doctors d ON d.id = "
                       "g.doctor_id") +
        Conditions(criteria, values) + QStringLiteral(" ORDER BY r.recorded_at, r.id");
    QSqlQuery q(m->Db());
    if (!m->Run(q, sql, values, error))
        return false;
    while (q.next()) {
        CArchivedRecord a;
        a.id = q.value(0).toLongLong();
        a.patientId = q.value(1).toLongLong();
        a.card = CardOf(q.value(2).toByteArray());
        a.recordedAt = q.value(3).toString();
        a.type = q.value(4).toString();
        a.device = q.value(5).toString();
        a.recordNumber = quint32(q.value(6).toLongLong());
        a.source = q.value(7).toString();
        a.heartRateBpm = Real(q.value(8));
        a.qrsMs = Real(q.value(9));
        a.qtcBazettMs = Real(q.value(10));
        a.deletedAt = q.value(11).toString();
        a.readingVersion = q.value(12).toInt();
        a.confirmedBy = q.value(13).toString();
        a.confirmedAt = q.value(14).isNull()
                            ? QString()
                            : QDateTime::fromString(q.value(14).toString(), Qt::ISODate)
                                  .toLocalTime()
                                  .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        out.push_back(a);
    }
    return true;
}

bool CArchive::FindPatients(const CFindCriteria& criteria, std::vector<CArchivedPatient>& out,
                            QString* error) {
    out.clear();
    if (m->NotOpen(error))
        return false;
    QVariantList values;
    const QString sql = QStringLiteral("SELECT p.id, p.card, COUNT(r.id), MAX(r.recorded_at) "
                                       "FROM patients p JOIN records r ON r.patient_id = p.id") +
                        Conditions(criteria, values) +
                        QStringLiteral(" GROUP BY p.id ORDER BY p.name_fold, p.id");
    QSqlQuery q(m->Db());
    if (!m->Run(q, sql, values, error))
        return false;
    while (q.next()) {
        CArchivedPatient p;
        p.id = q.value(0).toLongLong();
        p.card = CardOf(q.value(1).toByteArray());
        p.records = q.value(2).toLongLong();
        p.lastRecordedAt = q.value(3).toString();
        out.push_back(p);
    }
    return true;
}

bool CArchive::Load(qint64 id, CLoadedRecord& out, QString* type, QString* error) {
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q,
                QStringLiteral("SELECT record, card, type, absent_lanes, source_seconds FROM "
                               "records WHERE id = ?"),
                {id}, error))
        return false;
    if (!q.next()) {
        *error = QStringLiteral("the archive has no record %1").arg(id);
        return false;
    }
    const QByteArray record = q.value(0).toByteArray();
    std::string why;
    if (record.size() != qsizetype(sizeof(ECG_RECORD))) {
        *error = QStringLiteral("record %1 in the archive is damaged (%2 bytes)")
                     .arg(id)
                     .arg(record.size());
        return false;
    }
    std::memcpy(out.pRecord.get(), record.constData(), sizeof(ECG_RECORD));
    if (!CheckRecordBlock(*out.pRecord, &why)) {
        *error = QStringLiteral("record %1 in the archive is damaged: %2")
                     .arg(id)
                     .arg(QString::fromStdString(why));
        return false;
    }
    out.card = CardOf(q.value(1).toByteArray());
    *type = q.value(2).toString();
    out.absentLanes = uint16_t(q.value(3).toInt());
    out.dSourceSeconds = q.value(4).toDouble();
    return Order(id, out.order, error);
}

bool CArchive::Order(qint64 id, CRecordOrder& out, QString* error) {
    out = CRecordOrder{};
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q,
                QStringLiteral("SELECT accession, study_uid, procedure_id, procedure_text, "
                               "step_id, scheduled_start, station, referring FROM record_orders "
                               "WHERE record_id = ?"),
                {id}, error))
        return false;
    if (q.next()) {
        std::string* fields[] = {&out.m_strAccession,
                                 &out.m_strStudyUid,
                                 &out.m_strRequestedProcedureId,
                                 &out.m_strProcedureDescription,
                                 &out.m_strScheduledStepId,
                                 &out.m_strScheduledStart,
                                 &out.m_strStationAeTitle,
                                 &out.m_strReferringPhysician};
        for (int i = 0; i < 8; ++i)
            *fields[i] = q.value(i).toString().toStdString();
    }
    return true;
}

bool CArchive::SetOrder(qint64 id, const CRecordOrder& order, QString* error) {
    if (!order.Bound()) {
        *error = QStringLiteral("an order without an accession number");
        return false;
    }
    if (m->NotOpen(error) || !m->Begin(error))
        return false;
    QSqlQuery q(m->Db()), drop(m->Db()), put(m->Db());
    if (!m->Run(q, QStringLiteral("SELECT id FROM records WHERE id = ?"), {id}, error))
        return m->Rollback(error, *error);
    if (!q.next())
        return m->Rollback(error, QStringLiteral("the archive has no record %1").arg(id));
    auto text = [](const std::string& s) { return QString::fromStdString(s); };
    if (!m->Run(drop, QStringLiteral("DELETE FROM record_orders WHERE record_id = ?"), {id},
                error) ||
        !m->Run(put,
                QStringLiteral("INSERT INTO record_orders (record_id, accession, study_uid, "
                               "procedure_id, procedure_text, step_id, scheduled_start, station, "
                               "referring, bound_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {id, text(order.m_strAccession), text(order.m_strStudyUid),
                 text(order.m_strRequestedProcedureId), text(order.m_strProcedureDescription),
                 text(order.m_strScheduledStepId), text(order.m_strScheduledStart),
                 text(order.m_strStationAeTitle), text(order.m_strReferringPhysician),
                 QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
                error))
        return m->Rollback(error, *error);
    return m->Commit(error);
}

bool CArchive::Original(qint64 id, QByteArray& out, QString* error) {
    out.clear();
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q, QStringLiteral("SELECT original FROM records WHERE id = ?"), {id}, error))
        return false;
    if (!q.next()) {
        *error = QStringLiteral("the archive has no record %1").arg(id);
        return false;
    }
    out = q.value(0).toByteArray();
    return true;
}

bool CArchive::UpdateCard(qint64 id, const PATIENT_CARD& card, QString* error) {
    if (m->NotOpen(error) || !m->Begin(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q, QStringLiteral("SELECT card FROM records WHERE id = ?"), {id}, error))
        return m->Rollback(error, *error);
    if (!q.next())
        return m->Rollback(error, QStringLiteral("the archive has no record %1").arg(id));
    const QByteArray before = q.value(0).toByteArray();
    const QByteArray after = CardBytes(card);
    if (before == after)
        return m->Commit(error);
    QVariant patient;
    QSqlQuery keep(m->Db()), change(m->Db());
    if (!m->Run(keep,
                QStringLiteral("INSERT INTO card_history (record_id, card, replaced_at) VALUES "
                               "(?, ?, ?)"),
                {id, before, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}, error) ||
        !m->PatientFor(card, patient, error) ||
        !m->Run(change, QStringLiteral("UPDATE records SET card = ?, patient_id = ? WHERE id = ?"),
                {after, patient, id}, error) ||
        !m->AppendAudit(id, SystemAccount(), QStringLiteral("card"), CardAuditText(CardOf(before)),
                        CardAuditText(card), error))
        return m->Rollback(error, *error);
    return m->Commit(error);
}

bool CArchive::PreviousRecord(qint64 id, qint64* previous, QString* error) {
    *previous = 0;
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q,
                QStringLiteral("SELECT p.id FROM records r JOIN records p ON p.patient_id = "
                               "r.patient_id AND p.deleted_at IS NULL AND (p.recorded_at < "
                               "r.recorded_at OR (p.recorded_at = r.recorded_at AND p.id < r.id)) "
                               "WHERE r.id = ? ORDER BY p.recorded_at DESC, p.id DESC LIMIT 1"),
                {id}, error))
        return false;
    if (q.next())
        *previous = q.value(0).toLongLong();
    return true;
}

bool CArchive::CardHistory(qint64 id, std::vector<CCardVersion>& out, QString* error) {
    out.clear();
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q,
                QStringLiteral("SELECT card, replaced_at FROM card_history WHERE record_id = ? "
                               "ORDER BY id"),
                {id}, error))
        return false;
    while (q.next())
        out.push_back({CardOf(q.value(0).toByteArray()), q.value(1).toString()});
    return true;
}

bool CArchive::Impl::SetDeleted(qint64 id, const QVariant& when, QString* error) {
    if (NotOpen(error) || !Begin(error))
        return false;
    QSqlQuery q(Db());
    if (!Run(q, QStringLiteral("UPDATE records SET deleted_at = ? WHERE id = ?"), {when, id},
             error))
        return Rollback(error, *error);
    if (q.numRowsAffected() != 1)
        return Rollback(error, QStringLiteral("the archive has no record %1").arg(id));
    if (!AppendAudit(id, SystemAccount(),
                     when.isNull() ? QStringLiteral("restore") : QStringLiteral("delete"),
                     QString(), QString(), error))
        return Rollback(error, *error);
    return Commit(error);
}

bool CArchive::Delete(qint64 id, QString* error) {
    return m->SetDeleted(id, QDateTime::currentDateTimeUtc().toString(Qt::ISODate), error);
}

bool CArchive::Restore(qint64 id, QString* error) {
    return m->SetDeleted(id, QVariant(QMetaType(QMetaType::QString)), error);
}

bool CArchive::Backup(const QString& path, QString* error) {
    if (m->NotOpen(error))
        return false;
    if (!m->Sqlite()) {
        *error = QStringLiteral("a shared archive is backed up on its server, with pg_dump");
        return false;
    }
    const QFileInfo target(path);
    if (target.isDir() || !target.absoluteDir().exists()) {
        *error = QStringLiteral("no folder to write the copy into: %1").arg(path);
        return false;
    }
    // SQLite writes the copy from one read transaction, so writers may go on meanwhile; it
    // goes to a name of its own first and takes the target's name only when whole.
    const QString part =
        target.absoluteDir().filePath(QStringLiteral(".%1.velmora-%2")
                                          .arg(target.fileName())
                                          .arg(QCoreApplication::applicationPid()));
    QFile::remove(part);
    QSqlQuery q(m->Db());
    if (!m->Run(q, QStringLiteral("VACUUM INTO ?"), {part}, error)) {
        QFile::remove(part);
        return false;
    }
    QFile copy(part);
    copy.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (::rename(QFile::encodeName(part).constData(), QFile::encodeName(path).constData()) != 0) {
        *error =
            QStringLiteral("the copy cannot be named %1: %2").arg(path, qt_error_string(errno));
        QFile::remove(part);
        return false;
    }
    return true;
}

bool CArchive::Check(CArchiveCounts& counts, QString* error) {
    if (m->NotOpen(error))
        return false;
    if (m->Sqlite()) {
        QSqlQuery q(m->Db());
        if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next() ||
            q.value(0).toString() != QLatin1String("ok")) {
            *error =
                QStringLiteral("the archive is damaged: %1")
                    .arg(q.lastError().isValid() ? q.lastError().text() : q.value(0).toString());
            return false;
        }
    }
    const std::pair<const char*, qint64*> sums[] = {
        {"SELECT COUNT(*) FROM patients", &counts.patients},
        {"SELECT COUNT(*) FROM records WHERE deleted_at IS NULL", &counts.records},
        {"SELECT COUNT(*) FROM records WHERE patient_id IS NULL AND deleted_at IS NULL",
         &counts.withoutPatient},
        {"SELECT COUNT(*) FROM records WHERE deleted_at IS NOT NULL", &counts.recycled},
        {"SELECT COUNT(*) FROM records r WHERE deleted_at IS NULL AND NOT EXISTS (SELECT 1 FROM "
         "readings WHERE record_id = r.id)",
         &counts.unconfirmed},
        {"SELECT COUNT(*) FROM doctors", &counts.doctors}};
    for (const auto& [sql, value] : sums) {
        QSqlQuery q(m->Db());
        if (!q.exec(QString::fromLatin1(sql)) || !q.next()) {
            *error = q.lastError().text();
            return false;
        }
        *value = q.value(0).toLongLong();
    }
    return m->CheckAudit(&counts.auditEntries, error);
}

bool CArchive::Export(qint64 id, const QString& path, QString* error,
                      const ReportMakerFor& reportFor) {
    CLoadedRecord loaded;
    QString type;
    if (!Load(id, loaded, &type, error))
        return false;
    const RecordFileType* target = RecordFileTypeOf(path);
    if (!target) {
        *error = QStringLiteral("no record type has the extension of %1").arg(path);
        return false;
    }
    QByteArray original;
    // A record bound to an order is written anew: the file as it came does not carry the order.
    if (type == QLatin1String(target->extension) && target->write && !loaded.order.Bound() &&
        !Original(id, original, error))
        return false;
    if (!original.isEmpty()) {
        std::string why;
        if (!WriteFileAtomically(QFile::encodeName(path).toStdString(), original.constData(),
                                 size_t(original.size()), &why)) {
            *error = QString::fromStdString(why);
            return false;
        }
        return true;
    }
    // A record a doctor has confirmed goes out with the doctor's reading.
    CDoctorReading reading;
    if (!CurrentReading(id, reading, error))
        return false;
    CStatementSettings how;
    if (reading.Confirmed())
        how.m_pReading = &reading;
    how.m_Order = loaded.order; // a record bound to an order leaves the archive with it
    if (reportFor && target->bWritesReport)
        how.m_MakeReportPdf = reportFor(how, loaded.absentLanes);
    std::string why;
    if (!SaveRecordFile(path, *target, *loaded.pRecord, &loaded.card, &why, how)) {
        *error = QString::fromStdString(why);
        return false;
    }
    return true;
}
