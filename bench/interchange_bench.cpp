// The hospital formats: a twelve-lead record (the simulator's) written as a DICOM ECG object
// (with its automatic measurements as annotations), as an HL7 aECG and as EDF+, each to a file
// atomically; and the DICOM object read back. Reported in ms; the median of the repetitions is
// the figure (goals: DICOM and aECG export <= 20 ms each).

#include "analysis/interpretation.h"
#include "interchange/dicom_export.h"
#include "interchange/dicom_import.h"
#include "record_model/record_date.h"
#include "simulator/cardiograph_simulator.h"
#include "storage/aecg_edf_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstring>
#include <memory>

namespace {

std::unique_ptr<ECG_RECORD> SimulatedRecord() {
    const CCardiographSimulator sim{SimulatorOptions{}};
    auto rec = std::make_unique<ECG_RECORD>();
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = sim.StoredRecord()[size_t(p)][size_t(lane)];
    RECORD_INFO info;
    info.leadSystem = 1;
    WriteRecordInfo(rec->curves_buf, info);
    std::strcpy(rec->date, "2026-12-09 10:11:12");
    return rec;
}

PATIENT_CARD Card() {
    PATIENT_CARD card{};
    std::strcpy(card.last_name, "Ivanov");
    std::strcpy(card.first_name, "Ivan");
    card.birth_year = 1950;
    card.birth_month = 12;
    card.birth_day = 31;
    return card;
}

// The statements the records layer hands the helper with the record: the automatic ones.
CFileStatements Statements(const ECG_RECORD& rec, const PATIENT_CARD& card) {
    CFileStatements s;
    s.m_strHeading = analysis::kUnconfirmedHeading;
    for (const analysis::Statement& st :
         analysis::AnalyseRecord(rec, &card, {}).interpretation.statements)
        s.m_Statements.push_back(st.text);
    return s;
}

void BM_ExportDicomFile(benchmark::State& state) {
    const auto rec = SimulatedRecord();
    const PATIENT_CARD card = Card();
    const CFileStatements statements = Statements(*rec, card);
    QTemporaryDir dir;
    const std::string path =
        QFile::encodeName(dir.filePath(QStringLiteral("bench.dcm"))).toStdString();
    std::string error;
    for (auto _ : state)
        if (!WriteDicomEcg(path, *rec, card, statements, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
}
BENCHMARK(BM_ExportDicomFile)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

// The aECG (goal <= 20 ms) and the EDF+ file, built and written atomically.
using Writer = bool (*)(const std::string&, const ECG_RECORD&, const PATIENT_CARD&, std::string*);

void ExportFile(benchmark::State& state, Writer write, const char* name) {
    const auto rec = SimulatedRecord();
    const PATIENT_CARD card = Card();
    QTemporaryDir dir;
    const std::string path = QFile::encodeName(dir.filePath(QLatin1String(name))).toStdString();
    std::string error;
    for (auto _ : state)
        if (!write(path, *rec, card, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
}

void BM_ExportAecgFile(benchmark::State& state) {
    ExportFile(state, WriteAecgFile, "bench.xml");
}
void BM_ExportEdfFile(benchmark::State& state) {
    ExportFile(state, WriteEdfFile, "bench.edf");
}
BENCHMARK(BM_ExportAecgFile)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_ExportEdfFile)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

void BM_ReadDicomObject(benchmark::State& state) {
    const auto rec = SimulatedRecord();
    std::vector<uint8_t> bytes;
    std::string error;
    if (!DicomEcgBytes(*rec, Card(), Statements(*rec, Card()), bytes, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        ForeignEcg ecg;
        if (!ImportDicom(bytes.data(), bytes.size(), 0, ecg, &error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        benchmark::DoNotOptimize(ecg.signal.leads.data());
    }
}
BENCHMARK(BM_ReadDicomObject)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Repetitions(15)
    ->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
