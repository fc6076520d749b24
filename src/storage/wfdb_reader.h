#pragma once
// PhysioNet's WFDB records: a text header (.hea) naming the signals and the files that hold
// them, in formats 212 (two 12-bit samples in three bytes) and 16 (little-endian 16-bit), as
// PhysioNet documents them (header(5), signal(5)); also their signals in MATLAB v4 .mat files
// (the Challenge layout: "A0001.mat 16+24", the samples after the matrix header). Read here rather
// than through libbiosig, whose WFDB reader (2.5.0) crashes on some of PhysioNet's own headers and
// refuses others.

#include "platform/systemtime.h"
#include "record_model/ecg_signal.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct WfdbChannel {
    std::string file;                // the signal file, relative to the header's folder
    int format = 0;                  // 212 or 16
    long byteOffset = 0;             // bytes to skip at the start of the file
    double gain = 200;               // ADC units per physical unit
    double baseline = 0;             // the ADC value of 0 physical units
    double unitsToMicrovolts = 1000; // mV unless the header says otherwise
    std::string description;         // the lead's name ("MLII", "v1")
};

struct WfdbHeader {
    std::string name;
    double rate = 250; // samples per second per signal
    long samples = 0;  // per signal; 0 when the header does not say
    std::vector<WfdbChannel> channels;
    SYSTEMTIME start{};                // all zero when the header gives no date
    std::vector<std::string> comments; // the '#' lines, without the '#'
};

// Parses a header's text; false with *error naming the line and what is wrong.
bool ParseWfdbHeader(const std::string& text, WfdbHeader& out, std::string* error);

// Decodes `frames` frames of the signals that one file holds (their channels in file order, all of
// one format) from bytes into per-signal µV, appended to leads (one vector per channel). Returns
// the frames decoded: fewer when the bytes end early.
long DecodeWfdbFrames(std::span<const uint8_t> bytes, std::span<const WfdbChannel> channels,
                      long frames, std::vector<std::vector<float>>& leads);

struct WfdbRecord {
    WfdbHeader header;
    CEcgSignal signal;        // in header order
    double dTotalSeconds = 0; // the whole record, also when less was read
};

// A WFDB record's signal read piece by piece, where its files lie: a long recording (a Holter
// record of days) never has to be in memory whole. Open reads the header and the signal files'
// sizes only.
class CWfdbSignalReader {
public:
    // False with *error: an unreadable or malformed header, a missing signal file, no samples.
    bool Open(const std::string& headerPath, std::string* error);

    const WfdbHeader& Header() const { return m_header; }
    // Frames every signal has: the header's count, cut to what the shortest file holds.
    long Frames() const { return m_nFrames; }
    // The longest file's length, in seconds (a record whose files differ in length).
    double TotalSeconds() const { return m_dTotalSeconds; }

    // Frames [first, first + count) of every signal (count cut at Frames()) into out, in µV, with
    // the rate, the names and every lead present. False with *error when a file cannot be read
    // or holds fewer bytes than it did at Open.
    bool Read(long first, long count, CEcgSignal& out, std::string* error) const;

private:
    std::string m_strFolder; // the header's folder, with its '/'
    WfdbHeader m_header;
    long m_nFrames = 0;
    double m_dTotalSeconds = 0;
};

// A MATLAB v4 matrix's header, as PhysioNet's .mat signal files begin: five int32 (type, rows,
// columns, imaginary flag, name length) and the name. Only a real little-endian matrix is read.
struct CMatV4Header {
    int32_t m_nType = 0; // 0 double, 10 single, 20 int32, 30 int16, 40 uint16, 50 uint8
    int32_t m_nRows = 0, m_nCols = 0;
    std::string m_strName;
    size_t m_nDataOffset = 0; // where the matrix's values begin
};

// False with *error naming what is wrong: too short, big-endian, complex, a type that is no
// numeric matrix, a name that is not a short zero-ended text.
bool ParseMatV4Header(std::span<const uint8_t> head, CMatV4Header& out, std::string* error);

// The header of the record whose signal file is signalPath (a .mat): the .hea of the same name
// beside it, which must name that file. False with *error when there is none.
bool FindWfdbHeaderOf(const std::string& signalPath, std::string& headerPath, std::string* error);

// Reads the record whose header is at headerPath: at most maxSeconds of it (0: all). False with
// *error saying why (a missing signal file, a format other than 212 and 16, a record too large
// to read whole: refused before its samples are read).
bool ReadWfdbRecord(const std::string& headerPath, double maxSeconds, WfdbRecord& out,
                    std::string* error);
