// The comparison with the previous ECG in the window: two simulated records of one patient with
// known differences (QRS 90 ms in sinus rhythm, then 130 ms in atrial fibrillation) taken into a
// private archive, compared from the record window's command and from the patient list; the
// window shows what velmora-cli compare says, opens within 100 ms, and its report PDF carries
// the table and the changes. The command is disabled, with its reason, where there is nothing
// to compare with.

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "archive/archive_store.h"
#include "config/ini.h"
#include "dialogs/archive_dlg.h"
#include "dialogs/comparison_dlg.h"
#include "display/chart_style.h"
#include "record_io/records_test_support.h"
#include "support/run_until.h"
#include "widgets/child_view.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

namespace {

const QString kCli = QStringLiteral(VELMORA_BUILD_DIR "/src/cli/velmora-cli");

QTemporaryDir& Folder() {
    static QTemporaryDir dir;
    return dir;
}

QString ArchiveFile() {
    return Folder().filePath(QStringLiteral("archive.sqlite"));
}

// The settings: this archive, taking records in or not.
void UseSettings(bool archiveEnabled) {
    QFile ini(
        Folder().filePath(archiveEnabled ? QStringLiteral("on.ini") : QStringLiteral("off.ini")));
    ini.open(QIODevice::WriteOnly);
    ini.write("[Archive]\r\nm_szArchiveFile=" + ArchiveFile().toUtf8() +
              "\r\nm_bArchiveEnabled=" + (archiveEnabled ? "1" : "0") + "\r\n");
    ini.close();
    SetIniFileOverride(ini.fileName());
}

QApplication* App() {
    static int argc = 1;
    static char name[] = "comparison_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        UseSettings(true);
        return a;
    }();
    return app;
}

QString Simulate(const QString& name, const QStringList& options) {
    const QString path = Folder().filePath(name);
    QProcess p;
    p.start(kCli, QStringList{QStringLiteral("simulate"), QStringLiteral("--out"), path} + options);
    EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0)
        << p.readAllStandardError().toStdString();
    return path;
}

// What velmora-cli compare says of the two files: the other front-end of the same comparison.
QJsonObject CliCompare(const QString& previous, const QString& current) {
    QProcess p;
    p.start(kCli, {QStringLiteral("compare"), previous, current, QStringLiteral("--json")});
    EXPECT_TRUE(p.waitForFinished(60000) && p.exitCode() == 0);
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The archived records: an earlier and a later one of one patient, a lone record of another.
struct Records {
    QString previousFile, currentFile, loneFile;
    qint64 previous = 0, current = 0, lone = 0;
};

const Records& Archived() {
    static const Records r = [] {
        Records out;
        out.previousFile =
            Simulate(QStringLiteral("previous.dat"),
                     {QStringLiteral("--qrs"), QStringLiteral("90"),
                      QStringLiteral("--device-time"), QStringLiteral("2026-01-12 09:30")});
        out.currentFile =
            Simulate(QStringLiteral("current.dat"),
                     {QStringLiteral("--rhythm"), QStringLiteral("af"), QStringLiteral("--qrs"),
                      QStringLiteral("130"), QStringLiteral("--device-time"),
                      QStringLiteral("2026-11-20 10:15")});
        out.loneFile = Simulate(QStringLiteral("lone.dat"), {QStringLiteral("--device-time"),
                                                             QStringLiteral("2026-05-01 08:00")});
        CArchive archive;
        CArchiveLocation where;
        where.file = ArchiveFile();
        QString why;
        EXPECT_TRUE(archive.Open(where, &why)) << why.toStdString();
        PATIENT_CARD other = MakeCard();
        SetText(other.last_name, "Сидорова");
        SetText(other.first_name, "Анна");
        other.sex = 0;
        const std::pair<const QString*, qint64*> files[] = {{&out.previousFile, &out.previous},
                                                            {&out.currentFile, &out.current},
                                                            {&out.loneFile, &out.lone}};
        for (const auto& [file, id] : files) {
            CArchive::Added added;
            EXPECT_TRUE(archive.ImportFile(*file, &added, id, &why)) << why.toStdString();
            EXPECT_TRUE(archive.UpdateCard(*id, id == &out.lone ? other : MakeCard(), &why))
                << why.toStdString();
        }
        return out;
    }();
    return r;
}

struct AppFirst {
    AppFirst() {
        App();
        UseSettings(true);
    }
};

struct ComparisonWindow : testing::Test, AppFirst {
    ComparisonWindow() {
        EXPECT_TRUE(frame.OnCreate());
        frame.show();
    }
    QAction* Compare() { return frame.Action(ID_COMPARE_PREVIOUS); }
    std::vector<CComparisonDlg*> Dialogs() {
        std::vector<CComparisonDlg*> out;
        for (CComparisonDlg* d : frame.findChildren<CComparisonDlg*>())
            if (d->isVisible())
                out.push_back(d);
        return out;
    }
    CMainFrame frame;
};

int RowOf(QTableWidget* t, const QString& name) {
    for (int r = 0; r < t->rowCount(); ++r)
        if (t->item(r, 0)->text().startsWith(name))
            return r;
    return -1;
}

// Pixels of a colour in a widget's picture.
int PixelsOf(QWidget* w, const QColor& colour) {
    const QImage image = w->grab().toImage();
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y).rgb() == colour.rgb();
    return n;
}

