#include "archive/archive_store.h"

#include "analysis/measurements.h"
#include "platform/bounded_file.h"
#include "record_io/record_device.h"
#include "storage/card_fields.h"
#include "storage/scp_export.h"

#include <QAtomicInteger>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

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
    const char* statements[8];
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

// The text LIKE takes as the beginning of a value: its own wildcards and escape made plain.
QString LikePrefix(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    s.replace(QLatin1Char('%'), QStringLiteral("\\%"));
    s.replace(QLatin1Char('_'), QStringLiteral("\\_"));
    return s + QLatin1Char('%');
}

std::optional<double> Real(const QVariant& v) {
    return v.isNull() ? std::nullopt : std::optional<double>(v.toDouble());
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

QVariant Value(const std::optional<double>& v) {
    return v ? QVariant(*v) : QVariant(QMetaType(QMetaType::Double));
}

} // namespace

QString ArchiveFold(const QString& text) {
    QString s = text.simplified().toCaseFolded();
    s.replace(QChar(0x0451), QChar(0x0435)); // ё -> е
    return s;
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

struct CArchive::Impl {
    QString connection;
    CArchiveLocation::Kind kind = CArchiveLocation::Kind::Sqlite;
    bool open = false;

    QSqlDatabase Db() const { return QSqlDatabase::database(connection, false); }

    bool Exec(QSqlQuery& q, QString* error) {
        if (q.exec())
            return true;
        *error = q.lastError().text();
        return false;
    }
    bool Exec(const QString& sql, QString* error) {
        QSqlQuery q(Db());
        if (q.exec(sql))
            return true;
        *error = q.lastError().text();
        return false;
    }
    // A transaction that will write, holding the archive's write lock from its start: SQLite's
    // plain BEGIN fails at once, without waiting, when another writer commits after our first
    // read; two PostgreSQL migrations at once would both create the tables.
    bool BeginWrite(bool migration, QString* error) {
        if (kind == CArchiveLocation::Kind::Sqlite)
            return Exec(QStringLiteral("BEGIN IMMEDIATE"), error);
        if (!Db().transaction()) {
            *error = Db().lastError().text();
            return false;
        }
        if (migration &&
            !Exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kMigrationLock), error))
            return Rollback(error, *error);
        return true;
    }
    bool Rollback(QString* error, const QString& why) {
        Db().rollback();
        *error = why;
        return false;
    }
    int Version(QString* error, bool* known) {
        *known = false;
        const QStringList tables = Db().tables();
        if (tables.contains(QStringLiteral("velmora_archive"))) {
            QSqlQuery q(Db());
            if (!q.exec(QStringLiteral("SELECT schema_version FROM velmora_archive")) ||
                !q.next()) {
                *error = QStringLiteral("the archive's version cannot be read: %1")
                             .arg(q.lastError().text());
                return -1;
            }
            *known = true;
            return q.value(0).toInt();
        }
        if (!tables.isEmpty()) {
            *error = QStringLiteral("the database holds tables of another program, not a velmora "
                                    "archive; it is left as it is");
            return -1;
        }
        return 0;
    }
    bool Migrate(QString* error);
};

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
    if (!BeginWrite(true, error))
        return false;
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
        q.prepare(QStringLiteral("UPDATE velmora_archive SET schema_version = ?"));
        q.addBindValue(step.version);
        if (!Exec(q, error))
            return Rollback(error, *error);
    }
    if (!Db().commit()) {
        const QString why = Db().lastError().text();
        return Rollback(error, why);
    }
    return true;
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

