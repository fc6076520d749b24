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
enum class Part : char { P, Qrs, T };

struct Wave {
    double dOffset; // seconds from the R peak
    double dWidth;  // standard deviation, seconds
    Vec3 amplitude;
    bool bScales;
    Part part = Part::Qrs;
};

constexpr Wave kWaves[] = {
    {-0.170, 0.022, {0.06, 0.10, 0.02}, true, Part::P}, // P
    {-0.030, 0.009, {-0.06, -0.03, 0.12}, false},       // Q: the septum, to the right and front
    {0.000, 0.011, {0.70, 0.80, -0.10}, false},         // R
    {0.030, 0.011, {-0.10, -0.15, -0.30}, false},       // S
    {0.300, 0.055, {0.15, 0.20, 0.12}, true, Part::T},  // T
};
constexpr double kNormalTWidth = 0.055;
constexpr double kNormalPOffset = -0.170;
constexpr double kNormalPWidth = 0.022;

// Right bundle branch block: the right ventricle depolarises last, a late wave to the right and
// front (R' in V1, a broad S in I and V6); the T wave turns away from it in V1.
constexpr Wave kRbbbWaves[] = {
    {-0.030, 0.009, {-0.06, -0.03, 0.12}, false},       {0.000, 0.011, {0.70, 0.80, -0.10}, false},
    {0.030, 0.011, {-0.10, -0.15, -0.30}, false},       {0.065, 0.016, {-0.45, 0.05, 0.55}, false},
    {0.300, 0.055, {0.17, 0.20, -0.02}, true, Part::T},
};
// Left bundle branch block: the septum from the right, so no septal q on the left; a slow,
// notched spread to the left and back; the T wave discordant.
constexpr Wave kLbbbWaves[] = {
    {-0.025, 0.020, {0.50, 0.25, -0.25}, false},
    {0.035, 0.020, {0.60, 0.15, -0.45}, false},
    {0.300, 0.055, {-0.12, 0.05, 0.20}, true, Part::T},
};
// Left anterior fascicular block: a small first vector down and right (q in aVL, r in the
// inferior leads), then the main one up and left at about -60 degrees.
constexpr Wave kLafbWaves[] = {
    {-0.028, 0.009, {-0.05, 0.12, 0.10}, false},
    {0.000, 0.011, {0.55, -0.95, -0.10}, false},
    {0.030, 0.011, {-0.10, -0.10, -0.30}, false},
    {0.300, 0.055, {0.15, 0.20, 0.12}, true, Part::T},
};
// A premature ventricular beat: wide, bizarre, the T wave opposite to the QRS.
constexpr Wave kPvcWaves[] = {
    {-0.035, 0.022, {-0.35, 0.55, 0.65}, false},
    {0.030, 0.024, {0.15, 0.45, 0.25}, false},
    {0.310, 0.060, {0.10, -0.30, -0.30}, true, Part::T},
};
// Paced from the right ventricular apex: LBBB-like, the axis superior, the T wave discordant.
constexpr Wave kPacedWaves[] = {
    {-0.025, 0.019, {0.35, -0.45, -0.35}, false},
    {0.030, 0.020, {0.45, -0.55, -0.50}, false},
    {0.310, 0.060, {-0.10, 0.20, 0.25}, true, Part::T},
};
// The P wave of a premature atrial beat from low in the atria: negative in the inferior leads.
constexpr Wave kPacPWave = {-0.150, 0.020, {0.05, -0.08, 0.04}, false, Part::P};

// The pacing stimulus: several mV for one sample, a small overshoot in the next.
constexpr Vec3 kSpike{1.0, 3.0, -1.5};
constexpr double kSpikeOvershoot = -0.25;
// Atrial activity that is not a P wave: f waves of fibrillation and F waves of flutter.
constexpr Vec3 kFibrillation{-0.02, 0.05, 0.08};
constexpr Vec3 kFlutter{0.0, 0.28, 0.10};
constexpr double kFlutterCycle = 0.2; // 300 a minute

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

// How far from its centre, in standard deviations, a Gaussian falls to the boundary fraction.
double BoundaryWidths() {
    return std::sqrt(-2.0 * std::log(SimulatorTruth::kWaveFraction));
}

