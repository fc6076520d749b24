#include "record_model/session_state.h"

#include "record_model/record_date.h"

#include <cstring>

CSessionState::CSessionState()
    : m_pRecord(std::make_unique<ECG_RECORD>()), m_pRxBuf(std::make_unique<uint8_t[]>(kRxBufSize)) {
    // make_unique value-initialises: both blocks start zero-filled.
    m_pCurves = m_pRecord->curves_buf;
    m_Time.ResetVal();
    ResetValues();
}

void CSessionState::ResetValues() {
    m_bSending = 0;
    m_nAbsentLanes = 0;
    m_nFilter = 0;
    m_bPolling = 0;
    m_nCurvesBufSize = kCurvesBufSize;
    m_nSamplesSize = kSamplesSize;
    m_nFirstLane = 0;
    m_nLanes = 0;
    m_nLeadSystemPrev = m_nLeadSystem;
    m_bMonitorCleared = 0;
    m_stDevice = SYSTEMTIME{};
    std::memset(&m_Card, 0, sizeof m_Card);
    m_Card.sex = kSexNotGiven;
    m_nWarmupTicks = 0;
    m_nSerial = 0;
    m_nCurveNo = 0;
    m_nSerialHi = 0;
    m_nSweepPos.fill(1);
    m_nLastX.fill(0);
    m_nLastY.fill(0);
}

void CSessionState::ShowRecord(const ECG_RECORD& record, const PATIENT_CARD& card,
                               uint16_t absentLanes) {
    m_nLeadSystem = 1;
    ResetValues();
    std::memcpy(m_pRecord.get(), &record, sizeof record);
    m_Card = card;
    const RECORD_INFO info = ReadRecordInfo(m_pCurves);
    if (info.magic == kRecordInfoMagic) {
        m_nLeadSystem = int(info.leadSystem);
        m_nSensitivity = int(info.sensitivity);
        m_dSpeed = double(info.speed);
        m_nHeartRate = int(info.heartRate);
        m_bNewFormat = info.newFormat ? 1 : 0;
        m_nFilter = int(info.filter);
        m_nSerial = info.serial;
        m_nCurveNo = info.curveNo;
        m_nSerialHi = uint8_t(info.serialHi);
    }
    m_nLeadSystemPrev = m_nLeadSystem;
    m_dSpeedMon = m_dSpeed;
    if (ParseRecordDate(record.date, sizeof record.date, m_stDevice))
        m_Time.Initialize(m_stDevice);
    m_nAbsentLanes = absentLanes;
    m_pShowCurves = m_pCurves;
    m_bSessionOn = 0;
    m_bLiveView = 0;
    m_bConnected = 0;
    m_bRecordDone = 1;
    m_bLoaded = 1;
    m_nReceived = kPoints;
}
