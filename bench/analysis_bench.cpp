// The analysis figures: the whole measurement of one 10 s twelve-lead record, its beats
// classified (goal: at most 5 ms with the interpretation), and QRS detection over a 30-minute
// two-lead record, alone and with the beats classified as `velmora-cli beats` does (goal: at
// least 1000 times real time; the "realtime_x" counter). The 30-minute record is MIT-BIH 100 when
// the real data is at hand, else the simulator's record laid end to end to the same length.

#include "analysis/beat_classifier.h"
#include "analysis/interpretation.h"
#include "analysis/measurements.h"
#include "analysis/qrs_detector.h"
#include "record_model/lead_vocabulary.h"
#include "simulator/cardiograph_simulator.h"
#include "storage/wfdb_reader.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

CEcgSignal SimulatedRecord() {
    const CCardiographSimulator sim{SimulatorOptions{}};
    CEcgSignal s;
    s.dRate = kPointsPerSecond;
    s.leads.assign(kLeads, std::vector<float>(kPoints));
    s.present.assign(kLeads, true);
    for (int lane = 0; lane < kLeads; ++lane) {
        s.names.emplace_back(LeadOfLane(lane)->m_szLabel);
        for (int p = 0; p < kPoints; ++p)
            s.leads[size_t(lane)][size_t(p)] =
                float(sim.StoredRecord()[size_t(p)][size_t(lane)] * kMicrovoltsPerUnit);
    }
    return s;
}

CEcgSignal ThirtyMinutes() {
    const char* env = std::getenv("VELMORA_REALDATA");
    const std::filesystem::path root =
        env && *env ? std::filesystem::path(env)
                    : std::filesystem::path(VELMORA_SOURCE_DIR) / ".." / "shared" / "realdata";
    WfdbRecord r;
    std::string error;
    if (ReadWfdbRecord((root / "wfdb" / "mitdb" / "100.hea").string(), 0, r, &error))
        return r.signal;
    const CEcgSignal ten = SimulatedRecord();
    CEcgSignal s;
    s.dRate = ten.dRate;
    s.names = {ten.names[1], ten.names[10]};
    s.present = {true, true};
    s.leads.resize(2);
    while (s.leads[0].size() < size_t(1800 * s.dRate))
        for (size_t l = 0; l < 2; ++l)
            s.leads[l].insert(s.leads[l].end(), ten.leads[l == 0 ? 1 : 10].begin(),
                              ten.leads[l == 0 ? 1 : 10].end());
    return s;
}

void BM_MeasureTwelveLeadRecord(benchmark::State& state) {
    const CEcgSignal s = SimulatedRecord();
    for (auto _ : state)
        benchmark::DoNotOptimize(analysis::Measure(s));
}
BENCHMARK(BM_MeasureTwelveLeadRecord)->Unit(benchmark::kMillisecond)->Repetitions(5);

// The measurement and the interpretation of one record, as the window and the report make
// them (goal: at most 5 ms); and the interpretation's own share.
void BM_MeasureAndInterpretTwelveLeadRecord(benchmark::State& state) {
    const CEcgSignal s = SimulatedRecord();
    const analysis::PatientFacts patient{true, 50};
    for (auto _ : state) {
        CEcgSignal cleaned;
        const analysis::Measurements m = analysis::Measure(s, &cleaned);
        benchmark::DoNotOptimize(analysis::Interpret(cleaned, m, patient));
    }
}
BENCHMARK(BM_MeasureAndInterpretTwelveLeadRecord)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_InterpretTwelveLeadRecord(benchmark::State& state) {
    const CEcgSignal s = SimulatedRecord();
    CEcgSignal cleaned;
    const analysis::Measurements m = analysis::Measure(s, &cleaned);
    const analysis::PatientFacts patient{true, 50};
    for (auto _ : state)
        benchmark::DoNotOptimize(analysis::Interpret(cleaned, m, patient));
}
BENCHMARK(BM_InterpretTwelveLeadRecord)->Unit(benchmark::kMicrosecond)->Repetitions(5);

// The classifier's share of the measurement above.
void BM_ClassifyTwelveLeadRecord(benchmark::State& state) {
    const CEcgSignal s = SimulatedRecord();
    const std::vector<size_t> beats = analysis::DetectQrs(s);
    for (auto _ : state)
        benchmark::DoNotOptimize(analysis::ClassifyBeats(s, beats));
}
BENCHMARK(BM_ClassifyTwelveLeadRecord)->Unit(benchmark::kMicrosecond)->Repetitions(5);

void BM_BeatsOfThirtyMinutesTwoLeads(benchmark::State& state) {
    const CEcgSignal s = ThirtyMinutes();
    for (auto _ : state)
        benchmark::DoNotOptimize(analysis::DetectQrs(s));
    state.counters["realtime_x"] =
        benchmark::Counter(s.Seconds() * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BeatsOfThirtyMinutesTwoLeads)->Unit(benchmark::kMillisecond)->Repetitions(5);

void BM_ClassifiedBeatsOfThirtyMinutesTwoLeads(benchmark::State& state) {
    const CEcgSignal s = ThirtyMinutes();
    size_t ventricular = 0;
    for (auto _ : state) {
        const std::vector<size_t> beats = analysis::DetectQrs(s);
        const std::vector<analysis::BeatClass> classes = analysis::ClassifyBeats(s, beats);
        ventricular =
            size_t(std::count(classes.begin(), classes.end(), analysis::BeatClass::Ventricular));
        benchmark::DoNotOptimize(classes.data());
    }
    state.counters["realtime_x"] =
        benchmark::Counter(s.Seconds() * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["ventricular"] = double(ventricular);
}
BENCHMARK(BM_ClassifiedBeatsOfThirtyMinutesTwoLeads)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

BENCHMARK_MAIN();
