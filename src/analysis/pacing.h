#pragma once
// A pacemaker's stimuli: spikes of a fraction of a millisecond that bend every lead harder than
// any wave of the heart. They are found on the signal as it came, and taken out of it before the
// QRS complexes are detected (a detector would take a spike of several millivolts for a beat);
// the interpretation then asks which beats followed one.

#include "record_model/ecg_signal.h"

#include <cstddef>
#include <vector>

namespace analysis {

// The stimuli in s, as sample indices in ascending order.
std::vector<size_t> FindPacingSpikes(const CEcgSignal& s);

// s with each stimulus replaced, in every lead, by the straight line across the 12 ms around it.
void RemovePacingSpikes(CEcgSignal& s, const std::vector<size_t>& spikes);

// How many of the beats followed a stimulus: one 10-300 ms before the beat's mark, at about the
// same delay (within 40 ms) as the others' (a pacemaker starts its QRS after a fixed delay; the
// detector's mark may sit anywhere in a wide paced QRS).
size_t PacedBeats(const std::vector<size_t>& beats, const std::vector<size_t>& spikes, double rate);

// The same, beat by beat: whether each followed a stimulus so.
std::vector<bool> PacedBeatFlags(const std::vector<size_t>& beats,
                                 const std::vector<size_t>& spikes, double rate);

// How many stimuli no QRS follows within 300 ms (in a record of `length` samples): an atrial
// pacemaker's, or a ventricular one's that did not capture.
size_t StimuliWithoutQrs(const std::vector<size_t>& beats, const std::vector<size_t>& spikes,
                         double rate, size_t length);

} // namespace analysis
