#include "simulator/cardiograph_simulator.h"
#include "simulator/pty_simulator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <poll.h>
#include <set>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Sim = CCardiographSimulator;
using Bytes = std::vector<uint8_t>;

// A small reading of the frame format of its own, written from the byte table rather than from
// the encoder, so that a packing mistake cannot hide by being made twice.
struct Decoded {
    size_t nEnd = 0; // offset just past the marker
    bool bChecksumOk = false;
    bool bNewFormat = false;
    int16_t index = 0;
    uint8_t reg = 0;
    uint8_t value = 0;
    std::array<int, 9> ch{}; // I, II, III, V1 ... V6
};

int Unpack(uint8_t high, unsigned nibble) {
    return int(int8_t(high)) * 16 + int(nibble);
}

std::vector<Decoded> DecodeAll(const Bytes& s) {
    std::vector<Decoded> frames;
    for (size_t i = 19; i + 2 < s.size(); ++i) {
        if (s[i] != 0x7E || (s[i + 1] != 0x81 && s[i + 1] != 0x82) ||
            (s[i + 2] != 0x36 && s[i + 2] != 0x37))
            continue;
        const uint8_t* p = &s[i - 19];
        Decoded d;
        d.nEnd = i + 3;
        unsigned sum = 0;
        for (int k = 0; k < 18; ++k)
            sum += p[k];
        d.bChecksumOk = (sum & 0xFF) == p[18];
        d.bNewFormat = s[i + 1] == 0x82 && s[i + 2] == 0x37;
        d.index = int16_t(uint16_t(p[16] << 8 | p[17]));
        d.reg = p[14];
        d.value = p[15];
        d.ch = {Unpack(p[0], p[3] >> 4),  Unpack(p[1], p[3] & 15),   Unpack(p[2], p[4] >> 4),
                Unpack(p[6], p[5] >> 4),  Unpack(p[7], p[5] & 15),   Unpack(p[8], p[12] >> 4),
                Unpack(p[9], p[12] & 15), Unpack(p[10], p[13] >> 4), Unpack(p[11], p[13] & 15)};
        frames.push_back(d);
    }
    return frames;
}

std::array<int, 12> LanesFrom(const std::array<int, 9>& c, int leadSystem) {
    std::array<int, 12> l{};
    l[0] = c[0];
    l[1] = c[1];
    l[2] = c[2];
    l[3] = leadSystem == 3 ? c[6] : -(c[0] + c[1]) / 2;
    l[4] = (c[0] - c[2]) / 2;
    l[5] = (c[1] + c[2]) / 2;
    for (int k = 0; k < 6; ++k)
        l[6 + k] = c[3 + k];
    return l;
}

std::array<int, 12> Widen(const Sim::Lanes& lanes) {
    std::array<int, 12> w{};
    std::copy(lanes.begin(), lanes.end(), w.begin());
    return w;
}

size_t Find(const Bytes& s, const std::string& text, size_t from = 0) {
    const auto it =
        std::search(s.begin() + long(std::min(from, s.size())), s.end(), text.begin(), text.end());
    return it == s.end() ? std::string::npos : size_t(it - s.begin());
}

