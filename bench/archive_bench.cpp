// The archive's figures on SQLite, over archives of 1,000, 10,000 and 100,000 records (200, 2,000
// and 20,000 patients, five records each, random Russian names and birth dates, recordings spread
// over twelve years): a search by a three-letter surname prefix (goal <= 50 ms at 100k), reading
// one record back (goal <= 20 ms), importing .ecg and .scp files with their measurement (goal >=
// 100 records per second) and the database's size per record (goal <= 120 KB). Find and import
// times must not grow in step with the archive.
//
// The archives are made once and kept in $VELMORA_BENCH_DATA (default /tmp/velmora-bench): the
// 100k archive takes minutes. Their records are a few simulated recordings, measured once each.

#include "analysis/measurements.h"
#include "archive/archive_store.h"
#include "platform/cp1251.h"
#include "simulator/cardiograph_simulator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>

namespace {

const char* const kSurnames[] = {
    "Иванов",      "Смирнов",   "Кузнецов",   "Попов",    "Васильев", "Петров",    "Соколов",
    "Михайлов",    "Новиков",   "Фёдоров",    "Морозов",  "Волков",   "Алексеев",  "Лебедев",
    "Семёнов",     "Егоров",    "Павлов",     "Козлов",   "Степанов", "Николаев",  "Орлов",
    "Андреев",     "Макаров",   "Никитин",    "Захаров",  "Зайцев",   "Соловьёв",  "Борисов",
    "Яковлев",     "Григорьев", "Романов",    "Воробьёв", "Сергеев",  "Кузьмин",   "Фролов",
    "Александров", "Дмитриев",  "Королёв",    "Гусев",    "Киселёв",  "Ильин",     "Максимов",
    "Поляков",     "Сорокин",   "Виноградов", "Ковалёв",  "Белов",    "Медведев",  "Антонов",
    "Тарасов",     "Жуков",     "Баранов",    "Филиппов", "Комаров",  "Давыдов",   "Беляев",
    "Герасимов",   "Богданов",  "Осипов",     "Сидоров",  "Матвеев",  "Титов",     "Марков",
    "Миронов",     "Крылов",    "Куликов",    "Карпов",   "Власов",   "Мельников", "Денисов"};
const char* const kMaleNames[] = {"Александр", "Сергей",  "Владимир", "Андрей", "Алексей",
                                  "Дмитрий",   "Николай", "Иван",     "Михаил", "Юрий"};
const char* const kFemaleNames[] = {"Елена",    "Ольга", "Наталья", "Татьяна", "Ирина",
                                    "Светлана", "Анна",  "Людмила", "Галина",  "Мария"};
const char* const kFathers[] = {"Александров", "Сергеев",  "Владимиров", "Андреев",  "Алексеев",
                                "Дмитриев",    "Николаев", "Иванов",     "Михайлов", "Юрьев"};
// Prefixes as typed at the desk, each the beginning of a few of the surnames above.
const char* const kPrefixes[] = {"Ива", "Пет", "Сми", "Куз", "Вол", "Сер", "Мор", "Ком"};

QString DataFolder() {
    const QString env = qEnvironmentVariable("VELMORA_BENCH_DATA");
    return env.isEmpty() ? QStringLiteral("/tmp/velmora-bench") : env;
}

template <size_t N> void Put(char (&field)[N], const QString& text) {
    std::memset(field, 0, N);
    const QByteArray bytes = ToCp1251(text);
    std::memcpy(field, bytes.constData(), std::min(N - 1, size_t(bytes.size())));
}

// A few recordings of the simulated cardiograph, each with what measuring it gives.
struct CSignals {
    std::vector<std::unique_ptr<ECG_RECORD>> records;
    std::vector<CRecordMeasures> measures;

