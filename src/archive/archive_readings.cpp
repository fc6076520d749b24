// Doctors and their readings: accounts with hashed passwords, drafts, confirmations and
// amendments, each change logged in the audit trail in the same transaction.

#include "archive/archive_impl.h"
#include "archive/password_hash.h"

#include "analysis/comparison.h"

#include <QDateTime>
#include <QRegularExpression>
#include <algorithm>

using namespace archive_detail;

namespace {

// After kFreeAttempts wrong passwords in a row a login waits before the next try: two seconds,
// doubling with each further failure, at most five minutes.
constexpr qint64 kFirstWaitMs = 2000, kLongestWaitMs = 300000;

// A null text binds as SQL NULL, which the text columns refuse.
QString Text(const QString& t) {
    return t.isNull() ? QStringLiteral("") : t;
}

SYSTEMTIME LocalTimeOf(const QString& utcIso) {
    const QDateTime t = QDateTime::fromString(utcIso, Qt::ISODateWithMs).toLocalTime();
    SYSTEMTIME st{};
    if (!t.isValid())
        return st;
    st.wYear = uint16_t(t.date().year());
    st.wMonth = uint16_t(t.date().month());
    st.wDay = uint16_t(t.date().day());
    st.wDayOfWeek = uint16_t(t.date().dayOfWeek() % 7);
    st.wHour = uint16_t(t.time().hour());
    st.wMinute = uint16_t(t.time().minute());
    st.wSecond = uint16_t(t.time().second());
    return st;
}

QString LocalText(const QString& utcIso) {
    return QDateTime::fromString(utcIso, Qt::ISODateWithMs)
        .toLocalTime()
        .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

bool PlainLogin(const QString& login) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9._-]{1,64}$"));
    return re.match(login).hasMatch();
}

} // namespace

bool CArchive::AddDoctor(const CDoctorAccount& account, const QByteArray& password,
                         QString* error) {
    if (m->NotOpen(error))
        return false;
    if (!PlainLogin(account.login) || account.login == QLatin1String("velmora")) {
        *error = QStringLiteral("a login is 1 to 64 Latin letters, digits, '.', '_' or '-' (and "
                                "not \"velmora\"): %1")
                     .arg(account.login);
        return false;
    }
    if (account.name.trimmed().isEmpty()) {
        *error = QStringLiteral("a doctor's account needs the doctor's name");
        return false;
    }
    if (password.size() < kMinimumPasswordLength) {
        *error = QStringLiteral("the password is shorter than %1 characters")
                     .arg(kMinimumPasswordLength);
        return false;
    }
    QString hash;
    if (!HashPassword(password, &hash, error))
        return false;
    if (!m->Begin(error))
        return false;
    QSqlQuery add(m->Db());
    if (!m->Run(add,
                QStringLiteral("INSERT INTO doctors (login, name, position, password_hash, "
                               "created_at) VALUES (?, ?, ?, ?, ?) ON CONFLICT (login) DO NOTHING"),
                {account.login, account.name.simplified(), Text(account.position.simplified()),
                 hash, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
                error))
        return m->Rollback(error, *error);
    if (add.numRowsAffected() == 0)
        return m->Rollback(
            error, QStringLiteral("the archive has a doctor with the login %1").arg(account.login));
    const QString after = QStringLiteral("{\"login\":\"%1\"}").arg(account.login);
    if (!m->AppendAudit(QVariant(QMetaType(QMetaType::LongLong)), SystemAccount(),
                        QStringLiteral("doctor-add"), QString(), after, error))
        return m->Rollback(error, *error);
    return m->Commit(error);
}

bool CArchive::Doctors(std::vector<CDoctorAccount>& out, QString* error) {
    out.clear();
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q,
                QStringLiteral("SELECT id, login, name, position, created_at FROM doctors ORDER "
                               "BY name, login"),
                {}, error))
        return false;
    while (q.next())
        out.push_back({q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                       q.value(3).toString(), q.value(4).toString()});
    return true;
}