// QRS onset and end (seconds from the R peak) of a beat's waves: where the speed of their summed
// heart vector first rises above, and last falls under, a fraction of its peak (the spatial
// velocity that ECG programs find the QRS by).
void QrsBounds(const std::vector<Wave>& waves, double* on, double* end) {
    constexpr double kStep = 0.0001;
    constexpr double kFrom = -0.4;
    std::vector<double> speed;
    double peak = 0.0;
    for (double t = kFrom; t <= 0.4; t += kStep) {
        Vec3 v{0, 0, 0};
        for (const Wave& w : waves) {
            if (w.part != Part::Qrs)
                continue;
            const double d = (t - w.dOffset) / w.dWidth;
            const double slope = -d / w.dWidth * std::exp(-0.5 * d * d);
            v.x += w.amplitude.x * slope;
            v.y += w.amplitude.y * slope;
            v.z += w.amplitude.z * slope;
        }
        speed.push_back(std::sqrt(Dot(v, v)));
        peak = std::max(peak, speed.back());
    }
    const double level = SimulatorTruth::kQrsSpeedFraction * peak;
    size_t first = 0;
    size_t last = speed.size() - 1;
    while (first < last && speed[first] < level)
        ++first;
    while (last > first && speed[last] < level)
        --last;
    *on = kFrom + double(first) * kStep;
    *end = kFrom + double(last) * kStep;
}

// Frontal axis of the QRS, in degrees: the direction of its net area (a Gaussian's area is its
// amplitude times its width), which is what the leads' net deflections add up to.
double QrsAxis(const std::vector<Wave>& waves) {
    double x = 0.0;
    double y = 0.0;
    for (const Wave& w : waves) {
        if (w.part == Part::Qrs) {
            x += w.amplitude.x * w.dWidth;
            y += w.amplitude.y * w.dWidth;
        }
    }
    return std::atan2(y, x) * 180.0 / std::numbers::pi;
}

void StretchQrs(std::vector<Wave>& waves, double factor) {
    for (Wave& w : waves) {
        if (w.part == Part::Qrs) {
            w.dOffset *= factor;
            w.dWidth *= factor;
        }
    }
}

void SetQrsDuration(std::vector<Wave>& waves, double seconds) {
    double on = 0.0;
    double end = 0.0;
    QrsBounds(waves, &on, &end);
    StretchQrs(waves, seconds / (end - on));
}

void TurnQrs(std::vector<Wave>& waves, double degrees) {
    const double a = degrees * std::numbers::pi / 180.0;
    for (Wave& w : waves) {
        if (w.part == Part::Qrs) {
            const Vec3 v = w.amplitude;
            w.amplitude.x = v.x * std::cos(a) - v.y * std::sin(a);
            w.amplitude.y = v.x * std::sin(a) + v.y * std::cos(a);
        }
    }
}

double WrapDegrees(double d) {
    while (d > 180.0)
        d -= 360.0;
    while (d <= -180.0)
        d += 360.0;
    return d;
}

constexpr double kNormalQtcMs = 410.0;

// The beats' shapes and timing rules for one set of options; the same for the record and the
// live picture.
struct HeartShapes {
    std::vector<Wave> conducted; // P, QRS, T of a supraventricular beat
    std::vector<Wave> escape;    // the same without its P wave
    std::vector<Wave> pac;
    std::vector<Wave> pvc;
    std::vector<Wave> paced;
    double dQrsOn = 0.0, dQrsEnd = 0.0; // of the conducted beat, from its R peak
    double dPacedOn = 0.0, dPacedEnd = 0.0;
    double dPr = 0.0;  // > 0: the PR of conducted beats (the first of a Wenckebach cycle)
    double dQtc = 0.0; // > 0: the T wave placed by Bazett
    double dTWidth = kNormalTWidth; // at an RR of one second
    Vec3 stLimb{0, 0, 0};           // ST shift of leads I and II (x, y), mV
    double stChest[6] = {};

