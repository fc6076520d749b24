// velmora-cli simulate: a simulated cardiograph on a pseudo-terminal, registered in the COM map
// so that the program (or `velmora-cli` itself) can receive from it by number; or, with --out,
// one record of it received in memory and written as a record file.

#include "acquisition/acquisition_session.h"
#include "acquisition/com_map.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/record_output.h"
#include "platform/error_text.h"
#include "platform/printable_text.h"
#include "platform/systemtime.h"
#include "simulator/pty_simulator.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <functional>
#include <limits>
#include <map>
#include <span>
#include <vector>

namespace {

const char kUsage[] =
    "usage: velmora-cli simulate [--com N] [options]\n"
    "       velmora-cli simulate [options] [--card CARD] --out FILE\n"
    "\n"
    "Runs a simulated cardiograph on a pseudo-terminal, registers it as COM<N> (the lowest free\n"
    "number without --com) and prints \"COM<N> <device path>\". Runs until interrupted or\n"
    "--duration; SIGUSR1 makes the device send its stored record at once.\n"
    "\n"
    "With --out, receives the device's stored ten-second record in memory, through the same\n"
    "decoding and session as 'receive', and writes it as FILE, with the card of --card, at once:\n"
    "%s"
    "\n"
    "options:\n"
    "  --com N                register the port as COM<N>\n"
    "  --heart-rate BPM       heart rate, 30-240 (72); --rate is the same\n"
    "  --lead-system 1|2|3    lead system register (1)\n"
    "  --sensitivity I        sensitivity register, 0-255 (2; 0-3 mean 2, 5, 10, 20 mm/mV)\n"
    "  --speed CODE           speed register, 0-255 (2)\n"
    "  --filter CODE          filter register, 0-3 (3)\n"
    "  --serial N             device serial number (1234567)\n"
    "  --serial-prefix N      serial prefix, 0-255 (7)\n"
    "  --record-number N      record number (1)\n"
    "  --device-time T        device clock at start, \"yyyy-MM-dd hh:mm\" (local time)\n"
    "  --record-after SEC     live seconds before each record; negative: only on SIGUSR1 (5)\n"
    "  --old-format           mark frames 0x7E 0x81 0x36 instead of 0x7E 0x82 0x37\n"
    "  --checksum-errors P    probability of a frame with a wrong checksum, 0-0.9\n"
    "  --drop-bytes P         probability that a byte is lost, 0-0.1\n"
    "  --repeat-points P      probability that a record point is repeated with stale values, 0-1\n"
    "  --disconnect-after SEC send DISCONNECT and drop the link once, after SEC seconds\n"
    "  --silence-after SEC    fall silent after SEC seconds\n"
    "  --silence-for SEC      length of the silence (default: for good)\n"
    "  --mains MV             50 Hz interference of MV millivolts on every electrode (0)\n"
    "  --wander MV            baseline wander of MV millivolts (default: 0.02-0.05 by seed)\n"
    "  --no-wakeup            stream at once, without waiting for \"BTConnect\"\n"
    "  --seed N               seed of the signal and the faults (1)\n"
    "  --duration SEC         stop after SEC seconds\n"
    "\n"
    "the heart (the defaults are a normal sinus rhythm):\n"
    "  --rhythm R             sinus, af (fibrillation), flutter (300/min, every Nth wave\n"
    "                         conducted, N = 300 / rate), paced (ventricular, at the rate),\n"
    "                         avb1, avb2 (Mobitz I: PR +100, +140 ms, then a P drops), avb3\n"
    "                         (P at the rate, narrow escape at --escape-rate)\n"
    "  --conduction C         normal, rbbb, lbbb or lafb\n"
    "  --qrs MS               QRS duration of the supraventricular beats, 60-200 (by conduction)\n"
    "  --pr MS                PR interval, 80-600 (avb1: 260, avb2: 200 at its first beat)\n"
    "  --qtc MS               QTc (Bazett) at the rate, 250-700; T ends where it falls under 5%%\n"
    "  --pvc N                premature ventricular beats a minute, 0-120\n"
    "  --pvc-bigeminy         every other beat premature ventricular\n"
    "  --pac N                premature atrial beats a minute, 0-120\n"
    "  --st-elevation MV      ST shift from the J point, -1 to 1 mV\n"
    "  --st-leads L           anterior (V1-V4), inferior (II, III, aVF) or lateral (I, aVL,\n"
    "                         V5, V6); the reciprocal leads go the other way (anterior)\n"
    "  --axis DEG             frontal QRS axis, -180 to 180 (by conduction)\n"
    "  --amplitude SCALE      QRS voltage scale, 0.1-4 (1)\n"
    "  --escape-rate BPM      ventricular rate of avb3, 20-60 (40)\n"
    "  --out FILE             write one record and stop (no port, no COM number)\n"
    "  --card CARD            the patient card for --out (as for 'receive')\n";

// The cardiograph as the session's port: each tick reads what the device sent in one tick of
// time, and what the session writes reaches the device.
class CSimulatorLink : public ISerialLink {
public:
    explicit CSimulatorLink(CCardiographSimulator& sim) : m_sim(sim) {}
    int Open(int) override { return 0; }
    void Close() override {}
    int Write(const uint8_t* data, int len) override {
        m_sim.OnInput(std::span<const uint8_t>(data, size_t(len)));
        return len;
    }
    int Queued() override {
        const std::vector<uint8_t> sent = m_sim.Advance(kTimerPeriodMs / 1000.0);
        m_pending.insert(m_pending.end(), sent.begin(), sent.end());
        return int(m_pending.size());
    }
    int Read(uint8_t* data, int max) override {
        const int n = std::min(max, int(m_pending.size()));
        std::copy(m_pending.begin(), m_pending.begin() + n, data);
        m_pending.erase(m_pending.begin(), m_pending.begin() + n);
        return n;
    }

private:
    CCardiographSimulator& m_sim;
    std::vector<uint8_t> m_pending;
};

class CManualTicks : public ITickSource {
public:
    int StartTimer(int) override { return kTimerId; }
    void StopTimer() override {}
};

// Receives one record from the simulator as `receive` would from the device, and writes it.
int WriteSimulatedRecord(const SimulatorOptions& opt, const CRecordOutput& output) {
    const char* cmd = "simulate";
    CCardiographSimulator sim(opt);
    CSimulatorLink link(sim);
    CManualTicks ticks;
    IDisplaySink none;
    CAcquisitionSession session(link, ticks, none);
    session.OnEkard();
    // Live seconds, then the record at line pace (8 s), with room for resent points.
    const double seconds = std::max(opt.dRecordAfter, 0.0) + 120.0;
    const int limit = int(seconds * 1000.0 / kTimerPeriodMs);
    for (int i = 0; i < limit && session.m_bSessionOn; ++i)
        session.OnTimer(kTimerId);
    if (session.m_bSessionOn || !session.m_bLoaded || !session.m_pRecord) {
        Message(cmd, "the simulated cardiograph sent no complete record (silenced or cut off by "
                     "its line faults?): nothing written");
        return 2;
    }
    return SaveRecordOutput(cmd, output, *session.m_pRecord) ? 0 : 2;
}

std::atomic<bool> g_bStop{false};
CPtySimulator* g_pSimulator = nullptr;

extern "C" void OnStopSignal(int) {
    g_bStop.store(true);
}

extern "C" void OnRecordSignal(int) {
    if (g_pSimulator)
        g_pSimulator->RequestRecord();
}

void InstallHandler(int sig, void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(sig, &sa, nullptr);
}

int Fail(const QString& message) {
    std::fprintf(stderr, "velmora-cli simulate: %s\n", PrintableName(message).toUtf8().constData());
    return 1;
}

void Print(const std::string& note) {
    std::fprintf(stderr, "velmora-cli simulate: %s\n", PrintableName(note).c_str());
    std::fflush(stderr);
}

} // namespace