bool CArchive::Readings(qint64 id, std::vector<CDoctorReading>& out, QString* error) {
    out.clear();
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q,
                QStringLiteral("SELECT r.version, r.statements, r.conclusion, d.name, d.login, "
                               "d.position, r.confirmed_at, r.reason FROM readings r JOIN doctors "
                               "d ON d.id = r.doctor_id WHERE r.record_id = ? ORDER BY r.version"),
                {id}, error))
        return false;
    while (q.next()) {
        CDoctorReading r;
        r.version = q.value(0).toInt();
        r.statements = StatementsOf(q.value(1).toString());
        r.conclusion = q.value(2).toString().toStdString();
        r.doctorName = q.value(3).toString().toStdString();
        r.doctorLogin = q.value(4).toString().toStdString();
        r.doctorPosition = q.value(5).toString().toStdString();
        r.confirmedAt = LocalTimeOf(q.value(6).toString());
        r.amendReason = q.value(7).toString().toStdString();
        out.push_back(std::move(r));
    }
    return true;
}

bool CArchive::CurrentReading(qint64 id, CDoctorReading& out, QString* error) {
    std::vector<CDoctorReading> all;
    if (!Readings(id, all, error))
        return false;
    out = all.empty() ? CDoctorReading{} : all.back();
    return true;
}

bool CArchive::Draft(qint64 id, CDoctorReading& out, bool* found, QString* error) {
    *found = false;
    out = {};
    if (m->NotOpen(error))
        return false;
    QSqlQuery q(m->Db());
    if (!m->Run(q, QStringLiteral("SELECT statements, conclusion FROM drafts WHERE record_id = ?"),
                {id}, error))
        return false;
    if (q.next()) {
        *found = true;
        out.statements = StatementsOf(q.value(0).toString());
        out.conclusion = q.value(1).toString().toStdString();
    }
    return true;
}

