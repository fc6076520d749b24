// The audit trail's check over 100,000 entries (goal <= 2 s): every entry read in order and its
// hash worked out again from the one before. The trail is made once through the archive's own
// writes (a draft saved 100,000 times, each an entry) and kept in $VELMORA_BENCH_DATA (default
// /tmp/velmora-bench).

#include "archive/archive_store.h"
#include "record_io/record_files.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr qint64 kEntries = 100000;

QString ArchivePath() {
    const char* folder = std::getenv("VELMORA_BENCH_DATA");
    const QString dir =
        folder && *folder ? QString::fromLocal8Bit(folder) : QStringLiteral("/tmp/velmora-bench");
    QDir().mkpath(dir);
    return QDir(dir).filePath(QStringLiteral("audit-100k.sqlite"));
}

// Opens the trail, made when it is not there whole yet.
bool OpenTrail(CArchive& archive) {
    CArchiveLocation where;
    where.file = ArchivePath();
    QString why;
    if (!archive.Open(where, &why)) {
        std::fprintf(stderr, "audit bench: %s\n", qPrintable(why));
        return false;
    }
    qint64 entries = 0;
    if (archive.CheckAuditTrail(&entries, &why) && entries >= kEntries)
        return true;
    archive.~CArchive();
    new (&archive) CArchive;
    QFile::remove(where.file);
    if (!archive.Open(where, &why))
        return false;
    // The trail is what is timed: a record of silence is enough to hang it on.
    CLoadedRecord loaded;
    CArchive::Added added{};
    qint64 id = 0;
    if (!archive.AddRecord(loaded, QStringLiteral(".dat"), {}, {}, &added, &id, &why))
        return false;
    CDoctorReading draft;
    draft.statements = {{"SR", "Синусовый ритм", "Sinus rhythm"}};
    for (qint64 k = 1; k < kEntries; ++k) {
        draft.conclusion = "Черновик " + std::to_string(k);
        if (!archive.SaveDraft(id, draft, &why)) {
            std::fprintf(stderr, "audit bench: %s\n", qPrintable(why));
            return false;
        }
    }
    return true;
}

void BM_CheckAuditTrail(benchmark::State& state) {
    CArchive archive;
    if (!OpenTrail(archive)) {
        state.SkipWithError("the trail cannot be made");
        return;
    }
    qint64 entries = 0;
    for (auto _ : state) {
        QString why;
        if (!archive.CheckAuditTrail(&entries, &why))
            state.SkipWithError(qPrintable(why));
    }
    state.counters["entries"] = double(entries);
}
BENCHMARK(BM_CheckAuditTrail)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
