#include "simulator/cardiograph_simulator.h"

#include <algorithm>
#include <cmath>
#include <deque>
#include <numbers>

namespace {

constexpr double kUnitsPerMillivolt = 500.0; // one unit is 2 µV
// The synthetic signal stays inside this range, so that no high byte of a frame can be 0x7E,
// 0x81 or 0x82 and a marker never appears inside a payload of ours.
constexpr int kSignalLimit = 1999;
constexpr char kWakeup[] = "BTConnect\n\r";
constexpr size_t kWakeupLength = sizeof(kWakeup) - 1;
constexpr int kRepeatShift = 100; // how far a faulty repeat of a record point is off

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Separate, reproducible streams from one seed: the record, the live signal and the faults.
uint64_t StreamSeed(uint64_t seed, uint64_t stream) {
    uint64_t s = seed ^ (stream * 0xD1B54A32D192ED03ull);
    return SplitMix(s);
}

double UnitRandom(uint64_t& state) {
    return double(SplitMix(state) >> 11) * 0x1.0p-53;
}

// Box-Muller on our own generator, so the signal is the same with every standard library.
double GaussRandom(uint64_t& state) {
    const double u1 = 1.0 - UnitRandom(state);
    const double u2 = UnitRandom(state);
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

// The heart's electrical axis in mV: x to the patient's left, y downwards, z to the front.
struct Vec3 {
    double x, y, z;
};

double Dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// One beat is a sum of Gaussian waves of the heart vector around the R peak. The P and T waves
// move with the square root of the beat interval (as the QT interval does); QRS does not.
struct Wave {
    double dOffset; // seconds from the R peak
    double dWidth;  // standard deviation, seconds
    Vec3 amplitude;
    bool bScales;
};

constexpr Wave kWaves[] = {
    {-0.170, 0.022, {0.06, 0.10, 0.02}, true},    // P
    {-0.030, 0.009, {-0.06, -0.03, 0.12}, false}, // Q: the septum, to the right and front
    {0.000, 0.011, {0.70, 0.80, -0.10}, false},   // R
    {0.030, 0.011, {-0.10, -0.15, -0.30}, false}, // S
    {0.300, 0.055, {0.15, 0.20, 0.12}, true},     // T
};

constexpr Vec3 kLeadI{1.0, 0.0, 0.0};
constexpr Vec3 kLeadII{0.5, 0.866, 0.0};

// Chest leads: direction in the horizontal plane (degrees from the left towards the front) and
// gain; from the rS of V1 to the qR of V6, with the transition at V3/V4.
struct ChestLead {
    double dAngle;
    double dGain;
};
constexpr ChestLead kChestLeads[6] = {{115, 1.0}, {95, 1.6}, {75, 1.6},
                                      {60, 1.5},  {35, 1.2}, {10, 1.0}};

int Clamp12(int v) {
    return std::clamp(v, -2048, 2047);
}

} // namespace

// An endless synthetic ECG at 409.6 points per second: beats with a little respiratory
// variation of the interval, baseline wander and noise, projected onto the nine transmitted
// leads. Lead III is II - I, as on a real body.
class CCardiographSimulator::CModel {
public:
    CModel(uint64_t seed, int nHeartRate, double mainsMv, double wanderMv)
        : m_nRandom(seed), m_dMains(mainsMv) {
        m_dInterval = 60.0 / std::clamp(nHeartRate, 30, 240);
        for (int i = 0; i < 6; ++i) {
            const double a = kChestLeads[i].dAngle * std::numbers::pi / 180.0;
            m_chest[i] = {kChestLeads[i].dGain * std::cos(a), kChestLeads[i].dGain * 0.1,
                          kChestLeads[i].dGain * std::sin(a)};
        }
        for (int c = 0; c < 8; ++c) {
            m_wanderAmplitude[c] = 0.02 + 0.03 * UnitRandom(m_nRandom);
            if (wanderMv >= 0)
                m_wanderAmplitude[c] = wanderMv;
            m_wanderPhase[c] = 2.0 * std::numbers::pi * UnitRandom(m_nRandom);
        }
        m_dRespiration = 0.2 + 0.1 * UnitRandom(m_nRandom);
        m_dNextBeat = 0.1 + m_dInterval * UnitRandom(m_nRandom);
    }

