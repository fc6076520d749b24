#include "storage/wfdb_reader.h"

#include "platform/bounded_file.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

constexpr int kMaxSignals = 64;
constexpr double kMaxValues = 200e6; // samples of all signals read at once: 800 MB as floats
constexpr double kMaxCount = 1e15;   // no count or offset in a header is larger (a long holds it)

std::vector<std::string> Fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string f; in >> f;)
        out.push_back(f);
    return out;
}

bool Number(const std::string& text, double& v) {
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    v = std::strtod(text.c_str(), &end);
    return errno == 0 && end == text.c_str() + text.size() && std::isfinite(v);
}

// "1716(6)/mV": the gain, then an optional (baseline), then optional /units.
bool ParseGain(const std::string& text, WfdbChannel& s, bool& hasBaseline) {
    std::string rest = text;
    std::string units;
    if (const size_t slash = rest.find('/'); slash != std::string::npos) {
        units = rest.substr(slash + 1);
        rest = rest.substr(0, slash);
    }
    hasBaseline = false;
    if (const size_t paren = rest.find('('); paren != std::string::npos) {
        const size_t close = rest.find(')', paren);
        if (close == std::string::npos || close + 1 != rest.size() ||
            !Number(rest.substr(paren + 1, close - paren - 1), s.baseline))
            return false;
        hasBaseline = true;
        rest = rest.substr(0, paren);
    }
    if (!Number(rest, s.gain))
        return false;
    if (s.gain == 0)
        s.gain = 200; // the documented default for an unstated gain
    if (units.empty() || units == "mV")
        s.unitsToMicrovolts = 1000;
    else if (units == "uV" || units == "\u00b5V" || units == "\u03bcV")
        s.unitsToMicrovolts = 1;
    else if (units == "V")
        s.unitsToMicrovolts = 1e6;
    else
        return false;
    return true;
}

bool ParseTimeDate(const std::string& time, const std::string& date, SYSTEMTIME& t) {
    int h = 0, m = 0, sec = 0, d = 0, mo = 0, y = 0;
    double fs = 0;
    if (std::sscanf(time.c_str(), "%d:%d:%lf", &h, &m, &fs) != 3 || !(fs >= 0 && fs < 60))
        return false;
    sec = int(fs);
    if (std::sscanf(date.c_str(), "%d/%d/%d", &d, &mo, &y) != 3)
        return false;
    if (h < 0 || h > 23 || m < 0 || m > 59 || sec < 0 || sec > 59 || mo < 1 || mo > 12 || d < 1 ||
        d > 31 || y < 1900 || y > 9999)
        return false;
    t = SYSTEMTIME{uint16_t(y), uint16_t(mo),  0, uint16_t(d), uint16_t(h),
                   uint16_t(m), uint16_t(sec), 0};
    return true;
}

std::string LineError(int line, const std::string& what) {
    return "header line " + std::to_string(line) + ": " + what;
}

bool PlainFileName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

bool EndsWithMat(const std::string& name) {
    if (name.size() < 4)
        return false;
    std::string tail = name.substr(name.size() - 4);
    for (char& c : tail)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return tail == ".mat";
}

int32_t Get32(const uint8_t* p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

} // namespace

