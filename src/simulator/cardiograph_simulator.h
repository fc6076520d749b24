#pragma once
// A simulated cardiograph: the device end of the serial stream. It synthesises a twelve-lead ECG,
// answers the wake-up text, streams live frames and, when a record is due, sends its stored
// ten-second record point by point, with optional line faults. It is pure and deterministic: no
// I/O and no clock of its own; the caller feeds it what the host wrote and asks what the device
// sends during the next stretch of time, so the same options and seed always give the same bytes.

#include "platform/systemtime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// What the simulated heart has, beyond the normal sinus rhythm. The defaults give the normal
// record, point for point as it always was.
enum class SimRhythm {
    Sinus,
    AtrialFibrillation, // no P waves, f waves of 6-8 Hz, irregularly irregular RR
    Flutter,            // saw-tooth F waves at 300/min, every Nth conducted (N = 300 / rate)
    Paced,              // ventricular pacing at the rate: a spike before each wide QRS
    AvBlock1,           // PR prolonged (260 ms unless dPrMs says)
    AvBlock2,           // Mobitz I (Wenckebach): the PR lengthens over three beats, the 4th P drops
    AvBlock3,           // P waves at the rate, a narrow junctional escape at nEscapeRate
};

enum class SimConduction { Normal, Rbbb, Lbbb, Lafb };

enum class SimStLeads { Anterior, Inferior, Lateral };

struct SimulatorPathology {
    SimRhythm rhythm = SimRhythm::Sinus;
    SimConduction conduction = SimConduction::Normal;
    double dQrsMs = 0.0; // > 0: QRS duration of the supraventricular beats (else by conduction)
    double dPrMs = 0.0;  // > 0: PR interval of the conducted beats (first one in Wenckebach)
    double dQtcMs = 0.0; // > 0: QT set so that its Bazett correction at the rate is this
    double dPvcPerMinute = 0.0; // premature ventricular beats (sinus, avb1 and af only)
    bool bPvcBigeminy = false;  // every other beat a premature ventricular one
    double dPacPerMinute = 0.0; // premature atrial beats (sinus and avb1 only)
    double dStElevationMv = 0.0;
    SimStLeads stLeads = SimStLeads::Anterior;
    bool bAxis = false; // the frontal QRS axis below, instead of the conduction's own
    double dAxisDeg = 0.0;
    double dAmplitude = 1.0; // scale of the QRS voltages
    int nEscapeRate = 40;    // ventricular rate of the third-degree block
};

// A QRS complex the simulator made, at its R peak (or its main peak) in seconds.
struct SimulatedBeat {
    enum class Kind : char { Normal = 'N', Ventricular = 'V', Paced = 'P', Atrial = 'A' };
    double dTime = 0.0;
    Kind kind = Kind::Normal;
    double dPrMs = -1.0; // PR of the beat; < 0: no P wave leads it
};

// What the stored record holds, as the model made it: for comparing with what is measured.
// Boundaries follow the wave model: the QRS runs while the speed of its heart vector is above
// kQrsSpeedFraction of its peak; a P wave starts, and a T wave ends, where its Gaussian falls
// under kWaveFraction of its top.
struct SimulatorTruth {
    static constexpr double kQrsSpeedFraction = 0.06;
    static constexpr double kWaveFraction = 0.05;
    std::vector<SimulatedBeat> beats; // every QRS of the record
    std::vector<double> pWaves;       // the centre of every P wave, conducted or not
    std::vector<double> spikes;       // pacing spikes
    double dRrMs = 0.0;               // nominal RR of the ventricles
    double dQrsMs = 0.0;              // of the supraventricular (or paced) beats
    double dQtMs = 0.0;               // at the nominal RR
    double dQtcMs = 0.0;              // Bazett
    double dPrMs = -1.0;              // of the dominant conducted beats; < 0: none
    double dAxisDeg = 0.0;            // frontal QRS axis of the dominant beats
    double dAtrialRate = 0.0;         // P (or F) waves a minute; 0 in af
};

struct SimulatorOptions {
    int nHeartRate = 72;        // beats per minute, 30 ... 240
    int nLeadSystem = 1;        // register 1: 1, 2 or 3
    int nSensitivityIndex = 2;  // register 2 (0 ... 3 are the device's 2, 5, 10, 20 mm/mV)
    int nSpeedCode = 2;         // register 4 (2 is 25 mm/s in either format)
    bool bNewFormat = true;     // marker 0x7E 0x82 0x37, else 0x7E 0x81 0x36
    int nFilter = 3;            // register 10
    uint32_t nSerial = 1234567; // registers 13 ... 16
    uint8_t nSerialPrefix = 7;  // register 21
    uint32_t nRecordNo = 1;     // registers 17 ... 20
    SYSTEMTIME stDevice{2012, 5, 5, 4, 14, 5, 0, 0}; // device clock at time 0 (to the minute)
    double dRecordAfter = 5.0;      // seconds of live streaming before each record; < 0: only
                                    // on request
    double dChecksumErrors = 0.0;   // probability that a frame carries a wrong checksum
    double dDropBytes = 0.0;        // probability that a frame byte is lost (one per frame)
    double dRepeatPoints = 0.0;     // probability that a record point is sent twice
    double dDisconnectAfter = -1.0; // seconds until the radio link drops once; < 0: never
    double dSilenceAfter = -1.0;    // seconds until the device falls silent; < 0: never
    double dSilenceFor = 0.0;       // length of the silence; <= 0: for good
    bool bWakeupRequired = true;    // stream only after "BTConnect\n\r"
    double dMainsMv = 0.0;          // amplitude of 50 Hz interference on every electrode
    double dWanderMv = -1.0;        // baseline wander amplitude; < 0: 0.02 ... 0.05 mV by seed
    uint64_t nSeed = 1;
    SimulatorPathology pathology;
};