    explicit HeartShapes(const SimulatorPathology& p) {
        conducted.assign(std::begin(kWaves), std::end(kWaves));
        if (p.conduction == SimConduction::Rbbb)
            conducted.assign(std::begin(kRbbbWaves), std::end(kRbbbWaves));
        else if (p.conduction == SimConduction::Lbbb)
            conducted.assign(std::begin(kLbbbWaves), std::end(kLbbbWaves));
        else if (p.conduction == SimConduction::Lafb)
            conducted.assign(std::begin(kLafbWaves), std::end(kLafbWaves));
        if (p.conduction != SimConduction::Normal)
            conducted.insert(conducted.begin(), kWaves[0]);
        double qrsMs = p.dQrsMs;
        if (qrsMs <= 0.0 && p.conduction == SimConduction::Rbbb)
            qrsMs = 135.0;
        if (qrsMs <= 0.0 && p.conduction == SimConduction::Lbbb)
            qrsMs = 150.0;
        if (qrsMs > 0.0)
            SetQrsDuration(conducted, qrsMs / 1000.0);
        // The fascicular block's axis is its sign; the right bundle's late rightward wave would
        // drag the axis to the right, which a block alone does not do.
        if (p.bAxis || p.conduction == SimConduction::Lafb || p.conduction == SimConduction::Rbbb) {
            const double target = p.bAxis                               ? p.dAxisDeg
                                  : p.conduction == SimConduction::Lafb ? -60.0
                                                                        : 60.0;
            TurnQrs(conducted, WrapDegrees(target - QrsAxis(conducted)));
        }
        pvc.assign(std::begin(kPvcWaves), std::end(kPvcWaves));
        SetQrsDuration(pvc, 0.140);
        paced.assign(std::begin(kPacedWaves), std::end(kPacedWaves));
        SetQrsDuration(paced, 0.150);
        if (p.dAmplitude != 1.0) {
            for (std::vector<Wave>* shape : {&conducted, &pvc, &paced}) {
                for (Wave& w : *shape) {
                    if (w.part == Part::Qrs) {
                        w.amplitude.x *= p.dAmplitude;
                        w.amplitude.y *= p.dAmplitude;
                        w.amplitude.z *= p.dAmplitude;
                    }
                }
            }
        }
        QrsBounds(conducted, &dQrsOn, &dQrsEnd);
        QrsBounds(paced, &dPacedOn, &dPacedEnd);
        for (const Wave& w : conducted)
            if (w.part != Part::P)
                escape.push_back(w);
        pac = escape;
        pac.insert(pac.begin(), kPacPWave);

        dPr = p.dPrMs / 1000.0;
        if (dPr <= 0.0 && p.rhythm == SimRhythm::AvBlock1)
            dPr = 0.260;
        if (dPr <= 0.0 && p.rhythm == SimRhythm::AvBlock2)
            dPr = 0.200;
        // Unless told otherwise the heart has a normal QT: a QTc of 410 ms with a narrow QRS. A
        // bundle branch block's wide QRS and discordant T wave keep the model's own, longer QT.
        const bool wide =
            p.conduction == SimConduction::Rbbb || p.conduction == SimConduction::Lbbb;
        dQtc = (p.dQtcMs > 0.0 ? p.dQtcMs : wide ? 0.0 : kNormalQtcMs) / 1000.0;
        // A short QT has a narrower T wave, a long one a broader, as on real hearts.
        if (dQtc > 0.0)
            dTWidth = kNormalTWidth * std::clamp(dQtc / 0.44, 0.6, 1.5);

        const double e = p.dStElevationMv;
        switch (p.stLeads) {
        case SimStLeads::Anterior: // V1-V4 up, the inferior leads a little down
            stLimb = {0.0, -e / 4.0, 0.0};
            for (int i = 0; i < 4; ++i)
                stChest[i] = e;
            break;
        case SimStLeads::Inferior: // II, III, aVF up; aVL and aVR down by half
            stLimb = {0.0, e, 0.0};
            break;
        case SimStLeads::Lateral: // I, aVL, V5, V6 up; III down by as much, aVF by half
            stLimb = {e, 0.0, 0.0};
            stChest[4] = e;
            stChest[5] = e;
            break;
        }
    }

