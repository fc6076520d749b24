// velmora-cli receive / replay: one reception session from a serial port (or from a capture of
// one), written out as a record file.

#include "acquisition/port_links.h"
#include "acquisition/qt_tick_source.h"
#include "cli/cli_common.h"
#include "cli/cli_worklist.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/record_output.h"
#include "config/ini.h"
#include "config/view_settings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {

const char kReceiveUsage[] =
    "usage: velmora-cli receive [--com N | --device PATH] [--timeout SEC] [--capture FILE]\n"
    "                           [--config INI] [--card CARD] --out FILE\n"
    "                           [--accession NUMBER [--worklist [AET@]HOST:PORT]]\n"
    "\n"
    "Receives one record from the cardiograph: wakes the link, shows the progress on stderr and\n"
    "writes the record when all 4096 points are in. Ctrl+C stops the reception and writes what\n"
    "was received, stamped with the stop time, as the window program's stop command does.\n"
    "\n"
    "  --com N        port COM<N> (default: the port of the settings file)\n"
    "  --device PATH  a device path instead of a COM number\n"
    "  --timeout SEC  give up after SEC seconds (default 120)\n"
    "  --capture FILE keep what each tick read, for 'velmora-cli replay'\n"
    "  --config INI   the settings file to use\n"
    "  --card CARD    the patient card (a UTF-8 'key = value' file, see README.md); its texts\n"
    "                 go into the record\n"
    "  --out FILE     the record file, by its extension:\n"
    "%s" VELMORA_ORDER_OPTIONS_HELP "                   (the order is found before the reception)\n"
    "\n"
    "A reception that ends short of a complete record (the time-out, or the link lost after\n"
    "points arrived: the device gone, its port failing) writes what arrived, as Ctrl+C does,\n"
    "and exits 3 saying how many record points it holds. A link lost before any point arrived\n"
    "is waited out: the port is opened again every second until the time-out.\n"
    "\n"
    "exit codes: 0 record written, 1 bad usage, 2 port or file failure, 3 time-out or link\n"
    "lost (what arrived is written)\n";

const char kReplayUsage[] =
    "usage: velmora-cli replay CAPTURE [--card CARD] --out FILE\n"
    "\n"
    "Runs a reception session over a capture made with 'receive --capture', tick by tick, and\n"
    "writes the record it gives. A capture that ends before the record is complete is finished\n"
    "as a stop command would finish it. --card and --out as for 'receive'; FILE is one of:\n"
    "%s";

bool OutputFolderWritable(const QString& out) {
    const QString dir = QFileInfo(out).absolutePath();
    return ::access(QFile::encodeName(dir).constData(), W_OK) == 0;
}

// Progress on stderr: one rewritten line on a terminal, a line per tenth otherwise.
class CProgressDisplay : public IDisplaySink {
public:
    CProgressDisplay() : m_bTty(::isatty(2)) {}
    void Attach(const CSessionState& s) { m_pS = &s; }
    void DrawReceivingProgress() override { Show(); }
    void DrawMonitoringCurves() override { Show(); }
    void DrawIDS(int) override { Show(); }
    void ReportPortFailure(const char* text) override { m_strFailure = text; }
    void ReportLinkDown(const char* text) override {
        if (m_strLinkDown == text)
            return; // said once; the session goes on trying every second
        m_strLinkDown = text;
        Finish();
        std::fprintf(stderr,
                     "velmora-cli receive: the link was lost and the port does not open "
                     "again (%s); trying it every second\n",
                     PrintableName(std::string(text)).c_str());
    }
    void Finish() {
        if (m_bTty && m_bShown)
            std::fputc('\n', stderr);
        m_bShown = false;
    }
    std::string m_strFailure;

private:
    std::string m_strLinkDown;
    void Show() {
        if (!m_pS)
            return;
        const CSessionState& s = *m_pS;
        const char* state = s.m_bRecordDone   ? "complete"
                            : !s.m_bConnected ? "link down"
                            : s.m_nReceived   ? "receiving"
                            : s.m_bMonitoring ? "live"
                                              : "connected";
        const int tenths = s.m_nReceived * 10 / kPoints;
        if (!m_bTty && state == m_pLastState && tenths == m_nLastTenths)
            return;
        m_pLastState = state;
        m_nLastTenths = tenths;
        char bar[41];
        const int filled = s.m_nReceived * 40 / kPoints;
        for (int i = 0; i < 40; ++i)
            bar[i] = i < filled ? '#' : '.';
        bar[40] = 0;
        std::fprintf(stderr, "%s%-9s [%s] %4d/%d points%s", m_bTty ? "\r" : "", state, bar,
                     s.m_nReceived, kPoints, m_bTty ? "" : "\n");
        std::fflush(stderr);
        m_bShown = true;
    }
    const CSessionState* m_pS = nullptr;
    bool m_bTty;
    bool m_bShown = false;
    const char* m_pLastState = nullptr;
    int m_nLastTenths = -1;
};

