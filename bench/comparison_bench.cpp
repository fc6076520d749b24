// The comparison with the previous ECG as `velmora-cli compare` and the window make it: two
// ten-second twelve-lead records opened from their files through the records layer, each
// measured and interpreted, then compared (goal: at most 100 ms for the whole). Also the
// comparison alone, on two records already analysed. Reported in ms; the median of the
// repetitions is the figure.

#include "analysis/comparison.h"
#include "record_io/record_files.h"
#include "simulator/cardiograph_simulator.h"

#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// A simulated record saved as `name` (its type by the extension) with a full card.
QString SavedRecord(const QTemporaryDir& dir, const char* name,
                    const std::function<void(SimulatorOptions&)>& set) {
    SimulatorOptions o;
    set(o);
    const CCardiographSimulator sim(o);
    auto rec = std::make_unique<ECG_RECORD>();
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = sim.StoredRecord()[size_t(p)][size_t(lane)];
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(rec->curves_buf, info);
    std::memcpy(rec->date, "2026-12-08 23:18:57", 20);
    rec->device_id = DeviceId(0x12345678u, 7);
    PATIENT_CARD card{};
    std::strcpy(card.doctor_name, "Petrov");
    std::strcpy(card.doctor_phone, "123");
    std::strcpy(card.last_name, "Ivanov");
    std::strcpy(card.first_name, "Ivan");
    std::strcpy(card.patronymic, "Petrovich");
    card.sex = 1;
    card.birth_year = 1950;
    card.birth_month = 12;
    card.birth_day = 31;
    card.height = 180;
    card.weight = 80;
    const QString path = dir.filePath(QLatin1String(name));
    std::string error;
    if (!SaveRecordFile(path, *RecordFileTypeOf(path), *rec, &card, &error))
        return QString();
    return path;
}

void BM_OpenAndCompareTwoRecords(benchmark::State& state, const char* extension) {
    QTemporaryDir dir;
    const QString previous =
        SavedRecord(dir, (std::string("previous") + extension).c_str(), [](SimulatorOptions&) {});
    const QString current =
        SavedRecord(dir, (std::string("current") + extension).c_str(), [](SimulatorOptions& o) {
            o.pathology.conduction = SimConduction::Rbbb;
            o.nHeartRate = 95;
        });
    if (previous.isEmpty() || current.isEmpty()) {
        state.SkipWithError("the records could not be saved");
        return;
    }
    for (auto _ : state) {
        CLoadedRecord a, b;
        std::string error;
        if (!OpenRecordFile(previous, a, &error) || !OpenRecordFile(current, b, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const analysis::Comparison c =
            analysis::CompareRecords(analysis::AnalyseRecord(*a.pRecord, &a.card, {}),
                                     analysis::AnalyseRecord(*b.pRecord, &b.card, {}));
        if (!c.Has("NEW_CRBBB")) {
            state.SkipWithError("the new block was not found");
            return;
        }
        benchmark::DoNotOptimize(c.changes.data());
    }
}

void BM_CompareAnalysedRecords(benchmark::State& state) {
    QTemporaryDir dir;
    const QString previous = SavedRecord(dir, "previous.dat", [](SimulatorOptions&) {});
    const QString current = SavedRecord(dir, "current.dat", [](SimulatorOptions& o) {
        o.pathology.rhythm = SimRhythm::AtrialFibrillation;
    });
    CLoadedRecord a, b;
    std::string error;
    if (!OpenRecordFile(previous, a, &error) || !OpenRecordFile(current, b, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const analysis::RecordAnalysis before = analysis::AnalyseRecord(*a.pRecord, &a.card, {});
    const analysis::RecordAnalysis now = analysis::AnalyseRecord(*b.pRecord, &b.card, {});
    for (auto _ : state)
        benchmark::DoNotOptimize(analysis::CompareRecords(before, now).changes.data());
}

BENCHMARK_CAPTURE(BM_OpenAndCompareTwoRecords, dat, ".dat")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_OpenAndCompareTwoRecords, scp, ".scp")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK(BM_CompareAnalysedRecords)->Unit(benchmark::kMicrosecond)->Repetitions(5);

} // namespace

BENCHMARK_MAIN();