    // T wave offset and width of a conducted beat whose interval gives the scale s (the square
    // root of the RR in seconds).
    double TOffset(double s, double tOffset) const {
        if (dQtc <= 0.0)
            return tOffset * s;
        return dQrsOn + s * (dQtc - BoundaryWidths() * dTWidth);
    }
    double TWidth(double s, double width) const { return dQtc > 0.0 ? dTWidth * s : width * s; }
    // Offset of the P wave's onset from the centre the normal P wave has.
    double POnset(double s) const {
        return (kNormalPOffset - BoundaryWidths() * kNormalPWidth) * s;
    }
};

} // namespace

// An endless synthetic ECG at 409.6 points per second: beats with a little respiratory
// variation of the interval, baseline wander and noise, projected onto the nine transmitted
// leads. Lead III is II - I, as on a real body.
class CCardiographSimulator::CModel {
public:
    CModel(uint64_t seed, int nHeartRate, double mainsMv, double wanderMv,
           const SimulatorPathology& pathology, uint64_t pathologySeed)
        : m_nRandom(seed), m_dMains(mainsMv), m_p(pathology), m_shapes(pathology),
          m_nPathRandom(pathologySeed) {
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

        // The ventricles take every Nth flutter wave, N the nearest to the asked rate.
        m_nFlutterBlock = int(std::clamp(std::lround(m_dInterval / kFlutterCycle), 2L, 8L));
        const double rate = double(std::clamp(m_p.nEscapeRate, 20, 60));
        m_dEscapeInterval = 60.0 / rate;
        m_dNextEscape = 0.2 + m_dEscapeInterval * UnitRandom(m_nPathRandom);
        for (int i = 0; i < 3; ++i) {
            m_atrialFrequency[i] = 5.5 + 2.5 * UnitRandom(m_nPathRandom);
            m_atrialPhase[i] = 2.0 * std::numbers::pi * UnitRandom(m_nPathRandom);
            m_atrialSwing[i] = 0.1 + 0.4 * UnitRandom(m_nPathRandom);
        }
        m_dFlutterPhase = UnitRandom(m_nPathRandom);
        m_dPvcDebt = UnitRandom(m_nPathRandom);
        m_dPacDebt = UnitRandom(m_nPathRandom);
        m_bStShift = m_p.dStElevationMv != 0.0;
    }