bool CArchive::SaveDraft(qint64 id, const CDoctorReading& draft, QString* error) {
    if (m->NotOpen(error) || !m->Begin(error))
        return false;
    QString before;
    QSqlQuery there(m->Db());
    if (!m->Run(there, QStringLiteral("SELECT id FROM records WHERE id = ?"), {id}, error))
        return m->Rollback(error, *error);
    if (!there.next())
        return m->Rollback(error, QStringLiteral("the archive has no record %1").arg(id));
    there.finish();
    if (!m->LastAuditAfter(id, {QStringLiteral("propose"), QStringLiteral("edit")}, &before, error))
        return m->Rollback(error, *error);
    CDoctorReading plain;
    plain.statements = draft.statements;
    plain.conclusion = draft.conclusion;
    const QString after = ReadingAuditText(plain);
    if (after == before)
        return m->Commit(error);
    QSqlQuery save(m->Db());
    if (!m->Run(save,
                QStringLiteral("INSERT INTO drafts (record_id, statements, conclusion, saved_at) "
                               "VALUES (?, ?, ?, ?) ON CONFLICT (record_id) DO UPDATE SET "
                               "statements = excluded.statements, conclusion = "
                               "excluded.conclusion, saved_at = excluded.saved_at"),
                {id, StatementsText(draft.statements),
                 Text(QString::fromStdString(draft.conclusion)),
                 QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
                error) ||
        !m->AppendAudit(id, SystemAccount(), QStringLiteral("edit"), before, after, error))
        return m->Rollback(error, *error);
    return m->Commit(error);
}

bool CArchive::Confirm(qint64 id, const CDoctorReading& reading, const QString& login,
                       const QByteArray& password, int seenVersion, const QString& reason,
                       CDoctorReading* confirmed, QString* error) {
    if (m->NotOpen(error))
        return false;
    if (!m->readOnly.isEmpty()) {
        *error = QStringLiteral("the archive is read-only (%1)").arg(m->readOnly);
        return false;
    }
    if (seenVersion > 0 && reason.trimmed().isEmpty()) {
        *error = QStringLiteral("a confirmed reading is changed only by an amendment with its "
                                "reason");
        return false;
    }
    if (reading.statements.empty() && reading.conclusion.empty()) {
        *error = QStringLiteral("an empty reading is not confirmed: keep a statement or write a "
                                "conclusion");
        return false;
    }
    QSqlQuery who(m->Db());
    if (!m->Run(who,
                QStringLiteral("SELECT id, name, position, password_hash, failed_logins, "
                               "last_failed_at FROM doctors WHERE login = ?"),
                {login}, error))
        return false;
    if (!who.next()) {
        *error = QStringLiteral("the archive has no doctor with the login %1").arg(login);
        return false;
    }
    const qint64 doctor = who.value(0).toLongLong();
    const QString name = who.value(1).toString(), position = who.value(2).toString();
    const QString hash = who.value(3).toString();
    const int failed = who.value(4).toInt();
    const QDateTime lastFailed = QDateTime::fromString(who.value(5).toString(), Qt::ISODateWithMs);
    who.finish();
    if (failed >= kFreeAttempts && lastFailed.isValid()) {
        const qint64 wait =
            std::min<qint64>(kLongestWaitMs, kFirstWaitMs << std::min(failed - kFreeAttempts, 16));
        const qint64 left = QDateTime::currentDateTimeUtc().msecsTo(lastFailed.addMSecs(wait));
        if (left > 0) {
            *error = QStringLiteral("too many wrong passwords for %1: try again in %2 s")
                         .arg(login)
                         .arg((left + 999) / 1000);
            return false;
        }
    }
    // The slow hash is checked outside the transaction: the archive's write lock is not held
    // for it.
    if (!PasswordMatches(hash, password)) {
        QString ignored;
        QSqlQuery count(m->Db());
        if (m->Begin(&ignored)) {
            if (m->Run(count,
                       QStringLiteral("UPDATE doctors SET failed_logins = failed_logins + 1, "
                                      "last_failed_at = ? WHERE id = ?"),
                       {QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs), doctor},
                       &ignored) &&
                m->AppendAudit(id, login, QStringLiteral("login-failed"), QString(), QString(),
                               &ignored))
                m->Commit(&ignored);
            else
                m->Rollback(&ignored, ignored);
        }
        *error = QStringLiteral("wrong password for %1").arg(login);
        return false;
    }

    if (!m->Begin(error))
        return false;
    QSqlQuery record(m->Db());
    if (!m->Run(record, QStringLiteral("SELECT deleted_at FROM records WHERE id = ?"), {id}, error))
        return m->Rollback(error, *error);
    if (!record.next())
        return m->Rollback(error, QStringLiteral("the archive has no record %1").arg(id));
    if (!record.value(0).isNull())
        return m->Rollback(error, QStringLiteral("record %1 is in the recycle list").arg(id));
    record.finish();
    QSqlQuery newest(m->Db());
    if (!m->Run(newest,
                QStringLiteral("SELECT r.version, d.name, r.confirmed_at FROM readings r JOIN "
                               "doctors d ON d.id = r.doctor_id WHERE r.record_id = ? ORDER BY "
                               "r.version DESC LIMIT 1"),
                {id}, error))
        return m->Rollback(error, *error);
    int current = 0;
    QString currentBy, currentAt;
    if (newest.next()) {
        current = newest.value(0).toInt();
        currentBy = newest.value(1).toString();
        currentAt = LocalText(newest.value(2).toString());
    }
    newest.finish();
    const auto meanwhile = [&](int version, const QString& by, const QString& at) {
        return QStringLiteral("record %1 is confirmed by %2 on %3 (version %4): a change to it "
                              "is an amendment of that version")
            .arg(id)
            .arg(by, at)
            .arg(version);
    };
    if (current != seenVersion)
        return m->Rollback(error, current > 0 ? meanwhile(current, currentBy, currentAt)
                                              : QStringLiteral("record %1 has no confirmed "
                                                               "reading to amend")
                                                    .arg(id));
    QString before;
    if (current > 0) {
        CDoctorReading in;
        if (!CurrentReading(id, in, error))
            return m->Rollback(error, *error);
        before = ReadingAuditText(in);
    } else if (!m->LastAuditAfter(id, {QStringLiteral("propose"), QStringLiteral("edit")}, &before,
                                  error)) {
        return m->Rollback(error, *error);
    }

    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    CDoctorReading done;
    done.statements = reading.statements;
    done.conclusion = reading.conclusion;
    done.doctorName = name.toStdString();
    done.doctorLogin = login.toStdString();
    done.doctorPosition = position.toStdString();
    done.confirmedAt = LocalTimeOf(now);
    done.version = current + 1;
    done.amendReason = reason.trimmed().toStdString();
    // Another doctor's confirmation of the same version on a shared archive: their row is
    // there first, ours is not added, and we say whose it is.
    QSqlQuery add(m->Db());
    if (!m->Run(add,
                QStringLiteral("INSERT INTO readings (record_id, version, statements, conclusion, "
                               "doctor_id, confirmed_at, reason) VALUES (?, ?, ?, ?, ?, ?, ?) ON "
                               "CONFLICT (record_id, version) DO NOTHING"),
                {id, done.version, StatementsText(done.statements),
                 Text(QString::fromStdString(done.conclusion)), doctor, now,
                 Text(QString::fromStdString(done.amendReason))},
                error))
        return m->Rollback(error, *error);
    if (add.numRowsAffected() == 0)
        return m->Rollback(
            error, meanwhile(done.version, QStringLiteral("another doctor"), LocalText(now)));
    QSqlQuery clear(m->Db()), reset(m->Db());
    if (!m->Run(clear, QStringLiteral("DELETE FROM drafts WHERE record_id = ?"), {id}, error) ||
        !m->Run(reset, QStringLiteral("UPDATE doctors SET failed_logins = 0 WHERE id = ?"),
                {doctor}, error) ||
        !m->AppendAudit(id, login,
                        current > 0 ? QStringLiteral("amend") : QStringLiteral("confirm"), before,
                        ReadingAuditText(done), error))
        return m->Rollback(error, *error);
    if (!m->Commit(error))
        return false;
    if (confirmed)
        *confirmed = std::move(done);
    return true;
}

