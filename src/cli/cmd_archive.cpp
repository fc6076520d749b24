// velmora-cli archive: records into the archive, found in it, and its check.

#include "analysis/comparison.h"
#include "archive/archive_store.h"
#include "cli/cli_common.h"
#include "cli/cli_report.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "platform/bounded_file.h"
#include "platform/printable_text.h"
#include "storage/card_fields.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdio>

namespace {

const char kArchiveUsage[] =
    "usage: velmora-cli archive import PATH... [--archive FILE | --db URL]\n"
    "       velmora-cli archive find [--name TEXT] [--id ID] [--from DATE] [--to DATE] [--json]\n"
    "                                [--archive FILE | --db URL]\n"
    "       velmora-cli archive export ID --out FILE [--archive FILE | --db URL]\n"
    "       velmora-cli archive backup --out FILE [--archive FILE]\n"
    "       velmora-cli archive check [--archive FILE | --db URL]\n"
    "       velmora-cli archive user add LOGIN --name NAME [--position TEXT]\n"
    "                                --password-file FILE [--archive FILE | --db URL]\n"
    "       velmora-cli archive confirm ID --doctor LOGIN --password-file FILE [--remove CODE]...\n"
    "                                [--add CODE]... [--conclusion TEXT] [--archive FILE | --db "
    "URL]\n"
    "       velmora-cli archive amend ID --doctor LOGIN --password-file FILE --reason TEXT\n"
    "                                [--remove CODE]... [--add CODE]... [--conclusion TEXT] ...\n"
    "       velmora-cli archive audit ID [--json] [--archive FILE | --db URL]\n"
    "\n"
    "The archive of every record and patient. import takes record files and folders (searched\n"
    "through) and says for each whether it was imported, was there already, or was refused and\n"
    "why. find lists the records whose patient's surname begins with TEXT (any case, ё = е),\n"
    "whose patient identifier is ID, recorded from DATE to DATE (YYYY-MM-DD) inclusive; --json\n"
    "prints one JSON object per line. export saves record ID (find's id) as the type FILE's\n"
    "extension names (another system's file in its own type: the file as it came). backup\n"
    "writes a consistent copy of an SQLite archive, also while it is in use. check runs the\n"
    "database's integrity check, the audit trail's chain and counts; find --unconfirmed lists\n"
    "only records no doctor has confirmed.\n"
    "\n"
    "user add makes a doctor's account (the password, at least 8 characters, is the first line\n"
    "of FILE; the archive keeps only its Argon2id hash). confirm signs the record's reading in\n"
    "the doctor's name: the automatic statements (or the saved draft) less each --remove CODE,\n"
    "with each --add CODE (a statement's code, e.g. CRBBB, or a change's, e.g. NEW_AFIB) and\n"
    "the --conclusion; the automatic statements include the changes since the patient's\n"
    "previous record in the archive. A confirmed\n"
    "reading changes only by amend, which starts from it and needs --reason. audit lists every\n"
    "change to the record (--json: one object per line with time, user, action, before, after).\n"
    "\n"
    "  --archive FILE   an SQLite archive\n"
    "  --db URL         a PostgreSQL archive, postgresql://USER@HOST:PORT/DB (the password from\n"
    "                   PGPASSWORD or ~/.pgpass, never on the command line); ?sslmode=MODE\n"
    "                   after it asks for TLS: disable, allow, prefer, require, verify-ca,\n"
    "                   verify-full (the server's certificate checked against\n"
    "                   ~/.postgresql/root.crt or PGSSLROOTCERT)\n"
    "  --config INI     the settings file to use\n"
    "  without --archive and --db: the archive of the settings ([Archive]), by default\n"
    "                   ~/.local/share/velmora/archive.sqlite\n"
    "\n"
    "exit codes: 0 done, 1 bad usage, 2 a file or the archive failed\n";

int Usage(const std::string& why) {
    Message("archive", why);
    std::fputs(kArchiveUsage, stderr);
    return 1;
}

QString Text(const char* field, size_t size) {
    return QString::fromStdString(CardTextUtf8(field, size));
}

QJsonObject Json(const CArchivedRecord& r) {
    const QJsonObject patient = ArchiveCardJson(r.card);
    QJsonObject o;
    o[QStringLiteral("id")] = r.id;
    o[QStringLiteral("patient")] = patient;
    o[QStringLiteral("date")] = r.recordedAt;
    o[QStringLiteral("type")] = r.type;
    o[QStringLiteral("device")] = r.device;
    o[QStringLiteral("record_number")] = qint64(r.recordNumber);
    const std::pair<const char*, std::optional<double>> values[] = {
        {"heart_rate_bpm", r.heartRateBpm}, {"qrs_ms", r.qrsMs}, {"qtc_bazett_ms", r.qtcBazettMs}};
    for (const auto& [key, value] : values)
        o[QLatin1String(key)] = value ? QJsonValue(*value) : QJsonValue();
    o[QStringLiteral("source")] = r.source;
    o[QStringLiteral("confirmed")] = r.readingVersion > 0;
    if (r.readingVersion > 0) {
        o[QStringLiteral("reading_version")] = r.readingVersion;
        o[QStringLiteral("confirmed_by")] = r.confirmedBy;
        o[QStringLiteral("confirmed_at")] = r.confirmedAt;
    }
    return o;
}

int RunImport(const COptions& opts, CArchive& archive) {
    int imported = 0, there = 0, refused = 0;
    ImportFiles(
        archive, ArchiveFilesOf(opts.Positional().mid(1)),
        [&](const QString& file, bool ok, CArchive::Added added, qint64 id, const QString& why) {
            const std::string name = PrintableName(file.toStdString());
            if (!ok) {
                ++refused;
                std::printf("refused  %s: %s\n", name.c_str(),
                            PrintableName(why.toStdString()).c_str());
            } else if (added == CArchive::Added::Imported) {
                ++imported;
                std::printf("imported %s as %lld\n", name.c_str(), static_cast<long long>(id));
            } else {
                ++there;
                std::printf("there    %s as %lld\n", name.c_str(), static_cast<long long>(id));
            }
            std::fflush(stdout); // each line once its record is in, for whoever watches
        });
    std::fprintf(stderr, "velmora-cli archive: %d imported, %d already there, %d refused\n",
                 imported, there, refused);
    return refused == 0 ? 0 : 2;
}

int RunFind(const COptions& opts, CArchive& archive) {
    CFindCriteria c;
    c.name = opts.Value("name");
    c.identifier = opts.Value("id");
    c.unconfirmed = opts.Has("unconfirmed");
    for (const auto& [key, date] : {std::pair{"from", &c.from}, std::pair{"to", &c.to}})
        if (opts.Has(key)) {
            *date = QDate::fromString(opts.Value(key), Qt::ISODate);
            if (!date->isValid())
                return Usage(std::string("--") + key + " takes a date YYYY-MM-DD");
        }
    std::vector<CArchivedRecord> found;
    QString why;
    if (!archive.Find(c, found, &why)) {
        Message("archive", why.toStdString());
        return 2;
    }
    for (const CArchivedRecord& r : found) {
        if (opts.Has("json")) {
            std::printf("%s\n", QJsonDocument(Json(r)).toJson(QJsonDocument::Compact).constData());
            continue;
        }
        const QString name = QStringLiteral("%1 %2 %3")
                                 .arg(Text(r.card.last_name, sizeof r.card.last_name),
                                      Text(r.card.first_name, sizeof r.card.first_name),
                                      Text(r.card.patronymic, sizeof r.card.patronymic))
                                 .simplified();
        std::printf(
            "%6lld  %s  %-5s %s  %s\n", static_cast<long long>(r.id),
            r.recordedAt.toUtf8().constData(), r.type.toUtf8().constData(),
            PrintableName((name.isEmpty() ? QStringLiteral("(без карточки)") : name).toStdString())
                .c_str(),
            PrintableName(r.source.toStdString()).c_str());
        if (r.readingVersion > 0)
            std::printf("        подтверждено: %s, %s\n",
                        PrintableName(r.confirmedBy.toStdString()).c_str(),
                        r.confirmedAt.toUtf8().constData());
    }
    return 0;
}

int RunCheck(CArchive& archive) {
    CArchiveCounts counts;
    QString why;
    if (!archive.Check(counts, &why)) {
        Message("archive", why.toStdString());
        return 2;
    }
    std::printf("ok: %lld patients, %lld records (%lld without a card), %lld in the recycle list\n",
                static_cast<long long>(counts.patients), static_cast<long long>(counts.records),
                static_cast<long long>(counts.withoutPatient),
                static_cast<long long>(counts.recycled));
    std::printf("ok: %lld records not confirmed, %lld doctors, the audit trail's %lld entries "
                "chained\n",
                static_cast<long long>(counts.unconfirmed), static_cast<long long>(counts.doctors),
                static_cast<long long>(counts.auditEntries));
    return 0;
}

int RunExport(const COptions& opts, CArchive& archive) {
    bool ok = false;
    const qint64 id = opts.Positional().at(1).toLongLong(&ok);
    if (!ok || id <= 0)
        return Usage("export takes a record's id, as find prints it");
    QString why;
    const RecordFileType* type = RecordFileTypeOf(opts.Value("out"));
    // A file that carries the printed report is drawn by velmora-cli-full.
    if (type && type->bWritesReport && !CliDrawsReports())
        return RunThisInFull("archive");
    if (!archive.Export(id, opts.Value("out"), &why, CliReportPdfMaker)) {
        Message("archive", PrintableName(why.toStdString()));
        return 2;
    }
    Message("archive", "record " + std::to_string(id) + " written to " +
                           PrintableName(opts.Value("out").toStdString()));
    return 0;
}

int RunBackup(const COptions& opts, CArchive& archive) {
    QString why;
    if (!archive.Backup(opts.Value("out"), &why)) {
        Message("archive", PrintableName(why.toStdString()));
        return 2;
    }
    Message("archive", "copy written to " + PrintableName(opts.Value("out").toStdString()));
    return 0;
}

bool ReadPassword(const QString& path, QByteArray* password) {
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadWholeFile(QFile::encodeName(path).toStdString(), 4096, bytes, &why)) {
        Message("archive", PrintableName(why));
        return false;
    }
    QByteArray text(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    const qsizetype end = text.indexOf('\n');
    *password = end >= 0 ? text.left(end) : text;
    if (password->endsWith('\r'))
        password->chop(1);
    return true;
}

qint64 RecordId(const COptions& opts) {
    bool ok = false;
    const qint64 id = opts.Positional().value(1).toLongLong(&ok);
    return ok && id > 0 ? id : 0;
}

int RunUserAdd(const COptions& opts, CArchive& archive) {
    QByteArray password;
    if (!ReadPassword(opts.Value("password-file"), &password))
        return 2;
    CDoctorAccount account;
    account.login = opts.Positional().value(2);
    account.name = opts.Value("name");
    account.position = opts.Value("position");
    QString why;
    if (!archive.AddDoctor(account, password, &why)) {
        Message("archive", PrintableName(why.toStdString()));
        return 2;
    }
    Message("archive", "doctor " + account.login.toStdString() + " added");
    return 0;
}

// The reading a confirmation or an amendment starts from, with the command's changes made.
bool ReadingToSign(const COptions& opts, CArchive& archive, qint64 id, bool amend,
                   CDoctorReading* reading) {
    QString why;
    bool draft = false;
    if (amend) {
        if (!archive.CurrentReading(id, *reading, &why)) {
            Message("archive", PrintableName(why.toStdString()));
            return false;
        }
    } else if (!archive.Draft(id, *reading, &draft, &why)) {
        Message("archive", PrintableName(why.toStdString()));
        return false;
    }
    if (!amend && !draft && !archive.Proposal(id, {}, reading->statements, &why)) {
        Message("archive", PrintableName(why.toStdString()));
        return false;
    }
    for (const QString& code : opts.Values("remove")) {
        auto& list = reading->statements;
        const auto it = std::find_if(list.begin(), list.end(), [&](const CReadStatement& s) {
            return QString::fromStdString(s.code) == code;
        });
        if (it == list.end()) {
            Message("archive", "the reading has no statement " + code.toStdString() + " to remove");
            return false;
        }
        list.erase(it);
    }
    for (const QString& code : opts.Values("add")) {
        const analysis::StatementKind* kind = analysis::StatementKindOf(code.toStdString());
        if (!kind)
            kind = analysis::ChangeKindOf(code.toStdString());
        if (!kind) {
            Message("archive", "no statement has the code " + PrintableName(code.toStdString()));
            return false;
        }
        // A statement the reading has already is said once: a second one would print twice.
        const auto& list = reading->statements;
        if (std::none_of(list.begin(), list.end(),
                         [&](const CReadStatement& s) { return s.code == kind->code; }))
            reading->statements.push_back({kind->code, kind->russian, kind->english});
    }
    if (opts.Has("conclusion"))
        reading->conclusion = opts.Value("conclusion").toStdString();
    return true;
}

int RunConfirm(const COptions& opts, CArchive& archive, bool amend) {
    const qint64 id = RecordId(opts);
    if (id == 0)
        return Usage("give the record's id, as find prints it");
    QByteArray password;
    CDoctorReading reading;
    if (!ReadPassword(opts.Value("password-file"), &password) ||
        !ReadingToSign(opts, archive, id, amend, &reading))
        return 2;
    CDoctorReading done;
    QString why;
    if (!archive.Confirm(id, reading, opts.Value("doctor"), password, amend ? reading.version : 0,
                         opts.Value("reason"), &done, &why)) {
        Message("archive", PrintableName(why.toStdString()));
        return 2;
    }
    const SYSTEMTIME& t = done.confirmedAt;
    char when[32];
    std::snprintf(when, sizeof when, "%04u-%02u-%02u %02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute);
    Message("archive", "record " + std::to_string(id) + (amend ? " amended" : " confirmed") +
                           " by " + PrintableName(done.doctorName) + " on " + when + " (version " +
                           std::to_string(done.version) + ")");
    return 0;
}

int RunAudit(const COptions& opts, CArchive& archive) {
    const qint64 id = RecordId(opts);
    if (id == 0)
        return Usage("give the record's id, as find prints it");
    std::vector<CAuditEntry> entries;
    QString why;
    if (!archive.Audit(id, entries, &why)) {
        Message("archive", PrintableName(why.toStdString()));
        return 2;
    }
    // A JSON text stays an object in the output; anything else stays the text it is.
    const auto value = [](const QString& text) -> QJsonValue {
        if (text.isEmpty())
            return QJsonValue();
        const QJsonDocument d = QJsonDocument::fromJson(text.toUtf8());
        return d.isObject() ? QJsonValue(d.object()) : QJsonValue(text);
    };
    for (const CAuditEntry& e : entries) {
        if (opts.Has("json")) {
            const QJsonObject o{{QStringLiteral("sequence"), e.sequence},
                                {QStringLiteral("time"), e.at},
                                {QStringLiteral("user"), e.user},
                                {QStringLiteral("action"), e.action},
                                {QStringLiteral("before"), value(e.before)},
                                {QStringLiteral("after"), value(e.after)}};
            std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
            continue;
        }
        std::printf("%6lld  %s  %-12s %-12s %s\n", static_cast<long long>(e.sequence),
                    e.at.toUtf8().constData(), PrintableName(e.user.toStdString()).c_str(),
                    e.action.toUtf8().constData(),
                    PrintableName((e.after.isEmpty() ? e.before : e.after).toStdString()).c_str());
    }
    return 0;
}

} // namespace

bool OpenArchive(const COptions& opts, CArchive& archive, QString* error) {
    CArchiveLocation where;
    if (!opts.Has("db") && !opts.Has("archive")) {
        CViewSettings settings;
        settings.UpdateIni(true);
        if (!CArchiveLocation::FromSettings(settings, where, error))
            return false;
    } else if (opts.Has("db")) {
        if (!CArchiveLocation::FromUrl(opts.Value("db"), where, error))
            return false;
        where.password = qEnvironmentVariable("PGPASSWORD");
    } else if (opts.Has("archive")) {
        where.file = opts.Value("archive");
    }
    return archive.Open(where, error);
}

int RunArchive(const QStringList& args) {
    COptions opts({"archive", "db", "name", "id", "from", "to", "out", "config", "position",
                   "password-file", "doctor", "remove", "add", "conclusion", "reason"},
                  {"json", "help", "unconfirmed"});
    QString error;
    if (!opts.Parse(args, &error))
        return Usage(error.toStdString());
    if (opts.Has("help")) {
        std::fputs(kArchiveUsage, stdout);
        return 0;
    }
    const QStringList pos = opts.Positional();
    const QString verb = pos.isEmpty() ? QString() : pos.first();
    const QStringList verbs = {
        QStringLiteral("import"),  QStringLiteral("find"),  QStringLiteral("export"),
        QStringLiteral("backup"),  QStringLiteral("check"), QStringLiteral("user"),
        QStringLiteral("confirm"), QStringLiteral("amend"), QStringLiteral("audit")};
    if (!verbs.contains(verb))
        return Usage("give import, find, export, backup, check, user, confirm, amend or audit");
    const bool signs = verb == QLatin1String("confirm") || verb == QLatin1String("amend");
    if (verb == QLatin1String("user") && (pos.size() != 3 || pos.at(1) != QLatin1String("add") ||
                                          !opts.Has("name") || !opts.Has("password-file")))
        return Usage("user add takes LOGIN, --name NAME and --password-file FILE");
    if (signs && pos.size() > 2)
        return Usage(verb.toStdString() + " takes one record's id: give each code its own "
                                          "--remove or --add");
    if (signs && (pos.size() != 2 || !opts.Has("doctor") || !opts.Has("password-file")))
        return Usage(verb.toStdString() + " takes the record's id, --doctor LOGIN and "
                                          "--password-file FILE");
    if (verb == QLatin1String("amend") && opts.Value("reason").trimmed().isEmpty())
        return Usage("amend needs --reason TEXT");
    if (verb == QLatin1String("confirm") && opts.Has("reason"))
        return Usage("--reason is for amend");
    if (verb == QLatin1String("audit") && pos.size() != 2)
        return Usage("audit takes one record's id");
    if (verb == QLatin1String("import") && pos.size() < 2)
        return Usage("give the files or folders to import");
    if (verb == QLatin1String("export") && pos.size() != 2)
        return Usage("export takes one record's id");
    if ((verb == QLatin1String("find") || verb == QLatin1String("check") ||
         verb == QLatin1String("backup")) &&
        pos.size() > 1)
        return Usage(verb.toStdString() + " takes no file");
    const bool writes = verb == QLatin1String("export") || verb == QLatin1String("backup");
    if (writes != opts.Has("out"))
        return Usage(writes ? verb.toStdString() + " needs --out FILE"
                            : verb.toStdString() + " takes no --out");
    if (opts.Has("archive") && opts.Has("db"))
        return Usage("give --archive or --db, not both");
    if (opts.Has("config") && !UseSettingsFile("archive", opts.Value("config")))
        return 2;
    CArchive archive;
    if (!OpenArchive(opts, archive, &error)) {
        Message("archive", PrintableName(error.toStdString()));
        return 2;
    }
    if (verb == QLatin1String("import"))
        return RunImport(opts, archive);
    if (verb == QLatin1String("find"))
        return RunFind(opts, archive);
    if (verb == QLatin1String("export"))
        return RunExport(opts, archive);
    if (verb == QLatin1String("backup"))
        return RunBackup(opts, archive);
    if (verb == QLatin1String("user"))
        return RunUserAdd(opts, archive);
    if (signs)
        return RunConfirm(opts, archive, verb == QLatin1String("amend"));
    if (verb == QLatin1String("audit"))
        return RunAudit(opts, archive);
    return RunCheck(archive);
}
