// Opening a record file of each type through the records layer, as the window and velmora-cli
// do: the file read whole, parsed, checked and its card filled in. Reported in ms; the median
// of the repetitions is the figure (the goal is 20 ms per type; 30 ms for the carts' XML).

#include "record_io/record_files.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

QString SavedRecord(const QTemporaryDir& dir, const char* extension) {
    auto rec = std::make_unique<ECG_RECORD>();
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            Sample(rec->curves_buf, p, lane) = int16_t((p * 37 + lane * 911) % 4096 - 2048);
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
    std::strcpy(card.locality, "Zvenigorod");
    card.birth_year = 1950;
    card.birth_month = 12;
    card.birth_day = 31;
    card.height = 180;
    card.weight = 80;
    const QString path = dir.filePath(QStringLiteral("bench") + QLatin1String(extension));
    std::string error;
    if (!SaveRecordFile(path, *RecordFileTypeOf(path), *rec, &card, &error))
        return QString();
    return path;
}

void BM_OpenRecord(benchmark::State& state, const char* extension) {
    QTemporaryDir dir;
    const QString path = SavedRecord(dir, extension);
    if (path.isEmpty()) {
        state.SkipWithError("the record could not be saved");
        return;
    }
    for (auto _ : state) {
        CLoadedRecord doc;
        std::string error;
        if (!OpenRecordFile(path, doc, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(doc.pRecord->curves_buf[0]);
    }
}

BENCHMARK_CAPTURE(BM_OpenRecord, dat, ".dat")->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_OpenRecord, ecg, ".ecg")->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_OpenRecord, scp, ".scp")->Unit(benchmark::kMillisecond)->Repetitions(5);

// The carts' XML files of the shared real data (10 or 11 s of 12 leads at 500 Hz), opened as a
// record: parsed, decoded (XLI for the Philips files), resampled. The goal is 30 ms each.
void BM_OpenCartXml(benchmark::State& state, const char* file) {
    const char* env = std::getenv("VELMORA_REALDATA");
    const QString data = env && *env ? QString::fromLocal8Bit(env)
                                     : QStringLiteral(VELMORA_SOURCE_DIR "/../shared/realdata");
    const QString path = data + QLatin1Char('/') + QLatin1String(file);
    if (!QFile::exists(path)) {
        state.SkipWithError("no real data (../shared/realdata or VELMORA_REALDATA)");
        return;
    }
    for (auto _ : state) {
        CLoadedRecord doc;
        std::string error;
        if (!OpenRecordFile(path, doc, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        benchmark::DoNotOptimize(doc.pRecord->curves_buf[0]);
    }
}

BENCHMARK_CAPTURE(BM_OpenCartXml, philips_103_xli, "xml/philips/129DYNRG.XML")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_OpenCartXml, philips_104_xli_utf16,
                  "xml/philips/3191723_ZZDEMOPTONLY_1-04_orig.xml")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_OpenCartXml, ge_muse, "xml/muse/braveheart_example1.xml")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);
BENCHMARK_CAPTURE(BM_OpenCartXml, ge_cardiosoft, "xml/cardiosoft/ecgvisualizer_example1.xml")
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5);

} // namespace

BENCHMARK_MAIN();
