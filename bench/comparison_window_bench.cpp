// The comparison window opened on two records of one patient in an archive (goal: at most
// 100 ms): the previous record looked up, both loaded from the archive, read, measured,
// interpreted and compared, the window laid out and painted whole (both charts, the median
// beats, the table). Offscreen, so the figure is ours and not an X server's. Reported in ms; the
// median of the repetitions is the figure.

#include "archive/archive_store.h"
#include "dialogs/comparison_dlg.h"
#include "simulator/cardiograph_simulator.h"

#include <QApplication>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

namespace {

// A simulated record of Ivanov recorded at `date`, saved as `name` and taken into the archive.
qint64 Archived(CArchive& archive, const QTemporaryDir& dir, const char* name, const char* date,
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
    std::memcpy(rec->date, date, 20);
    rec->device_id = DeviceId(0x12345678u, 7);
    PATIENT_CARD card{};
    std::strcpy(card.doctor_name, "Petrov");
    std::strcpy(card.last_name, "Ivanov");
    std::strcpy(card.first_name, "Ivan");
    card.sex = 1;
    card.birth_year = 1950;
    card.birth_month = 12;
    card.birth_day = 31;
    const QString path = dir.filePath(QLatin1String(name));
    std::string error;
    qint64 id = 0;
    CArchive::Added added;
    QString why;
    if (!SaveRecordFile(path, *RecordFileTypeOf(path), *rec, &card, &error) ||
        !archive.ImportFile(path, &added, &id, &why) || !archive.UpdateCard(id, card, &why))
        return 0;
    return id;
}

void BM_OpenComparisonWindow(benchmark::State& state) {
    QTemporaryDir dir;
    CArchiveLocation where;
    where.file = dir.filePath(QStringLiteral("archive.sqlite"));
    CArchive archive;
    QString why;
    if (!archive.Open(where, &why) ||
        !Archived(archive, dir, "previous.dat", "2026-01-12 09:30:00", [](SimulatorOptions&) {})) {
        state.SkipWithError("the previous record is not in the archive");
        return;
    }
    const qint64 current =
        Archived(archive, dir, "current.dat", "2026-11-20 10:15:00", [](SimulatorOptions& o) {
            o.pathology.conduction = SimConduction::Rbbb;
            o.nHeartRate = 95;
        });
    if (!current) {
        state.SkipWithError("the current record is not in the archive");
        return;
    }
    CComparisonOptions options;
    options.reading.speedMmPerS = 25;
    for (auto _ : state) {
        CComparisonDlg dlg(where, options);
        if (!dlg.ComparePrevious(current, &why)) {
            state.SkipWithError(why.toStdString().c_str());
            return;
        }
        dlg.show();
        dlg.repaint();
        if (!dlg.Input()->comparison.Has("NEW_CRBBB")) {
            state.SkipWithError("the new block was not found");
            return;
        }
    }
}

BENCHMARK(BM_OpenComparisonWindow)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