bool CArchive::Proposal(qint64 id, const CStatementSettings& how, std::vector<CReadStatement>& out,
                        QString* error) {
    out.clear();
    qint64 previousId = 0;
    CLoadedRecord current, previous;
    QString type;
    if (!Load(id, current, &type, error) || !PreviousRecord(id, &previousId, error) ||
        (previousId && !Load(previousId, previous, &type, error)))
        return false;
    const auto analyse = [&](const CLoadedRecord& r) {
        return analysis::AnalyseRecord(*r.pRecord, &r.card, how.m_Filters, how.m_Settings);
    };
    const analysis::RecordAnalysis now = analyse(current);
    std::vector<analysis::Statement> proposed = now.interpretation.statements;
    if (previousId)
        proposed = analysis::ProposedStatements(now.interpretation,
                                                analysis::CompareRecords(analyse(previous), now));
    for (const analysis::Statement& st : proposed)
        out.push_back({st.code, st.text, st.textEn});
    // The trail holds what a doctor starts from. The proposal logged at the import has no
    // changes since a previous record (nor one imported after it), and another rate practice
    // or the window's filters read other statements: a proposal unlike the one logged last is
    // logged now, so that a confirmation's "before" is what was proposed and no proposed
    // statement reads as the doctor's own addition.
    if (!m->readOnly.isEmpty())
        return true;
    CDoctorReading plain;
    plain.statements = out;
    const QString after = ReadingAuditText(plain);
    QString before;
    if (!m->Begin(error))
        return false;
    if (!m->LastAuditAfter(id, {QStringLiteral("propose")}, &before, error))
        return m->Rollback(error, *error);
    if (after == before)
        return m->Commit(error);
    if (!m->AppendAudit(id, QStringLiteral("velmora"), QStringLiteral("propose"), before, after,
                        error))
        return m->Rollback(error, *error);
    return m->Commit(error);
}
