#pragma once
// The state a record window keeps beside its record: the record block itself, the reception
// session's flags and decoder state, the device's register values and the time base. Member
// names follow the record window's; the acquisition session and the view both work on it.

#include "platform/systemtime.h"
#include "record_model/ecg_record.h"
#include "record_model/hprtime.h"
#include "record_model/patient_card.h"

#include <array>
#include <cstdint>
#include <memory>

constexpr int kRxBufSize = 4096;  // chunk buffer, cleared every tick
constexpr int kMaxChunk = 2048;   // bytes consumed per tick at most
constexpr int kFrameSize = 22;    // payload 18, checksum 1, marker 3
constexpr int kMaxCarry = 19;     // bytes of an unfinished frame kept for the next tick
constexpr int kMonitorLanes = 17; // sweep state slots of the live strip
constexpr uint32_t kPatientIdNone = 0xFFFFFFFFu;

class CSessionState {
public:
    CSessionState();
    virtual ~CSessionState() = default;
    CSessionState(const CSessionState&) = delete;
    CSessionState& operator=(const CSessionState&) = delete;

    // Resets the per-session device values: at construction, at every session start and when
    // the device's lead system changes.
    void ResetValues();

    // Makes `record` and `card` the window's finished record, as if it had just come in: the
    // device values from its info block, the chart's time base from its date text, nothing
    // receiving. The record is taken as it is; check it before (CheckRecordBlock).
    // absentLanes has a bit set for each lane the record's file had no lead for.
    void ShowRecord(const ECG_RECORD& record, const PATIENT_CARD& card, uint16_t absentLanes = 0);

    // Any point has arrived in this session, of the record or of the live picture.
    bool HasPoints() const { return m_nReceived > 0 || m_nRingPos != 0 || m_bRingWrapped; }

    // Record storage.
    std::unique_ptr<ECG_RECORD> m_pRecord;
    int m_nRecordSize = sizeof(ECG_RECORD);
    int m_nCurvesBufSize = kCurvesBufSize;
    int m_nSamplesSize = kSamplesSize;
    int16_t* m_pCurves = nullptr;     // the record's sample area
    int16_t* m_pShowCurves = nullptr; // what the chart shows; null until the first session

    // Port and timer.
    int m_hCom = -1;
    int m_nCom = 1;
    int m_nTimer = 0;

    // Session flags.
    int m_bSessionOn = 0;
    int m_bLiveView = 0;
    uint8_t m_bPolling = 0;
    int m_bConnected = 0;
    uint8_t m_bRecordDone = 0;
    uint8_t m_bLoaded = 0;
    uint8_t m_bSending = 0;

    // Receive and decode state.
    std::unique_ptr<uint8_t[]> m_pRxBuf;
    int m_nRxCount = 0;
    int m_nIdleTicks = 0;
    int m_nWarmupTicks = 0;
    uint8_t m_carry[kMaxCarry] = {};
    int m_nCarry = 0;
    int m_nSearchFrom = 0;
    uint8_t m_frame[kFrameSize] = {};
    uint8_t m_bSynced = 0;
    int16_t m_nFrameIndex = 0;
    int m_seen[kPoints] = {};
    int m_nReceived = 0;
    int m_nRingPos = 0;
    int m_nRingPosPrev = 0;
    int m_bRingWrapped = 0;
    int m_bMonitoring = 0;
    int m_nNewPoints = 0;
    uint8_t m_bNewFormat = 0;
    // The heart rate assembled from registers 11 and 12. Kept per record window: two
    // cardiographs on two windows must not mix the bytes of their heart rates.
    uint16_t chss_temp = 0;

    // Device register values.
    int m_nLeadSystem = 1;
    int m_nLeadSystemPrev = 1;
    int m_nSensitivity = 0;
    double m_dSpeed = 0.0;
    double m_dSpeedMon = 0.0;
    double m_dZoom = 1.0;
    int m_nHeartRate = 0;
    int m_nFilter = 0;
    uint32_t m_nSerial = 0;
    uint8_t m_nSerialHi = 0;
    uint32_t m_nCurveNo = 0;
    SYSTEMTIME m_stDevice{};

    // Time and text.
    CHPrTime m_Time;
    SYSTEMTIME m_stStop{};
    char m_szInfo[1024] = {};
    uint32_t m_nPatientId = kPatientIdNone;

    // Members of the card, chart and live strip that the resets touch.
    PATIENT_CARD m_Card{};
    int16_t m_nFirstLane = 0;
    int m_nLanes = 0;
    uint16_t m_nAbsentLanes = 0; // a bit per lane the record's file had no lead for
    int m_bMonitorCleared = 0;
    std::array<int, kMonitorLanes> m_nSweepPos{};
    std::array<int, kMonitorLanes> m_nLastX{};
    std::array<int, kMonitorLanes> m_nLastY{};
    uint8_t m_nProgVersion = 6;
    uint8_t m_nProgRevision = 10;
};
