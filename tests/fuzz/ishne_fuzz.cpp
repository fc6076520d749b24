// The ISHNE header parser and sample decoder on arbitrary bytes. Random bytes rarely pass the
// magic and never the CRC, so an input whose first byte is odd is taken as the makings of a file
// instead: lead count, rate, length, lead codes, resolutions and variable block from its bytes,
// the samples from the rest, the CRC made right (or not) as a byte says, the file cut or
// lengthened as another says. Neither may crash or read out of bounds; a header taken must be
// one the reader can use, and the decoder must give whole frames only, never more than asked.

#include "storage/ishne_reader.h"

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

void Put16(std::vector<uint8_t>& b, size_t at, int v) {
    b[at] = uint8_t(v & 0xFF);
    b[at + 1] = uint8_t((v >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = uint8_t((uint32_t(v) >> (8 * i)) & 0xFF);
}

uint16_t Crc(const uint8_t* p, size_t n) {
    uint16_t c = 0xFFFF;
    for (size_t i = 0; i < n; ++i) {
        c ^= uint16_t(p[i] << 8);
        for (int k = 0; k < 8; ++k)
            c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x1021) : uint16_t(c << 1);
    }
    return c;
}

// A file built from the input's bytes, laid out as an ISHNE file is.
std::vector<uint8_t> Built(const uint8_t* data, size_t size) {
    constexpr size_t kFields = 48;
    uint8_t f[kFields] = {};
    std::memcpy(f, data, std::min(size, kFields));
    const uint8_t* rest = data + std::min(size, kFields);
    const size_t restSize = size - std::min(size, kFields);
    const int leads = f[1] % 14; // 0 and 13 too: refused
    const int var = f[2] % 64;
    const int32_t samples = int32_t(f[3] | (f[4] & 0x03) << 8) - (f[4] & 0x80 ? 2 : 0);
    std::vector<uint8_t> b(kIshneFixedHeader + size_t(var), 0);
    std::memcpy(b.data(), "ISHNE1.0", 8);
    Put32(b, 10, var);
    Put32(b, 14, samples);
    Put32(b, 18, f[5] & 1 ? int32_t(f[6]) : 522);
    Put32(b, 22, int32_t(522 + var + (f[5] & 2 ? int8_t(f[7]) : 0)));
    Put16(b, 156, leads);
    for (size_t l = 0; l < 12; ++l) {
        Put16(b, 158 + 2 * l, int8_t(f[8 + l]) % 40);
        Put16(b, 206 + 2 * l, int16_t(f[20 + l] * 37 - 500));
    }
    Put16(b, 272, int16_t(f[32] | f[33] << 8));
    for (size_t i = 0; i < 6; ++i) // birth date, record date, start time
        Put16(b, 132 + 2 * i, int8_t(f[34 + i]));
    std::memcpy(&b[28], rest, std::min<size_t>(restSize, 40)); // a name from the samples' bytes
    b.insert(b.end(), rest, rest + restSize);
    const int cut = int8_t(f[40]);
    if (cut < 0)
        b.resize(b.size() - std::min(b.size(), size_t(-cut)));
    else
        b.resize(b.size() + size_t(cut), 0);
    const size_t end = std::min(b.size(), kIshneFixedHeader + size_t(var));
    if (end > 10)
        Put16(b, 8, Crc(&b[10], end - 10) ^ (f[41] & 0x80 ? 1 : 0));
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> file =
        size > 0 && (data[0] & 1) ? Built(data + 1, size - 1) : std::vector(data, data + size);
    CIshneHeader h;
    std::string error;
    const bool claimed = IshneClaims(file);
    if (!ParseIshneHeader(file, file.size(), h, &error)) {
        Check(!error.empty());
        return 0;
    }
    Check(claimed); // a header the reader takes is always claimed by its type
    Check(h.m_nLeads >= 1 && h.m_nLeads <= kIshneMaxLeads && h.m_nRate > 0 && h.m_nSamples > 0);
    Check(h.m_nEcgOffset >= int32_t(kIshneFixedHeader));
    const uint64_t end =
        uint64_t(h.m_nEcgOffset) + uint64_t(h.m_nSamples) * uint64_t(h.m_nLeads) * 2;
    Check(end <= file.size());
    for (int l = 0; l < h.m_nLeads; ++l) {
        Check(h.m_ResolutionNv[l] > 0);
        Check(!IshneLeadName(h.m_LeadCodes[l], l).empty());
    }
    const std::span<const uint8_t> samples(file.data() + h.m_nEcgOffset,
                                           file.size() - size_t(h.m_nEcgOffset));
    std::vector<std::vector<float>> leads(size_t(h.m_nLeads));
    const long want = std::min<long>(h.m_nSamples, 5000);
    const long got = DecodeIshneFrames(samples, h, want, leads);
    Check(got == want); // the header said the file holds them
    for (const std::vector<float>& lead : leads) {
        Check(lead.size() == size_t(got));
        for (float v : lead)
            Check(std::isfinite(v));
    }
    return 0;
}
