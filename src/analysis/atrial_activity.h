#pragma once
// Atrial activity apart from the ventricles': what is left of the leads that show the atria best
// (II, III, aVF, V1) once each beat's QRS-T is taken away. Flutter waves, and P waves that march
// on at their own rate through a complete AV block, are periodic there; a sinus P wave, locked
// to its QRS, goes with the QRS-T.

#include "analysis/measurements.h"

#include <cstddef>
#include <optional>

namespace analysis {

struct Atrial {
    // Regular atrial waves at 240-440/min that no QRS keeps pace with: atrial flutter.
    std::optional<double> flutterRateBpm;
    // Regular atrial waves at 40-180/min that keep no fixed place before the QRS complexes.
    std::optional<double> dissociatedRateBpm;
};

// s as Measure cleaned it for m (m = Measure(raw, &s)). Dissociated P waves are looked for only
// when bDissociation says (where the median beat shows none: P waves locked to their QRS would
// show there).
Atrial AnalyseAtria(const CEcgSignal& s, const Measurements& m, bool bDissociation);

// Whether a wave shaped like the median beat's P wave lies between the beats at samples `from`
// and `to` of s, where no QRS follows it: a blocked P wave.
bool HasBlockedP(const CEcgSignal& s, const Measurements& m, size_t from, size_t to);

} // namespace analysis