QString Simplified(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).simplified();
}

TEST_F(ComparisonWindow, TheRecordWindowComparesWithThePreviousAndPrintsTheReport) {
    const Records& r = Archived();
    ASSERT_TRUE(r.current && r.previous);
    ASSERT_TRUE(frame.OpenArchived(r.current));
    CChildView* view = frame.ActiveView();
    frame.UpdateCommandStates();
    ASSERT_TRUE(Compare()->isEnabled()) << Compare()->toolTip().toStdString();

    // Opened from the command, timed to the window shown and painted; the best of three runs,
    // so that another program's burst on the machine is not taken for ours.
    qint64 best = 1 << 30;
    CComparisonDlg* dlg = nullptr;
    for (int run = 0; run < 3; ++run) {
        for (CComparisonDlg* d : Dialogs())
            d->close();
        QElapsedTimer t;
        t.start();
        Compare()->trigger();
        ASSERT_EQ(Dialogs().size(), 1u);
        dlg = Dialogs().front();
        dlg->repaint();
        best = std::min(best, t.elapsed());
    }
    std::printf("comparison window opened and painted in %lld ms (best of 3)\n",
                static_cast<long long>(best));
    // The figure itself is the benchmark's (bench/comparison_window_bench.cpp); a sanitized
    // build runs several times slower and is no measure of it.
    if (!kSanitized) {
        EXPECT_LE(best, 100);
    }
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg));
    EXPECT_EQ(dlg->PreviousId(), r.previous);
    EXPECT_EQ(dlg->CurrentId(), r.current);

    // The changes the command line finds, under the comparison's heading: fibrillation is new,
    // the QRS wider.
    const QJsonObject cli = CliCompare(r.previousFile, r.currentFile);
    auto* changes = dlg->findChild<QListWidget*>(QStringLiteral("Changes"));
    auto* heading = dlg->findChild<QLabel*>(QStringLiteral("ChangesHeading"));
    ASSERT_TRUE(changes && heading);
    EXPECT_EQ(heading->text(), QString::fromUtf8(analysis::kComparisonHeading));
    QStringList codes, shown;
    for (const QJsonValue& c : cli[QStringLiteral("changes")].toArray())
        codes << c[QStringLiteral("code")].toString();
    for (int i = 0; i < changes->count(); ++i)
        shown << changes->item(i)->text();
    EXPECT_TRUE(codes.contains(QStringLiteral("NEW_AFIB")) &&
                codes.contains(QStringLiteral("QRS_WIDER")))
        << codes.join(' ').toStdString();
    QStringList expected;
    for (const QJsonValue& c : cli[QStringLiteral("changes")].toArray())
        expected << c[QStringLiteral("text")].toString();
    EXPECT_EQ(shown, expected);

    // The table: the QRS 40 ms wider (the simulator's widths, within a measurement's scatter),
    // no PR difference against fibrillation, the values as the command line has them.
    auto* deltas = dlg->findChild<QTableWidget*>(QStringLiteral("Deltas"));
    ASSERT_TRUE(deltas);
    const int qrs = RowOf(deltas, QStringLiteral("QRS,")),
              pr = RowOf(deltas, QStringLiteral("PR,"));
    ASSERT_TRUE(qrs >= 0 && pr >= 0);
    const QString qrsDelta = deltas->item(qrs, 3)->text();
    ASSERT_TRUE(qrsDelta.startsWith(QLatin1Char('+'))) << qrsDelta.toStdString();
    const int wider = qrsDelta.mid(1).section(QLatin1Char(' '), 0, 0).toInt();
    EXPECT_NEAR(wider, 40, 12) << qrsDelta.toStdString();
    EXPECT_EQ(wider, qRound(cli[QStringLiteral("delta_qrs_ms")].toDouble()));
    EXPECT_EQ(
        deltas->item(qrs, 1)->text(),
        QStringLiteral("%1 мс").arg(qRound(
            cli[QStringLiteral("previous")].toObject()[QStringLiteral("qrs_ms")].toDouble())));
    EXPECT_EQ(deltas->item(pr, 3)->text(), QStringLiteral("—"));
    EXPECT_EQ(deltas->item(pr, 2)->text(), QStringLiteral("—")) << "no PR in fibrillation";
    EXPECT_NE(deltas->item(pr, 1)->text(), QStringLiteral("—")) << "the sinus record has one";

    // Both median beats drawn over each other, each in its colour, at the speed chosen.
    auto* beats = dlg->findChild<QWidget*>(QStringLiteral("MedianBeats"));
    ASSERT_TRUE(beats);
    EXPECT_GT(PixelsOf(beats, PreviousBeatColour()), 50);
    EXPECT_GT(PixelsOf(beats, CurrentBeatColour()), 50);
    dlg->SetSpeed(50);
    EXPECT_EQ(dlg->Speed(), 50);
    // Both records drawn by the record window's chart renderer, in its curve colour.
    for (const char* name : {"PreviousChart", "CurrentChart"}) {
        auto* chart = dlg->findChild<QWidget*>(QLatin1String(name));
        ASSERT_TRUE(chart);
        EXPECT_GT(PixelsOf(chart, CChartStyle().m_hCurvePen.color()), 500) << name;
    }

    // The report: both records, the table with its differences and the changes, as text.
    const QString pdf = Folder().filePath(QStringLiteral("comparison.pdf"));
    QString why;
    ASSERT_TRUE(dlg->SaveReport(pdf, &why)) << why.toStdString();
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000) && text.exitCode() == 0);
    const QString page = Simplified(QString::fromUtf8(text.readAllStandardOutput()));
    for (const QString& must :
         {QString::fromUtf8(analysis::kComparisonHeading), QStringLiteral("Предыдущая ЭКГ"),
          QStringLiteral("Текущая ЭКГ"), QStringLiteral("2026-01-12"), QStringLiteral("2026-11-20"),
          QStringLiteral("Разница"), qrsDelta, deltas->item(qrs, 2)->text(),
          QStringLiteral("50 мм/с")})
        EXPECT_TRUE(page.contains(must)) << must.toStdString() << "\n" << page.toStdString();
    for (const QString& change : expected)
        EXPECT_TRUE(page.contains(Simplified(change))) << change.toStdString();
    EXPECT_FALSE(dlg->SaveReport(Folder().filePath(QStringLiteral("none/x.pdf")), &why));
    EXPECT_TRUE(why.startsWith(QStringLiteral("Отчёт о сравнении не сохранён")));

    // The window reads its record through filters and at 50 mm/s: the comparison reads both
    // records so, and measures them as the window measures its own.
    dlg->close();
    ReadingSettings reading = view->Reading();
    reading.filters = {*FilterNamed("mains50"), *FilterNamed("muscle35")};
    reading.speedMmPerS = 50;
    view->SetReading(reading);
    Compare()->trigger();
    ASSERT_EQ(Dialogs().size(), 1u);
    dlg = Dialogs().front();
    EXPECT_EQ(dlg->findChild<QLabel*>(QStringLiteral("Filters"))->text(),
              QStringLiteral("Фильтры: ") + FilterText(reading.filters));
    EXPECT_EQ(dlg->Speed(), 50);
    for (const ReportInput* in : {&dlg->Input()->previous, &dlg->Input()->current}) {
        EXPECT_EQ(in->filters, FilterText(reading.filters));
        EXPECT_FALSE(in->drawSamples.empty()) << "drawn through the filters";
    }
    const analysis::Measurements* own = view->Document().Measurements();
    ASSERT_TRUE(own && own->qtMs && own->qrsMs);
    EXPECT_EQ(dlg->Input()->current.measurements.qtMs, own->qtMs);
    EXPECT_EQ(dlg->Input()->current.measurements.qrsMs, own->qrsMs);
    EXPECT_EQ(dlg->Input()->current.interpretation.statements.size(),
              view->Document().Interpretation()->statements.size());
}

