// One SCP-ECG export of a twelve-lead record, end to end: libbiosig's encoding into a private
// folder, Section 1 replaced, the file written through a temporary file and renamed. Reported in
// ms; the median of the repetitions is the figure.

#include "storage/scp_export.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>

namespace {

void BM_SaveScpTwelveLeads(benchmark::State& state) {
    auto rec = std::make_unique<ECG_RECORD>();
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = int16_t((p * 37 + lane * 911) % 4096 - 2048);
    rec->device_id = DeviceId(0x12345678u, 7);
    PATIENT_CARD card{};
    std::strcpy(card.last_name, "Ivanov");
    std::strcpy(card.first_name, "Ivan");
    std::strcpy(card.patronymic, "Petrovich");
    std::strcpy(card.locality, "Zvenigorod");
    card.birth_year = 1950;
    card.birth_month = 12;
    card.birth_day = 31;
    card.height = 180;
    card.weight = 80;
    ScpDeviceValues device;
    device.m_stDevice = SYSTEMTIME{.wYear = 2012, .wMonth = 5, .wDay = 4};
    QTemporaryDir dir;
    const std::string path =
        QFile::encodeName(dir.filePath(QStringLiteral("bench.scp"))).toStdString();
    for (auto _ : state) {
        const ScpSaveResult r = SaveScp(*rec, card, device, path);
        if (!r.bOk) {
            state.SkipWithError(r.strError.c_str());
            break;
        }
    }
}
BENCHMARK(BM_SaveScpTwelveLeads)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
