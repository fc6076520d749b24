// velmora-cli interpret: the automatic interpretation of a record, the statements a doctor then
// confirms or corrects.

#include "analysis/interpretation.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "config/view_settings.h"
#include "record_io/record_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

const char kUsage[] =
    "usage: velmora-cli interpret RECORD [--json] [--rates russian|aha] [--config INI]\n"
    "\n"
    "Interprets the record (any type that opens; of a longer file its first 10 s): rhythm,\n"
    "extrasystoles, AV and intraventricular conduction, the electrical axis, QT, voltage and\n"
    "ST elevation, from the measurements and the sex and age on the record's card. One\n"
    "statement a line: its code, then its Russian text. These statements are proposals: a\n"
    "doctor confirms them.\n"
    "\n"
    "  --json          one JSON object: \"statements\" (code, text, text_en, evidence) and\n"
    "                  \"notes\" (what the criteria assumed)\n"
    "  --rates WHICH   the normal sinus rate: russian 60-90/min, aha 50-100/min (default: the\n"
    "                  settings' [Analysis] m_szRatePractice, else russian)\n"
    "  --config INI    the settings file to read it from\n"
    "\n"
    "exit codes: 0 interpreted, 1 bad usage, 2 a file that cannot be read or is no record\n";

} // namespace

QJsonObject InterpretationJson(const analysis::Interpretation& in) {
    QJsonArray statements;
    for (const analysis::Statement& s : in.statements) {
        QJsonObject evidence;
        for (const analysis::Evidence& e : s.evidence)
            evidence[QString::fromStdString(e.key)] = e.value;
        statements.append(QJsonObject{{"code", QString::fromStdString(s.code)},
                                      {"text", QString::fromStdString(s.text)},
                                      {"text_en", QString::fromStdString(s.textEn)},
                                      {"evidence", evidence}});
    }
    QJsonArray notes, notesEn;
    for (const std::string& n : in.notes)
        notes.append(QString::fromStdString(n));
    for (const std::string& n : in.notesEn)
        notesEn.append(QString::fromStdString(n));
    return {{"statements", statements}, {"notes", notes}, {"notes_en", notesEn}};
}

bool InterpretationSettingsFrom(const char* command, const COptions& opts,
                                analysis::InterpretationSettings* settings) {
    if (opts.Has("config") && !UseSettingsFile(command, opts.Value("config")))
        return false;
    CViewSettings view;
    view.UpdateIni(true);
    QString word = view.m_szRatePractice;
    if (opts.Has("rates")) {
        word = opts.Value("rates");
        if (word != QLatin1String("russian") && word != QLatin1String("aha")) {
            Message(command, "--rates is russian or aha");
            return false;
        }
    }
    settings->practice = analysis::RatePracticeOf(word.toStdString());
    return true;
}

int RunInterpret(const QStringList& args) {
    COptions opts({"rates", "config"}, {"json", "help"});
    if (const int code = ParseRecordCommand("interpret", kUsage, args, opts); code >= 0)
        return code;
    analysis::InterpretationSettings settings;
    if (!InterpretationSettingsFrom("interpret", opts, &settings))
        return 1;
    CLoadedRecord doc;
    if (!OpenRecord("interpret", opts.Positional().first(), &doc))
        return 2;
    const analysis::RecordAnalysis a =
        analysis::AnalyseRecord(*doc.pRecord, &doc.card, {}, settings);
    if (opts.Has("json")) {
        std::fputs(QJsonDocument(InterpretationJson(a.interpretation))
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   stdout);
        return 0;
    }
    std::printf("%s\n", analysis::kUnconfirmedHeading);
    for (const analysis::Statement& s : a.interpretation.statements)
        std::printf("%-7s %s\n", s.code.c_str(), s.text.c_str());
    for (const std::string& n : a.interpretation.notes)
        std::printf("        (%s)\n", n.c_str());
    return 0;
}
