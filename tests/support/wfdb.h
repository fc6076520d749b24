#pragma once
// A small reader of PhysioNet's WFDB files for the tests: the header, the signal file in formats
// 212 and 16, and MIT-format annotation files. Written from the format's documentation on
// PhysioNet, independently of the product's reader (libbiosig), so that each checks the other.

#include "record_model/ecg_signal.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace wfdb {

// Where the real data is: VELMORA_REALDATA, else ../shared/realdata beside the source tree;
// empty when neither exists.
inline std::filesystem::path RealData() {
    if (const char* env = std::getenv("VELMORA_REALDATA"); env && *env)
        return std::filesystem::exists(env) ? std::filesystem::path(env) : std::filesystem::path();
    const std::filesystem::path beside =
        std::filesystem::path(VELMORA_SOURCE_DIR) / ".." / "shared" / "realdata";
    return std::filesystem::exists(beside) ? beside : std::filesystem::path();
}

// The records of a folder (the paths of their headers without the extension), in name order.
inline std::vector<std::filesystem::path> RecordsIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> bases;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().extension() == ".hea")
            bases.push_back(e.path().parent_path() / e.path().stem());
    std::sort(bases.begin(), bases.end());
    return bases;
}

struct Signal {
    std::string file, name;
    int format = 0;
    double gain = 200, baseline = 0;
};

// The record at base (a path without extension) in microvolts; false when it cannot be read.
inline bool ReadRecord(const std::filesystem::path& base, CEcgSignal& out) {
    std::ifstream hea(base.string() + ".hea");
    std::string line;
    auto next = [&] {
        while (std::getline(hea, line))
            if (!line.empty() && line[0] != '#')
                return true;
        return false;
    };
    if (!next())
        return false;
    std::istringstream first(line);
    std::string record, rate;
    size_t nsig = 0, length = 0;
    first >> record >> nsig >> rate >> length;
    out = CEcgSignal{};
    out.dRate = std::atof(rate.c_str()); // "250/360": the counter frequency follows the slash
    std::vector<Signal> sigs(nsig);
    for (Signal& s : sigs) {
        if (!next())
            return false;
        std::istringstream in(line);
        std::string format, gain, bits, zero, init, check, block;
        in >> s.file >> format >> gain >> bits >> zero >> init >> check >> block >> s.name;
        s.format = std::atoi(format.c_str());
        s.gain = std::atof(gain.c_str());
        if (!(s.gain > 0))
            s.gain = 200;
        const size_t paren = gain.find('(');
        s.baseline = paren != std::string::npos ? std::atof(gain.c_str() + paren + 1)
                                                : std::atof(zero.c_str());
    }
    out.leads.assign(nsig, std::vector<float>(length));
    out.present.assign(nsig, true);
    for (const Signal& s : sigs)
        out.names.push_back(s.name);
    // Each run of signals with one file name is interleaved in that file.
    for (size_t run = 0; run < nsig;) {
        size_t last = run + 1;
        while (last < nsig && sigs[last].file == sigs[run].file)
            ++last;
        const size_t group = last - run;
        std::ifstream dat((base.parent_path() / sigs[run].file).string(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(dat)), {});
        for (size_t i = 0; i < length; ++i)
            for (size_t c = 0; c < group; ++c) {
                const size_t k = i * group + c;
                int v = 0;
                if (sigs[run].format == 16) {
                    if (2 * k + 1 >= bytes.size())
                        return false;
                    v = int16_t(bytes[2 * k] | bytes[2 * k + 1] << 8);
                } else { // 212: two 12-bit samples in three bytes
                    const size_t at = (k / 2) * 3;
                    if (at + 2 >= bytes.size())
                        return false;
                    v = k % 2 == 0 ? (bytes[at] | (bytes[at + 1] & 0x0F) << 8)
                                   : (bytes[at + 2] | (bytes[at + 1] & 0xF0) << 4);
                    if (v > 2047)
                        v -= 4096;
                }
                const Signal& s = sigs[run + c];
                out.leads[run + c][i] = float((v - s.baseline) / s.gain * 1000.0);
            }
        run = last;
    }
    return true;
}

struct Annotation {
    long sample;
    int code;
    int sub = 0; // the subtype; for noise (code 14): the noisy signals' bits, -1 unreadable
};

// The codes of beats (QRS complexes) among the annotation codes.
inline bool IsBeat(int code) {
    switch (code) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 7:
    case 8:
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
    case 25:
    case 34:
    case 35:
    case 38:
    case 41:
        return true;
    default:
        return false;
    }
}
constexpr int kNoise = 14;
constexpr int kFlutterOn = 32, kFlutterOff = 33; // '[' and ']': ventricular flutter or fibrillation
constexpr int kVentricular = 5, kEscapeVentricular = 10, kFusion = 6, kUnclassifiable = 13,
              kPacedFusion = 38;
constexpr int kWaveOnset = 39, kWaveEnd = 40, kPWave = 24, kTWave = 27, kNormal = 1;

// Every annotation of an MIT-format annotation file.
inline std::vector<Annotation> ReadAnnotations(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    const std::vector<uint8_t> b((std::istreambuf_iterator<char>(f)), {});
    std::vector<Annotation> out;
    long t = 0;
    for (size_t i = 0; i + 1 < b.size();) {
        const int word = b[i] | b[i + 1] << 8;
        i += 2;
        const int code = word >> 10, value = word & 0x3FF;
        if (code == 0 && value == 0)
            break;
        if (code == 59) { // SKIP: a 32-bit interval follows, high half first
            if (i + 3 >= b.size())
                break;
            const long hi = b[i] | b[i + 1] << 8, lo = b[i + 2] | b[i + 3] << 8;
            t += int32_t(uint32_t(hi << 16 | lo));
            i += 4;
        } else if (code == 63) { // AUX: text, padded to an even length
            i += size_t(value + (value & 1));
        } else if (code == 61) { // SUB: the subtype of the annotation before it
            if (!out.empty())
                out.back().sub = value < 512 ? value : value - 1024;
        } else if (code == 60 || code == 62) {
            // NUM, CHN: fields of the annotation before it
        } else {
            t += value;
            out.push_back({t, code});
        }
    }
    return out;
}

// The stretches [from, to) that noise annotations mark unreadable in every signal, and the
// episodes of ventricular flutter or fibrillation ('[' to ']'), which hold no QRS complexes to
// detect and which the beat-by-beat comparison leaves out.
inline std::vector<std::pair<long, long>> Unreadable(const std::vector<Annotation>& anns) {
    std::vector<std::pair<long, long>> out;
    long start = -1, flutter = -1;
    for (const Annotation& a : anns) {
        if (a.code == kFlutterOn && flutter < 0)
            flutter = a.sample;
        if (a.code == kFlutterOff && flutter >= 0) {
            out.emplace_back(flutter, a.sample);
            flutter = -1;
        }
        if (a.code != kNoise)
            continue;
        if (start >= 0) {
            out.emplace_back(start, a.sample);
            start = -1;
        }
        if (a.sub == -1)
            start = a.sample;
    }
    if (start >= 0)
        out.emplace_back(start, std::numeric_limits<long>::max());
    if (flutter >= 0)
        out.emplace_back(flutter, std::numeric_limits<long>::max());
    return out;
}

} // namespace wfdb