bool CArchive::Open(const CArchiveLocation& where, QString* error) {
    m->kind = where.kind;
    const bool sqlite = where.kind == CArchiveLocation::Kind::Sqlite;
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
        QDir().mkpath(QFileInfo(where.file).absolutePath());
        // Patient data: a new archive is its user's alone (SQLite would make it 0644).
        const int fd = ::open(QFile::encodeName(where.file).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            ::close(fd);
        db.setDatabaseName(where.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
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
        // A file that is no SQLite database (or a damaged one) fails here, before anything is
        // written to it.
        QString fault;
        {
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next())
                fault = q.lastError().text();
            else if (q.value(0).toString() != QLatin1String("ok"))
                fault = q.value(0).toString();
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
        if (!m->Exec(QStringLiteral("PRAGMA foreign_keys = ON"), &why) ||
            !m->Exec(QStringLiteral("PRAGMA journal_mode = WAL"), &why)) {
            *error = why;
            return false;
        }
    }
    if (!m->Migrate(error)) {
        db.close();
        return false;
    }
    m->open = true;
    return true;
}

bool CArchive::ImportFile(const QString& path, Added* added, qint64* id, QString* error) {
    CLoadedRecord loaded;
    std::string why;
    if (!OpenRecordFile(path, loaded, &why)) {
        *error = QString::fromStdString(why);
        return false;
    }
    const RecordFileType* type = RecordFileTypeOf(path);
    // The file as it came, for another system's file: nothing of it is lost. Our own types are
    // whole in the record block and the card.
    QByteArray original;
    if (!IsOurRecord(*loaded.pRecord) && QFileInfo(path).suffix() != QLatin1String("hea")) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(QFile::encodeName(path).toStdString(), size_t(kMaxRecordFileSize), bytes,
                           &why)) {
            *error = QString::fromStdString(why);
            return false;
        }
        original = QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }
    return AddRecord(loaded, type ? QString::fromLatin1(type->extension) : QString(), original,
                     QFileInfo(path).fileName(), added, id, error);
}

bool CArchive::AddRecord(const CLoadedRecord& loaded, const QString& type,
                         const QByteArray& original, const QString& sourceName, Added* added,
                         qint64* id, QString* error) {
    if (!m->open) {
        *error = QStringLiteral("the archive is not open");
        return false;
    }
    const ECG_RECORD& r = *loaded.pRecord;
    const QByteArray record(reinterpret_cast<const char*>(&r), sizeof r);
    const QByteArray card = CardBytes(loaded.card);
    // The same file, or the same record with the same card, is one entry.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!original.isEmpty()) {
        hash.addData(original);
    } else {
        hash.addData(record);
        hash.addData(card);
    }
    const QString contentHash = QString::fromLatin1(hash.result().toHex());

    const analysis::Measurements measured = analysis::MeasureRecord(r, {});
    const CRecordEquipment equipment = RecordEquipment(r);
    const QString device = equipment.m_bOurs ? RecordNumberText(r)
                                             : QString::fromStdString(equipment.m_strManufacturer +
                                                                      " " + equipment.m_strModel +
                                                                      " " + equipment.m_strSerial)
                                                   .simplified();

    QSqlDatabase db = m->Db();
    if (!m->BeginWrite(false, error))
        return false;
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT id FROM records WHERE content_hash = ?"));
    q.addBindValue(contentHash);
    if (!m->Exec(q, error))
        return m->Rollback(error, *error);
    if (q.next()) {
        *id = q.value(0).toLongLong();
        *added = Added::AlreadyThere;
        db.rollback();
        return true;
    }

    QVariant patient{QMetaType(QMetaType::LongLong)}; // none until the card names one
    const PATIENT_CARD& c = loaded.card;
    const QString last = CardText(c.last_name, sizeof c.last_name);
    if (!last.isEmpty()) {
        const QString first = CardText(c.first_name, sizeof c.first_name);
        const QString middle = CardText(c.patronymic, sizeof c.patronymic);
        const QString born = BirthDate(c);
        const QString identifier = QString::fromStdString(CardPatientId(c));
        const QString key = !identifier.isEmpty() ? QStringLiteral("id:") + identifier
                                                  : QStringLiteral("name:%1|%2|%3|%4")
                                                        .arg(ArchiveFold(last), ArchiveFold(first),
                                                             ArchiveFold(middle), born);
        QSqlQuery find(db);
        find.prepare(QStringLiteral("SELECT id FROM patients WHERE match_key = ?"));
        find.addBindValue(key);
        if (!m->Exec(find, error))
            return m->Rollback(error, *error);
        if (find.next()) {
            patient = find.value(0);
        } else {
            QSqlQuery add(db);
            add.prepare(QStringLiteral(
                "INSERT INTO patients (match_key, identifier, last_name, first_name, patronymic, "
                "name_fold, birth_date, card) VALUES (?, ?, ?, ?, ?, ?, ?, ?) "
                "ON CONFLICT (match_key) DO NOTHING"));
            add.addBindValue(key);
            add.addBindValue(identifier.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                                  : QVariant(identifier));
            add.addBindValue(last);
            add.addBindValue(first);
            add.addBindValue(middle);
            add.addBindValue(ArchiveFold(last));
            add.addBindValue(born.isEmpty() ? QVariant(QMetaType(QMetaType::QString))
                                            : QVariant(born));
            add.addBindValue(card);
            // Another workstation may be adding the same patient this moment: then the
            // insert waits for it and adds nothing, and theirs is found below.
            if (!m->Exec(add, error))
                return m->Rollback(error, *error);
            find.prepare(QStringLiteral("SELECT id FROM patients WHERE match_key = ?"));
            find.addBindValue(key);
            if (!m->Exec(find, error) || !find.next())
                return m->Rollback(error, QStringLiteral("the new patient cannot be found"));
            patient = find.value(0);
        }
    }

    QSqlQuery ins(db);
    ins.prepare(QStringLiteral(
        "INSERT INTO records (patient_id, recorded_at, device, record_number, type, source_name, "
        "content_hash, record, original, card, heart_rate_bpm, qrs_ms, qtc_bazett_ms, "
        "imported_at) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
        "ON CONFLICT (content_hash) DO NOTHING"));
    ins.addBindValue(patient);
    ins.addBindValue(QString::fromLatin1(r.date, int(strnlen(r.date, sizeof r.date))));
    ins.addBindValue(device);
    ins.addBindValue(qint64(r.curve_id));
    ins.addBindValue(type);
    ins.addBindValue(sourceName);
    ins.addBindValue(contentHash);
    ins.addBindValue(record);
    ins.addBindValue(original.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray))
                                        : QVariant(original));
    ins.addBindValue(card);
    ins.addBindValue(Value(measured.heartRateBpm));
    ins.addBindValue(Value(measured.qrsMs));
    ins.addBindValue(Value(measured.qtcBazettMs));
    ins.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    if (!m->Exec(ins, error))
        return m->Rollback(error, *error);
    // Nothing inserted: another workstation imported the same record since our look above.
    const bool theirs = ins.numRowsAffected() == 0;
    QSqlQuery got(db);
    got.prepare(QStringLiteral("SELECT id FROM records WHERE content_hash = ?"));
    got.addBindValue(contentHash);
    if (!m->Exec(got, error) || !got.next())
        return m->Rollback(error, QStringLiteral("the new record cannot be found"));
    *id = got.value(0).toLongLong();
    if (theirs) {
        db.rollback();
        *added = Added::AlreadyThere;
        return true;
    }
    if (!db.commit()) {
        const QString why = db.lastError().text();
        return m->Rollback(error, why);
    }
    *added = Added::Imported;
    return true;
}

