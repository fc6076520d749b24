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

void DeriveLimbLeads(CEcgSignal& s) {
    static constexpr const char* kDerived[] = {"III", "aVR", "aVL", "aVF"};
    int I = -1, II = -1;
    for (size_t k = 0; k < s.names.size(); ++k) {
        if (s.names[k] == "I")
            I = int(k);
        else if (s.names[k] == "II")
            II = int(k);
        else
            for (const char* d : kDerived)
                if (s.names[k] == d)
                    return;
    }
    if (I < 0 || II < 0)
        return;
    const std::vector<float>& a = s.leads[size_t(I)];
    const std::vector<float>& b = s.leads[size_t(II)];
    const size_t n = a.size();
    std::vector<float> d[4] = {std::vector<float>(n), std::vector<float>(n), std::vector<float>(n),
                               std::vector<float>(n)};
    for (size_t i = 0; i < n; ++i) {
        d[0][i] = b[i] - a[i];
        d[1][i] = -(a[i] + b[i]) / 2;
        d[2][i] = a[i] - b[i] / 2;
        d[3][i] = b[i] - a[i] / 2;
    }
    for (int k = 0; k < 4; ++k) {
        s.names.emplace_back(kDerived[k]);
        s.leads.push_back(std::move(d[k]));
        s.present.push_back(true);
    }
}