void Send(Sim& sim, const std::string& text) {
    sim.OnInput(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

SimulatorOptions Streaming() {
    SimulatorOptions o;
    o.bWakeupRequired = false;
    o.dRecordAfter = -1.0;
    return o;
}

// Advances in small steps until the first record pass is over; returns the whole stream.
Bytes RunThroughRecord(Sim& sim, double step = 0.01) {
    Bytes all;
    for (int i = 0; i < 10000 && sim.RecordsSent() == 0; ++i) {
        const Bytes b = sim.Advance(step);
        all.insert(all.end(), b.begin(), b.end());
    }
    return all;
}

} // namespace

TEST(SimulatorFrame, PacksChannelsChecksumIndexAndMarker) {
    const Sim::Channels ch = {0x123, -1, 2047, -2048, 5000, -5000, -16, 15, -291};
    const Sim::Frame f = Sim::EncodeFrame(ch, 13, 0xAB, int16_t(0x0102), true);
    // Hand-packed bytes for lane I (0x123) and II (-1): high bytes and the shared nibble byte.
    EXPECT_EQ(f[0], 0x12);
    EXPECT_EQ(f[1], 0xFF);
    EXPECT_EQ(f[3], 0x3F);
    EXPECT_EQ(f[4] & 0x0F, 0); // unused nibble
    EXPECT_EQ(f[14], 13);
    EXPECT_EQ(f[15], 0xAB);
    EXPECT_EQ(f[16], 0x01);
    EXPECT_EQ(f[17], 0x02);
    unsigned sum = 0;
    for (int i = 0; i < 18; ++i)
        sum += f[i];
    EXPECT_EQ(f[18], sum % 256);
    EXPECT_EQ(f[19], 0x7E);
    EXPECT_EQ(f[20], 0x82);
    EXPECT_EQ(f[21], 0x37);

    const Sim::Frame old = Sim::EncodeFrame(ch, 13, 0xAB, int16_t(-1), false);
    EXPECT_EQ(old[20], 0x81);
    EXPECT_EQ(old[21], 0x36);
    EXPECT_EQ(old[16], 0xFF);
    EXPECT_EQ(old[17], 0xFF);

    const std::vector<Decoded> d = DecodeAll(Bytes(f.begin(), f.end()));
    ASSERT_EQ(d.size(), 1u);
    EXPECT_TRUE(d[0].bChecksumOk);
    EXPECT_TRUE(d[0].bNewFormat);
    EXPECT_EQ(d[0].index, 0x0102);
    // Out-of-range values arrive clamped to the 12-bit range.
    const std::array<int, 9> expected = {0x123, -1, 2047, -2048, 2047, -2048, -16, 15, -291};
    EXPECT_EQ(d[0].ch, expected);
}

TEST(SimulatorFrame, DerivedLanesTruncateTowardZeroAndLeadSystemThreeCopiesV4) {
    // I - III = -5 and I + II = -3: floor division would give -3 and 2.
    const Sim::Channels ch = {-3, 0, 2, 10, 20, 30, 40, 50, 60};
    const Sim::Lanes l1 = Sim::LanesOf(ch, 1);
    EXPECT_EQ(l1[3], 1);
    EXPECT_EQ(l1[4], -2);
    EXPECT_EQ(l1[5], 1);
    EXPECT_EQ(l1[9], 40);
    const Sim::Lanes l3 = Sim::LanesOf(ch, 3);
    EXPECT_EQ(l3[3], 40);
    EXPECT_EQ(l3[4], -2);
}

TEST(SimulatorRegisters, CycleOneToTwentyOneWithTheDeviceValues) {
    SimulatorOptions o = Streaming();
    o.nLeadSystem = 2;
    o.nSensitivityIndex = 3;
    o.nSpeedCode = 1;
    o.nFilter = 2;
    o.nHeartRate = 150;
    o.nSerial = 0x12345678;
    o.nSerialPrefix = 0x9A;
    o.nRecordNo = 0xA1B2C3D4;
    o.stDevice = SYSTEMTIME{2012, 5, 5, 4, 14, 5, 0, 0};
    Sim sim(o);
    const std::vector<Decoded> frames = DecodeAll(sim.Advance(0.2));
    ASSERT_GE(frames.size(), 42u);
    const std::map<int, int> expected = {
        {1, 2},     {2, 3},     {3, 150},   {4, 1},     {5, 4},     {6, 5},     {7, 12},
        {8, 14},    {9, 5},     {10, 2},    {11, 150},  {12, 0},    {13, 0x78}, {14, 0x56},
        {15, 0x34}, {16, 0x12}, {17, 0xD4}, {18, 0xC3}, {19, 0xB2}, {20, 0xA1}, {21, 0x9A}};
    for (size_t i = 0; i < frames.size(); ++i) {
        EXPECT_TRUE(frames[i].bChecksumOk);
        EXPECT_LT(frames[i].index, 0) << "live points carry a negative index";
        EXPECT_EQ(int(frames[i].reg), int((frames[0].reg - 1 + i) % 21 + 1));
        EXPECT_EQ(int(frames[i].value), expected.at(frames[i].reg))
            << "register " << int(frames[i].reg);
    }
    // The device clock runs: a minute later the minute register has moved on.
    sim.Advance(60.0);
    bool bSeen = false;
    for (const Decoded& d : DecodeAll(sim.Advance(0.2))) {
        if (d.reg == 9) {
            EXPECT_EQ(d.value, 6);
            bSeen = true;
        }
    }
    EXPECT_TRUE(bSeen);
}

TEST(SimulatorLink, AnswersTheWakeupOnceAndAgainAfterDisconnect) {
    SimulatorOptions o;
    o.dRecordAfter = -1.0;
    o.dDisconnectAfter = 4.0;
    Sim sim(o);
    EXPECT_TRUE(sim.Advance(1.0).empty()) << "nothing before the wake-up";
    Send(sim, "BTConnecX\n\r");
    EXPECT_TRUE(sim.Advance(0.1).empty());
    Send(sim, "BBTCon");
    EXPECT_TRUE(sim.Advance(0.1).empty());
    Send(sim, "nect\n\r");
    const Bytes first = sim.Advance(0.5);
    ASSERT_EQ(Find(first, "CONNECTION"), 0u);
    const std::vector<Decoded> frames = DecodeAll(first);
    EXPECT_NEAR(double(frames.size()), 0.5 * 409.6, 2.0);
    EXPECT_EQ(frames.front().nEnd, 10u + 22u) << "frames follow the text without a gap";

    Send(sim, "BTConnect\n\r");
    const Bytes more = sim.Advance(2.0);
    EXPECT_EQ(Find(more, "CONNECTION"), std::string::npos) << "answered once per link";

    // The link drops at 4 s: DISCONNECT ends the stream until the next wake-up.
    const Bytes drop = sim.Advance(1.0);
    const size_t at = Find(drop, "DISCONNECT");
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(at + 10, drop.size());
    EXPECT_FALSE(sim.LinkUp());
    EXPECT_TRUE(sim.Advance(1.0).empty());
    Send(sim, "BTConnect\n\r");
    const Bytes again = sim.Advance(0.1);
    EXPECT_EQ(Find(again, "CONNECTION"), 0u);
    EXPECT_FALSE(DecodeAll(again).empty());
}

TEST(SimulatorLive, StreamsAt409Point6PointsPerSecondWhateverTheStep) {
    Sim stepped(Streaming());
    Bytes small;
    for (int i = 0; i < 2000; ++i) {
        const Bytes b = stepped.Advance(0.005);
        small.insert(small.end(), b.begin(), b.end());
    }
    Sim whole(Streaming());
    const Bytes big = whole.Advance(10.0);
    EXPECT_EQ(small, big) << "the stream must not depend on how time is sliced";

    const std::vector<Decoded> frames = DecodeAll(big);
    EXPECT_NEAR(double(frames.size()), 4096.0, 2.0);
    EXPECT_EQ(big.size(), frames.size() * 22);
    for (const Decoded& d : frames) {
        EXPECT_TRUE(d.bChecksumOk);
        EXPECT_LT(d.index, 0);
    }

    SimulatorOptions other = Streaming();
    other.nSeed = 2;
    other.bNewFormat = false;
    Sim reseeded(other);
    const Bytes b2 = reseeded.Advance(1.0);
    EXPECT_NE(Bytes(big.begin(), big.begin() + long(b2.size())), b2);
    EXPECT_FALSE(DecodeAll(b2).front().bNewFormat);
}

TEST(SimulatorRecord, SendsEveryPointOnceAtLinePaceThenLiveAgain) {
    SimulatorOptions o = Streaming();
    o.dRecordAfter = 1.0;
    o.nRecordNo = 0x01020304;
    Sim sim(o);
    const Bytes before = sim.Advance(0.99);
    EXPECT_FALSE(sim.SendingRecord());
    Bytes all = before;
    double started = -1.0;
    while (sim.RecordsSent() == 0 && sim.Now() < 30.0) {
        const Bytes b = sim.Advance(0.01);
        if (started < 0 && sim.SendingRecord())
            started = sim.Now();
        all.insert(all.end(), b.begin(), b.end());
    }
    ASSERT_EQ(sim.RecordsSent(), 1);
    // 4096 frames of 22 bytes at 11520 bytes a second.
    EXPECT_NEAR(sim.Now() - started, 4096 * 22 / 11520.0, 0.05);
    const Bytes after = sim.Advance(0.5);
    all.insert(all.end(), after.begin(), after.end());

    const std::vector<Decoded> frames = DecodeAll(all);
    std::vector<int> order;
    std::map<int, int> recordNo;
    for (const Decoded& d : frames) {
        ASSERT_TRUE(d.bChecksumOk);
        if (d.index < 0)
            continue;
        order.push_back(d.index);
        EXPECT_EQ(LanesFrom(d.ch, 1), Widen(sim.StoredRecord()[size_t(d.index)]))
            << "point " << d.index;
        if (d.reg >= 17 && d.reg <= 20)
            recordNo[d.reg] = d.value;
    }
    ASSERT_EQ(order.size(), 4096u);
    for (int i = 0; i < 4096; ++i)
        ASSERT_EQ(order[size_t(i)], i);
    EXPECT_EQ(recordNo, (std::map<int, int>{{17, 4}, {18, 3}, {19, 2}, {20, 1}}));
    const std::vector<Decoded> live = DecodeAll(after);
    EXPECT_NEAR(double(live.size()), 0.5 * 409.6, 2.0);
    EXPECT_TRUE(std::all_of(live.begin(), live.end(), [](const Decoded& d) { return d.index < 0; }))
        << "live again after the record";
}

TEST(SimulatorRecord, OnlyOnRequestWhenNoDelayIsSet) {
    Sim sim(Streaming());
    sim.Advance(20.0);
    EXPECT_FALSE(sim.SendingRecord());
    sim.RequestRecord();
    const std::vector<Decoded> frames = DecodeAll(sim.Advance(0.1));
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front().index, 0);
    EXPECT_TRUE(sim.SendingRecord());
}