int RunSimulate(const QStringList& args) {
    SimulatorOptions opt;
    SimulatorPathology& heart = opt.pathology;
    opt.stDevice = GetLocalTime();
    QString outPath;
    QString cardPath;
    int nCom = 0;
    double dDuration = -1.0;

    // Options that take a number: the range, its text and where the value goes.
    struct Number {
        double dMin, dMax;
        bool bInteger;
        const char* szRange;
        std::function<void(double)> set;
    };
    constexpr double kAny = std::numeric_limits<double>::max();
    constexpr double kU32 = 4294967295.0;
    const std::map<QString, Number> numbers = {
        {"--com", {1, 255, true, "1 to 255", [&](double v) { nCom = int(v); }}},
        {"--heart-rate", {30, 240, true, "30 to 240", [&](double v) { opt.nHeartRate = int(v); }}},
        {"--rate", {30, 240, true, "30 to 240", [&](double v) { opt.nHeartRate = int(v); }}},
        {"--qrs", {60, 200, false, "60 to 200", [&](double v) { heart.dQrsMs = v; }}},
        {"--pr", {80, 600, false, "80 to 600", [&](double v) { heart.dPrMs = v; }}},
        {"--qtc", {250, 700, false, "250 to 700", [&](double v) { heart.dQtcMs = v; }}},
        {"--pvc", {0, 120, false, "0 to 120", [&](double v) { heart.dPvcPerMinute = v; }}},
        {"--pac", {0, 120, false, "0 to 120", [&](double v) { heart.dPacPerMinute = v; }}},
        {"--st-elevation", {-1, 1, false, "-1 to 1", [&](double v) { heart.dStElevationMv = v; }}},
        {"--axis",
         {-180, 180, false, "-180 to 180",
          [&](double v) { heart.bAxis = true, heart.dAxisDeg = v; }}},
        {"--amplitude", {0.1, 4, false, "0.1 to 4", [&](double v) { heart.dAmplitude = v; }}},
        {"--escape-rate",
         {20, 60, true, "20 to 60", [&](double v) { heart.nEscapeRate = int(v); }}},
        {"--lead-system", {1, 3, true, "1, 2 or 3", [&](double v) { opt.nLeadSystem = int(v); }}},
        {"--sensitivity",
         {0, 255, true, "0 to 255", [&](double v) { opt.nSensitivityIndex = int(v); }}},
        {"--speed", {0, 255, true, "0 to 255", [&](double v) { opt.nSpeedCode = int(v); }}},
        {"--filter", {0, 3, true, "0 to 3", [&](double v) { opt.nFilter = int(v); }}},
        {"--serial",
         {0, kU32, true, "0 to 4294967295", [&](double v) { opt.nSerial = uint32_t(v); }}},
        {"--serial-prefix",
         {0, 255, true, "0 to 255", [&](double v) { opt.nSerialPrefix = uint8_t(v); }}},
        {"--record-number",
         {0, kU32, true, "0 to 4294967295", [&](double v) { opt.nRecordNo = uint32_t(v); }}},
        {"--record-after",
         {-kAny, kAny, false, "a number", [&](double v) { opt.dRecordAfter = v; }}},
        {"--checksum-errors",
         {0, 0.9, false, "0 to 0.9", [&](double v) { opt.dChecksumErrors = v; }}},
        {"--drop-bytes", {0, 0.1, false, "0 to 0.1", [&](double v) { opt.dDropBytes = v; }}},
        {"--repeat-points", {0, 1, false, "0 to 1", [&](double v) { opt.dRepeatPoints = v; }}},
        {"--disconnect-after",
         {0, kAny, false, "0 or more", [&](double v) { opt.dDisconnectAfter = v; }}},
        {"--silence-after",
         {0, kAny, false, "0 or more", [&](double v) { opt.dSilenceAfter = v; }}},
        {"--silence-for", {0, kAny, false, "0 or more", [&](double v) { opt.dSilenceFor = v; }}},
        {"--mains", {0, 5, false, "0 to 5", [&](double v) { opt.dMainsMv = v; }}},
        {"--wander", {0, 5, false, "0 to 5", [&](double v) { opt.dWanderMv = v; }}},
        {"--seed",
         {0, 9007199254740992.0, true, "0 or more", [&](double v) { opt.nSeed = uint64_t(v); }}},
        {"--duration", {0, kAny, false, "0 or more", [&](double v) { dDuration = v; }}},
    };

    // Options that take a word.
    const std::map<QString, std::map<QString, std::function<void()>>> words = {
        {"--rhythm",
         {{"sinus", [&] { heart.rhythm = SimRhythm::Sinus; }},
          {"af", [&] { heart.rhythm = SimRhythm::AtrialFibrillation; }},
          {"flutter", [&] { heart.rhythm = SimRhythm::Flutter; }},
          {"paced", [&] { heart.rhythm = SimRhythm::Paced; }},
          {"avb1", [&] { heart.rhythm = SimRhythm::AvBlock1; }},
          {"avb2", [&] { heart.rhythm = SimRhythm::AvBlock2; }},
          {"avb3", [&] { heart.rhythm = SimRhythm::AvBlock3; }}}},
        {"--conduction",
         {{"normal", [&] { heart.conduction = SimConduction::Normal; }},
          {"rbbb", [&] { heart.conduction = SimConduction::Rbbb; }},
          {"lbbb", [&] { heart.conduction = SimConduction::Lbbb; }},
          {"lafb", [&] { heart.conduction = SimConduction::Lafb; }}}},
        {"--st-leads",
         {{"anterior", [&] { heart.stLeads = SimStLeads::Anterior; }},
          {"inferior", [&] { heart.stLeads = SimStLeads::Inferior; }},
          {"lateral", [&] { heart.stLeads = SimStLeads::Lateral; }}}},
    };

    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::printf(kUsage, RecordOutputTypesHelp());
            return 0;
        }
        if (a == QLatin1String("--pvc-bigeminy")) {
            heart.bPvcBigeminy = true;
            continue;
        }
        if (a == QLatin1String("--out") || a == QLatin1String("--card")) {
            if (i + 1 >= args.size())
                return Fail(QStringLiteral("%1 needs a value").arg(a));
            (a == QLatin1String("--out") ? outPath : cardPath) = args[++i];
            continue;
        }
        if (const auto word = words.find(a); word != words.end()) {
            if (i + 1 >= args.size())
                return Fail(QStringLiteral("%1 needs a value").arg(a));
            const QString value = args[++i];
            const auto choice = word->second.find(value);
            if (choice == word->second.end()) {
                QStringList names;
                for (const auto& [name, set] : word->second)
                    names << name;
                return Fail(QStringLiteral("%1: '%2' is not one of %3")
                                .arg(a, value, names.join(QStringLiteral(", "))));
            }
            choice->second();
            continue;
        }
        if (a == QLatin1String("--old-format")) {
            opt.bNewFormat = false;
            continue;
        }
        if (a == QLatin1String("--no-wakeup")) {
            opt.bWakeupRequired = false;
            continue;
        }
        if (a == QLatin1String("--device-time")) {
            if (i + 1 >= args.size())
                return Fail(QStringLiteral("--device-time needs a value"));
            const QDateTime t =
                QDateTime::fromString(args[++i], QStringLiteral("yyyy-MM-dd hh:mm"));
            if (!t.isValid() || t.date().year() < 2000 || t.date().year() > 2255)
                return Fail(QStringLiteral("--device-time: '%1' is not a time "
                                           "\"yyyy-MM-dd hh:mm\" between 2000 and 2255")
                                .arg(args[i]));
            opt.stDevice = SYSTEMTIME{uint16_t(t.date().year()),
                                      uint16_t(t.date().month()),
                                      uint16_t(t.date().dayOfWeek() % 7),
                                      uint16_t(t.date().day()),
                                      uint16_t(t.time().hour()),
                                      uint16_t(t.time().minute()),
                                      0,
                                      0};
            continue;
        }
        const auto it = numbers.find(a);
        if (it == numbers.end())
            return Fail(QStringLiteral("unknown option '%1' (see --help)").arg(a));
        if (i + 1 >= args.size())
            return Fail(QStringLiteral("%1 needs a value").arg(a));
        const Number& number = it->second;
        const QString text = args[++i];
        bool ok = false;
        const double v = number.bInteger ? double(text.toLongLong(&ok)) : text.toDouble(&ok);
        if (!ok || !std::isfinite(v))
            return Fail(QStringLiteral("%1: '%2' is not a%3 number")
                            .arg(a, text, number.bInteger ? QStringLiteral(" whole") : QString()));
        if (v < number.dMin || v > number.dMax)
            return Fail(QStringLiteral("%1: %2 is out of range (%3)")
                            .arg(a, text, QString::fromLatin1(number.szRange)));
        number.set(v);
    }

    if (!outPath.isEmpty()) {
        if (nCom > 0 || dDuration >= 0.0)
            return Fail(QStringLiteral("--out writes a record: --com and --duration are for the "
                                       "pseudo-terminal"));
        CRecordOutput output;
        if (const int code = PrepareRecordOutput("simulate", outPath, cardPath, &output))
            return code;
        return WriteSimulatedRecord(opt, output);
    }
    if (!cardPath.isEmpty())
        return Fail(QStringLiteral("--card goes with --out"));

    CPtySimulator sim(opt);
    if (!sim.Open()) {
        std::fprintf(stderr, "velmora-cli simulate: cannot create a pseudo-terminal: %s\n",
                     ErrorText(sim.LastError()).c_str());
        return 2;
    }
    const std::string path = sim.SlavePath();
    CComMap map;
    if (nCom > 0) {
        if (!map.Register(nCom, path)) {
            std::fprintf(stderr, "velmora-cli simulate: cannot register COM%d in the COM map\n",
                         nCom);
            return 2;
        }
    } else {
        nCom = map.Assign(path);
        if (nCom <= 0) {
            std::fprintf(stderr, "velmora-cli simulate: cannot register %s in the COM map\n",
                         PrintableName(path).c_str());
            return 2;
        }
    }

    g_pSimulator = &sim;
    InstallHandler(SIGINT, OnStopSignal);
    InstallHandler(SIGTERM, OnStopSignal);
    InstallHandler(SIGUSR1, OnRecordSignal);

    std::printf("COM%d %s\n", nCom, PrintableName(path).c_str());
    std::fflush(stdout);
    Print(QStringLiteral("%1 bpm, lead system %2, %3; %4")
              .arg(opt.nHeartRate)
              .arg(opt.nLeadSystem)
              .arg(opt.bWakeupRequired ? QStringLiteral("waiting for BTConnect")
                                       : QStringLiteral("streaming"))
              .arg(opt.dRecordAfter >= 0
                       ? QStringLiteral("a record every %1 s of live data").arg(opt.dRecordAfter)
                       : QStringLiteral("a record on SIGUSR1"))
              .toStdString());
    sim.SetNoteSink(Print);

    const bool bOk = sim.Run(g_bStop, dDuration);

    InstallHandler(SIGUSR1, SIG_IGN);
    g_pSimulator = nullptr;
    // Leave the number alone if someone registered another device under it meanwhile.
    if (map.DevicePath(nCom) == path)
        map.Unregister(nCom);
    Print("stopped; " + std::to_string(sim.BytesWritten()) + " bytes sent, " +
          std::to_string(sim.BytesLost()) + " lost with nobody reading");
    if (!bOk) {
        std::fprintf(stderr, "velmora-cli simulate: the pseudo-terminal failed: %s\n",
                     ErrorText(sim.LastError()).c_str());
        return 2;
    }
    return 0;
}