TEST_F(ComparisonWindow, ThePatientListComparesTheChosenRecord) {
    const Records& r = Archived();
    frame.OnArchive();
    CArchiveDlg* list = frame.ArchiveDialog();
    ASSERT_NE(list, nullptr);
    list->findChild<QLineEdit*>(QStringLiteral("Search"))->setText(QStringLiteral("иванов"));
    auto* records = list->findChild<QTableWidget*>(QStringLiteral("Records"));
    ASSERT_TRUE(RunUntil([&] { return records->rowCount() == 2; }));
    auto* compare = list->findChild<QPushButton*>(QStringLiteral("Compare"));
    ASSERT_TRUE(compare);
    // The first record of the patient has nothing before it: no window; the later one opens
    // against it.
    for (int row = 0; row < 2; ++row) {
        records->selectRow(row);
        ASSERT_TRUE(compare->isEnabled());
        compare->click();
    }
    ASSERT_EQ(Dialogs().size(), 1u);
    CComparisonDlg* dlg = Dialogs().front();
    EXPECT_EQ(dlg->PreviousId(), r.previous);
    EXPECT_EQ(dlg->CurrentId(), r.current);
    EXPECT_GT(dlg->findChild<QListWidget*>(QStringLiteral("Changes"))->count(), 0);
}