bool ParseWfdbHeader(const std::string& text, WfdbHeader& out, std::string* error) {
    WfdbHeader h;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool haveRecord = false;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos)
            continue;
        if (line[first] == '#') {
            h.comments.push_back(line.substr(first + 1));
            continue;
        }
        const std::vector<std::string> f = Fields(line.substr(0, line.find('#')));
        if (!haveRecord) {
            haveRecord = true;
            if (f.size() < 2)
                return *error = LineError(number, "no record name and signal count"), false;
            if (f[0].find('/') != std::string::npos)
                return *error = "a multi-segment record is not read", false;
            h.name = f[0];
            double n = 0;
            if (!Number(f[1], n) || n < 1 || n > kMaxSignals || n != std::floor(n))
                return *error = LineError(number, "signal count " + f[1]), false;
            h.channels.resize(size_t(n));
            if (f.size() > 2) {
                // "250/360(0)": the sampling frequency, then the counter frequency we need not.
                const std::string rate = f[2].substr(0, f[2].find('/'));
                if (!Number(rate, h.rate) || !(h.rate > 0) || h.rate > 1e5)
                    return *error = LineError(number, "sampling frequency " + f[2]), false;
            }
            double samples = 0;
            if (f.size() > 3 && (!Number(f[3], samples) || samples < 0 || samples > kMaxCount))
                return *error = LineError(number, "sample count " + f[3]), false;
            h.samples = long(samples);
            if (f.size() > 5)
                ParseTimeDate(f[4], f[5], h.start); // an unreadable date is no date
            continue;
        }
        const size_t k = size_t(std::count_if(h.channels.begin(), h.channels.end(),
                                              [](const WfdbChannel& s) { return s.format; }));
        if (k >= h.channels.size())
            break; // what follows the signal lines is not ours to read
        if (f.size() < 2)
            return *error = LineError(number, "no signal file and format"), false;
        WfdbChannel& s = h.channels[k];
        s.file = f[0];
        if (!PlainFileName(s.file))
            return *error = LineError(number,
                                      "signal file " + s.file + " is not a file beside the header"),
                   false;
        std::string format = f[1];
        if (const size_t plus = format.find('+'); plus != std::string::npos) {
            double offset = 0;
            if (!Number(format.substr(plus + 1), offset) || offset < 0 || offset > kMaxCount)
                return *error = LineError(number, "byte offset in " + f[1]), false;
            s.byteOffset = long(offset);
            format = format.substr(0, plus);
        }
        if (format.find('x') != std::string::npos)
            return *error = LineError(number, "several samples per frame are not read"), false;
        format = format.substr(0, format.find(':')); // a skew: not applied
        if (format != "212" && format != "16")
            return *error =
                       LineError(number, "format " + format + " is not read (only 212 and 16 are)"),
                   false;
        s.format = std::atoi(format.c_str());
        bool hasBaseline = false;
        if (f.size() > 2 && !ParseGain(f[2], s, hasBaseline))
            return *error = LineError(number, "gain " + f[2]), false;
        double zero = 0;
        if (f.size() > 4 && !Number(f[4], zero))
            return *error = LineError(number, "ADC zero " + f[4]), false;
        if (!hasBaseline)
            s.baseline = zero;
        // The description is the rest of the line after the eighth field.
        if (f.size() > 8) {
            std::istringstream fields(line);
            std::string skip;
            for (int i = 0; i < 8; ++i)
                fields >> skip;
            std::getline(fields, s.description);
            const size_t a = s.description.find_first_not_of(" \t");
            s.description = a == std::string::npos ? "" : s.description.substr(a);
        }
    }
    if (!haveRecord)
        return *error = "no record line", false;
    if (h.channels.empty() || h.channels.back().format == 0)
        return *error = "the header names fewer signals than it announces", false;
    // The signals of one file must share its format.
    for (size_t i = 1; i < h.channels.size(); ++i)
        if (h.channels[i].file == h.channels[i - 1].file &&
            (h.channels[i].format != h.channels[i - 1].format ||
             h.channels[i].byteOffset != h.channels[i - 1].byteOffset))
            return *error = "the signals of " + h.channels[i].file + " differ in format", false;
    out = std::move(h);
    return true;
}

long DecodeWfdbFrames(std::span<const uint8_t> bytes, std::span<const WfdbChannel> channels,
                      long frames, std::vector<std::vector<float>>& leads) {
    const size_t n = channels.size();
    if (n == 0 || frames <= 0 || leads.size() < n)
        return 0;
    const bool twelve = channels[0].format == 212;
    // Whole frames the bytes hold.
    const double bytesPerFrame = twelve ? 1.5 * double(n) : 2.0 * double(n);
    const long whole = long(std::floor(double(bytes.size()) / bytesPerFrame));
    const long count = std::min(frames, whole);
    for (size_t c = 0; c < n; ++c)
        leads[c].reserve(leads[c].size() + size_t(count));
    for (long i = 0; i < count; ++i)
        for (size_t c = 0; c < n; ++c) {
            const size_t k = size_t(i) * n + c;
            int v;
            if (twelve) {
                const size_t at = (k / 2) * 3;
                v = k % 2 == 0 ? (bytes[at] | (bytes[at + 1] & 0x0F) << 8)
                               : (bytes[at + 2] | (bytes[at + 1] & 0xF0) << 4);
                if (v > 2047)
                    v -= 4096;
            } else {
                v = int16_t(uint16_t(bytes[2 * k] | bytes[2 * k + 1] << 8));
            }
            const WfdbChannel& s = channels[c];
            leads[c].push_back(float((v - s.baseline) / s.gain * s.unitsToMicrovolts));
        }
    return count;
}

