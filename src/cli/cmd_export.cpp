// velmora-cli export: saves a record file with its patient card, as the record window's save
// command does.

#include "cli/cli_common.h"
#include "cli/cli_report.h"
#include "cli/cli_worklist.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/record_output.h"

#include <cstdio>
#include <string>

namespace {

const char kExportUsage[] =
    "usage: velmora-cli export RECORD --out FILE [--card CARD] [--accession NUMBER\n"
    "                          [--worklist [AET@]HOST:PORT]] [--config INI]\n"
    "\n"
    "Saves a record file of any type that opens as another, with the patient card's texts: the\n"
    "card of --card, or else the one the record file holds. The output type follows the\n"
    "extension of FILE:\n"
    "%s"
    "An existing FILE is replaced only when the new one is complete. A FHIR bundle (.json)\n"
    "carries the printed report as PDF, drawn as 'velmora-cli report' draws it.\n"
    "\n"
    "  --card CARD    the patient card: a UTF-8 file of 'key = value' lines (see README.md)\n"
    "  --out FILE     the file to write\n"
    "  --config INI   the settings file to use\n" VELMORA_ORDER_OPTIONS_HELP "\n"
    "exit codes: 0 written, 1 bad usage or an incomplete card, 2 file failure\n";

void Message(const std::string& text) {
    ::Message("export", text);
}

} // namespace

int RunExport(const QStringList& args) {
    const char* cmd = "export";
    COptions opts({"card", "out", "accession", "worklist", "config"}, {"help"});
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 1) {
        Message(error.isEmpty() ? "give one record file" : error.toStdString());
        std::fprintf(stderr, kExportUsage, RecordOutputTypesHelp());
        return 1;
    }
    if (opts.Has("help")) {
        std::printf(kExportUsage, RecordOutputTypesHelp());
        return 0;
    }
    if (opts.Positional().isEmpty()) {
        Message("give the record file");
        return 1;
    }
    if (const RecordFileType* type = RecordFileTypeOf(opts.Value("out"));
        type && type->bWritesReport && !CliDrawsReports())
        return RunThisInFull(cmd);
    if (opts.Has("config") && !UseSettingsFile(cmd, opts.Value("config")))
        return 2;
    CWorklistEntry ordered;
    const int bound = FindOrderedEntry(cmd, opts, &ordered);
    if (bound > 0)
        return bound;
    CLoadedRecord doc;
    if (!OpenRecord(cmd, opts.Positional().first(), &doc))
        return 2;
    CRecordOutput output;
    if (const int code = PrepareRecordOutput(cmd, opts.Value("out"), opts.Value("card"), &output,
                                             &doc.card, bound == 0 ? &ordered : nullptr))
        return code;
    CStatementSettings how;
    if (output.m_pType->bWritesReport)
        how.m_MakeReportPdf = CliReportPdfMaker(how, doc.absentLanes);
    return SaveRecordOutput(cmd, output, *doc.pRecord, &how) ? 0 : 2;
}
