// Export of one record as a package: the card step, the three files in a private folder, the
// deflated archive built beside the target, synced and renamed over it. Reported in ms; the
// median of the repetitions is the figure (goal: at most 10 ms).

#include "storage/export_import_file.h"
#include "storage/record_definition.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

// Ten seconds of twelve smooth leads, as a real record compresses.
std::unique_ptr<ECG_RECORD> MakeRecord() {
    auto rec = std::make_unique<ECG_RECORD>();
    rec->patient_id = 0xFFFFFFFFu;
    std::strcpy(rec->date, "2024-02-03 04:05:00");
    for (int p = 0; p < kPoints; ++p) {
        for (int l = 0; l < kLeads; ++l) {
            const double t = p / kPointsPerSecond;
            const double beat = std::exp(-std::pow(std::fmod(t, 0.8) - 0.3, 2) / 0.0004);
            Sample(rec->curves_buf, p, l) = int16_t(900 * beat + 40 * std::sin(7 * t + l));
        }
    }
    RECORD_INFO info;
    info.leadSystem = 1;
    info.serial = 0x12345678u;
    info.serialHi = 7;
    WriteRecordInfo(rec->curves_buf, info);
    rec->device_id = DeviceId(0x12345678u, 7);
    return rec;
}

void BM_ExportRecord(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString();
    const std::string path = folder + "/K.107.18641.5752.ecg";
    auto rec = MakeRecord();
    PATIENT_CARD card{};
    std::strcpy(card.doctor_name, "Petrov");
    std::strcpy(card.doctor_phone, "123");
    std::strcpy(card.last_name, "Ivanov");
    card.birth_year = 1950;
    card.height = 180;
    card.weight = 80;
    auto def = std::make_unique<RECORD_DEFINITION>();
    CExportImportFile file(folder);
    for (auto _ : state) {
        ParseRecordDefinition(card, *rec, *def);
        if (!file.ExportRecord(*def, *rec, path)) {
            state.SkipWithError(file.LastErrorText().c_str());
            break;
        }
    }
}
BENCHMARK(BM_ExportRecord)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(9)
    ->ComputeStatistics("max", [](const std::vector<double>& v) {
        return *std::max_element(v.begin(), v.end());
    });

} // namespace

BENCHMARK_MAIN();
