// velmora-cli archive: records into the archive, found in it, and its check.

#include "archive/archive_store.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "platform/printable_text.h"
#include "storage/card_fields.h"

#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

const char kArchiveUsage[] =
    "usage: velmora-cli archive import PATH... [--archive FILE | --db URL]\n"
    "       velmora-cli archive find [--name TEXT] [--id ID] [--from DATE] [--to DATE] [--json]\n"
    "                                [--archive FILE | --db URL]\n"
    "       velmora-cli archive export ID --out FILE [--archive FILE | --db URL]\n"
    "       velmora-cli archive backup --out FILE [--archive FILE]\n"
    "       velmora-cli archive check [--archive FILE | --db URL]\n"
    "\n"
    "The archive of every record and patient. import takes record files and folders (searched\n"
    "through) and says for each whether it was imported, was there already, or was refused and\n"
    "why. find lists the records whose patient's surname begins with TEXT (any case, ё = е),\n"
    "whose patient identifier is ID, recorded from DATE to DATE (YYYY-MM-DD) inclusive; --json\n"
    "prints one JSON object per line. export saves record ID (find's id) as the type FILE's\n"
    "extension names (another system's file in its own type: the file as it came). backup\n"
    "writes a consistent copy of an SQLite archive, also while it is in use. check runs the\n"
    "database's integrity check and counts.\n"
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

QString Text(const char* field, size_t size) {
    return QString::fromStdString(CardTextUtf8(field, size));
}

QJsonObject Json(const CArchivedRecord& r) {
    QJsonObject patient;
    for (const CardField& f : CardFields()) {
        if (f.kind == CardFieldKind::Text)
            patient[QLatin1String(f.name)] = Text(CardFieldText(r.card, f), f.size);
        else
            patient[QLatin1String(f.name)] = qint64(CardNumber(r.card, f));
    }
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
    return 0;
}

int RunExport(const COptions& opts, CArchive& archive) {
    bool ok = false;
    const qint64 id = opts.Positional().at(1).toLongLong(&ok);
    if (!ok || id <= 0)
        return Usage("export takes a record's id, as find prints it");
    QString why;
    if (!archive.Export(id, opts.Value("out"), &why)) {
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

} // namespace

int RunArchive(const QStringList& args) {
    COptions opts({"archive", "db", "name", "id", "from", "to", "out", "config"}, {"json", "help"});
    QString error;
    if (!opts.Parse(args, &error))
        return Usage(error.toStdString());
    if (opts.Has("help")) {
        std::fputs(kArchiveUsage, stdout);
        return 0;
    }
    const QStringList pos = opts.Positional();
    const QString verb = pos.isEmpty() ? QString() : pos.first();
    const QStringList verbs = {QStringLiteral("import"), QStringLiteral("find"),
                               QStringLiteral("export"), QStringLiteral("backup"),
                               QStringLiteral("check")};
    if (!verbs.contains(verb))
        return Usage("give import, find, export, backup or check");
    if (verb == QLatin1String("import") && pos.size() < 2)
        return Usage("give the files or folders to import");
    if (verb == QLatin1String("export") && pos.size() != 2)
        return Usage("export takes one record's id");
    if (verb != QLatin1String("import") && verb != QLatin1String("export") && pos.size() > 1)
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
    return RunCheck(archive);
}
