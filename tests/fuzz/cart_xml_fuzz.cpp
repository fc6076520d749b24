// Feeds arbitrary bytes to the three cart XML readers, to the root-element sniffing the record
// table's claims use, and, as an XLI stream, to the Philips decoder. None may crash, hang or read
// out of bounds; a reader that takes the bytes gives a whole signal (names, leads and presence
// alike in number, every lead of one non-zero length, finite samples, a rate) from a document of
// its own root element; one that refuses says why.

#include "fuzz_check.h"
#include "storage/cart_xml.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace {

void CheckRead(bool ok, const CCartXmlEcg& ecg, const std::string& error, const std::string& root,
               const char* expectedRoot) {
    if (!ok) {
        Check(!error.empty());
        return;
    }
    Check(root == expectedRoot);
    const CEcgSignal& s = ecg.signal;
    Check(s.dRate > 0 && std::isfinite(s.dRate));
    Check(!s.leads.empty() && s.names.size() == s.leads.size() &&
          s.present.size() == s.leads.size());
    for (const std::vector<float>& lead : s.leads) {
        Check(lead.size() == s.leads.front().size() && !lead.empty());
        for (float x : lead)
            Check(std::isfinite(x));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string root = XmlRootElement(std::span(data, std::min<size_t>(size, 64 * 1024)));
    CCartXmlEcg ecg;
    std::string error;
    bool ok = ReadPhilipsXml(data, size, ecg, &error);
    CheckRead(ok, ecg, error, root, "restingecgdata");
    error.clear();
    ok = ReadMuseXml(data, size, ecg, &error);
    CheckRead(ok, ecg, error, root, "RestingECG");
    error.clear();
    ok = ReadCardioSoftXml(data, size, ecg, &error);
    CheckRead(ok, ecg, error, root, "CardiologyXML");

    const std::vector<std::string> names = {"I", "II", "III"};
    std::vector<std::vector<int16_t>> leads;
    error.clear();
    if (DecodeXli(std::span(data, size), names, 300, leads, &error)) {
        Check(leads.size() == 3);
        for (const auto& lead : leads)
            Check(lead.size() == 300);
    } else {
        Check(!error.empty());
    }
    return 0;
}