// A patient of three records: the newest opens against the one before it, and the window's
// list of the patient's other records compares it with the oldest instead, as velmora-cli
// compare does with those two files.
TEST_F(ComparisonWindow, AnyOtherRecordOfThePatientIsChosenToCompareWith) {
    PATIENT_CARD card = MakeCard();
    SetText(card.last_name, "Кузнецов");
    SetText(card.first_name, "Олег");
    const QString files[] = {
        Simulate(QStringLiteral("k1.dat"),
                 {QStringLiteral("--heart-rate"), QStringLiteral("60"),
                  QStringLiteral("--device-time"), QStringLiteral("2025-03-01 09:00")}),
        Simulate(QStringLiteral("k2.dat"),
                 {QStringLiteral("--heart-rate"), QStringLiteral("100"),
                  QStringLiteral("--device-time"), QStringLiteral("2025-09-01 09:00")}),
        Simulate(QStringLiteral("k3.dat"),
                 {QStringLiteral("--heart-rate"), QStringLiteral("100"),
                  QStringLiteral("--device-time"), QStringLiteral("2026-03-01 09:00")})};
    CArchiveLocation where;
    where.file = ArchiveFile();
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    qint64 ids[3] = {};
    for (int k = 0; k < 3; ++k) {
        CArchive::Added added;
        ASSERT_TRUE(archive.ImportFile(files[k], &added, &ids[k], &why)) << why.toStdString();
        ASSERT_TRUE(archive.UpdateCard(ids[k], card, &why)) << why.toStdString();
    }

    CComparisonDlg dlg(where, {});
    ASSERT_TRUE(dlg.ComparePrevious(ids[2], &why)) << why.toStdString();
    EXPECT_EQ(dlg.PreviousId(), ids[1]);
    const auto shownTexts = [&] {
        QStringList out;
        auto* changes = dlg.findChild<QListWidget*>(QStringLiteral("Changes"));
        for (int i = 0; changes && i < changes->count(); ++i)
            out << changes->item(i)->text();
        return out;
    };
    const auto cliTexts = [&](const QString& previous) {
        QStringList out;
        for (const QJsonValue& c :
             CliCompare(previous, files[2])[QStringLiteral("changes")].toArray())
            out << c[QStringLiteral("text")].toString();
        return out;
    };
    EXPECT_EQ(shownTexts(), cliTexts(files[1]));

    auto* choose = dlg.findChild<QComboBox*>(QStringLiteral("ChoosePrevious"));
    ASSERT_TRUE(choose);
    ASSERT_EQ(choose->count(), 2) << "the patient's two other records, and no one else's";
    const int oldest = choose->findData(ids[0]);
    ASSERT_GE(oldest, 0);
    choose->setCurrentIndex(oldest);
    emit choose->activated(oldest);
    EXPECT_EQ(dlg.PreviousId(), ids[0]);
    EXPECT_EQ(dlg.CurrentId(), ids[2]);
    const QStringList against = shownTexts();
    EXPECT_EQ(against, cliTexts(files[0]));
    EXPECT_TRUE(std::any_of(against.begin(), against.end(), [](const QString& t) {
        return t.startsWith(QStringLiteral("ЧСС увеличилась"));
    })) << against.join(QLatin1Char('|')).toStdString();
}