bool CArchive::Find(const CFindCriteria& criteria, std::vector<CArchivedRecord>& out,
                    QString* error) {
    out.clear();
    if (!m->open) {
        *error = QStringLiteral("the archive is not open");
        return false;
    }
    QString sql = QStringLiteral(
        "SELECT r.id, r.patient_id, r.card, r.recorded_at, r.type, r.device, r.record_number, "
        "r.source_name, r.heart_rate_bpm, r.qrs_ms, r.qtc_bazett_ms FROM records r "
        "LEFT JOIN patients p ON p.id = r.patient_id WHERE 1 = 1");
    QVariantList values;
    if (!criteria.name.isEmpty()) {
        sql += QStringLiteral(" AND p.name_fold LIKE ? ESCAPE '\\'");
        values << LikePrefix(ArchiveFold(criteria.name));
    }
    if (!criteria.identifier.isEmpty()) {
        sql += QStringLiteral(" AND p.identifier = ?");
        values << criteria.identifier;
    }
    if (criteria.from.isValid()) {
        sql += QStringLiteral(" AND r.recorded_at >= ?");
        values << criteria.from.toString(Qt::ISODate);
    }
    if (criteria.to.isValid()) {
        sql += QStringLiteral(" AND r.recorded_at < ?");
        values << criteria.to.addDays(1).toString(Qt::ISODate);
    }
    sql += QStringLiteral(" ORDER BY r.recorded_at, r.id");
    QSqlQuery q(m->Db());
    q.setForwardOnly(true);
    q.prepare(sql);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!m->Exec(q, error))
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
        out.push_back(a);
    }
    return true;
}

bool CArchive::Check(CArchiveCounts& counts, QString* error) {
    if (!m->open) {
        *error = QStringLiteral("the archive is not open");
        return false;
    }
    if (m->kind == CArchiveLocation::Kind::Sqlite) {
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
        {"SELECT COUNT(*) FROM records", &counts.records},
        {"SELECT COUNT(*) FROM records WHERE patient_id IS NULL", &counts.withoutPatient}};
    for (const auto& [sql, value] : sums) {
        QSqlQuery q(m->Db());
        if (!q.exec(QString::fromLatin1(sql)) || !q.next()) {
            *error = q.lastError().text();
            return false;
        }
        *value = q.value(0).toLongLong();
    }
    return true;
}
