#pragma once
// Tells ventricular beats from the conducted ones, by rules on the features of P. de Chazal,
// M. O'Dwyer and R. B. Reilly, "Automatic classification of heartbeats using ECG morphology and
// heartbeat interval features", IEEE Trans. Biomed. Eng. 51(7), 2004 (the QRS's shape and width,
// the RR before and after the beat against the local RR) and the template matching of
// P. S. Hamilton's beat classifier (EP Limited's open-source arrhythmia detector, 2002): a beat
// whose QRS over the leads matches the dominant beat's is conducted; one that does not, and is
// wider or premature with a compensatory pause, is ventricular.

#include "analysis/measurements.h"
#include "record_model/ecg_signal.h"

#include <cstddef>
#include <vector>

namespace analysis {

// One class per beat of `beats` (sample indices of s in ascending order, as DetectQrs gives
// them). A beat too near the signal's ends for its QRS to be seen whole is Unknown, and so are
// one that would be ventricular but is much rougher than the dominant beat (noise) and every
// beat of a signal without a present lead.
std::vector<BeatClass> ClassifyBeats(const CEcgSignal& s, const std::vector<size_t>& beats);

} // namespace analysis
