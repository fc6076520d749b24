// velmora-cli: the command-line side of velmora. Reception, replay, export and the cardiograph
// simulator without a display.
//
// Built twice: velmora-cli runs every command but render, report, send and hl7 (whose message
// carries the report), whose libraries (Qt's GUI module, libcurl, GIO) would slow the start of
// all the others; it hands those to velmora-cli-full beside it (built with VELMORA_CLI_FULL),
// which runs them all.

#include "cli/cli_report.h"
#include "cli/commands.h"
#include "platform/printable_text.h"

#include <QCoreApplication>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>

#ifdef VELMORA_CLI_FULL
#include "config/view_settings.h"
#include "report/report_file.h"

#include <QGuiApplication>
#define VELMORA_FULL_ONLY(run) run
#else
#define VELMORA_FULL_ONLY(run) nullptr
#endif

namespace {

char** g_argv = nullptr;

struct Command {
    const char* name;
    int (*run)(const QStringList&); // null: run by velmora-cli-full
    const char* usage;
};

const Command kCommands[] = {
    {"receive", RunReceive,
     "receive [--com N | --device PATH] [--card CARD] --out FILE   receive one record"},
    {"replay", RunReplay, "replay CAPTURE --out FILE   run a reception over a capture"},
    {"ports", RunPorts, "ports   list the COM numbers and serial devices"},
    {"export", RunExport,
     "export RECORD --out FILE [--card CARD]   save or convert a record (.dat, .ecg, .scp, "
     ".json, ...)"},
    {"info", RunInfo, "info RECORD [--json]   print what a record file holds"},
    {"measure", RunMeasure, "measure RECORD [--json]   heart rate, intervals and axes of a record"},
    {"interpret", RunInterpret,
     "interpret RECORD [--json]   the automatic interpretation (statements) of a record"},
    {"compare", RunCompare,
     "compare PREVIOUS CURRENT [--json]   what changed since the previous record"},
    {"beats", RunBeats, "beats RECORD --out BEATS.txt   QRS complexes of a whole file"},
    {"report", VELMORA_FULL_ONLY(RunReport),
     "report RECORD --out OUT.pdf [--layout L] [--speed S] [--gain G] [--filter F]   the "
     "printed report"},
    {"render", VELMORA_FULL_ONLY(RunRender),
     "render RECORD --out chart.png   draw a record's chart into an image"},
    {"send", VELMORA_FULL_ONLY(RunSend),
     "send RECORD [--card CARD] --to ADDR   send a record by e-mail"},
    {"store", RunStore,
     "store RECORD [--card CARD] [--pacs HOST:PORT]   send a record to the PACS"},
    {"hl7", VELMORA_FULL_ONLY(RunHl7),
     "hl7 RECORD [--to HOST:PORT] [--card CARD] | --outbox | --retry   the result to the "
     "hospital system (HL7)"},
    {"pacs", RunPacs,
     "pacs find --id ID [--json] | get STUDY_UID...   the patient's earlier ECGs in the PACS"},
    {"archive", RunArchive,
     "archive import PATH... | find [--name TEXT] [--json] | export ID --out FILE | backup --out "
     "FILE | check   the archive of records"},
    {"worklist", RunWorklist,
     "worklist [--worklist HOST:PORT --aet TITLE] [--date YYYY-MM-DD] [--json]   the ECGs "
     "ordered for a day"},
    {"simulate", RunSimulate,
     "simulate [--com N] [options]   run a simulated cardiograph on a pseudo-terminal"},
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: velmora-cli <command> [options]\n\ncommands:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %s\n", c.usage);
    std::fprintf(out, "  --version   print the program's version\n");
    std::fprintf(out, "\n'velmora-cli <command> --help' describes a command's options.\n");
}

#ifndef VELMORA_CLI_FULL
// Becomes velmora-cli-full with the same arguments (so exit code, signals and standard streams
// are the command's own); returns only when that fails.
int RunInFull(const char* command, char** argv) {
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string full = n > 0 ? std::string(self, size_t(n)) : std::string();
    full = full.substr(0, full.rfind('/') + 1) + "velmora-cli-full";
    ::execv(full.c_str(), argv);
    std::fprintf(stderr, "velmora-cli %s: cannot start %s: %s\n", command,
                 PrintableName(full).c_str(), std::strerror(errno));
    return 2;
}
#endif

} // namespace

#ifdef VELMORA_CLI_FULL
bool CliDrawsReports() {
    return true;
}

ReportPdfMaker CliReportPdfMaker(const CStatementSettings& how, uint16_t absentLanes) {
    CViewSettings settings;
    settings.UpdateIni(true);
    return ReportPdfMakerFor(settings.m_attrOrg, how, absentLanes);
}

int RunThisInFull(const char* command) {
    std::fprintf(stderr, "velmora-cli %s: velmora-cli-full cannot hand a run on\n", command);
    return 2;
}
#else
bool CliDrawsReports() {
    return false;
}

ReportPdfMaker CliReportPdfMaker(const CStatementSettings&, uint16_t) {
    return {};
}

int RunThisInFull(const char* command) {
    return RunInFull(command, g_argv);
}
#endif

int main(int argc, char** argv) {
    g_argv = argv;
#ifndef VELMORA_CLI_FULL
    if (argc > 1)
        for (const Command& c : kCommands)
            if (!c.run && std::strcmp(argv[1], c.name) == 0)
                return RunInFull(c.name, argv);
#endif
    std::unique_ptr<QCoreApplication> app;
#ifdef VELMORA_CLI_FULL
    // Drawing images needs the GUI module's painting and fonts, never a display; export, store
    // and hl7 come here only for the report their output carries.
    if (argc > 1 && (std::strcmp(argv[1], "render") == 0 || std::strcmp(argv[1], "report") == 0 ||
                     std::strcmp(argv[1], "export") == 0 || std::strcmp(argv[1], "store") == 0 ||
                     std::strcmp(argv[1], "hl7") == 0 || std::strcmp(argv[1], "archive") == 0)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    }
#endif
    if (!app)
        app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h")) {
        PrintUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 1 : 0;
    }
    if (args.first() == QLatin1String("--version")) {
        std::printf("velmora-cli %s\n", VELMORA_VERSION);
        return 0;
    }
    const QString name = args.takeFirst();
    for (const Command& c : kCommands) {
        if (name == QLatin1String(c.name))
            return c.run(args);
    }
    std::fprintf(stderr, "velmora-cli: unknown command '%s'\n\n",
                 PrintableName(name).toUtf8().constData());
    PrintUsage(stderr);
    return 1;
}
