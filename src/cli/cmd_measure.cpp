// velmora-cli measure / beats: the automatic measurements of a record, and QRS detection over a
// whole file at its own rate.

#include "analysis/interpretation.h"
#include "analysis/measurement_table.h"
#include "analysis/qrs_detector.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "platform/atomic_file.h"
#include "record_io/signal_record.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <string>

namespace {

const char kMeasureUsage[] =
    "usage: velmora-cli measure RECORD [--json] [--rates russian|aha] [--config INI]\n"
    "\n"
    "Measures the record (any type that opens; of a longer file its first 10 s): heart rate,\n"
    "RR, P, PR, QRS, QT, QTc by Bazett and by Fridericia, the frontal P, QRS and T axes and the\n"
    "Sokolow-Lyon index, from the median beat of the dominant beats. A value that cannot be\n"
    "measured is \"absent\" (null in JSON). These are automatic measurements: a doctor confirms\n"
    "them.\n"
    "\n"
    "  --json    one JSON object; \"beats\" holds the detected QRS complexes as point indices\n"
    "            of the record (409.6 points per second), \"beat_classes\" their classes, one\n"
    "            letter per beat: N normal or supraventricular, V ventricular, Q unknown;\n"
    "            \"statements\" the automatic interpretation as 'velmora-cli interpret --json'\n"
    "            gives it (--rates and --config as there)\n"
    "\n"
    "exit codes: 0 measured, 1 bad usage, 2 a file that cannot be read or is no record\n";

const char kBeatsUsage[] =
    "usage: velmora-cli beats RECORD --out BEATS.txt\n"
    "\n"
    "Detects the QRS complexes over the whole file at its own sampling rate (all of a WFDB\n"
    "record, however long) and writes one line per beat: the sample index, the time in\n"
    "seconds and the beat's class (N normal or supraventricular, V ventricular, Q unknown:\n"
    "too near the signal's ends to be seen whole). The signal is read a window at a time (a Holter "
    "record of days takes no more\n"
    "memory than one of minutes); a signal longer than 31 days (no ECG recorder holds more)\n"
    "is refused before it is read.\n"
    "\n"
    "exit codes: 0 written, 1 bad usage, 2 a file that cannot be read or written\n";

} // namespace

QJsonObject MeasurementJson(const analysis::RecordAnalysis& a) {
    const analysis::Measurements& m = a.measurements;
    QJsonObject o;
    for (const analysis::MeasurementRow& r : analysis::MeasurementRows(m))
        o[QLatin1String(r.key)] = r.value ? QJsonValue(*r.value) : QJsonValue();
    QJsonArray beats;
    for (const size_t b : m.beats)
        beats.append(qint64(b));
    o[QStringLiteral("beats")] = beats;
    std::string classes;
    for (const analysis::BeatClass c : m.beatClasses)
        classes += char(c);
    o[QStringLiteral("beat_classes")] = QString::fromStdString(classes);
    o[QStringLiteral("dominant_beats")] = m.nDominantBeats;
    const QJsonObject in = InterpretationJson(a.interpretation);
    for (const char* key : {"statements", "notes", "notes_en"})
        o[QLatin1String(key)] = in[QLatin1String(key)];
    return o;
}

int RunMeasure(const QStringList& args) {
    COptions opts({"rates", "config"}, {"json", "help"});
    if (const int code = ParseRecordCommand("measure", kMeasureUsage, args, opts); code >= 0)
        return code;
    analysis::InterpretationSettings settings;
    if (!InterpretationSettingsFrom("measure", opts, &settings))
        return 1;
    CLoadedRecord doc;
    if (!OpenRecord("measure", opts.Positional().first(), &doc))
        return 2;
    const analysis::RecordAnalysis a =
        analysis::AnalyseRecord(*doc.pRecord, &doc.card, {}, settings);
    const analysis::Measurements& m = a.measurements;
    const std::vector<analysis::MeasurementRow> rows = analysis::MeasurementRows(m);
    if (opts.Has("json")) {
        std::fputs(QJsonDocument(MeasurementJson(a)).toJson(QJsonDocument::Indented).constData(),
                   stdout);
        return 0;
    }
    for (const analysis::MeasurementRow& r : rows)
        std::printf("%-18s %s\n", (std::string(r.english) + ":").c_str(),
                    analysis::ValueText(r, false).c_str());
    std::printf("%-18s %zu (%d of the dominant type)\n", "beats:", m.beats.size(),
                m.nDominantBeats);
    std::printf("automatic measurements: a doctor confirms them\n");
    return 0;
}

int RunBeats(const QStringList& args) {
    COptions opts({"out"}, {"help"});
    if (const int code = ParseRecordCommand("beats", kBeatsUsage, args, opts); code >= 0)
        return code;
    if (!opts.Has("out")) {
        Message("beats", "give --out BEATS.txt");
        return 1;
    }
    // The beats go to the file as they are found: neither the signal nor the list of a long
    // recording is ever in memory whole.
    const std::string out = QFile::encodeName(opts.Value("out")).toStdString();
    CAtomicFile file(out);
    if (!file.Open()) {
        Message("beats", file.ErrorText());
        return 2;
    }
    std::string text, error;
    FileBeatScan scan;
    bool bWritten = true;
    const auto flush = [&] {
        bWritten = bWritten && file.Write(text.data(), text.size());
        text.clear();
        return bWritten;
    };
    const auto onBeat = [&](size_t b, analysis::BeatClass c) {
        char line[64];
        std::snprintf(line, sizeof line, "%zu %.3f %c\n", b, double(b) / scan.dRate, char(c));
        text += line;
        return text.size() < (1 << 16) || flush();
    };
    if (!DetectFileBeats(opts.Positional().first(), onBeat, scan, &error)) {
        Message("beats", bWritten ? error : file.ErrorText());
        return 2;
    }
    if (!flush() || !file.Commit()) {
        Message("beats", file.ErrorText());
        return 2;
    }
    std::fprintf(stderr, "velmora-cli beats: %zu beats in %.1f s at %g Hz written to %s\n",
                 scan.nBeats, scan.dSeconds, scan.dRate, PrintableName(out).c_str());
    return 0;
}