class CManualTicks : public ITickSource {
public:
    int StartTimer(int) override { return kTimerId; }
    void StopTimer() override {}
};

} // namespace

int RunReceive(const QStringList& args) {
    const char* cmd = "receive";
    COptions opts(
        {"com", "device", "timeout", "capture", "out", "config", "card", "accession", "worklist"},
        {"help"});
    QString error;
    if (!opts.Parse(args, &error) || !opts.Positional().isEmpty()) {
        Message(cmd, error.isEmpty()
                         ? "unexpected argument " + opts.Positional().first().toStdString()
                         : error.toStdString());
        std::fprintf(stderr, kReceiveUsage, RecordOutputTypesHelp());
        return 1;
    }
    if (opts.Has("help")) {
        std::printf(kReceiveUsage, RecordOutputTypesHelp());
        return 0;
    }
    const QString out = opts.Value("out");
    if (opts.Has("com") && opts.Has("device")) {
        Message(cmd, "give either --com or --device, not both");
        return 1;
    }
    if (opts.Has("config") && !UseSettingsFile("receive", opts.Value("config")))
        return 2;
    // The order is found before the reception: a patient is not recorded for an order that
    // is not there.
    CWorklistEntry ordered;
    const int bound = FindOrderedEntry(cmd, opts, &ordered);
    if (bound > 0)
        return bound;
    CRecordOutput output; // checked before the reception: no record is lost to a bad card
    if (const int code = PrepareRecordOutput(cmd, out, opts.Value("card"), &output, nullptr,
                                             bound == 0 ? &ordered : nullptr))
        return code;
    CViewSettings settings;
    settings.UpdateIni(true);
    int nCom = settings.m_nCom;
    double timeout = 120;
    if ((opts.Has("com") && !opts.Int("com", 1, 255, &nCom, &error)) ||
        (opts.Has("timeout") && !opts.Double("timeout", 0.1, 86400, &timeout, &error))) {
        Message(cmd, error.toStdString());
        return 1;
    }
    if (!OutputFolderWritable(out)) {
        Message(cmd, "cannot write " + out.toStdString() + ": its folder is not writable");
        return 2;
    }

    CSerialPortLink serial(opts.Value("device").toStdString());
    CCaptureLink capture(serial);
    ISerialLink* link = &serial;
    if (opts.Has("capture")) {
        std::string why;
        if (!capture.Create(opts.Value("capture").toStdString(), &why)) {
            Message(cmd, "cannot start the capture: " + why);
            return 2;
        }
        link = &capture;
    }

    CAcquisitionSession* pSession = nullptr;
    CQtTickSource ticks([&](int id) { pSession->OnTimer(id); });
    CProgressDisplay display;
    CAcquisitionSession real(*link, ticks, display);
    pSession = &real;
    display.Attach(real);
    real.m_nCom = nCom;
    real.m_bStopOnLinkLoss = true; // a link lost mid-record ends the reception with what arrived

    CatchInterrupts();
    real.OnEkard();
    if (real.m_nTimer == 0) {
        Message(cmd, "cannot open the port " + display.m_strFailure);
        return 2;
    }
    std::fprintf(stderr, "velmora-cli receive: listening on %s\n",
                 PrintableName(opts.Has("device") ? opts.Value("device").toStdString()
                                                  : "COM" + std::to_string(nCom))
                     .c_str());

    int code = -1;
    // A reception that ends short of a complete record: what arrived is written, as Ctrl+C
    // writes it, and the exit code says that it is not the whole record.
    const auto writeWhatArrived = [&](const std::string& why) {
        display.Finish();
        if (!real.HasPoints()) {
            Message(cmd, why + ": nothing arrived, nothing written");
            return 3;
        }
        const int points = real.m_nReceived;
        if (real.m_bSessionOn)
            real.OnEkard(); // the stop command: finish and stamp with the local time
        Message(cmd, why + ": writing what arrived, " +
                         (points > 0 ? std::to_string(points) + " of " + std::to_string(kPoints) +
                                           " record points"
                                     : std::string("no record points, only the live picture")));
        return SaveRecordOutput(cmd, output, *real.m_pRecord) ? 3 : 2;
    };
    QTimer watch; // finishes the program on completion, link loss, Ctrl+C or time-out
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (code >= 0)
            return;
        if (Interrupted() && real.m_bSessionOn) {
            real.OnEkard(); // the stop command: finish and stamp with the local time
            display.Finish();
            code = SaveRecordOutput(cmd, output, *real.m_pRecord) ? 0 : 2;
        } else if (!real.m_bSessionOn && real.m_bLinkLost) {
            code = writeWhatArrived("the link to the cardiograph was lost");
        } else if (!real.m_bSessionOn && real.m_bLoaded) {
            display.Finish();
            code = SaveRecordOutput(cmd, output, *real.m_pRecord) ? 0 : 2;
        } else if (clock.elapsed() > qint64(timeout * 1000)) {
            code = writeWhatArrived("no complete record within " + std::to_string(int(timeout)) +
                                    " s");
        }
        if (code >= 0)
            QCoreApplication::exit(code);
    });
    watch.start(20);
    QCoreApplication::exec();
    // The reception has ended, however it ended: the capture takes its name now.
    std::string why;
    if (opts.Has("capture") && (!capture.Ok() || !capture.Finish(&why))) {
        Message(cmd, "the capture could not be written completely" +
                         (why.empty() ? std::string() : ": " + why));
        if (code == 0)
            code = 2;
    }
    return code < 0 ? 2 : code;
}

