#pragma once
// The narrow byte interface the poll tick reads and writes through: a serial port in the
// program, a fake or a capture in tests. No call ever blocks.

#include <cstdint>

class IBytePort {
public:
    virtual ~IBytePort() = default;
    // Bytes written, or -1.
    virtual int Write(const uint8_t* data, int len) = 0;
    // Bytes waiting to be read, or -1 when the status query fails.
    virtual int Queued() = 0;
    // Reads what is there, at most `max` bytes: the count read (0 when none), or -1.
    virtual int Read(uint8_t* data, int max) = 0;
};
