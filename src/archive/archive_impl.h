#pragma once
// What the archive's source files share: the connection and its transactions, and the card's
// texts as the tables keep them. Private to the archive.

#include "archive/archive_store.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace archive_detail {

QString CardText(const char* field, size_t size);
QByteArray CardBytes(const PATIENT_CARD& card);
PATIENT_CARD CardOf(const QByteArray& bytes);
QString BirthDate(const PATIENT_CARD& c);
std::optional<double> Real(const QVariant& v);
QVariant Value(const std::optional<double>& v);

// The account a change without a doctor is logged under: the system's user.
QString SystemAccount();
// The card as the audit trail keeps it: every field by its name.
QString CardAuditText(const PATIENT_CARD& card);
// A reading (statements, conclusion, version, doctor, reason) as the audit trail keeps it.
QString ReadingAuditText(const CDoctorReading& reading);
QString StatementsText(const std::vector<CReadStatement>& statements);
std::vector<CReadStatement> StatementsOf(const QString& text);

} // namespace archive_detail

struct CArchive::Impl {
    QString connection;
    CArchiveLocation::Kind kind = CArchiveLocation::Kind::Sqlite;
    bool open = false;
    QString readOnly; // why the archive can only be read, or empty

    QSqlDatabase Db() const { return QSqlDatabase::database(connection, false); }
    bool Sqlite() const { return kind == CArchiveLocation::Kind::Sqlite; }

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
    // A query with its values bound in order, run.
    bool Run(QSqlQuery& q, const QString& sql, const QVariantList& values, QString* error) {
        q.setForwardOnly(true);
        if (!q.prepare(sql)) {
            *error = q.lastError().text();
            return false;
        }
        for (const QVariant& v : values)
            q.addBindValue(v);
        return Exec(q, error);
    }
    // A write transaction. SQLite's takes the write lock at once, so that two processes never
    // both read and then both wait for each other to write.
    bool Begin(QString* error) {
        return Exec(Sqlite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), error);
    }
    bool Commit(QString* error) {
        if (Exec(QStringLiteral("COMMIT"), error))
            return true;
        const QString why = *error;
        return Rollback(error, why);
    }
    bool Rollback(QString* error, const QString& why) {
        QString ignored;
        Exec(QStringLiteral("ROLLBACK"), &ignored);
        *error = why;
        return false;
    }
    bool NotOpen(QString* error) const {
        if (open)
            return false;
        *error = QStringLiteral("the archive is not open");
        return true;
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
    bool PatientFor(const PATIENT_CARD& card, QVariant& patient, QString* error);
    void EraseOldRecycled();
    bool SetDeleted(qint64 id, const QVariant& when, QString* error);
    // One entry at the end of the audit trail, inside the caller's write transaction (which
    // holds the trail: SQLite's write lock, PostgreSQL's lock on the head row).
    bool AppendAudit(const QVariant& recordId, const QString& actor, const QString& action,
                     const QString& before, const QString& after, QString* error);
    // The whole trail against its chain; *entries counts them.
    bool CheckAudit(qint64* entries, QString* error);
    // The newest text the record's trail holds after one of `actions` ("" when none).
    bool LastAuditAfter(qint64 id, const QStringList& actions, QString* text, QString* error);
};