TEST(SimulatorFaults, DamagedPointsAreResentAndTheFirstGoodCopyIsTheStoredOne) {
    SimulatorOptions o = Streaming();
    o.dRecordAfter = 0.5;
    o.dChecksumErrors = 0.05;
    o.dDropBytes = 0.002;
    o.dRepeatPoints = 0.05;
    o.nSeed = 7;
    o.nLeadSystem = 3;
    Sim sim(o);
    const Bytes all = RunThroughRecord(sim);
    ASSERT_EQ(sim.RecordsSent(), 1);
    EXPECT_GT(sim.Faults().nChecksumErrors, 50);
    EXPECT_GT(sim.Faults().nDroppedBytes, 50);
    EXPECT_GT(sim.Faults().nRepeatedPoints, 50);
    EXPECT_GT(sim.Faults().nResentPoints, 100);

    // What a receiver that keeps the first good copy of each index ends up with.
    std::map<int, std::array<int, 12>> first;
    int bad = 0;
    int staleRepeats = 0;
    for (const Decoded& d : DecodeAll(all)) {
        if (!d.bChecksumOk) {
            ++bad;
            continue;
        }
        if (d.index < 0)
            continue;
        const auto lanes = LanesFrom(d.ch, 3);
        const auto [it, fresh] = first.emplace(d.index, lanes);
        if (!fresh && it->second != lanes)
            ++staleRepeats;
    }
    EXPECT_GT(bad, 50);
    EXPECT_GT(staleRepeats, 50);
    ASSERT_EQ(first.size(), 4096u);
    for (const auto& [index, lanes] : first)
        ASSERT_EQ(lanes, Widen(sim.StoredRecord()[size_t(index)])) << "point " << index;
}

