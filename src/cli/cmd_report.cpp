// velmora-cli report: the printed report of a record, as a PDF or a picture of the page.

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/reading_options.h"
#include "config/view_settings.h"
#include "report/report_file.h"
#include "storage/card_file.h"

#include <QFile>
#include <cstdio>
#include <string>

namespace {

const char kReportUsage[] =
    "usage: velmora-cli report RECORD --out OUT.pdf|OUT.png [--layout 12x1|6x2|3x4+1|3x4+3]\n"
    "                          [--speed 25|50] [--gain 5|10|20] [--filter F]...\n"
    "                          [--paper a4|letter] [--card CARD] [--config INI]\n"
    "\n"
    "Writes the record's report: one landscape page, true to scale (1 mm of grid is 1 mm on\n"
    "paper), with the millimetre grid, the leads in the layout, a 1 mV calibration pulse at the\n"
    "start of every row, the header (organisation, patient, doctor, record), the automatic\n"
    "measurements, a box for the conclusion and the doctor's signature, and the footer (speed,\n"
    "gain, filters, sampling rate). OUT.pdf is a PDF with real text; OUT.png (or .jpg, .bmp) a\n"
    "picture of the page at 300 dpi.\n"
    "\n"
    "  --layout L  12x1, 6x2, 3x4+1 (3x4 and a rhythm strip of II; default) or 3x4+3 (rhythm\n"
    "              strips V1, II, V5)\n"
    "  --speed S   25 (default) or 50 mm/s\n"
    "  --gain G    5, 10 (default) or 20 mm/mV\n"
    "  --filter F  print and measure through a filter, as the window's \"Вид\" reads the record\n"
    "              (the record stays as it is; the footer names it); several allowed: mains50,\n"
    "              mains60, baseline, baseline067, muscle35, muscle40\n"
    "  --paper P   a4 (default) or letter\n"
    "  --card CARD the patient card (see README.md) instead of the one the file keeps\n"
    "  --config INI the settings file whose organisation heads the report\n"
    "\n"
    "exit codes: 0 written, 1 bad usage, 2 a file that cannot be read or written\n";

} // namespace

int RunReport(const QStringList& args) {
    const char* cmd = "report";
    COptions opts({"out", "layout", "speed", "gain", "filter", "paper", "card", "config"},
                  {"help"});
    if (const int code = ParseRecordCommand(cmd, kReportUsage, args, opts); code >= 0)
        return code;
    if (!opts.Has("out")) {
        Message(cmd, "give --out OUT.pdf");
        return 1;
    }
    ReportOptions o;
    const std::string layout = opts.Value("layout").toStdString();
    if (opts.Has("layout") && !ParseReportLayout(layout, o.layout)) {
        Message(cmd, "unknown layout " + layout + ": use 12x1, 6x2, 3x4+1 or 3x4+3");
        return 1;
    }
    ReadingSettings reading;
    if (!ReadingFromOptions(cmd, opts, &reading))
        return 1;
    if (reading.speedMmPerS > 0)
        o.speedMmPerS = reading.speedMmPerS;
    o.gainMmPerMv = reading.gainMmPerMv;
    const QString paper = opts.Value("paper");
    if (opts.Has("paper") && paper != QLatin1String("a4") && paper != QLatin1String("letter")) {
        Message(cmd, "--paper is a4 or letter, not " + paper.toStdString());
        return 1;
    }
    if (paper == QLatin1String("letter"))
        o.paper = ReportPaper::Letter;
    const QString out = opts.Value("out");
    const QString suffix = out.section(QLatin1Char('.'), -1).toLower();
    if (!out.contains(QLatin1Char('.')) ||
        (suffix != QLatin1String("pdf") && suffix != QLatin1String("png") &&
         suffix != QLatin1String("jpg") && suffix != QLatin1String("bmp"))) {
        Message(cmd, "unsupported report type '" + out.toStdString() + "': use .pdf or .png");
        return 1;
    }
    if (opts.Has("config") && !UseSettingsFile(cmd, opts.Value("config")))
        return 2;

    CLoadedRecord doc;
    if (!OpenRecord(cmd, opts.Positional().first(), &doc))
        return 2;
    if (opts.Has("card")) {
        std::string why;
        if (!LoadCardFile(QFile::encodeName(opts.Value("card")).toStdString(), &doc.card, &why)) {
            Message(cmd, why);
            return 1;
        }
    }
    CViewSettings settings;
    settings.UpdateIni(true);
    ReportInput in =
        ReportInputFor(*doc.pRecord, doc.card, doc.absentLanes, settings.m_attrOrg, reading.filters,
                       {analysis::RatePracticeOf(settings.m_szRatePractice.toStdString())});
    in.fileFindings =
        QString::fromStdString(FileFindingsLine(doc.fileFindings, doc.fileStatements));
    std::string why;
    if (!WriteReport(out, in, o, &why)) {
        Message(cmd, why);
        return 2;
    }
    std::fprintf(stderr, "velmora-cli report: %s report of %s written to %s\n",
                 ReportLayoutName(o.layout),
                 PrintableName(opts.Positional().first()).toUtf8().constData(),
                 PrintableName(out).toUtf8().constData());
    return 0;
}
