// The report figure: one page of a record written as a PDF (goal: at most 100 ms and 1 MB; the
// "bytes" counter is the file's size).

#include "report/report_file.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cmath>
#include <cstring>
#include <memory>

namespace {

void BM_ReportPdf(benchmark::State& state) {
    auto rec = std::make_unique<ECG_RECORD>();
    std::memset(rec.get(), 0, sizeof(ECG_RECORD));
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) =
                int16_t(600 * std::exp(-std::pow(std::fmod(p, 350.0) - 175, 2) / 30) + lane * 7);
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(rec->curves_buf, info);
    std::memcpy(rec->date, "2026-12-08 23:18:57", 20);
    const ReportInput in = ReportInputFor(*rec, PATIENT_CARD{}, 0, QStringLiteral("Клиника"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    std::string error;
    for (auto _ : state)
        if (!WriteReportPdf(path, in, ReportOptions{}, &error))
            state.SkipWithError(error.c_str());
    state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_ReportPdf)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the text
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
