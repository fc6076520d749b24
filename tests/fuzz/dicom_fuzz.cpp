// Feeds arbitrary bytes to the DICOM ECG reader of the interchange helper (DCMTK's parser under
// our reading of the waveform module). It may not crash, hang or read past the waveform data; an
// object it takes must give leads of one length at a real rate, every sample a number.

#include "interchange/dicom_import.h"

#include "fuzz_check.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ForeignEcg ecg;
    std::string error;
    if (!ImportDicom(data, size, 0, ecg, &error)) {
        Check(!error.empty());
        return 0;
    }
    const CEcgSignal& s = ecg.signal;
    Check(s.dRate >= 1 && s.leads.size() == s.names.size() && !s.leads.empty());
    for (const auto& lead : s.leads) {
        Check(lead.size() == s.Length());
        for (float v : lead)
            Check(std::isfinite(v));
    }
    return 0;
}