    Channels Next() {
        const long long point = m_nPoint++;
        const double t = double(point) / kPointsPerSecond;
        while (m_dNextBeat < t + 1.0)
            Cycle();
        while (m_p.rhythm == SimRhythm::AvBlock3 && m_dNextEscape < t + 1.0)
            Escape();
        // A wave goes once it lies more than six widths behind (where it is skipped anyway).
        while (!m_waves.empty() &&
               m_waves.front().dAnchor + m_waves.front().dOffset + 6.0 * m_waves.front().dWidth <
                   t - 0.01)
            m_waves.pop_front();

        Vec3 heart{0.0, 0.0, 0.0};
        for (const Placed& w : m_waves) {
            const double d = (t - w.dAnchor - w.dOffset) / w.dWidth;
            if (std::abs(d) > 6.0)
                continue;
            const double g = std::exp(-0.5 * d * d);
            heart.x += w.amplitude.x * g;
            heart.y += w.amplitude.y * g;
            heart.z += w.amplitude.z * g;
        }
        if (m_p.rhythm == SimRhythm::AtrialFibrillation || m_p.rhythm == SimRhythm::Flutter)
            AddAtrialActivity(t, heart);
        while (!m_spikes.empty() && m_spikes.front() + 1 < point)
            m_spikes.pop_front();
        for (const long long spike : m_spikes) {
            const double k = spike == point ? 1.0 : spike + 1 == point ? kSpikeOvershoot : 0.0;
            heart.x += kSpike.x * k;
            heart.y += kSpike.y * k;
            heart.z += kSpike.z * k;
        }

        // Electrode noise: wander with breathing, mains hum and a little white noise, per lead.
        double extra[8];
        const double mains = m_dMains * std::sin(2.0 * std::numbers::pi * 50.0 * t);
        for (int c = 0; c < 8; ++c) {
            extra[c] = m_wanderAmplitude[c] * std::sin(2.0 * std::numbers::pi * m_dRespiration * t +
                                                       m_wanderPhase[c]) +
                       mains + 0.004 * GaussRandom(m_nRandom);
        }
        if (m_bStShift) {
            const double st = StShare(t);
            extra[0] += st * m_shapes.stLimb.x;
            extra[1] += st * m_shapes.stLimb.y;
            for (int i = 0; i < 6; ++i)
                extra[2 + i] += st * m_shapes.stChest[i];
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

    // The QRS complexes and P waves generated so far (some lie ahead of the last point).
    const std::vector<SimulatedBeat>& Beats() const { return m_beats; }
    const std::vector<double>& PWaves() const { return m_pWaves; }
    const std::vector<double>& Spikes() const { return m_spikeTimes; }
    const HeartShapes& Shapes() const { return m_shapes; }
    double Interval() const { return m_dInterval; }
    int FlutterBlock() const { return m_nFlutterBlock; }
    double EscapeInterval() const { return m_dEscapeInterval; }

private:
    struct Placed {
        double dAnchor; // the R peak (or the cycle's time, for a P wave)
        double dOffset; // from the anchor, seconds
        double dWidth;
        Vec3 amplitude;
    };
    struct StWindow {
        double dJ, dTPeak, dTEnd;
    };

    // One cycle of the rhythm's pacemaker: a sinus beat (or a P alone), a beat of fibrillation
    // or flutter, a paced beat; a premature beat may take its place.
    void Cycle() {
        const double start = m_dNextBeat;
        double rr = m_dInterval;
        switch (m_p.rhythm) {
        case SimRhythm::AtrialFibrillation:
            rr = m_dInterval * std::clamp(1.0 + 0.2 * GaussRandom(m_nPathRandom), 0.55, 1.6);
            break;
        case SimRhythm::Flutter:
            rr = kFlutterCycle * m_nFlutterBlock;
            break;
        case SimRhythm::Paced:
            break;
        default: {
            const double breath = std::sin(2.0 * std::numbers::pi * m_dRespiration * start);
            rr = m_dInterval * (1.0 + 0.04 * breath + 0.01 * GaussRandom(m_nRandom));
        }
        }
        const double s = std::sqrt(rr);
        m_dNextBeat += rr;
        const int cycle = m_nCycle++;

        if (m_p.rhythm == SimRhythm::Paced) {
            Place(m_shapes.paced, start, s, start, s, SimulatedBeat::Kind::Paced, -1.0, false);
            const double spike = start + m_shapes.dPacedOn - 0.004;
            m_spikes.push_back(std::lround(spike * kPointsPerSecond));
            m_spikeTimes.push_back(spike);
            return;
        }
        if (m_p.rhythm == SimRhythm::AvBlock3) {
            PlaceP(m_shapes.conducted, start, s);
            return;
        }
        const bool bPremature = m_p.rhythm == SimRhythm::Sinus ||
                                m_p.rhythm == SimRhythm::AvBlock1 ||
                                m_p.rhythm == SimRhythm::AtrialFibrillation;
        if (bPremature) {
            const double rate = 60.0 / m_dInterval;
            m_dPvcDebt += std::min(m_p.dPvcPerMinute, rate / 2.0) / rate;
            if (m_p.rhythm != SimRhythm::AtrialFibrillation)
                m_dPacDebt += std::min(m_p.dPacPerMinute, rate / 2.0) / rate;
        }
        if (bPremature && m_bHaveBeat && !m_bLastPremature) {
            if (m_p.bPvcBigeminy || m_dPvcDebt >= 1.0) {
                // The sinus beat it replaces is lost in it; the next comes on time: a full
                // compensatory pause.
                m_dPvcDebt = std::max(0.0, m_dPvcDebt - 1.0);
                const double at = m_dLastR + 0.6 * m_dLastRr;
                Place(m_shapes.pvc, at, 1.0, at, 1.0, SimulatedBeat::Kind::Ventricular, -1.0,
                      false);
                m_bLastPremature = true;
                return;
            }
            if (m_dPacDebt >= 1.0) {
                // The early P resets the sinus node: the next beat follows one interval after.
                m_dPacDebt -= 1.0;
                const double at = m_dLastR + 0.7 * m_dLastRr;
                const double pOnset = kPacPWave.dOffset - BoundaryWidths() * kPacPWave.dWidth;
                Place(m_shapes.pac, at, s, at, s, SimulatedBeat::Kind::Atrial,
                      (m_shapes.dQrsOn - pOnset) * 1000.0, true);
                m_pWaves.push_back(at + kPacPWave.dOffset);
                m_dNextBeat = at + rr;
                m_bLastPremature = true;
                return;
            }
        }
        m_bLastPremature = false;

        if (m_p.rhythm == SimRhythm::AtrialFibrillation || m_p.rhythm == SimRhythm::Flutter) {
            Place(m_shapes.escape, start, s, start, s, SimulatedBeat::Kind::Normal, -1.0, true);
            return;
        }
        double pr = m_shapes.dPr;
        if (m_p.rhythm == SimRhythm::AvBlock2) {
            // Wenckebach: each PR longer by less than the last, then a P without its QRS.
            constexpr double kLonger[4] = {0.0, 0.10, 0.14, -1.0};
            if (kLonger[cycle % 4] < 0.0) {
                PlaceP(m_shapes.conducted, start, s);
                return;
            }
            pr += kLonger[cycle % 4];
        }
        if (pr <= 0.0) { // the normal beat: P and QRS at their usual distance
            Place(m_shapes.conducted, start, s, start, s, SimulatedBeat::Kind::Normal,
                  (m_shapes.dQrsOn - m_shapes.POnset(s)) * 1000.0, true);
            m_pWaves.push_back(start + kNormalPOffset * s);
            return;
        }
        // The P keeps the sinus node's time; the QRS follows its onset by the PR.
        const double r = start + m_shapes.POnset(s) + pr - m_shapes.dQrsOn;
        PlaceP(m_shapes.conducted, start, s);
        Place(m_shapes.escape, r, s, r, s, SimulatedBeat::Kind::Normal, pr * 1000.0, true);
    }

    // A beat of the escape rhythm of complete heart block, unrelated to the P waves.
    void Escape() {
        const double at = m_dNextEscape;
        const double rr = m_dEscapeInterval * (1.0 + 0.01 * GaussRandom(m_nPathRandom));
        m_dNextEscape += rr;
        Place(m_shapes.escape, at, std::sqrt(rr), at, std::sqrt(rr), SimulatedBeat::Kind::Normal,
              -1.0, true);
    }

    void PlaceP(const std::vector<Wave>& shape, double anchor, double s) {
        for (const Wave& w : shape) {
            if (w.part == Part::P) {
                m_waves.push_back({anchor, w.dOffset * s, w.dWidth * s, w.amplitude});
                m_pWaves.push_back(anchor + w.dOffset * s);
            }
        }
    }

    // Places a beat's waves: P waves at pAnchor, the rest at the R peak r; bSt: a beat of the
    // conducted shape, which carries the ST shift.
    void Place(const std::vector<Wave>& shape, double pAnchor, double ps, double r, double s,
               SimulatedBeat::Kind kind, double prMs, bool bSt) {
        double tPeak = 0.0;
        double tEnd = 0.0;
        for (const Wave& w : shape) {
            if (w.part == Part::P) {
                const double scale = w.bScales ? ps : 1.0;
                m_waves.push_back({pAnchor, w.dOffset * scale, w.dWidth * scale, w.amplitude});
            } else if (w.part == Part::T && bSt) {
                const double offset = m_shapes.TOffset(s, w.dOffset);
                const double width = m_shapes.TWidth(s, w.dWidth);
                m_waves.push_back({r, offset, width, w.amplitude});
                tPeak = r + offset;
                tEnd = tPeak + BoundaryWidths() * width;
            } else {
                const double scale = w.bScales ? s : 1.0;
                m_waves.push_back({r, w.dOffset * scale, w.dWidth * scale, w.amplitude});
            }
        }
        m_beats.push_back({r, kind, prMs});
        if (m_bStShift && bSt)
            m_st.push_back({r + m_shapes.dQrsEnd, tPeak, tEnd});
        m_bHaveBeat = true;
        m_dLastR = r;
        m_dLastRr = (m_p.rhythm == SimRhythm::AvBlock3) ? m_dEscapeInterval : m_dInterval;
    }

    // How much of the ST shift applies at t: full from the J point to the T peak, rising over
    // the 20 ms before J and falling away to the T wave's end.
    double StShare(double t) {
        while (!m_st.empty() && m_st.front().dTEnd < t)
            m_st.pop_front();
        double share = 0.0;
        for (const StWindow& w : m_st) {
            double v = 0.0;
            if (t >= w.dJ - 0.02 && t < w.dJ) {
                const double x = (t - (w.dJ - 0.02)) / 0.02;
                v = x * x * (3.0 - 2.0 * x);
            } else if (t >= w.dJ && t <= w.dTPeak) {
                v = 1.0;
            } else if (t > w.dTPeak && t <= w.dTEnd) {
                v = 0.5 *
                    (1.0 + std::cos(std::numbers::pi * (t - w.dTPeak) / (w.dTEnd - w.dTPeak)));
            }
            share = std::max(share, v);
        }
        return share;
    }

    void AddAtrialActivity(double t, Vec3& heart) const {
        if (m_p.rhythm == SimRhythm::Flutter) {
            // Saw-tooth: a slow fall over two thirds of the cycle, a quicker rise.
            double phase = t / kFlutterCycle + m_dFlutterPhase;
            phase -= std::floor(phase);
            const double saw = phase < 0.65 ? 0.5 - phase / 0.65 : -0.5 + (phase - 0.65) / 0.35;
            heart.x += kFlutter.x * saw;
            heart.y += kFlutter.y * saw;
            heart.z += kFlutter.z * saw;
            return;
        }
        // Fibrillation: three drifting oscillations of 5.5 to 8 Hz whose size wanders.
        double f = 0.0;
        for (int i = 0; i < 3; ++i) {
            const double swing =
                1.0 + m_atrialSwing[i] * std::sin(2.0 * std::numbers::pi * 0.3 * (i + 1) * t);
            f += swing / 3.0 *
                 std::sin(2.0 * std::numbers::pi * m_atrialFrequency[i] * t + m_atrialPhase[i]);
        }
        heart.x += kFibrillation.x * f;
        heart.y += kFibrillation.y * f;
        heart.z += kFibrillation.z * f;
    }

    uint64_t m_nRandom;
    double m_dMains;
    SimulatorPathology m_p;
    HeartShapes m_shapes;
    uint64_t m_nPathRandom; // the pathology's own draws, so the normal record stays as it was
    double m_dInterval;
    double m_dRespiration; // breathing rate, Hz
    double m_dNextBeat;
    long long m_nPoint = 0;
    std::deque<Placed> m_waves;
    std::deque<StWindow> m_st;
    std::deque<long long> m_spikes; // sample indices of pacing spikes
    std::vector<SimulatedBeat> m_beats;
    std::vector<double> m_pWaves;
    std::vector<double> m_spikeTimes;
    Vec3 m_chest[6];
    double m_wanderAmplitude[8];
    double m_wanderPhase[8];

    int m_nCycle = 0;
    int m_nFlutterBlock = 4;
    double m_dEscapeInterval = 1.5;
    double m_dNextEscape = 0.0;
    double m_atrialFrequency[3];
    double m_atrialPhase[3];
    double m_atrialSwing[3];
    double m_dFlutterPhase = 0.0;
    double m_dPvcDebt = 0.0;
    double m_dPacDebt = 0.0;
    bool m_bHaveBeat = false;
    bool m_bLastPremature = false;
    double m_dLastR = 0.0;
    double m_dLastRr = 1.0;
    bool m_bStShift = false;
};

CCardiographSimulator::CCardiographSimulator(const SimulatorOptions& options)
    : m_opt(options), m_nRandom(StreamSeed(options.nSeed, 3)) {
    m_opt.nHeartRate = std::clamp(m_opt.nHeartRate, 30, 240);
    // A fault on every copy would never let a record finish.
    m_opt.dChecksumErrors = std::clamp(m_opt.dChecksumErrors, 0.0, 0.9);
    m_opt.dDropBytes = std::clamp(m_opt.dDropBytes, 0.0, 0.1);
    m_opt.dRepeatPoints = std::clamp(m_opt.dRepeatPoints, 0.0, 1.0);

    const SimulatorPathology& p = m_opt.pathology;
    CModel recorded(StreamSeed(m_opt.nSeed, 1), m_opt.nHeartRate, m_opt.dMainsMv, m_opt.dWanderMv,
                    p, StreamSeed(m_opt.nSeed, 4));
    m_recordChannels.reserve(kRecordPoints);
    m_record.reserve(kRecordPoints);
    for (int i = 0; i < kRecordPoints; ++i) {
        m_recordChannels.push_back(recorded.Next());
        m_record.push_back(LanesOf(m_recordChannels.back(), m_opt.nLeadSystem));
    }
    const double length = kRecordPoints / kPointsPerSecond;
    const auto inRecord = [&](double t) { return t >= 0.0 && t < length; };
    for (const SimulatedBeat& beat : recorded.Beats())
        if (inRecord(beat.dTime))
            m_truth.beats.push_back(beat);
    std::sort(m_truth.beats.begin(), m_truth.beats.end(),
              [](const SimulatedBeat& a, const SimulatedBeat& b) { return a.dTime < b.dTime; });
    for (const SimulatedBeat& beat : m_truth.beats)
        m_recordBeats.push_back(beat.dTime);
    for (const double t : recorded.PWaves())
        if (inRecord(t))
            m_truth.pWaves.push_back(t);
    std::sort(m_truth.pWaves.begin(), m_truth.pWaves.end());
    for (const double t : recorded.Spikes())
        if (inRecord(t))
            m_truth.spikes.push_back(t);

    // The dominant beat at the nominal interval.
    const HeartShapes& shapes = recorded.Shapes();
    double rr = recorded.Interval();
    m_truth.dAtrialRate = 60.0 / rr;
    switch (p.rhythm) {
    case SimRhythm::AtrialFibrillation:
        m_truth.dAtrialRate = 0.0;
        break;
    case SimRhythm::Flutter:
        m_truth.dAtrialRate = 60.0 / kFlutterCycle;
        rr = kFlutterCycle * recorded.FlutterBlock();
        break;
    case SimRhythm::Paced:
        m_truth.dAtrialRate = 0.0;
        break;
    case SimRhythm::AvBlock2:
        rr *= 4.0 / 3.0; // three QRS to four P waves
        break;
    case SimRhythm::AvBlock3:
        rr = recorded.EscapeInterval();
        break;
    default:
        break;
    }
    const double s = std::sqrt(rr);
    const bool bPaced = p.rhythm == SimRhythm::Paced;
    const std::vector<Wave>& dominant = bPaced ? shapes.paced : shapes.conducted;
    const double on = bPaced ? shapes.dPacedOn : shapes.dQrsOn;
    const double end = bPaced ? shapes.dPacedEnd : shapes.dQrsEnd;
    double tEnd = 0.0;
    for (const Wave& w : dominant) {
        if (w.part != Part::T)
            continue;
        const double offset = bPaced ? w.dOffset * s : shapes.TOffset(s, w.dOffset);
        const double width = bPaced ? w.dWidth * s : shapes.TWidth(s, w.dWidth);
        tEnd = offset + BoundaryWidths() * width;
    }
    m_truth.dRrMs = rr * 1000.0;
    m_truth.dQrsMs = (end - on) * 1000.0;
    m_truth.dQtMs = (tEnd - on) * 1000.0;
    m_truth.dQtcMs = m_truth.dQtMs / s;
    m_truth.dAxisDeg = QrsAxis(dominant);
    if (p.rhythm == SimRhythm::Sinus || p.rhythm == SimRhythm::AvBlock1 ||
        p.rhythm == SimRhythm::AvBlock2)
        m_truth.dPrMs =
            (shapes.dPr > 0.0 ? shapes.dPr
                              : shapes.dQrsOn - shapes.POnset(std::sqrt(recorded.Interval()))) *
            1000.0;

    m_pLive = std::make_unique<CModel>(StreamSeed(m_opt.nSeed, 2), m_opt.nHeartRate, m_opt.dMainsMv,
                                       m_opt.dWanderMv, p, StreamSeed(m_opt.nSeed, 5));
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
