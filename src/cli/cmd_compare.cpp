// velmora-cli compare: what changed between the patient's previous record and the current one,
// each analysed as `interpret` analyses it.

#include "analysis/comparison.h"
#include "analysis/measurement_table.h"
#include "archive/archive_store.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "record_io/record_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <string>

namespace {

const char kUsage[] =
    "usage: velmora-cli compare PREVIOUS CURRENT [--json] [--rates russian|aha] [--config INI]\n"
    "       velmora-cli compare --archive-id ID [--archive FILE | --db URL] [--json] ...\n"
    "\n"
    "Compares the current record with the patient's previous one (any types that open; of a\n"
    "longer file its first 10 s), each measured and interpreted with the card it carries as\n"
    "'velmora-cli interpret' does: a table of the previous and current values and their\n"
    "difference (heart rate, PR, QRS, QT, QTc, the P, QRS and T axes), then the changes, one a\n"
    "line: its code, then its Russian text (NO_CHANGE when none). A difference is given only\n"
    "where both records have the value and their rhythms let it be compared (no PR where either\n"
    "has atrial fibrillation). These are proposals: a doctor confirms them.\n"
    "\n"
    "  --json          one JSON object: \"delta_<key>\" for each value (the keys of 'measure\n"
    "                  --json'; null when not compared), \"previous\" and \"current\" (as\n"
    "                  'measure --json' gives them), \"changes\" (code, text, text_en,\n"
    "                  evidence) and \"notes\"\n"
    "  --rates WHICH   the normal sinus rate: russian 60-90/min, aha 50-100/min (default: the\n"
    "                  settings' [Analysis] m_szRatePractice, else russian)\n"
    "  --config INI    the settings file to read it from\n"
    "  --archive-id ID record ID of the archive (archive find's id) and the same patient's\n"
    "                  record before it there (one fetched from the PACS too); --archive FILE\n"
    "                  or --db URL as 'velmora-cli archive' takes them\n"
    "\n"
    "exit codes: 0 compared, 1 bad usage, 2 a file that cannot be read or is no record\n";

QJsonArray StatementsJson(const std::vector<analysis::Statement>& statements) {
    analysis::Interpretation in;
    in.statements = statements;
    return InterpretationJson(in)[QLatin1String("statements")].toArray();
}

std::string Shown(const analysis::MeasurementDelta& d, const std::optional<double>& value) {
    return analysis::ValueText({d.key, d.english, d.russian, d.unit, d.unitRu, 0, value}, false);
}

std::string ShownDelta(const analysis::MeasurementDelta& d) {
    if (!d.delta)
        return "not compared";
    char text[32];
    std::snprintf(text, sizeof text, "%+.0f", *d.delta);
    const std::string unit = d.unit;
    return std::string(text) + (unit == "°" ? "" : " ") + unit;
}

// Text padded to `width` characters (not bytes: "°" and Cyrillic take two).
std::string Padded(std::string text, size_t width) {
    size_t chars = 0;
    for (const char c : text)
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    if (chars < width)
        text.append(width - chars, ' ');
    return text;
}

// The archive's record and the one before it of its patient.
int OpenFromArchive(const COptions& opts, CLoadedRecord& previous, CLoadedRecord& current,
                    qint64* previousId) {
    bool ok = false;
    const qint64 id = opts.Value("archive-id").toLongLong(&ok);
    if (!ok || id <= 0) {
        Message("compare", "--archive-id takes a record's number in the archive");
        return 1;
    }
    if (opts.Has("config") && !UseSettingsFile("compare", opts.Value("config")))
        return 2;
    CArchive archive;
    QString why, type;
    qint64 before = 0;
    if (OpenArchive(opts, archive, &why) && archive.PreviousRecord(id, &before, &why) &&
        before == 0)
        why =
            QStringLiteral("record %1 has no earlier record of its patient in the archive").arg(id);
    if (before == 0 || !archive.Load(before, previous, &type, &why) ||
        !archive.Load(id, current, &type, &why)) {
        Message("compare", why.toStdString());
        return 2;
    }
    *previousId = before;
    return 0;
}

} // namespace

int RunCompare(const QStringList& args) {
    COptions opts({"rates", "config", "archive-id", "archive", "db"}, {"json", "help"});
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 2) {
        Message("compare",
                error.isEmpty() ? std::string("give two record files") : error.toStdString());
        std::fputs(kUsage, stderr);
        return 1;
    }
    if (opts.Has("help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    const bool archived = opts.Has("archive-id");
    if (opts.Positional().size() != (archived ? 0 : 2)) {
        Message("compare", archived ? "--archive-id takes no record files"
                                    : "give the previous and the current record files");
        return 1;
    }
    analysis::InterpretationSettings settings;
    if (!InterpretationSettingsFrom("compare", opts, &settings))
        return 1;
    CLoadedRecord previous, current;
    qint64 previousId = 0;
    if (archived) {
        if (const int code = OpenFromArchive(opts, previous, current, &previousId))
            return code;
    } else if (!OpenRecord("compare", opts.Positional()[0], &previous) ||
               !OpenRecord("compare", opts.Positional()[1], &current)) {
        return 2;
    }
    const analysis::RecordAnalysis before =
        analysis::AnalyseRecord(*previous.pRecord, &previous.card, {}, settings);
    const analysis::RecordAnalysis now =
        analysis::AnalyseRecord(*current.pRecord, &current.card, {}, settings);
    const analysis::Comparison c = analysis::CompareRecords(before, now);

    if (opts.Has("json")) {
        QJsonObject o;
        for (const analysis::MeasurementDelta& d : c.deltas)
            o[QStringLiteral("delta_") + QLatin1String(d.key)] =
                d.delta ? QJsonValue(*d.delta) : QJsonValue();
        o[QStringLiteral("previous")] = MeasurementJson(before);
        o[QStringLiteral("current")] = MeasurementJson(now);
        o[QStringLiteral("changes")] = StatementsJson(c.changes);
        QJsonArray notes, notesEn;
        for (const std::string& n : c.notes)
            notes.append(QString::fromStdString(n));
        for (const std::string& n : c.notesEn)
            notesEn.append(QString::fromStdString(n));
        o[QStringLiteral("notes")] = notes;
        o[QStringLiteral("notes_en")] = notesEn;
        if (archived)
            o[QStringLiteral("previous_id")] = previousId;
        std::fputs(QJsonDocument(o).toJson(QJsonDocument::Indented).constData(), stdout);
        return 0;
    }
    if (archived)
        std::printf("previous: record %lld of the archive\n", static_cast<long long>(previousId));
    std::printf("%-18s %-14s %-14s %s\n", "", "previous", "current", "change");
    for (const analysis::MeasurementDelta& d : c.deltas)
        std::printf("%-18s %s %s %s\n", (std::string(d.english) + ":").c_str(),
                    Padded(Shown(d, d.previous), 14).c_str(),
                    Padded(Shown(d, d.current), 14).c_str(), ShownDelta(d).c_str());
    std::printf("\n%s\n", analysis::kComparisonHeading);
    for (const analysis::Statement& s : c.changes)
        std::printf("%-13s %s\n", s.code.c_str(), s.text.c_str());
    for (const std::string& n : c.notes)
        std::printf("              (%s)\n", n.c_str());
    return 0;
}