    CSignals() {
        for (const int rate : {58, 72, 95, 120}) {
            SimulatorOptions o;
            o.nHeartRate = rate;
            o.nSeed = uint64_t(rate);
            const CCardiographSimulator sim{o};
            auto rec = std::make_unique<ECG_RECORD>();
            for (int p = 0; p < kPoints; ++p)
                for (int lane = 0; lane < kLeads; ++lane)
                    Sample(rec->curves_buf, p, lane) = sim.StoredRecord()[size_t(p)][size_t(lane)];
            RECORD_INFO info;
            info.leadSystem = 1;
            info.heartRate = uint32_t(rate);
            WriteRecordInfo(rec->curves_buf, info);
            rec->device_id = DeviceId(1234567, 7);
            const analysis::Measurements m = analysis::MeasureRecord(*rec, {});
            measures.push_back({m.heartRateBpm, m.qrsMs, m.qtcBazettMs, {}});
            records.push_back(std::move(rec));
        }
    }
};

const CSignals& Signals() {
    static const CSignals s;
    return s;
}

// A random patient's card.
PATIENT_CARD RandomCard(std::mt19937& rng) {
    PATIENT_CARD c{};
    const bool male = rng() % 2 == 0;
    const auto pick = [&rng](const auto& list) {
        return QString::fromUtf8(list[rng() % (sizeof list / sizeof list[0])]);
    };
    Put(c.last_name, pick(kSurnames) + (male ? QString() : QStringLiteral("а")));
    Put(c.first_name, male ? pick(kMaleNames) : pick(kFemaleNames));
    Put(c.patronymic, pick(kFathers) + (male ? QStringLiteral("ич") : QStringLiteral("на")));
    c.birth_year = uint16_t(1930 + rng() % 76);
    c.birth_month = uint16_t(1 + rng() % 12);
    c.birth_day = uint16_t(1 + rng() % 28);
    c.sex = male ? 1 : 0;
    c.height = uint16_t(150 + rng() % 45);
    c.weight = uint16_t(45 + rng() % 60);
    Put(c.doctor_name, QStringLiteral("Петров П.П."));
    Put(c.doctor_phone, QStringLiteral("+7 495 123-45-67"));
    return c;
}

// A recording's moment somewhere in the twelve years up to 2026.
void RandomDate(std::mt19937& rng, ECG_RECORD& r) {
    const QDateTime at = QDateTime(QDate(2015, 1, 1), QTime(0, 0), QTimeZone::utc())
                             .addSecs(qint64(rng() % (12u * 365 * 86400)));
    const QByteArray text = at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
    std::memset(r.date, 0, sizeof r.date);
    std::memcpy(r.date, text.constData(), size_t(text.size()));
}

// A connection of the benchmark's own to an archive's file, for what CArchive does not do yet.
QSqlDatabase Side(const QString& file) {
    const QString name = QStringLiteral("bench-") + file;
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    db.open();
    return db;
}

struct CBenchArchive {
    QString file;
    CArchive archive;
    double bytesPerRecord = 0;
    double secondsToMake = 0; // 0: made by an earlier run
};

// The archives opened, by size; emptied before the application goes, with their connections.
std::map<int, std::unique_ptr<CBenchArchive>>& Opened() {
    static std::map<int, std::unique_ptr<CBenchArchive>> opened;
    return opened;
}

// The archive of `records` records, made when missing; null with a message when it fails.
CBenchArchive* ArchiveOf(int records, std::string* error) {
    auto& slot = Opened()[records];
    if (slot)
        return slot.get();
    auto a = std::make_unique<CBenchArchive>();
    QDir().mkpath(DataFolder());
    a->file = QDir(DataFolder()).filePath(QStringLiteral("archive-%1.sqlite").arg(records));
    const QString done = a->file + QStringLiteral(".done");
    CArchiveLocation where;
    where.file = a->file;
    QString why;
    if (!QFileInfo::exists(done)) {
        for (const char* tail : {"", "-wal", "-shm"})
            QFile::remove(a->file + QLatin1String(tail));
        QElapsedTimer timer;
        timer.start();
        CArchive writer;
        if (!writer.Open(where, &why)) {
            *error = why.toStdString();
            return nullptr;
        }
        std::mt19937 rng{uint32_t(records)};
        const int patients = std::max(1, records / 5);
        std::vector<PATIENT_CARD> cards;
        for (int p = 0; p < patients; ++p)
            cards.push_back(RandomCard(rng));
        const CSignals& s = Signals();
        CLoadedRecord loaded;
        for (int i = 0; i < records; ++i) {
            const size_t k = size_t(i) % s.records.size();
            *loaded.pRecord = *s.records[k];
            loaded.pRecord->curve_id = uint32_t(i + 1);
            RandomDate(rng, *loaded.pRecord);
            loaded.card = cards[size_t(rng() % uint32_t(patients))];
            CArchive::Added added{};
            qint64 id = 0;
            if (!writer.AddRecord(loaded, QStringLiteral(".dat"), QByteArray(), QString(), &added,
                                  &id, &why, &s.measures[k])) {
                *error = why.toStdString();
                return nullptr;
            }
        }
        a->secondsToMake = double(timer.elapsed()) / 1000;
        QFile(done).open(QIODevice::WriteOnly);
    }
    if (!a->archive.Open(where, &why)) {
        *error = why.toStdString();
        return nullptr;
    }
    // The pages in use: the import figure adds records and takes them out again, leaving free
    // pages the file keeps.
    QSqlQuery q(Side(a->file));
    const auto number = [&q](const char* pragma) {
        return q.exec(QString::fromLatin1(pragma)) && q.next() ? q.value(0).toLongLong() : 0;
    };
    const qint64 used = number("PRAGMA page_count") - number("PRAGMA freelist_count");
    a->bytesPerRecord = double(used * number("PRAGMA page_size")) / records;
    slot = std::move(a);
    return slot.get();
}

void BM_FindBySurnamePrefix(benchmark::State& state) {
    std::string error;
    CBenchArchive* a = ArchiveOf(int(state.range(0)), &error);
    if (!a) {
        state.SkipWithError(error.c_str());
        return;
    }
    size_t n = 0, found = 0;
    for (auto _ : state) {
        CFindCriteria c;
        c.name = QString::fromUtf8(kPrefixes[n++ % std::size(kPrefixes)]);
        std::vector<CArchivedRecord> out;
        QString why;
        if (!a->archive.Find(c, out, &why)) {
            state.SkipWithError(why.toStdString().c_str());
            return;
        }
        found += out.size();
    }
    state.counters["found"] = double(found) / double(n);
    state.counters["KB_per_record"] = a->bytesPerRecord / 1024;
    state.counters["make_s"] = a->secondsToMake;
}
// What a search costs before any record: a prefix no surname has. The patients' names are read
// from their index, one entry a patient.
void BM_FindNoSurname(benchmark::State& state) {
    std::string error;
    CBenchArchive* a = ArchiveOf(int(state.range(0)), &error);
    if (!a) {
        state.SkipWithError(error.c_str());
        return;
    }
    CFindCriteria c;
    c.name = QStringLiteral("Ыщ");
    for (auto _ : state) {
        std::vector<CArchivedRecord> out;
        QString why;
        if (!a->archive.Find(c, out, &why) || !out.empty()) {
            state.SkipWithError("the search failed or found a record");
            return;
        }
    }
}
BENCHMARK(BM_FindNoSurname)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3);

