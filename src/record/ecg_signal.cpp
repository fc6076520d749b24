#include "record/ecg_signal.h"

CEcgSignal SignalFromRecord(const ECG_RECORD& record) {
    // The lanes each lead system fills, and where its names start in the label table.
    int lanes = kLeads, firstName = 0;
    switch (ReadRecordInfo(record.curves_buf).leadSystem) {
    case 2:
        lanes = 3, firstName = 12;
        break;
    case 3:
        lanes = 4, firstName = 15;
        break;
    default:
        break;
    }
    CEcgSignal s;
    s.dRate = kPointsPerSecond;
    s.leads.assign(size_t(lanes), std::vector<float>(kPoints));
    s.present.assign(size_t(lanes), false);
    for (int lane = 0; lane < lanes; ++lane) {
        s.names.emplace_back(leads_names[firstName + lane]);
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