    Channels Next() {
        const double t = double(m_nPoint++) / kPointsPerSecond;
        while (m_dNextBeat < t + 1.0) {
            const double breath = std::sin(2.0 * std::numbers::pi * m_dRespiration * m_dNextBeat);
            const double rr = m_dInterval * (1.0 + 0.04 * breath + 0.01 * GaussRandom(m_nRandom));
            m_beats.push_back({m_dNextBeat, std::sqrt(rr)});
            m_peaks.push_back(m_dNextBeat);
            m_dNextBeat += rr;
        }
        while (!m_beats.empty() && m_beats.front().dPeak < t - 1.5)
            m_beats.pop_front();

        Vec3 heart{0.0, 0.0, 0.0};
        for (const Beat& beat : m_beats) {
            for (const Wave& w : kWaves) {
                const double scale = w.bScales ? beat.dScale : 1.0;
                const double d = (t - beat.dPeak - w.dOffset * scale) / (w.dWidth * scale);
                if (std::abs(d) > 6.0)
                    continue;
                const double g = std::exp(-0.5 * d * d);
                heart.x += w.amplitude.x * g;
                heart.y += w.amplitude.y * g;
                heart.z += w.amplitude.z * g;
            }
        }

        // Electrode noise: wander with breathing, mains hum and a little white noise, per lead.
        double extra[8];
        const double mains = m_dMains * std::sin(2.0 * std::numbers::pi * 50.0 * t);
        for (int c = 0; c < 8; ++c) {
            extra[c] = m_wanderAmplitude[c] * std::sin(2.0 * std::numbers::pi * m_dRespiration * t +
                                                       m_wanderPhase[c]) +
                       mains + 0.004 * GaussRandom(m_nRandom);
        }
        const double leadI = Dot(heart, kLeadI) + extra[0];
        const double leadII = Dot(heart, kLeadII) + extra[1];
        double mv[kChannels];
        mv[0] = leadI;
        mv[1] = leadII;
        mv[2] = leadII - leadI;
        for (int i = 0; i < 6; ++i)
            mv[3 + i] = Dot(heart, m_chest[i]) + extra[2 + i];

        Channels ch;
        for (int c = 0; c < kChannels; ++c) {
            ch[c] = std::clamp(int(std::lround(mv[c] * kUnitsPerMillivolt)), -kSignalLimit,
                               kSignalLimit);
        }
        return ch;
    }

    // The R peaks generated so far (some lie ahead of the last point).
    const std::vector<double>& Peaks() const { return m_peaks; }

private:
    struct Beat {
        double dPeak;  // time of the R peak
        double dScale; // square root of the interval that follows
    };

