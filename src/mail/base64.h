#pragma once
// The base64 encoder of the message files: the RFC 2045 alphabet in lines of 52 characters, each
// line and the whole output ended by CR LF.

#include <cstddef>
#include <cstdint>

// The number of bytes encodeBase64 writes for nLen input bytes: four characters per started group
// of three bytes, a CR LF after every 13th group and the final CR LF.
constexpr size_t Base64EncodedSize(size_t nLen) {
    const size_t groups = (nLen + 2) / 3;
    return groups * 4 + (groups / 13) * 2 + 2;
}

// Encodes nLen bytes of pSrc into pDst, which holds at least Base64EncodedSize(nLen) bytes, and
// returns the number of bytes written. A final group of one or two bytes is padded with "==" or
// "="; a CR LF follows every 52 characters and the output always ends with one more CR LF, so an
// input of a whole number of lines ends with an empty line. No input gives just the final CR LF.
size_t encodeBase64(const uint8_t* pSrc, size_t nLen, char* pDst);
