#include "record_model/ecg_signal.h"

#include "record_model/lead_vocabulary.h"
#include "record_model/session_state.h"

CEcgSignal LiveSignal(const CSessionState& s, int points) {
    const int have = s.m_bRingWrapped ? kPoints : s.m_nRingPos;
    if (points <= 0 || points > kPoints || have < points || !s.m_pCurves)
        return {};
    const std::span<const CLeadEntry> names = LeadSystemLeads(uint32_t(s.m_nLeadSystem));
    const int lanes = int(names.size());
    CEcgSignal out;
    out.dRate = kPointsPerSecond;
    out.leads.assign(size_t(lanes), std::vector<float>(size_t(points)));
    out.present.assign(size_t(lanes), true);
    const int end = s.m_nRingPos >= kPoints ? 0 : s.m_nRingPos; // one past the newest point
    for (int lane = 0; lane < lanes; ++lane) {
        out.names.emplace_back(names[size_t(lane)].m_szLabel);
        for (int k = 0; k < points; ++k) {
            const int p = (end - points + k + kPoints) % kPoints;
            out.leads[size_t(lane)][size_t(k)] =
                float(s.m_pCurves[p * kLeads + lane] * kMicrovoltsPerUnit);
        }
    }
    return out;
}

CEcgSignal SignalFromRecord(const ECG_RECORD& record) {
    const std::span<const CLeadEntry> names =
        LeadSystemLeads(ReadRecordInfo(record.curves_buf).leadSystem);
    const int lanes = int(names.size());
    CEcgSignal s;
    s.dRate = kPointsPerSecond;
    s.leads.assign(size_t(lanes), std::vector<float>(kPoints));
    s.present.assign(size_t(lanes), false);
    for (int lane = 0; lane < lanes; ++lane) {
        s.names.emplace_back(names[size_t(lane)].m_szLabel);
        std::vector<float>& lead = s.leads[size_t(lane)];
        bool any = false;
        for (int p = 0; p < kPoints; ++p) {
            const int16_t v = Sample(record, p, lane);
            any = any || v != 0;
            lead[size_t(p)] = float(v * kMicrovoltsPerUnit);
        }
        s.present[size_t(lane)] = any;
    }
    return s;
}