    uint64_t m_nRandom;
    double m_dMains;
    std::vector<double> m_peaks;
    double m_dInterval;
    double m_dRespiration; // breathing rate, Hz
    double m_dNextBeat;
    long long m_nPoint = 0;
    std::deque<Beat> m_beats;
    Vec3 m_chest[6];
    double m_wanderAmplitude[8];
    double m_wanderPhase[8];
};

CCardiographSimulator::CCardiographSimulator(const SimulatorOptions& options)
    : m_opt(options), m_nRandom(StreamSeed(options.nSeed, 3)) {
    m_opt.nHeartRate = std::clamp(m_opt.nHeartRate, 30, 240);
    // A fault on every copy would never let a record finish.
    m_opt.dChecksumErrors = std::clamp(m_opt.dChecksumErrors, 0.0, 0.9);
    m_opt.dDropBytes = std::clamp(m_opt.dDropBytes, 0.0, 0.1);
    m_opt.dRepeatPoints = std::clamp(m_opt.dRepeatPoints, 0.0, 1.0);

    CModel recorded(StreamSeed(m_opt.nSeed, 1), m_opt.nHeartRate, m_opt.dMainsMv, m_opt.dWanderMv);
    m_recordChannels.reserve(kRecordPoints);
    m_record.reserve(kRecordPoints);
    for (int i = 0; i < kRecordPoints; ++i) {
        m_recordChannels.push_back(recorded.Next());
        m_record.push_back(LanesOf(m_recordChannels.back(), m_opt.nLeadSystem));
    }
    for (const double peak : recorded.Peaks())
        if (peak < kRecordPoints / kPointsPerSecond)
            m_recordBeats.push_back(peak);
    m_pLive = std::make_unique<CModel>(StreamSeed(m_opt.nSeed, 2), m_opt.nHeartRate, m_opt.dMainsMv,
                                       m_opt.dWanderMv);
    m_stRecord = m_opt.stDevice;

    if (!m_opt.bWakeupRequired) {
        m_bLinkUp = true;
        StartLive();
    }
}

CCardiographSimulator::~CCardiographSimulator() = default;

CCardiographSimulator::Frame CCardiographSimulator::EncodeFrame(const Channels& channels,
                                                                uint8_t reg, uint8_t value,
                                                                int16_t index, bool bNewFormat) {
    uint8_t h[kChannels];
    uint8_t n[kChannels];
    for (int c = 0; c < kChannels; ++c) {
        const int v = Clamp12(channels[c]);
        h[c] = uint8_t(v >> 4); // arithmetic shift: the sign stays in the high byte
        n[c] = uint8_t(v & 15);
    }
    // Channel order: I, II, III, V1 ... V6.
    Frame f{};
    f[0] = h[0];
    f[1] = h[1];
    f[2] = h[2];
    f[3] = uint8_t(n[0] << 4 | n[1]);
    f[4] = uint8_t(n[2] << 4);
    f[5] = uint8_t(n[3] << 4 | n[4]);
    f[6] = h[3];
    f[7] = h[4];
    f[8] = h[5];
    f[9] = h[6];
    f[10] = h[7];
    f[11] = h[8];
    f[12] = uint8_t(n[5] << 4 | n[6]);
    f[13] = uint8_t(n[7] << 4 | n[8]);
    f[14] = reg;
    f[15] = value;
    f[16] = uint8_t(uint16_t(index) >> 8);
    f[17] = uint8_t(uint16_t(index) & 0xFF);
    unsigned sum = 0;
    for (int i = 0; i < 18; ++i)
        sum += f[i];
    f[18] = uint8_t(sum & 0xFF);
    f[19] = 0x7E;
    f[20] = bNewFormat ? 0x82 : 0x81;
    f[21] = bNewFormat ? 0x37 : 0x36;
    return f;
}

CCardiographSimulator::Lanes CCardiographSimulator::LanesOf(const Channels& channels,
                                                            int nLeadSystem) {
    int c[kChannels];
    for (int i = 0; i < kChannels; ++i)
        c[i] = Clamp12(channels[i]);
    Lanes lanes;
    lanes[0] = int16_t(c[0]);
    lanes[1] = int16_t(c[1]);
    lanes[2] = int16_t(c[2]);
    // Division truncating toward zero, as the receiver computes the augmented leads.
    lanes[3] = int16_t(-(c[0] + c[1]) / 2);
    lanes[4] = int16_t((c[0] - c[2]) / 2);
    lanes[5] = int16_t((c[1] + c[2]) / 2);
    for (int i = 0; i < 6; ++i)
        lanes[6 + i] = int16_t(c[3 + i]);
    if (nLeadSystem == 3) // the receiver reads lane 3 from the bytes of V4 then
        lanes[3] = lanes[9];
    return lanes;
}

double CCardiographSimulator::Uniform() {
    return UnitRandom(m_nRandom);
}

SYSTEMTIME CCardiographSimulator::ClockAt(double t) const {
    FILETIME ft;
    if (!SystemTimeToFileTime(m_opt.stDevice, ft))
        return m_opt.stDevice; // a clock that was never set does not run
    const uint64_t ticks = FileTimeTicks(ft) + uint64_t(t * double(kTicksPerSecond));
    SYSTEMTIME st;
    if (!FileTimeToSystemTime(FileTimeFromTicks(ticks), st))
        return m_opt.stDevice;
    return st;
}

uint8_t CCardiographSimulator::RegisterValue(int reg, bool bRecordFrame) const {
    const auto byteOf = [](uint32_t v, int k) { return uint8_t(v >> (8 * k)); };
    SYSTEMTIME st;
    if (reg >= 5 && reg <= 9)
        st = bRecordFrame ? m_stRecord : ClockAt(m_dNow);
    switch (reg) {
    case 1:
        return uint8_t(m_opt.nLeadSystem);
    case 2:
        return uint8_t(m_opt.nSensitivityIndex);
    case 3:
        return uint8_t(std::min(m_opt.nHeartRate, 255));
    case 4:
        return uint8_t(m_opt.nSpeedCode);
    case 5:
        return uint8_t(st.wDay);
    case 6:
        return uint8_t(st.wMonth);
    case 7:
        return uint8_t(std::clamp(int(st.wYear) - 2000, 0, 255));
    case 8:
        return uint8_t(st.wHour);
    case 9:
        return uint8_t(st.wMinute);
    case 10:
        return uint8_t(m_opt.nFilter);
    case 11:
        return byteOf(uint32_t(m_opt.nHeartRate), 0);
    case 12:
        return byteOf(uint32_t(m_opt.nHeartRate), 1);
    case 13:
    case 14:
    case 15:
    case 16:
        return byteOf(m_opt.nSerial, reg - 13);
    case 17:
    case 18:
    case 19:
    case 20:
        return byteOf(m_opt.nRecordNo, reg - 17);
    case 21:
        return m_opt.nSerialPrefix;
    default:
        return 0;
    }
}

CCardiographSimulator::Frame CCardiographSimulator::NextFrame(const Channels& channels,
                                                              int16_t index, bool bRecordFrame) {
    const int reg = m_nNextRegister;
    m_nNextRegister = m_nNextRegister % kRegisters + 1;
    return EncodeFrame(channels, uint8_t(reg), RegisterValue(reg, bRecordFrame), index,
                       m_opt.bNewFormat);
}

namespace {

// Whether losing byte `drop` (0 ... 18) of frame f, which follows the byte `previous` on the line,
// leaves a window before f's marker that passes the receiver's checks with other contents: an
// 8-bit checksum lets one such shift in 256 through.
bool DropForgesFrame(const CCardiographSimulator::Frame& f, int drop, uint8_t previous) {
    uint8_t w[19];
    w[0] = previous;
    int k = 1;
    for (int i = 0; i < 19; ++i) {
        if (i != drop)
            w[k++] = f[i];
    }
    unsigned sum = 0;
    for (int i = 0; i < 18; ++i)
        sum += w[i];
    if (uint8_t(sum) != w[18])
        return false;
    const int16_t index = int16_t(uint16_t(w[16] << 8 | w[17]));
    if (index >= CCardiographSimulator::kRecordPoints)
        return false;
    return !std::equal(w, w + 18, f.begin());
}

} // namespace

bool CCardiographSimulator::EmitFrame(const Frame& frame, std::vector<uint8_t>& out) {
    Frame f = frame;
    bool bIntact = true;
    if (m_opt.dChecksumErrors > 0.0 && Uniform() < m_opt.dChecksumErrors) {
        f[18] = uint8_t(f[18] + 1 + int(Uniform() * 255.0));
        ++m_faults.nChecksumErrors;
        bIntact = false;
    }
    int drop = -1;
    if (m_opt.dDropBytes > 0.0 &&
        Uniform() < 1.0 - std::pow(1.0 - m_opt.dDropBytes, double(kFrameSize))) {
        drop = std::min(int(Uniform() * kFrameSize), kFrameSize - 1);
        // A lost byte may cost points but must never plant wrong values in the record.
        if (drop < 19 && DropForgesFrame(f, drop, m_nLastByte)) {
            drop = -1;
        } else {
            ++m_faults.nDroppedBytes;
            bIntact = false;
        }
    }
    for (int i = 0; i < kFrameSize; ++i) {
        if (i != drop)
            out.push_back(f[i]);
    }
    m_nLastByte = drop == kFrameSize - 1 ? f[kFrameSize - 2] : f[kFrameSize - 1];
    m_dLineFree = std::max(m_dLineFree, m_dNow) + kFrameSize / kLineBytesPerSecond;
    return bIntact;
}

void CCardiographSimulator::EmitText(const std::string& text, std::vector<uint8_t>& out) {
    out.insert(out.end(), text.begin(), text.end());
    if (!text.empty())
        m_nLastByte = uint8_t(text.back());
    m_dLineFree = std::max(m_dLineFree, m_dNow) + double(text.size()) / kLineBytesPerSecond;
}

void CCardiographSimulator::StartLive() {
    m_dLiveStart = m_dNow;
    m_nLiveCount = 0;
}

void CCardiographSimulator::StartRecord() {
    m_bInRecord = true;
    m_queue.resize(kRecordPoints);
    for (int i = 0; i < kRecordPoints; ++i)
        m_queue[i] = i;
    m_nQueuePos = 0;
    m_nPassFrames = 0;
    m_stRecord = ClockAt(m_dNow);
}

void CCardiographSimulator::RequestRecord() {
    if (!m_bInRecord)
        StartRecord();
}

void CCardiographSimulator::SendLiveFrame(std::vector<uint8_t>& out) {
    // Live points carry a negative index; the low byte counts, the high byte stays 0x80.
    const int16_t index = int16_t(uint16_t(0x8000 | (m_nLiveTotal & 0xFF)));
    EmitFrame(NextFrame(m_pLive->Next(), index, false), out);
    ++m_nLiveCount;
    ++m_nLiveTotal;
}

void CCardiographSimulator::SendRecordFrame(std::vector<uint8_t>& out) {
    if (m_nQueuePos >= size_t(kRecordPoints))
        ++m_faults.nResentPoints;
    const int x = m_queue[m_nQueuePos++];
    const Channels& ch = m_recordChannels[x];
    ++m_nPassFrames;
    if (!EmitFrame(NextFrame(ch, int16_t(x), true), out)) {
        // The device sends every point whose copy went out damaged once more after the pass.
        m_queue.push_back(x);
    } else if (m_opt.dRepeatPoints > 0.0 && Uniform() < m_opt.dRepeatPoints) {
        // A stale copy right behind a good one: the receiver must keep the first.
        Channels stale;
        for (int c = 0; c < kChannels; ++c)
            stale[c] = ch[c] < 0 ? ch[c] + kRepeatShift : ch[c] - kRepeatShift;
        EmitFrame(NextFrame(stale, int16_t(x), true), out);
        ++m_nPassFrames;
        ++m_faults.nRepeatedPoints;
    }
    if (m_nQueuePos == m_queue.size()) {
        m_bInRecord = false;
        ++m_nRecordsSent;
        StartLive();
    }
}

void CCardiographSimulator::OnInput(std::span<const uint8_t> bytes) {
    for (const uint8_t b : bytes) {
        // 'B' occurs only at the start of the text, so a mismatch restarts the match at b.
        if (b == uint8_t(kWakeup[m_nWakeMatched]))
            ++m_nWakeMatched;
        else
            m_nWakeMatched = b == uint8_t(kWakeup[0]) ? 1 : 0;
        if (m_nWakeMatched < kWakeupLength)
            continue;
        m_nWakeMatched = 0;
        if (m_bSilent) // out of range or off: nobody hears it
            continue;
        if (!m_bLinkUp) {
            m_bLinkUp = true;
            StartLive();
        }
        if (!m_bAnnounced) {
            m_strPending += "CONNECTION";
            m_bAnnounced = true;
        }
    }
}

std::vector<uint8_t> CCardiographSimulator::Advance(double seconds) {
    std::vector<uint8_t> out;
    const double end = m_dNow + std::max(seconds, 0.0);
    enum class Next { None, SilenceStart, SilenceEnd, Disconnect, Text, RecordStart, Record, Live };
    for (;;) {
        // The earliest thing the device does next; on a tie the first one listed goes first.
        Next what = Next::None;
        double when = 0.0;
        const auto consider = [&](Next kind, double t) {
            if (what == Next::None || t < when) {
                what = kind;
                when = t;
            }
        };
        if (!m_bSilenceStarted && m_opt.dSilenceAfter >= 0.0)
            consider(Next::SilenceStart, m_opt.dSilenceAfter);
        if (m_bSilent && m_opt.dSilenceFor > 0.0)
            consider(Next::SilenceEnd, m_opt.dSilenceAfter + m_opt.dSilenceFor);
        if (!m_bDisconnectDone && m_opt.dDisconnectAfter >= 0.0)
            consider(Next::Disconnect, m_opt.dDisconnectAfter);
        if (!m_bSilent) {
            const double lineAt = std::max(m_dNow, m_dLineFree);
            if (!m_strPending.empty()) {
                consider(Next::Text, lineAt);
            } else if (m_bLinkUp && m_bInRecord) {
                consider(Next::Record, lineAt);
            } else if (m_bLinkUp) {
                if (m_opt.dRecordAfter >= 0.0)
                    consider(Next::RecordStart,
                             std::max(m_dNow, m_dLiveStart + m_opt.dRecordAfter));
                consider(Next::Live,
                         std::max(lineAt, m_dLiveStart + double(m_nLiveCount) / kPointsPerSecond));
            }
        }
        if (what == Next::None || when > end)
            break;
        m_dNow = std::max(m_dNow, when);

        switch (what) {
        case Next::SilenceStart:
            m_bSilenceStarted = true;
            m_bSilent = true;
            break;
        case Next::SilenceEnd:
            m_bSilent = false;
            m_dLineFree = std::max(m_dLineFree, m_dNow);
            if (m_bLinkUp && !m_bInRecord)
                StartLive();
            break;
        case Next::Disconnect:
            m_bDisconnectDone = true;
            if (m_bLinkUp) {
                if (!m_bSilent)
                    EmitText("DISCONNECT", out);
                m_strPending.clear();
                m_bLinkUp = false;
                m_bAnnounced = false;
            }
            break;
        case Next::Text:
            EmitText(m_strPending, out);
            m_strPending.clear();
            break;
        case Next::RecordStart:
            StartRecord();
            break;
        case Next::Record:
            SendRecordFrame(out);
            break;
        case Next::Live:
            SendLiveFrame(out);
            break;
        case Next::None:
            break;
        }
    }
    m_dNow = end;
    return out;
}
