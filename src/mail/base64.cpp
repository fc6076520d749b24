#include "mail/base64.h"

#include <array>
#include <cstring>

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr size_t kGroupsPerLine = 13;

// The two characters of every 12-bit value, so a group of three bytes takes two look-ups.
struct CPairTable {
    std::array<char, 2 * 4096> chars{};
    constexpr CPairTable() {
        for (size_t v = 0; v < 4096; ++v) {
            chars[2 * v] = kAlphabet[v >> 6];
            chars[2 * v + 1] = kAlphabet[v & 63];
        }
    }
};
constexpr CPairTable kPairs;

inline void EncodeGroup(const uint8_t* s, char* d) {
    const uint32_t v = (uint32_t(s[0]) << 16) | (uint32_t(s[1]) << 8) | s[2];
    std::memcpy(d, &kPairs.chars[2 * (v >> 12)], 2);
    std::memcpy(d + 2, &kPairs.chars[2 * (v & 0xFFF)], 2);
}

} // namespace

size_t encodeBase64(const uint8_t* pSrc, size_t nLen, char* pDst) {
    char* d = pDst;
    const uint8_t* s = pSrc;
    const size_t fullGroups = nLen / 3;
    const size_t rest = nLen % 3;

    // Whole lines first: 39 bytes give 52 characters and a CR LF.
    size_t lines = fullGroups / kGroupsPerLine;
    for (; lines > 0; --lines) {
        for (size_t g = 0; g < kGroupsPerLine; ++g, s += 3, d += 4)
            EncodeGroup(s, d);
        *d++ = '\r';
        *d++ = '\n';
    }
    size_t inLine = fullGroups % kGroupsPerLine;
    for (size_t g = 0; g < inLine; ++g, s += 3, d += 4)
        EncodeGroup(s, d);

    if (rest != 0) {
        const uint32_t v = (uint32_t(s[0]) << 16) | (rest == 2 ? uint32_t(s[1]) << 8 : 0);
        d[0] = kAlphabet[v >> 18];
        d[1] = kAlphabet[(v >> 12) & 63];
        d[2] = rest == 2 ? kAlphabet[(v >> 6) & 63] : '=';
        d[3] = '=';
        d += 4;
        if (++inLine == kGroupsPerLine) { // the padded group completes a line
            *d++ = '\r';
            *d++ = '\n';
        }
    }
    *d++ = '\r';
    *d++ = '\n';
    return size_t(d - pDst);
}
