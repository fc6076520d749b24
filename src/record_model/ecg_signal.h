#pragma once
// A multi-lead ECG at its own sampling rate, in microvolts: what another system's file gives, and
// what the analysis works on. The record block is one such signal (409.6 Hz, twelve lanes).

#include "record_model/ecg_record.h"

#include <string>
#include <vector>

struct CEcgSignal {
    double dRate = 0.0;                    // samples per second
    std::vector<std::string> names;        // lead names as the file gives them ("I", "V1", "MLII")
    std::vector<std::vector<float>> leads; // one vector per lead, all of the same length, µV
    std::vector<bool> present;             // false: the lead is absent (an empty lane)

    size_t Length() const { return leads.empty() ? 0 : leads.front().size(); }
    double Seconds() const { return dRate > 0 ? double(Length()) / dRate : 0.0; }
};

// Microvolts per unit of a record sample: 500 units are 1 mV.
constexpr double kMicrovoltsPerUnit = 2.0;

// The record's lanes as a signal at 409.6 Hz, named by the record's lead system (the twelve
// standard leads for lead system 1). A lane that holds only zeros is marked absent.
CEcgSignal SignalFromRecord(const ECG_RECORD& record);

// A signal of eight stored leads (I, II, V1-V6) made whole: with I and II present and none of
// III, aVR, aVL, aVF, the four are derived from the two (Einthoven, Goldberger) and appended.
void DeriveLimbLeads(CEcgSignal& signal);

class CSessionState;

// The newest `points` points of the live picture, oldest first, with the lanes of the session's
// lead system; empty while fewer have arrived.
CEcgSignal LiveSignal(const CSessionState& s, int points);
