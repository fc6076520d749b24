// velmora-cli: the command-line side of velmora. Reception, replay, export and the cardiograph
// simulator without a display.

#include "cli/commands.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct Command {
    const char* name;
    int (*run)(const QStringList&);
    const char* usage;
};

const Command kCommands[] = {
    {"receive", RunReceive,
     "receive [--com N | --device PATH] [--card CARD] --out FILE   receive one record"},
    {"replay", RunReplay, "replay CAPTURE --out FILE   run a reception over a capture"},
    {"ports", RunPorts, "ports   list the COM numbers and serial devices"},
    {"export", RunExport,
     "export RECORD --out FILE [--card CARD]   save or convert a record (.dat, .ecg, .scp)"},
    {"info", RunInfo, "info RECORD [--json]   print what a record file holds"},
    {"measure", RunMeasure, "measure RECORD [--json]   heart rate, intervals and axes of a record"},
    {"beats", RunBeats, "beats RECORD --out BEATS.txt   QRS complexes of a whole file"},
    {"report", RunReport,
     "report RECORD --out OUT.pdf [--layout L] [--speed S] [--gain G]   the printed report"},
    {"render", RunRender, "render RECORD --out chart.png   draw a record's chart into an image"},
    {"send", RunSend, "send RECORD [--card CARD] --to ADDR   send a record by e-mail"},
    {"store", RunStore, "store RECORD [--card CARD] [--pacs HOST:PORT]   send a record to the PACS"},
    {"simulate", RunSimulate,
     "simulate [--com N] [options]   run a simulated cardiograph on a pseudo-terminal"},
};

void PrintUsage(FILE* out) {
    std::fprintf(out, "usage: velmora-cli <command> [options]\n\ncommands:\n");
    for (const Command& c : kCommands)
        std::fprintf(out, "  %s\n", c.usage);
    std::fprintf(out, "\n'velmora-cli <command> --help' describes a command's options.\n");
}

} // namespace

int main(int argc, char** argv) {
    // Drawing images needs the GUI module's painting and fonts, never a display.
    std::unique_ptr<QCoreApplication> app;
    if (argc > 1 && (std::strcmp(argv[1], "render") == 0 || std::strcmp(argv[1], "report") == 0)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    QCoreApplication::setOrganizationName(QStringLiteral("velmora"));
    QCoreApplication::setApplicationName(QStringLiteral("velmora"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    if (args.isEmpty() || args.first() == QLatin1String("--help") ||
        args.first() == QLatin1String("-h")) {
        PrintUsage(args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 1 : 0;
    }
    const QString name = args.takeFirst();
    for (const Command& c : kCommands) {
        if (name == QLatin1String(c.name))
            return c.run(args);
    }
    std::fprintf(stderr, "velmora-cli: unknown command '%s'\n\n", name.toLocal8Bit().constData());
    PrintUsage(stderr);
    return 1;
}
