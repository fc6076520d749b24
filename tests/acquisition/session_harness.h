#pragma once
// A reception session on a fake port, a manual timer and a display that counts what it was asked
// to do; plus an encoder of device frames written independently of the product's code.

#include "acquisition/acquisition_session.h"

#include <array>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Each element of `chunks` is what the port holds at one tick (an empty one: a silent tick).
class FakeLink : public ISerialLink {
public:
    int Open(int nCom) override {
        ++opens;
        lastCom = nCom;
        isOpen = !failOpen;
        return failOpen ? -1 : 5;
    }
    void Close() override {
        if (isOpen)
            ++closes;
        isOpen = false;
    }
    std::string LastError() const override { return "/dev/ttyS0: No such file or directory"; }
    int Write(const uint8_t* data, int len) override {
        written.insert(written.end(), data, data + len);
        ++writes;
        return len;
    }
    int Queued() override {
        if (failQueued)
            return -1;
        if (chunks.empty())
            return 0;
        if (chunks.front().empty()) {
            chunks.pop_front();
            return 0;
        }
        return int(chunks.front().size());
    }
    int Read(uint8_t* data, int max) override {
        if (failRead)
            return -1;
        Bytes& front = chunks.front();
        const int n = std::min<int>(max, int(front.size()));
        std::memcpy(data, front.data(), size_t(n));
        front.erase(front.begin(), front.begin() + n);
        if (front.empty())
            chunks.pop_front();
        return n;
    }

    std::deque<Bytes> chunks;
    Bytes written;
    int writes = 0, opens = 0, closes = 0, lastCom = 0;
    bool failOpen = false, isOpen = false;
    bool failQueued = false, failRead = false; // the port has gone: status query or read fails
};

class FakeTimer : public ITickSource {
public:
    int StartTimer(int periodMs) override {
        period = periodMs;
        running = true;
        ++starts;
        return kTimerId;
    }
    void StopTimer() override { running = false; }
    bool running = false;
    int period = 0, starts = 0;
};

class CountingDisplay : public IDisplaySink {
public:
    void DrawIDS(int id) override { ids.push_back(id); }
    void DrawReceivingProgress() override { ++progress; }
    void DrawMonitoringCurves() override { ++monitor; }
    void SetRazv() override { ++razv; }
    void SetScrollRange(int maxPos) override { scrollMax = maxPos; }
    void DrawCurves() override { ++curves; }
    void SetRecordTitle(const char* t) override { title = t; }
    void ReportPortFailure(const char* text) override { failure = text; }
    void ReportLinkDown(const char* text) override {
        linkDown = text;
        ++linkDowns;
    }
    std::vector<int> ids;
    int progress = 0, monitor = 0, razv = 0, curves = 0, scrollMax = -1, linkDowns = 0;
    std::string title, failure, linkDown;
};

// A session whose local clock the test sets.
class TestSession : public CAcquisitionSession {
public:
    using CAcquisitionSession::CAcquisitionSession;
    SYSTEMTIME now{2024, 1, 1, 9, 8, 7, 6, 0};

protected:
    SYSTEMTIME LocalTime() const override { return now; }
};

// The nine transmitted channels of one point, in lane order I, II, III, V1..V6.
struct Point9 {
    int I = 0, II = 0, III = 0, V[6] = {};
};

inline Point9 PointFor(int n) {
    Point9 p;
    p.I = (n * 7) % 4096 - 2048;
    p.II = (n * 13 + 5) % 4000 - 2000;
    p.III = -((n * 3) % 1500);
    for (int k = 0; k < 6; ++k)
        p.V[k] = ((n + 1) * (k + 2) * 11) % 4096 - 2048;
    return p;
}

// One 22-byte frame, encoded the way the device packs it.
inline Bytes Frame(const Point9& pt, int index, uint8_t reg = 0, uint8_t value = 0,
                   bool newFormat = true) {
    auto hi = [](int v) { return uint8_t(int8_t(v >> 4)); };
    auto lo = [](int v) { return unsigned(v & 15); };
    Bytes f(22, 0);
    f[0] = hi(pt.I);
    f[1] = hi(pt.II);
    f[2] = hi(pt.III);
    f[3] = uint8_t(lo(pt.I) << 4 | lo(pt.II));
    f[4] = uint8_t(lo(pt.III) << 4);
    f[5] = uint8_t(lo(pt.V[0]) << 4 | lo(pt.V[1]));
    for (int k = 0; k < 6; ++k)
        f[6 + k] = hi(pt.V[k]);
    f[12] = uint8_t(lo(pt.V[2]) << 4 | lo(pt.V[3]));
    f[13] = uint8_t(lo(pt.V[4]) << 4 | lo(pt.V[5]));
    f[14] = reg;
    f[15] = value;
    f[16] = uint8_t(uint16_t(index) >> 8);
    f[17] = uint8_t(index & 0xFF);
    unsigned sum = 0;
    for (int i = 0; i < 18; ++i)
        sum += f[i];
    f[18] = uint8_t(sum);
    f[19] = 0x7E;
    f[20] = newFormat ? 0x82 : 0x81;
    f[21] = newFormat ? 0x37 : 0x36;
    return f;
}

// The twelve lanes a correct decoder stores for a point.
inline std::array<int, 12> Lanes(const Point9& p, int leadSystem = 1) {
    return {p.I,
            p.II,
            p.III,
            leadSystem == 3 ? p.V[3] : -(p.I + p.II) / 2,
            (p.I - p.III) / 2,
            (p.II + p.III) / 2,
            p.V[0],
            p.V[1],
            p.V[2],
            p.V[3],
            p.V[4],
            p.V[5]};
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& b : parts)
        out.insert(out.end(), b.begin(), b.end());
    return out;
}

struct Harness {
    FakeLink link;
    FakeTimer timer;
    CountingDisplay display;
    TestSession session{link, timer, display};

    void Tick(const Bytes& chunk) {
        link.chunks.push_back(chunk);
        session.OnTimer(kTimerId);
    }
    void SilentTick() { session.OnTimer(kTimerId); }
    // Starts a session and passes the warm-up with nine chunks of filler.
    void StartAndWarmUp() {
        session.OnEkard();
        for (int i = 0; i < kWarmupTicks - 1; ++i)
            Tick(Bytes{'.'});
    }
    // Starts, warms up and synchronises on a first live frame preceded by 22 bytes.
    void StartSynced() {
        StartAndWarmUp();
        Tick(Concat({Bytes(22, 0x11), Frame(PointFor(0), -1)}));
    }
    std::array<int, 12> Stored(int point) const {
        std::array<int, 12> v{};
        for (int lane = 0; lane < 12; ++lane)
            v[size_t(lane)] = session.m_pCurves[point * 12 + lane];
        return v;
    }
};
