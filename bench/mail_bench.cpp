// Base64 throughput of the message files' encoder against GLib's g_base64_encode on the same data
// in the same run: a record-sized attachment (a zipped record is about 100 KB) and a large one.

#include "mail/base64.h"

#include <benchmark/benchmark.h>
#include <glib.h>
#include <random>
#include <vector>

namespace {

std::vector<uint8_t> RandomBytes(size_t n) {
    std::mt19937 rng(42);
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v)
        b = uint8_t(rng());
    return v;
}

void BM_EncodeBase64(benchmark::State& state) {
    const std::vector<uint8_t> in = RandomBytes(size_t(state.range(0)));
    std::vector<char> out(Base64EncodedSize(in.size()));
    for (auto _ : state) {
        benchmark::DoNotOptimize(encodeBase64(in.data(), in.size(), out.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

// GLib's streaming encoder into a caller's buffer, without line breaks: no allocation per call,
// as ours.
void BM_GlibBase64(benchmark::State& state) {
    const std::vector<uint8_t> in = RandomBytes(size_t(state.range(0)));
    std::vector<char> out(in.size() * 4 / 3 + 16);
    for (auto _ : state) {
        gint st = 0, save = 0;
        gsize n = g_base64_encode_step(in.data(), in.size(), FALSE, out.data(), &st, &save);
        n += g_base64_encode_close(FALSE, out.data() + n, &st, &save);
        benchmark::DoNotOptimize(n);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * state.range(0));
}

} // namespace

BENCHMARK(BM_EncodeBase64)->Arg(100 << 10)->Arg(8 << 20);
BENCHMARK(BM_GlibBase64)->Arg(100 << 10)->Arg(8 << 20);

BENCHMARK_MAIN();
