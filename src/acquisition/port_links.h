#pragma once
// The ports a reception session runs on outside the tests: the serial device itself, a recorder
// that keeps what each tick read (a capture), and a player that feeds a capture back tick by
// tick without a device or a clock.
//
// A capture is a sequence of ticks, each a 4-byte little-endian length L followed by the L bytes
// read in that tick; L = 0 is a tick that found the queue empty.

#include "acquisition/acquisition_session.h"
#include "acquisition/serial_com.h"
#include "platform/atomic_file.h"

#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <vector>

// The serial device of COM<n> (through the COM map), or a fixed device path when one is given.
class CSerialPortLink : public ISerialLink {
public:
    explicit CSerialPortLink(std::string devicePath = {});
    int Open(int nCom) override;
    void Close() override;
    std::string LastError() const override { return m_strError; }
    int Write(const uint8_t* data, int len) override;
    int Queued() override;
    int Read(uint8_t* data, int max) override;

private:
    CSerialCom m_Serial;
    std::string m_strDevice;
    std::string m_strError;
};

// Passes everything to another link and appends each tick's reads to a capture file.
class CCaptureLink : public ISerialLink {
public:
    explicit CCaptureLink(ISerialLink& inner);
    ~CCaptureLink() override;
    // Starts the capture in a new file beside path; an existing file at path stays as it is
    // until Finish. False with the reason in *error.
    bool Create(const std::string& path, std::string* error);
    // Puts the capture at its path (once the reception has ended); false with the reason.
    // Without it (a start that failed) the capture is dropped and the old file kept.
    bool Finish(std::string* error);
    // False when a write to the capture failed at some point.
    bool Ok() const { return m_bOk; }
    int Open(int nCom) override { return m_inner.Open(nCom); }
    void Close() override { m_inner.Close(); }
    std::string LastError() const override { return m_inner.LastError(); }
    int Write(const uint8_t* data, int len) override { return m_inner.Write(data, len); }
    int Queued() override;
    int Read(uint8_t* data, int max) override;

private:
    void Append(const uint8_t* data, uint32_t len);
    ISerialLink& m_inner;
    std::unique_ptr<CAtomicFile> m_pFile;
    bool m_bOk = true;
};

// Plays a capture back: each tick's Queued() and Read() give that tick's bytes.
class CReplayLink : public ISerialLink {
public:
    // Reads and checks the whole capture; false with a message naming the file, the tick and
    // the byte offset of the first fault.
    bool Load(const std::string& path, std::string* error);
    // Checks and takes the bytes of a whole capture, to be played from its first tick; false with
    // a message naming the tick and the byte offset of the first fault, and nothing to play.
    bool Parse(std::span<const uint8_t> bytes, std::string* error);
    bool AtEnd() const { return m_nNext >= m_ticks.size(); }
    size_t Ticks() const { return m_ticks.size(); }
    int Open(int) override { return 0; }
    void Close() override {}
    int Write(const uint8_t*, int len) override { return len; }
    int Queued() override;
    int Read(uint8_t* data, int max) override;

private:
    std::vector<std::vector<uint8_t>> m_ticks;
    size_t m_nNext = 0;
};
