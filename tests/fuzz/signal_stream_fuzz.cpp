// Feeds arbitrary bytes to the reader of the interchange helper's answer. It may not crash or
// read past the bytes; a stream it takes must hold leads of one length at a real rate, every
// sample a number, and write back to a stream it takes again alike.

#include "storage/signal_stream.h"

#include "fuzz_check.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ForeignEcg ecg;
    std::string error;
    if (!ReadSignalStream(data, size, ecg, &error)) {
        Check(!error.empty());
        return 0;
    }
    const CEcgSignal& s = ecg.signal;
    Check(s.dRate >= 1 && s.leads.size() == s.names.size() && !s.leads.empty());
    Check(s.leads.size() <= kMaxStreamLeads && s.Length() <= kMaxStreamSamples);
    for (const auto& lead : s.leads) {
        Check(lead.size() == s.Length());
        for (float v : lead)
            Check(std::isfinite(v));
    }
    const std::string again = WriteSignalStream(ecg);
    ForeignEcg back;
    Check(ReadSignalStream(reinterpret_cast<const uint8_t*>(again.data()), again.size(), back,
                           &error));
    Check(back.signal.leads == s.leads && back.lastName == ecg.lastName);
    return 0;
}