bool ParseMatV4Header(std::span<const uint8_t> head, CMatV4Header& out, std::string* error) {
    constexpr size_t kFixed = 20;
    constexpr int32_t kMaxName = 64;
    if (head.size() < kFixed)
        return *error = "a MATLAB v4 file begins with a 20-byte matrix header, this one has " +
                        std::to_string(head.size()) + " bytes",
               false;
    CMatV4Header h;
    h.m_nType = Get32(&head[0]);
    h.m_nRows = Get32(&head[4]);
    h.m_nCols = Get32(&head[8]);
    const int32_t imaginary = Get32(&head[12]);
    const int32_t nameLength = Get32(&head[16]);
    // The type is MOPT in decimal: M 0 (little-endian), O 0, P the precision, T 0 (numeric).
    if (h.m_nType < 0 || h.m_nType > 50 || h.m_nType % 10 != 0)
        return *error = "its MATLAB v4 type " + std::to_string(h.m_nType) +
                        " is no little-endian numeric matrix (a MATLAB 5 file or another file)",
               false;
    if (h.m_nRows < 1 || h.m_nCols < 1)
        return *error = "its MATLAB matrix is " + std::to_string(h.m_nRows) + " by " +
                        std::to_string(h.m_nCols),
               false;
    if (imaginary != 0)
        return *error = "its MATLAB matrix is complex", false;
    if (nameLength < 1 || nameLength > kMaxName || head.size() < kFixed + size_t(nameLength))
        return *error =
                   "its MATLAB matrix name of " + std::to_string(nameLength) + " bytes cannot be",
               false;
    const uint8_t* name = &head[kFixed];
    if (name[nameLength - 1] != 0)
        return *error = "its MATLAB matrix name does not end with a zero", false;
    for (int32_t i = 0; i + 1 < nameLength; ++i)
        if (name[i] < 0x21 || name[i] > 0x7E)
            return *error = "its MATLAB matrix name is not a name", false;
    h.m_strName.assign(reinterpret_cast<const char*>(name), size_t(nameLength - 1));
    h.m_nDataOffset = kFixed + size_t(nameLength);
    out = std::move(h);
    return true;
}

bool FindWfdbHeaderOf(const std::string& signalPath, std::string& headerPath, std::string* error) {
    const size_t slash = signalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : signalPath.substr(0, slash + 1);
    const std::string file = signalPath.substr(folder.size());
    const size_t dot = file.rfind('.');
    const std::string stem = dot == std::string::npos ? file : file.substr(0, dot);
    std::string why;
    for (const char* extension : {".hea", ".HEA"}) {
        const std::string candidate = folder + stem + extension;
        std::vector<uint8_t> text;
        uint64_t size = 0;
        if (!ReadFilePart(candidate, 0, 1 << 20, text, &why, &size))
            continue;
        WfdbHeader h;
        if (!ParseWfdbHeader(std::string(text.begin(), text.end()), h, &why))
            return *error = "its WFDB header " + candidate + " cannot be read: " + why, false;
        for (const WfdbChannel& c : h.channels)
            if (c.file == file) {
                headerPath = candidate;
                return true;
            }
        return *error = "its WFDB header " + candidate + " does not name " + file, false;
    }
    return *error = "it is a signal file of a WFDB record, and its header " + stem +
                    ".hea is not beside it",
           false;
}

namespace {

// A .mat signal file's matrix header must say what the WFDB header says: 16-bit samples, one row
// per signal (MATLAB keeps a matrix column by column: a column is one frame), starting where the
// header's byte offset puts them. Gives the frames the matrix holds.
bool CheckMatFile(const std::string& path, std::span<const WfdbChannel> group, long& frames,
                  std::string* error) {
    std::vector<uint8_t> head;
    if (!ReadFilePart(path, 0, 20 + 64, head, error))
        return *error = path + ": " + *error, false;
    CMatV4Header m;
    if (!ParseMatV4Header(head, m, error))
        return *error = path + ": " + *error, false;
    if (m.m_nType != 30 || group[0].format != 16)
        return *error = path + ": its matrix holds type " + std::to_string(m.m_nType) +
                        " values, the header says format " + std::to_string(group[0].format) +
                        " (a .mat record is read as 16-bit samples, type 30)",
               false;
    if (size_t(m.m_nRows) != group.size())
        return *error = path + ": its matrix has " + std::to_string(m.m_nRows) +
                        " rows, the header names " + std::to_string(group.size()) +
                        " signals in it",
               false;
    if (long(m.m_nDataOffset) != group[0].byteOffset)
        return *error = path + ": its samples begin at byte " + std::to_string(m.m_nDataOffset) +
                        ", the header says " + std::to_string(group[0].byteOffset),
               false;
    frames = m.m_nCols;
    return true;
}

bool ReadPart(const std::string& path, long offset, size_t maxBytes, std::vector<uint8_t>& out,
              size_t& fileSize, std::string* error) {
    uint64_t size = 0;
    if (!ReadFilePart(path, uint64_t(offset), maxBytes, out, error, &size))
        return *error = path + ": " + *error, false;
    fileSize = size_t(size);
    return true;
}

double BytesPerFrame(std::span<const WfdbChannel> group) {
    return (group[0].format == 212 ? 1.5 : 2.0) * double(group.size());
}

// The runs of channels that share a signal file: [a, b) of the header's channels.
std::vector<std::pair<size_t, size_t>> FileGroups(const WfdbHeader& h) {
    std::vector<std::pair<size_t, size_t>> out;
    for (size_t a = 0; a < h.channels.size();) {
        size_t b = a + 1;
        while (b < h.channels.size() && h.channels[b].file == h.channels[a].file)
            ++b;
        out.emplace_back(a, b);
        a = b;
    }
    return out;
}

} // namespace

