// Decoder throughput: whole poll ticks of 2048 bytes over a recorded simulator stream (live
// frames, then a stored record, then live again), as the 40 ms timer feeds them.

#include "acquisition/acquisition_session.h"
#include "simulator/cardiograph_simulator.h"

#include <benchmark/benchmark.h>
#include <cstring>
#include <vector>

namespace {

class ChunkLink : public ISerialLink {
public:
    int Open(int) override { return 3; }
    void Close() override {}
    int Write(const uint8_t*, int len) override { return len; }
    int Queued() override { return int(size); }
    int Read(uint8_t* out, int max) override {
        const int n = std::min<int>(max, int(size));
        std::memcpy(out, data, size_t(n));
        size -= size_t(n);
        return n;
    }
    const uint8_t* data = nullptr;
    size_t size = 0;
};

class NoTicks : public ITickSource {
public:
    int StartTimer(int) override { return kTimerId; }
    void StopTimer() override {}
};

std::vector<uint8_t> RecordedStream() {
    SimulatorOptions o;
    o.bWakeupRequired = false;
    o.dRecordAfter = 2.0;
    CCardiographSimulator sim(o);
    std::vector<uint8_t> stream;
    for (int i = 0; i < 14 * 25; ++i) { // 14 s in 40 ms steps
        const std::vector<uint8_t> part = sim.Advance(0.04);
        stream.insert(stream.end(), part.begin(), part.end());
    }
    return stream;
}

void BM_DecoderTicks(benchmark::State& state) {
    static const std::vector<uint8_t> stream = RecordedStream();
    ChunkLink link;
    NoTicks ticks;
    IDisplaySink display;
    CAcquisitionSession session(link, ticks, display);
    size_t pos = stream.size();
    int64_t bytes = 0;
    for (auto _ : state) {
        if (pos >= stream.size()) {
            state.PauseTiming(); // a fresh session for each pass over the stream
            if (session.m_bSessionOn)
                session.OnEkard();
            session.OnEkard();
            session.m_nWarmupTicks = kWarmupTicks;
            pos = 0;
            state.ResumeTiming();
        }
        const size_t n = std::min<size_t>(kMaxChunk, stream.size() - pos);
        link.data = stream.data() + pos;
        link.size = n;
        session.EventComKard();
        pos += n;
        bytes += int64_t(n);
    }
    state.SetBytesProcessed(bytes);
    state.counters["line_rate_ratio"] = benchmark::Counter(
        double(bytes) / 11520.0, benchmark::Counter::kIsRate); // 115200 baud, 10 bits a byte
}
BENCHMARK(BM_DecoderTicks);

} // namespace

BENCHMARK_MAIN();
