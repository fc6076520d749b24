// A WFDB record read piece by piece gives, for any stretch, the samples the whole read gives:
// also where format 212 puts a frame mid-byte (an odd signal count) and across signal files of
// different formats.

#include "storage/wfdb_reader.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// Three signals in format 212 (a frame is 4.5 bytes) and one in format 16, random 12-bit values.
struct Record {
    fs::path folder = fs::temp_directory_path() / ("velmora-pieces-" + std::to_string(getpid()));
    std::vector<std::vector<int>> values = std::vector<std::vector<int>>(4);

    Record(long frames212, long frames16) {
        fs::create_directories(folder);
        std::mt19937 random(7);
        std::uniform_int_distribution<int> v(-2048, 2047);
        std::string a;
        for (long f = 0; f < frames212; f += 2) { // two frames of three signals: nine bytes
            int s[6];
            for (int k = 0; k < 6; ++k) {
                s[k] = v(random);
                values[size_t(k % 3)].push_back(s[k]);
            }
            for (int k = 0; k < 6; k += 2) {
                a += char(s[k] & 0xFF);
                a += char(((s[k] >> 8) & 0x0F) | ((s[k + 1] >> 4) & 0xF0));
                a += char(s[k + 1] & 0xFF);
            }
        }
        std::string b;
        for (long f = 0; f < frames16; ++f) {
            const int x = v(random) * 8;
            values[3].push_back(x);
            b += char(x & 0xFF);
            b += char((x >> 8) & 0xFF);
        }
        std::ofstream(folder / "r_a.dat", std::ios::binary) << a;
        std::ofstream(folder / "r_b.dat", std::ios::binary) << b;
        std::ofstream(folder / "r.hea")
            << "r 4 250\n"
            << "r_a.dat 212 200 12 0 0 0 0 I\nr_a.dat 212 200 12 0 0 0 0 II\n"
            << "r_a.dat 212 100(24)/uV 12 0 0 0 0 V1\nr_b.dat 16 400 16 0 0 0 0 V2\n";
    }
    ~Record() { fs::remove_all(folder); }
    std::string Header() const { return (folder / "r.hea").string(); }
    // The µV of signal c at frame f, as the header's gains say.
    float Expected(size_t c, size_t f) const {
        const int x = values[c][f];
        return c < 2    ? float(x / 200.0 * 1000)
               : c == 2 ? float((x - 24) / 100.0)
                        : float(x / 400.0 * 1000);
    }
};

TEST(WfdbPieces, EveryStretchReadsAsTheWholeRecordHasIt) {
    const Record r(1000, 900); // the format 16 file is the shorter
    CWfdbSignalReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(r.Header(), &error)) << error;
    EXPECT_EQ(reader.Frames(), 900);
    EXPECT_DOUBLE_EQ(reader.TotalSeconds(), 1000 / 250.0);
    WfdbRecord whole;
    ASSERT_TRUE(ReadWfdbRecord(r.Header(), 0, whole, &error)) << error;
    ASSERT_EQ(whole.signal.Length(), 900u);
    for (size_t c = 0; c < 4; ++c)
        for (size_t f = 0; f < 900; f += 37)
            ASSERT_FLOAT_EQ(whole.signal.leads[c][f], r.Expected(c, f)) << c << " " << f;
    for (const auto& [first, count] : {std::pair{0L, 900L},
                                       {1L, 1L},
                                       {1L, 2L},
                                       {3L, 100L},
                                       {449L, 451L},
                                       {899L, 1L},
                                       {898L, 2L},
                                       {7L, 8L}}) {
        CEcgSignal piece;
        ASSERT_TRUE(reader.Read(first, count, piece, &error)) << first << " " << error;
        ASSERT_EQ(piece.Length(), size_t(count)) << first;
        EXPECT_EQ(piece.dRate, 250.0);
        EXPECT_EQ(piece.names, whole.signal.names);
        for (size_t c = 0; c < 4; ++c)
            for (size_t i = 0; i < size_t(count); ++i)
                ASSERT_EQ(piece.leads[c][i], whole.signal.leads[c][size_t(first) + i])
                    << "signal " << c << " frame " << first + long(i);
    }
    // Past the end: cut to what there is.
    CEcgSignal tail;
    ASSERT_TRUE(reader.Read(850, 500, tail, &error)) << error;
    EXPECT_EQ(tail.Length(), 50u);
    // A file cut after Open: the read names it rather than giving fewer samples.
    fs::resize_file(r.folder / "r_b.dat", 100);
    EXPECT_FALSE(reader.Read(0, 600, tail, &error));
    EXPECT_NE(error.find("r_b.dat"), std::string::npos) << error;
}

} // namespace