BENCHMARK(BM_FindBySurnamePrefix)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3);

// One record opened from the archive by its number, as the window opens it.
void BM_LoadRecord(benchmark::State& state) {
    std::string error;
    CBenchArchive* a = ArchiveOf(int(state.range(0)), &error);
    if (!a) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::mt19937 rng{7};
    CLoadedRecord loaded;
    for (auto _ : state) {
        QString type, why;
        if (!a->archive.Load(qint64(1 + rng() % uint32_t(state.range(0))), loaded, &type, &why)) {
            state.SkipWithError(why.toStdString().c_str());
            return;
        }
        benchmark::DoNotOptimize(loaded.pRecord->curves_buf[0]);
    }
}
BENCHMARK(BM_LoadRecord)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(3);

// Record files to import, .ecg and .scp by turns, each another patient and recording.
const QStringList& ImportFiles(std::string* error) {
    static QTemporaryDir dir;
    static QStringList files;
    if (!files.isEmpty())
        return files;
    std::mt19937 rng{99};
    const CSignals& s = Signals();
    for (int i = 0; i < 300; ++i) {
        const QString path =
            dir.filePath(QStringLiteral("import-%1%2").arg(i).arg(i % 2 ? ".scp" : ".ecg"));
        const auto rec = std::make_unique<ECG_RECORD>(*s.records[size_t(i) % s.records.size()]);
        ECG_RECORD& r = *rec;
        r.curve_id = uint32_t(i + 1);
        RandomDate(rng, r);
        const PATIENT_CARD card = RandomCard(rng);
        if (!SaveRecordFile(path, *RecordFileTypeOf(path), r, &card, error))
            return files;
        files << path;
    }
    return files;
}

