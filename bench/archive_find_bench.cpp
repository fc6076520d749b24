// CArchive::Find in-process, for bench/archive_pg.py: opens the archive at a database address
// (the password from PGPASSWORD) and times the search for each surname prefix given, RUNS times
// after one warm-up run, printing one line per prefix:
//     PREFIX ROWS FIRST_MS MEDIAN_MS MAX_MS
//     archive_find_bench postgresql://USER@HOST:PORT/DB RUNS PREFIX...

#include "archive/archive_store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fputs("usage: archive_find_bench URL RUNS PREFIX...\n", stderr);
        return 1;
    }
    CArchiveLocation where;
    QString why;
    if (!CArchiveLocation::FromUrl(args[1], where, &why)) {
        std::fprintf(stderr, "%s\n", why.toUtf8().constData());
        return 1;
    }
    where.password = qEnvironmentVariable("PGPASSWORD");
    CArchive archive;
    if (!archive.Open(where, &why)) {
        std::fprintf(stderr, "%s\n", why.toUtf8().constData());
        return 2;
    }
    const int runs = std::max(1, args[2].toInt());
    for (const QString& prefix : args.mid(3)) {
        CFindCriteria criteria;
        criteria.name = prefix;
        std::vector<CArchivedRecord> found;
        std::vector<double> ms;
        for (int i = 0; i <= runs; ++i) {
            QElapsedTimer t;
            t.start();
            if (!archive.Find(criteria, found, &why)) {
                std::fprintf(stderr, "%s\n", why.toUtf8().constData());
                return 2;
            }
            ms.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        const double first = ms.front();
        ms.erase(ms.begin());
        std::sort(ms.begin(), ms.end());
        std::printf("%s %zu %.2f %.2f %.2f\n", prefix.toUtf8().constData(), found.size(), first,
                    ms[ms.size() / 2], ms.back());
    }
    return 0;
}