TEST(SimulatorFaults, SilenceSendsNothingAndIgnoresTheWakeup) {
    SimulatorOptions o;
    o.dRecordAfter = -1.0;
    o.dSilenceAfter = 1.0;
    o.dSilenceFor = 2.0;
    Sim sim(o);
    Send(sim, "BTConnect\n\r");
    EXPECT_FALSE(sim.Advance(1.0).empty());
    EXPECT_TRUE(sim.Advance(0.01).empty());
    EXPECT_TRUE(sim.Silent());
    EXPECT_TRUE(sim.Advance(1.98).empty());
    EXPECT_NEAR(double(DecodeAll(sim.Advance(1.01)).size()), 409.6, 2.0) << "audible again";

    SimulatorOptions forever;
    forever.dSilenceAfter = 0.0;
    Sim mute(forever);
    EXPECT_TRUE(mute.Advance(0.5).empty());
    Send(mute, "BTConnect\n\r");
    EXPECT_TRUE(mute.Advance(5.0).empty());
    EXPECT_FALSE(mute.LinkUp());
}

TEST(SimulatorSignal, LanesHaveDistinctShapesAndTheChosenRate) {
    for (const int bpm : {60, 120}) {
        SimulatorOptions o;
        o.nHeartRate = bpm;
        const Sim sim(o);
        const std::vector<Sim::Lanes>& rec = sim.StoredRecord();
        ASSERT_EQ(rec.size(), 4096u);
        for (int a = 0; a < 12; ++a) {
            for (int b = a + 1; b < 12; ++b) {
                int diff = 0;
                for (const Sim::Lanes& p : rec)
                    diff = std::max(diff, std::abs(p[a] - p[b]));
                EXPECT_GT(diff, 50) << "lanes " << a << " and " << b << " at " << bpm;
            }
        }
        // Lead II: a plausible R wave, counted once per beat.
        int top = 0;
        int bottom = 0;
        for (const Sim::Lanes& p : rec) {
            top = std::max<int>(top, p[1]);
            bottom = std::min<int>(bottom, p[1]);
        }
        EXPECT_GT(top - bottom, 250);  // 0.5 mV
        EXPECT_LT(top - bottom, 1500); // 3 mV
        int beats = 0;
        bool above = false;
        for (const Sim::Lanes& p : rec) {
            const bool now = p[1] > top * 6 / 10;
            beats += now && !above;
            above = now;
        }
        EXPECT_NEAR(beats, bpm * 10 / 60, 1) << bpm << " bpm";
    }
    SimulatorOptions slopak;
    slopak.nLeadSystem = 3;
    slopak.nSeed = 5;
    const Sim s3(slopak);
    for (const Sim::Lanes& p : s3.StoredRecord())
        ASSERT_EQ(p[3], p[9]);
    EXPECT_NE(s3.StoredRecord(), Sim(SimulatorOptions{}).StoredRecord());
}

