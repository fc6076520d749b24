// One SCP-ECG export of a twelve-lead record, end to end: libbiosig's encoding into a private
// folder, Section 1 replaced, the file written through a temporary file and renamed. And the
// reading of a cart's Huffman-coded file in-process: twelve leads of ten seconds at 500 Hz, the
// default table, second differences (the ECG Toolkit example's coding), into a signal in µV.
// Reported in ms; the median of the repetitions is the figure.

#include "storage/scp_coded_file.h"
#include "storage/scp_export.h"
#include "storage/scp_signal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
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

void BM_ReadHuffmanCodedScp(benchmark::State& state) {
    using namespace scp_coded;
    std::vector<CLeadDef> leads;
    std::vector<Bytes> streams;
    for (int k = 0; k < 12; ++k) {
        std::vector<int> x(5000);
        for (size_t i = 0; i < x.size(); ++i) // a beat a second over a slow wave, 2.5 µV units
            x[i] = int(120 * std::sin(double(i) * 0.004 * (k + 1)) +
                       (i % 500 < 40 ? 400 * std::sin(double(i % 500) * 0.157) : 0));
        leads.push_back({uint8_t(k < 8 ? k + 1 : 61 + k - 8), 1, 5000});
        streams.push_back(DefaultCoded(Differences(x, 2)));
    }
    const Bytes file = BuildFile({{1, MinimalSection1()},
                                  {2, DefaultTableSection()},
                                  {3, Section3(leads, 0x64)},
                                  {6, CodedSection(2500, 2000, 2, 0, streams)}});
    for (auto _ : state) {
        CEcgSignal signal;
        std::string error;
        if (!ReadScpSignal(file.data(), file.size(), signal, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(signal.leads.data());
    }
    state.counters["bytes"] = double(file.size());
}
BENCHMARK(BM_ReadHuffmanCodedScp)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