// The archive of the benchmark's size and the files to import into it; false (said) without.
bool ImportSetup(benchmark::State& state, CBenchArchive*& a, const QStringList*& files) {
    std::string error;
    a = ArchiveOf(int(state.range(0)), &error);
    files = &ImportFiles(&error);
    if (a && files->size() >= 300)
        return true;
    state.SkipWithError(error.c_str());
    return false;
}

// What a benchmark imported, out again: the archive stays as it was made.
void TakeOutImports(QSqlDatabase& side) {
    QSqlQuery q(side);
    q.exec(QStringLiteral("DELETE FROM records WHERE source_name LIKE 'import-%'"));
    q.exec(QStringLiteral("DELETE FROM patients WHERE id NOT IN (SELECT patient_id FROM "
                          "records WHERE patient_id IS NOT NULL)"));
}

// Importing record files (opened, measured, kept), one per iteration into the archive of that
// size; what was imported is taken out again afterwards so the archive stays as it was made.
void BM_ImportFile(benchmark::State& state) {
    CBenchArchive* a = nullptr;
    const QStringList* pFiles = nullptr;
    if (!ImportSetup(state, a, pFiles))
        return;
    const QStringList& files = *pFiles;
    QSqlDatabase side = Side(a->file);
    const auto takeOut = [&side] { TakeOutImports(side); };
    takeOut();
    int n = 0;
    for (auto _ : state) {
        CArchive::Added added{};
        qint64 id = 0;
        QString why;
        if (!a->archive.ImportFile(files[n++ % files.size()], &added, &id, &why) ||
            added != CArchive::Added::Imported) {
            state.SkipWithError(why.isEmpty() ? "a file was there already"
                                              : why.toStdString().c_str());
            return;
        }
    }
    QSqlQuery q(side);
    q.exec(QStringLiteral("SELECT AVG(LENGTH(record) + COALESCE(LENGTH(original), 0) + "
                          "LENGTH(card)), AVG(COALESCE(LENGTH(original), 0)) FROM records WHERE "
                          "source_name LIKE 'import-%.scp'"));
    if (q.next()) {
        state.counters["scp_blobs_KB"] = q.value(0).toDouble() / 1024;
        state.counters["scp_original_KB"] = q.value(1).toDouble() / 1024;
    }
    q.finish();
    takeOut();
    state.SetItemsProcessed(n);
}
BENCHMARK(BM_ImportFile)
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(200)
    ->UseRealTime() // a commit waits for the disk: records per second of the clock
    ->Repetitions(3);

// The same files through ImportFiles, as velmora-cli archive import and "Импорт папки..." take
// them: the next files read and measured on other threads while the archive writes one.
void BM_ImportFiles(benchmark::State& state) {
    CBenchArchive* a = nullptr;
    const QStringList* pFiles = nullptr;
    if (!ImportSetup(state, a, pFiles))
        return;
    const QStringList& files = *pFiles;
    QSqlDatabase side = Side(a->file);
    const auto takeOut = [&side] { TakeOutImports(side); };
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        takeOut();
        state.ResumeTiming();
        ImportFiles(
            a->archive, files,
            [&](const QString&, bool ok, CArchive::Added added, qint64, const QString& why) {
                if (!ok || added != CArchive::Added::Imported)
                    state.SkipWithError(why.isEmpty() ? "a file was there already"
                                                      : why.toStdString().c_str());
                ++n;
            });
    }
    takeOut();
    state.SetItemsProcessed(n);
}
BENCHMARK(BM_ImportFiles)
    ->Arg(1000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::printf("sizeof(ECG_RECORD) = %zu bytes, sizeof(PATIENT_CARD) = %zu bytes\n",
                sizeof(ECG_RECORD), sizeof(PATIENT_CARD));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Opened().clear();
    for (const QString& name : QSqlDatabase::connectionNames())
        QSqlDatabase::removeDatabase(name);
    return 0;
}