class CCardiographSimulator {
public:
    static constexpr int kChannels = 9; // transmitted: I, II, III, V1 ... V6
    static constexpr int kLanes = 12;
    static constexpr int kRecordPoints = 4096;
    static constexpr int kFrameSize = 22;
    static constexpr int kRegisters = 21;
    static constexpr double kPointsPerSecond = 409.6;
    static constexpr double kLineBytesPerSecond = 11520.0; // 115200 baud, 10 bits a byte

    using Channels = std::array<int, kChannels>;
    using Lanes = std::array<int16_t, kLanes>;
    using Frame = std::array<uint8_t, kFrameSize>;

    struct FaultCounts {
        int nChecksumErrors = 0;
        int nDroppedBytes = 0;
        int nRepeatedPoints = 0;
        int nResentPoints = 0; // record points sent again because a faulty copy was their only one
    };

    explicit CCardiographSimulator(const SimulatorOptions& options = {});
    ~CCardiographSimulator();
    CCardiographSimulator(const CCardiographSimulator&) = delete;
    CCardiographSimulator& operator=(const CCardiographSimulator&) = delete;

    // What the host wrote to the device.
    void OnInput(std::span<const uint8_t> bytes);
    // The bytes the device sends during the next `seconds` of time.
    std::vector<uint8_t> Advance(double seconds);
    // Starts sending the stored record now (ignored while one is being sent).
    void RequestRecord();

    // The 4096 points of the stored record, each as the twelve lane values a correct decoder
    // stores for it. Fixed at construction by the options and the seed; faults never change it.
    const std::vector<Lanes>& StoredRecord() const { return m_record; }
    // The times of the R peaks in the stored record, in seconds from its first point.
    const std::vector<double>& StoredRecordBeats() const { return m_recordBeats; }
    // What the stored record was made of.
    const SimulatorTruth& Truth() const { return m_truth; }

    const SimulatorOptions& Options() const { return m_opt; }
    double Now() const { return m_dNow; }
    bool LinkUp() const { return m_bLinkUp; }
    bool Silent() const { return m_bSilent; }
    bool SendingRecord() const { return m_bInRecord; }
    // Record frames of the current (or the last) record pass, counting repeats and resends.
    int RecordFramesSent() const { return m_nPassFrames; }
    int RecordsSent() const { return m_nRecordsSent; }
    const FaultCounts& Faults() const { return m_faults; }

    // One frame: the nine channels packed as a high byte (value >> 4) and a nibble (value & 15)
    // after clamping to -2048 ... 2047, the register pair, the big-endian point index, the
    // checksum (sum of the 18 payload bytes modulo 256) and the marker.
    static Frame EncodeFrame(const Channels& channels, uint8_t reg, uint8_t value, int16_t index,
                             bool bNewFormat);
    // The twelve lanes a correct decoder derives from the channels under a lead system.
    static Lanes LanesOf(const Channels& channels, int nLeadSystem);

private:
    class CModel;

    double Uniform(); // [0, 1) from the fault generator
    uint8_t RegisterValue(int reg, bool bRecordFrame) const;
    SYSTEMTIME ClockAt(double t) const;
    Frame NextFrame(const Channels& channels, int16_t index, bool bRecordFrame);
    bool EmitFrame(const Frame& frame, std::vector<uint8_t>& out);
    void EmitText(const std::string& text, std::vector<uint8_t>& out);
    void StartLive();
    void StartRecord();
    void SendRecordFrame(std::vector<uint8_t>& out);
    void SendLiveFrame(std::vector<uint8_t>& out);

    SimulatorOptions m_opt;
    uint64_t m_nRandom; // state of the fault generator
    std::vector<Channels> m_recordChannels;
    std::vector<Lanes> m_record;
    std::vector<double> m_recordBeats;
    SimulatorTruth m_truth;
    std::unique_ptr<CModel> m_pLive; // the endless signal of the live picture

    double m_dNow = 0.0;
    double m_dLineFree = 0.0; // when the line has sent everything handed to it
    uint8_t m_nLastByte = 0;  // last byte put on the line
    int m_nNextRegister = 1;

    size_t m_nWakeMatched = 0; // bytes of "BTConnect\n\r" matched so far
    bool m_bLinkUp = false;
    bool m_bAnnounced = false; // "CONNECTION" sent for the current link
    std::string m_strPending;  // text waiting for the line

    bool m_bDisconnectDone = false;
    bool m_bSilenceStarted = false;
    bool m_bSilent = false;

    double m_dLiveStart = 0.0;  // start of the current live stretch
    long long m_nLiveCount = 0; // live frames sent in it
    long long m_nLiveTotal = 0;

    bool m_bInRecord = false;
    std::vector<int> m_queue; // record indices to send: 0 ... 4095, then resends
    size_t m_nQueuePos = 0;
    int m_nPassFrames = 0;
    int m_nRecordsSent = 0;
    SYSTEMTIME m_stRecord; // clock when the record pass began

    FaultCounts m_faults;
};
