#include "record/session_state.h"

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
    m_nWarmupTicks = 0;
    m_nSerial = 0;
    m_nCurveNo = 0;
    m_nSerialHi = 0;
    m_nSweepPos.fill(1);
    m_nLastX.fill(0);
    m_nLastY.fill(0);
}