bool CWfdbSignalReader::Open(const std::string& headerPath, std::string* error) {
    std::vector<uint8_t> text;
    size_t size = 0;
    if (!ReadPart(headerPath, 0, 1 << 20, text, size, error))
        return false;
    if (size > (1 << 20))
        return *error = "a header of " + std::to_string(size) + " bytes is no WFDB header", false;
    WfdbHeader h;
    if (!ParseWfdbHeader(std::string(text.begin(), text.end()), h, error))
        return false;
    const size_t slash = headerPath.rfind('/');
    m_strFolder = slash == std::string::npos ? "" : headerPath.substr(0, slash + 1);
    long frames = -1;
    double total = 0;
    for (const auto& [a, b] : FileGroups(h)) {
        const std::span<const WfdbChannel> group(h.channels.data() + a, b - a);
        std::vector<uint8_t> none;
        size_t fileSize = 0;
        if (!ReadPart(m_strFolder + group[0].file, group[0].byteOffset, 0, none, fileSize, error))
            return false;
        const double available =
            double(fileSize > size_t(group[0].byteOffset) ? fileSize - size_t(group[0].byteOffset)
                                                          : 0) /
            BytesPerFrame(group);
        long inFile = h.samples > 0 ? std::min<long>(h.samples, long(available)) : long(available);
        if (EndsWithMat(group[0].file)) {
            long columns = 0;
            if (!CheckMatFile(m_strFolder + group[0].file, group, columns, error))
                return false;
            inFile = std::min(inFile, columns);
        }
        frames = frames < 0 ? inFile : std::min(frames, inFile);
        total = std::max(total, double(inFile) / h.rate);
    }
    if (frames <= 0)
        return *error = "the signal files hold no samples", false;
    m_header = std::move(h);
    m_nFrames = frames;
    m_dTotalSeconds = total;
    return true;
}

bool CWfdbSignalReader::Read(long first, long count, CEcgSignal& out, std::string* error) const {
    const WfdbHeader& h = m_header;
    count = std::max(0L, std::min(count, m_nFrames - first));
    out = CEcgSignal{};
    out.dRate = h.rate;
    out.leads.resize(h.channels.size());
    for (const auto& [a, b] : FileGroups(h)) {
        const std::span<const WfdbChannel> group(h.channels.data() + a, b - a);
        // Format 212 packs two samples in three bytes: an odd channel count puts every other
        // frame mid-byte, so reading starts at the even frame before `first`.
        const long from = group[0].format == 212 ? first & ~1L : first;
        const long frames = count + (first - from);
        const double perFrame = BytesPerFrame(group);
        const size_t maxBytes = size_t(std::ceil(double(frames) * perFrame)) + 3;
        std::vector<uint8_t> bytes;
        size_t fileSize = 0;
        if (!ReadPart(m_strFolder + group[0].file,
                      group[0].byteOffset + long(double(from) * perFrame), maxBytes, bytes,
                      fileSize, error))
            return false;
        std::vector<std::vector<float>> leads(b - a);
        if (DecodeWfdbFrames(bytes, group, frames, leads) != frames)
            return *error = m_strFolder + group[0].file + ": the file became shorter", false;
        for (size_t c = a; c < b; ++c) {
            std::vector<float>& lead = leads[c - a];
            lead.erase(lead.begin(), lead.begin() + (first - from));
            out.leads[c] = std::move(lead);
        }
    }
    for (const WfdbChannel& s : h.channels)
        out.names.push_back(s.description);
    out.present.assign(h.channels.size(), true);
    return true;
}

bool ReadWfdbRecord(const std::string& headerPath, double maxSeconds, WfdbRecord& out,
                    std::string* error) {
    CWfdbSignalReader reader;
    if (!reader.Open(headerPath, error))
        return false;
    const WfdbHeader& h = reader.Header();
    long count = reader.Frames();
    if (maxSeconds > 0)
        count = std::min(count, long(std::ceil(maxSeconds * h.rate)));
    else if (double(count) * double(h.channels.size()) > kMaxValues)
        return *error = "the record is too large to read whole (" + std::to_string(count) +
                        " samples per signal)",
               false;
    WfdbRecord r;
    if (!reader.Read(0, count, r.signal, error))
        return false;
    r.header = h;
    r.dTotalSeconds = reader.TotalSeconds();
    out = std::move(r);
    return true;
}
