#pragma once
// A finished record in a window's session, as the send commands' tests start from: a signal in
// every lane, a date, and a card that names the patient.

#include "record_model/session_state.h"

#include <cstring>

inline void LoadRecord(CSessionState& s) {
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(s.m_pCurves, p, lane) = int16_t((p * (lane + 1)) % 400 - 200);
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(s.m_pCurves, info);
    std::memcpy(s.m_pRecord->curves_buf, s.m_pCurves, sizeof s.m_pRecord->curves_buf);
    std::strcpy(s.m_pRecord->date, "2026-12-09 10:11:12");
    std::strcpy(s.m_Card.last_name, "Petrov");
    s.m_pShowCurves = s.m_pCurves;
    s.m_bLoaded = 1;
}