TEST(SimulatorPty, ReaderOfTheSlaveWakesTheDeviceAndReceivesFrames) {
    SimulatorOptions o;
    o.dRecordAfter = -1.0;
    CPtySimulator pty(o);
    ASSERT_TRUE(pty.Open()) << pty.LastError();
    ASSERT_FALSE(pty.SlavePath().empty());
    std::atomic<bool> stop{false};
    std::thread runner([&] { pty.Run(stop); });

    const int fd = open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    cfmakeraw(&tio);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &tio), 0);
    const char wake[] = "BTConnect\n\r";
    ASSERT_EQ(write(fd, wake, sizeof wake - 1), ssize_t(sizeof wake - 1));

    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline &&
           (Find(got, "CONNECTION") == std::string::npos || DecodeAll(got).size() < 40)) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            uint8_t buf[1024];
            const ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0)
                got.insert(got.end(), buf, buf + n);
        }
    }
    stop = true;
    runner.join();
    close(fd);
    EXPECT_EQ(Find(got, "CONNECTION"), 0u);
    const std::vector<Decoded> frames = DecodeAll(got);
    ASSERT_GE(frames.size(), 40u);
    for (const Decoded& d : frames)
        EXPECT_TRUE(d.bChecksumOk);
    EXPECT_GE(pty.BytesWritten(), got.size());
}
