// Opening a record file of each type through the records layer, as the window and velmora-cli
// do: the file read whole, parsed, checked and its card filled in. Reported in ms; the median
// of the repetitions is the figure (the goal is 20 ms per type; 30 ms for another system's ten
// seconds of twelve leads, an ISHNE Holter file at 1000 Hz, a Challenge .mat record at 500 Hz and
// the carts' XML, which are resampled to a record).

#include "record_io/record_files.h"
#include "storage/scp_file.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

void Put16(std::vector<uint8_t>& b, size_t at, int v) {
    b[at] = uint8_t(v & 0xFF);
    b[at + 1] = uint8_t((v >> 8) & 0xFF);
}

void Put32(std::vector<uint8_t>& b, size_t at, int32_t v) {
    for (size_t i = 0; i < 4; ++i)
        b[at + i] = uint8_t((uint32_t(v) >> (8 * i)) & 0xFF);
}

bool WriteBytes(const QString& path, const std::vector<uint8_t>& b) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) &&
           f.write(reinterpret_cast<const char*>(b.data()), qint64(b.size())) == qint64(b.size());
}

// Ten seconds of twelve leads: the ISHNE file at 1000 Hz, or the .mat record at 500 Hz with its
// header beside it. Returns the path to open.
QString ForeignRecord(const QTemporaryDir& dir, bool ishne) {
    const int rate = ishne ? 1000 : 500, frames = 10 * rate;
    const size_t header = ishne ? 522 : 24;
    std::vector<uint8_t> b(header + size_t(24 * frames), 0);
    for (int i = 0; i < frames; ++i)
        for (int l = 0; l < 12; ++l)
            Put16(b, header + size_t(2 * (i * 12 + l)), (i * (l + 3)) % 1600 - 800);
    if (ishne) {
        std::memcpy(b.data(), "ISHNE1.0", 8);
        Put32(b, 14, frames);
        Put32(b, 18, 522);
        Put32(b, 22, 522);
        Put16(b, 138, 1), Put16(b, 140, 2), Put16(b, 142, 2024);
        Put16(b, 156, 12);
        for (size_t l = 0; l < 12; ++l) {
            Put16(b, 158 + 2 * l, int(5 + l));
            Put16(b, 206 + 2 * l, 5000);
        }
        Put16(b, 272, rate);
        Put16(b, 8, ScpCrc(&b[10], 512));
        const QString path = dir.filePath(QStringLiteral("holter.ecg"));
        return WriteBytes(path, b) ? path : QString();
    }
    Put32(b, 0, 30);
    Put32(b, 4, 12);
    Put32(b, 8, frames);
    Put32(b, 16, 4);
    std::memcpy(&b[20], "val", 4);
    static const char* const kNames[] = {"I",  "II", "III", "aVR", "aVL", "aVF",
                                         "V1", "V2", "V3",  "V4",  "V5",  "V6"};
    std::string hea = "A0001 12 500 " + std::to_string(frames) + "\n";
    for (const char* name : kNames)
        hea += std::string("A0001.mat 16+24 1000/mV 16 0 0 0 0 ") + name + "\n";
    const QString path = dir.filePath(QStringLiteral("A0001.mat"));
    return WriteBytes(dir.filePath(QStringLiteral("A0001.hea")),
                      std::vector<uint8_t>(hea.begin(), hea.end())) &&
                   WriteBytes(path, b)
               ? path
               : QString();
}

void BM_OpenForeign(benchmark::State& state, bool ishne) {
    QTemporaryDir dir;
    const QString path = ForeignRecord(dir, ishne);
    if (path.isEmpty()) {
        state.SkipWithError("the file could not be written");
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
BENCHMARK_CAPTURE(BM_OpenForeign, ishne, true)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK_CAPTURE(BM_OpenForeign, mat, false)->Unit(benchmark::kMillisecond)->Repetitions(5);

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
