// The audit trail: every change to a record's reading or card, appended and never changed, each
// entry's hash covering the entry before it.

#include "archive/archive_impl.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <pwd.h>
#include <unistd.h>

using namespace archive_detail;

namespace {

// The hash of an entry: its fields and the hash before it, each field's length first so that
// no two entries' fields run together into the same text.
QString EntryHash(const QString& previous, qint64 sequence, const QVariant& recordId,
                  const QString& at, const QString& actor, const QString& action,
                  const QString& before, const QString& after) {
    QCryptographicHash h(QCryptographicHash::Sha256);
    const QString record = recordId.isNull() ? QString() : QString::number(recordId.toLongLong());
    for (const QString& field :
         {previous, QString::number(sequence), record, at, actor, action, before, after}) {
        const QByteArray bytes = field.toUtf8();
        h.addData(QByteArray::number(bytes.size()) + ':');
        h.addData(bytes);
    }
    return QString::fromLatin1(h.result().toHex());
}

} // namespace

namespace archive_detail {

QString SystemAccount() {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found &&
        found->pw_name && *found->pw_name)
        return QString::fromLocal8Bit(found->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QStringLiteral("uid %1").arg(geteuid()) : user;
}

QString StatementsText(const std::vector<CReadStatement>& statements) {
    QJsonArray list;
    for (const CReadStatement& s : statements)
        list.append(QJsonObject{{QStringLiteral("code"), QString::fromStdString(s.code)},
                                {QStringLiteral("text"), QString::fromStdString(s.text)},
                                {QStringLiteral("text_en"), QString::fromStdString(s.textEn)}});
    return QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact));
}

std::vector<CReadStatement> StatementsOf(const QString& text) {
    std::vector<CReadStatement> out;
    for (const QJsonValue& v : QJsonDocument::fromJson(text.toUtf8()).array()) {
        const QJsonObject o = v.toObject();
        out.push_back({o.value(QStringLiteral("code")).toString().toStdString(),
                       o.value(QStringLiteral("text")).toString().toStdString(),
                       o.value(QStringLiteral("text_en")).toString().toStdString()});
    }
    return out;
}

QString ReadingAuditText(const CDoctorReading& r) {
    QJsonObject o{{QStringLiteral("statements"),
                   QJsonDocument::fromJson(StatementsText(r.statements).toUtf8()).array()},
                  {QStringLiteral("conclusion"), QString::fromStdString(r.conclusion)}};
    if (r.Confirmed()) {
        o[QStringLiteral("version")] = r.version;
        o[QStringLiteral("doctor")] = QString::fromStdString(r.doctorLogin);
        if (!r.amendReason.empty())
            o[QStringLiteral("reason")] = QString::fromStdString(r.amendReason);
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

} // namespace archive_detail

bool CArchive::Impl::AppendAudit(const QVariant& recordId, const QString& actor,
                                 const QString& action, const QString& before, const QString& after,
                                 QString* error) {
    // Two PostgreSQL writers would both read the same head and both chain onto it: the row
    // lock makes the second wait for the first's commit. SQLite's writer holds the file.
    QSqlQuery head(Db());
    if (!Run(head,
             Sqlite() ? QStringLiteral("SELECT entries, hash FROM audit_head")
                      : QStringLiteral("SELECT entries, hash FROM audit_head FOR UPDATE"),
             {}, error))
        return false;
    if (!head.next()) {
        *error = QStringLiteral("the audit trail has lost its head row");
        return false;
    }
    const qint64 sequence = head.value(0).toLongLong() + 1;
    const QString previous = head.value(1).toString();
    head.finish();
    // A null text would bind as SQL NULL: an empty one is what "nothing" is here.
    const auto text = [](const QString& t) { return t.isNull() ? QStringLiteral("") : t; };
    const QString at = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    const QString hash = EntryHash(previous, sequence, recordId, at, actor, action, before, after);
    QSqlQuery add(Db()), move(Db());
    return Run(add,
               QStringLiteral("INSERT INTO audit (sequence, record_id, at, actor, action, "
                              "before_value, after_value, hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
               {sequence, recordId, at, actor, action, text(before), text(after), hash}, error) &&
           Run(move, QStringLiteral("UPDATE audit_head SET entries = ?, hash = ?"),
               {sequence, hash}, error);
}

bool CArchive::Impl::CheckAudit(qint64* entries, QString* error) {
    QSqlQuery head(Db());
    if (!Run(head, QStringLiteral("SELECT entries, hash FROM audit_head"), {}, error))
        return false;
    if (!head.next()) {
        *error = QStringLiteral("the audit trail has lost its head row");
        return false;
    }
    const qint64 count = head.value(0).toLongLong();
    const QString last = head.value(1).toString();
    head.finish();
    QSqlQuery q(Db());
    if (!Run(q,
             QStringLiteral("SELECT sequence, record_id, at, actor, action, before_value, "
                            "after_value, hash FROM audit ORDER BY sequence"),
             {}, error))
        return false;
    QString previous;
    qint64 expected = 1;
    while (q.next()) {
        const qint64 sequence = q.value(0).toLongLong();
        if (sequence != expected) {
            *error =
                sequence > expected
                    ? QStringLiteral("the audit trail is broken: entry %1 is missing").arg(expected)
                    : QStringLiteral("the audit trail is broken at entry %1").arg(sequence);
            return false;
        }
        const QString stored = q.value(7).toString();
        if (EntryHash(previous, sequence, q.value(1), q.value(2).toString(), q.value(3).toString(),
                      q.value(4).toString(), q.value(5).toString(),
                      q.value(6).toString()) != stored) {
            *error = QStringLiteral("the audit trail is broken: entry %1 was altered (or one "
                                    "before it was removed)")
                         .arg(sequence);
            return false;
        }
        previous = stored;
        ++expected;
    }
    const qint64 found = expected - 1;
    if (found != count || previous != last) {
        *error = found < count
                     ? QStringLiteral("the audit trail is broken: its last %1 entries are missing")
                           .arg(count - found)
                     : QStringLiteral("the audit trail is broken: its end does not match its "
                                      "head (%1 entries, the head says %2)")
                           .arg(found)
                           .arg(count);
        return false;
    }
    *entries = found;
    return true;
}

bool CArchive::Impl::LastAuditAfter(qint64 id, const QStringList& actions, QString* text,
                                    QString* error) {
    text->clear();
    QString places;
    QVariantList values{id};
    for (const QString& a : actions) {
        places += places.isEmpty() ? QStringLiteral("?") : QStringLiteral(", ?");
        values << a;
    }
    QSqlQuery q(Db());
    if (!Run(q,
             QStringLiteral("SELECT after_value FROM audit WHERE record_id = ? AND action IN "
                            "(%1) ORDER BY sequence DESC LIMIT 1")
                 .arg(places),
             values, error))
        return false;
    if (q.next())
        *text = q.value(0).toString();
    return true;
}

bool CArchive::Audit(qint64 id, std::vector<CAuditEntry>& out, QString* error) {
    out.clear();
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q,
                QStringLiteral("SELECT sequence, at, actor, action, before_value, after_value "
                               "FROM audit WHERE record_id = ? ORDER BY sequence"),
                {id}, error))
        return false;
    while (q.next())
        out.push_back({q.value(0).toLongLong(), id, q.value(1).toString(), q.value(2).toString(),
                       q.value(3).toString(), q.value(4).toString(), q.value(5).toString()});
    return true;
}

bool CArchive::CheckAuditTrail(qint64* entries, QString* error) {
    return !m->NotOpen(error) && m->CheckAudit(entries, error);
}
