#pragma once
// ISHNE 1.0 Holter files: a fixed header of 522 bytes (the magic "ISHNE1.0", a CRC-CCITT over
// the header and its variable block, the patient, the start, up to twelve leads with their codes
// and resolutions in nV, the sampling rate), then the samples as little-endian int16, the leads
// of one instant side by side. A Holter file runs to hundreds of MB: it is read where it lies,
// a piece at a time, never whole.

#include "platform/systemtime.h"
#include "record_model/ecg_signal.h"
#include "storage/signal_stream.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

constexpr size_t kIshneFixedHeader = 522; // magic, CRC and the fixed header
constexpr int kIshneMaxLeads = 12;

struct CIshneHeader {
    int32_t m_nVarBlockSize = 0;
    int32_t m_nSamples = 0; // per lead
    int32_t m_nVarBlockOffset = 0;
    int32_t m_nEcgOffset = 0;
    int16_t m_nVersion = 0;
    std::string m_strFirstName, m_strLastName, m_strId;            // UTF-8
    int m_nSex = 0;                                                // 0 unknown, 1 male, 2 female
    uint16_t m_nBirthYear = 0, m_nBirthMonth = 0, m_nBirthDay = 0; // 0: not given
    SYSTEMTIME m_stStart{};                                        // all zero when not given
    int m_nLeads = 0;
    int16_t m_LeadCodes[kIshneMaxLeads] = {};
    int16_t m_ResolutionNv[kIshneMaxLeads] = {};
    int m_nRate = 0;
    std::string m_strRecorder;
};

// The name of an ISHNE lead code in our lead vocabulary ("I", "aVR", "V1"); a lead with no
// standard name is still named (its code and place: "ES", "X", "lead 3 (code 0)") so that it
// is never dropped.
std::string IshneLeadName(int code, int index);

// Whether head (the start of a file) is an ISHNE 1.0 file: its magic, and its CRC when the head
// holds the header and its variable block.
bool IshneClaims(std::span<const uint8_t> head);

// The header from head, which must hold the fixed header and the variable block, checked against
// a file of fileSize bytes. False with *error naming what is wrong: the magic, the CRC, the lead
// count, a resolution, the rate, an offset, a length past the file's end.
bool ParseIshneHeader(std::span<const uint8_t> head, uint64_t fileSize, CIshneHeader& out,
                      std::string* error);

// Decodes up to `frames` frames from bytes into µV, one vector per lead, appended. Returns the
// whole frames decoded: fewer when the bytes end early.
long DecodeIshneFrames(std::span<const uint8_t> bytes, const CIshneHeader& h, long frames,
                       std::vector<std::vector<float>>& leads);

// An ISHNE file read where it lies: Open reads only its header.
class CIshneReader {
public:
    bool Open(const std::string& path, std::string* error);

    const CIshneHeader& Header() const { return m_header; }
    long Frames() const { return m_header.m_nSamples; }
    double Rate() const { return m_header.m_nRate; }
    double TotalSeconds() const { return double(Frames()) / Rate(); }

    // Frames [first, first + count) of every lead (count cut at Frames()) into out, in µV, with
    // the rate and the leads' names. False with *error when the file cannot be read or became
    // shorter since Open.
    bool Read(long first, long count, CEcgSignal& out, std::string* error) const;

    // The first `seconds` of the file with its patient and start, as another system's recording.
    bool ReadStart(double seconds, ForeignEcg& out, std::string* error) const;

private:
    std::string m_strPath;
    CIshneHeader m_header;
};