TEST_F(ComparisonWindow, TheCommandIsDisabledWithItsReasonWhereThereIsNothingToCompare) {
    const Records& r = Archived();
    // Said both where the tooltip and where the status prompt would be.
    auto reason = [&] {
        frame.UpdateCommandStates();
        EXPECT_EQ(Compare()->toolTip(), Compare()->statusTip());
        return Compare()->toolTip();
    };

    frame.OnFileNew();
    EXPECT_FALSE(Compare()->isEnabled());
    EXPECT_TRUE(reason().contains(QStringLiteral("нет записи в окне")));

    // A file opened while records are not taken into the archive.
    UseSettings(false);
    QSignalSpy opened(&frame, &CMainFrame::OpeningFinished);
    frame.OpenFiles({r.loneFile});
    ASSERT_TRUE(RunUntil([&] { return opened.size() == 1; }));
    EXPECT_FALSE(Compare()->isEnabled());
    EXPECT_TRUE(reason().contains(QStringLiteral("записи нет в архиве"))) << reason().toStdString();
    UseSettings(true);

    // In the archive, but the first of its patient, or the only one.
    for (const qint64 id : {r.previous, r.lone}) {
        ASSERT_TRUE(frame.OpenArchived(id));
        EXPECT_FALSE(Compare()->isEnabled());
        EXPECT_TRUE(reason().contains(QStringLiteral("нет более ранней записи")))
            << reason().toStdString();
    }

    // The later record of the same patient: enabled, with its own prompt again.
    ASSERT_TRUE(frame.OpenArchived(r.current));
    EXPECT_TRUE(Compare()->isEnabled());
    EXPECT_EQ(Compare()->toolTip(), QStringLiteral("Сравнить с предыдущей ЭКГ"));
}

} // namespace
