// A search of the archive with whatever is typed: quotes, LIKE's own `%`, `_` and `\`, control
// characters, invalid UTF-8. A search never fails, finds only records whose patient's surname
// begins with the text (folded as the archive folds it) and whose identifier is the one asked
// for, and misses none of them.

#include "archive/archive_store.h"
#include "fuzz_check.h"
#include "platform/cp1251.h"
#include "storage/card_fields.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <cstdint>
#include <cstring>
#include <utility>

namespace {

// Surnames a LIKE pattern would mistake for its own syntax, and two that differ by ё alone.
const char* const kSurnames[] = {"Иванов", "иВанова", "Ёлкин", "Елкина",  "100%",    "10_0",
                                 "a_b",    "axb",     "a\\b",  "O'Brien", "O\"Neil", "%_\\'"};

struct Fixture {
    QCoreApplication* app;
    QTemporaryDir dir;
    CArchive archive;
    QStringList surnames;

    Fixture() {
        static int argc = 1;
        static char name[] = "archive_find_fuzz";
        static char* argv[] = {name, nullptr};
        app = new QCoreApplication(argc, argv);
        CArchiveLocation where;
        where.file = dir.filePath(QStringLiteral("archive.sqlite"));
        QString error;
        Check(archive.Open(where, &error));
        int n = 0;
        for (const char* surname : kSurnames) {
            CLoadedRecord loaded;
            loaded.pRecord->curve_id = uint32_t(++n); // each its own recording
            std::memcpy(loaded.pRecord->date, "2026-12-08 10:00:00", 20);
            const QByteArray text = ToCp1251(QString::fromUtf8(surname));
            std::memcpy(loaded.card.last_name, text.constData(), size_t(text.size()));
            loaded.card.birth_year = uint16_t(1930 + n);
            CArchive::Added added{};
            qint64 id = 0;
            Check(archive.AddRecord(loaded, QStringLiteral(".dat"), QByteArray(), QString(), &added,
                                    &id, &error));
            surnames << QString::fromStdString(
                CardTextUtf8(loaded.card.last_name, sizeof loaded.card.last_name));
        }
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture* f = new Fixture;
    if (size == 0)
        return 0;
    // The first byte says what is searched for; the rest is the name, then after a 0xFF byte
    // (never in UTF-8) the identifier.
    const uint8_t what = data[0];
    const char* rest = reinterpret_cast<const char*>(data + 1);
    const size_t restSize = size - 1;
    const char* sep = static_cast<const char*>(std::memchr(rest, 0xFF, restSize));
    const size_t nameSize = sep ? size_t(sep - rest) : restSize;
    CFindCriteria c;
    if (what & 1)
        c.name = (what & 4) ? QString::fromLatin1(rest, qsizetype(nameSize))
                            : QString::fromUtf8(rest, qsizetype(nameSize));
    if ((what & 2) && sep)
        c.identifier = QString::fromUtf8(sep + 1, qsizetype(restSize - nameSize - 1));
    if (what & 8)
        c.from = QDate(2026, 12, 8);
    if (what & 16)
        std::swap(c.name, c.text); // the search field: surnames or identifiers (none here)

    std::vector<CArchivedRecord> found;
    QString error;
    Check(f->archive.Find(c, found, &error));
    const QString folded = ArchiveFold(c.name.isEmpty() ? c.text : c.name);
    for (const CArchivedRecord& r : found) {
        const QString surname =
            QString::fromStdString(CardTextUtf8(r.card.last_name, sizeof r.card.last_name));
        Check(ArchiveFold(surname).startsWith(folded));
        if (!c.identifier.isEmpty())
            Check(QString::fromStdString(CardPatientId(r.card)) == c.identifier);
    }
    if (c.identifier.isEmpty()) {
        size_t expected = 0;
        for (const QString& s : f->surnames)
            expected += ArchiveFold(s).startsWith(folded) ? 1 : 0;
        Check(found.size() == expected);
    }
    return 0;
}