int RunReplay(const QStringList& args) {
    const char* cmd = "replay";
    COptions opts({"out", "card"}, {"help"});
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 1) {
        Message(cmd, error.isEmpty() ? "give one capture file" : error.toStdString());
        std::fprintf(stderr, kReplayUsage, RecordOutputTypesHelp());
        return 1;
    }
    if (opts.Has("help")) {
        std::printf(kReplayUsage, RecordOutputTypesHelp());
        return 0;
    }
    if (opts.Positional().isEmpty()) {
        Message(cmd, "give the capture file");
        return 1;
    }
    CRecordOutput output;
    if (const int code = PrepareRecordOutput(cmd, opts.Value("out"), opts.Value("card"), &output))
        return code;
    CReplayLink replay;
    std::string why;
    if (!replay.Load(opts.Positional().first().toStdString(), &why)) {
        Message(cmd, "bad capture " + why);
        return 2;
    }
    CManualTicks ticks;
    IDisplaySink none;
    CAcquisitionSession session(replay, ticks, none);
    session.OnEkard();
    while (session.m_bSessionOn && !replay.AtEnd())
        session.OnTimer(kTimerId);
    if (session.m_bSessionOn) {
        // Not one point, live or recorded: an empty record would pass for a real one.
        if (!session.HasPoints()) {
            Message(cmd, "no record data in the capture " +
                             opts.Positional().first().toStdString() + ": nothing written");
            return 2;
        }
        Message(cmd, "the capture ends before the record is complete: finished as a stop");
        session.OnEkard();
    }
    return SaveRecordOutput(cmd, output, *session.m_pRecord) ? 0 : 2;
}
