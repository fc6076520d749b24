// Feeds arbitrary text to the WFDB header parser and the bytes after it to the sample decoder
// of the header's first file. Neither may crash or read out of bounds; a header it takes must
// name between 1 and 64 signals of format 212 or 16 with plain file names, and the decoder must
// give whole frames only, never more than it was asked for or than the bytes hold.

#include "storage/wfdb_reader.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The header is the text up to the first zero byte; the samples are what follows it.
    const auto* zero = static_cast<const uint8_t*>(std::memchr(data, 0, size));
    const size_t textSize = zero ? size_t(zero - data) : size;
    const std::string text(reinterpret_cast<const char*>(data), textSize);
    WfdbHeader h;
    std::string error;
    if (!ParseWfdbHeader(text, h, &error)) {
        Check(!error.empty());
        return 0;
    }
    Check(!h.channels.empty() && h.channels.size() <= 64 && h.rate > 0);
    for (const WfdbChannel& s : h.channels) {
        Check(s.format == 212 || s.format == 16);
        Check(!s.file.empty() && s.file.find('/') == std::string::npos && s.file != "..");
        Check(s.gain != 0 && std::isfinite(s.gain) && std::isfinite(s.baseline));
    }
    size_t group = 1;
    while (group < h.channels.size() && h.channels[group].file == h.channels[0].file)
        ++group;
    const std::span<const uint8_t> bytes(zero ? zero + 1 : data + size,
                                         zero ? size - textSize - 1 : 0);
    std::vector<std::vector<float>> leads(group);
    const long frames = DecodeWfdbFrames(bytes, std::span(h.channels.data(), group), 5000, leads);
    const double bytesPerFrame = (h.channels[0].format == 212 ? 1.5 : 2.0) * double(group);
    Check(frames >= 0 && frames <= 5000 && double(frames) * bytesPerFrame <= double(bytes.size()));
    for (const std::vector<float>& lead : leads)
        Check(lead.size() == size_t(frames));
    return 0;
}
