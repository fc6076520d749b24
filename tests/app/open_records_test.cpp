// Records opened in the window: from the open command's files, the recent list, the command line
// and a drop; and the window writing exactly the files velmora-cli writes for the same record.

#include "app/child_frame.h"
#include "app/command_table.h"
#include "app/main_frame.h"
#include "commands/record_commands.h"
#include "config/app_profile.h"
#include "config/ini.h"
#include "record_io/record_files.h"
#include "record_io/records_test_support.h"
#include "report/report_settings.h"
#include "storage/package_reader.h"
#include "support/fake_prompts.h"
#include "support/run_until.h"
#include "support/wfdb.h"
#include "widgets/child_view.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMimeData>
#include <QPageLayout>
#include <QPointer>
#include <QPrinter>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <cstring>
#include <gtest/gtest.h>

namespace {

QApplication* App() {
    static int argc = 1;
    static char name[] = "open_records_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        a->setOrganizationName(QStringLiteral("velmora"));
        a->setApplicationName(QStringLiteral("velmora"));
        static QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("velmora.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[settings]\r\nm_nCom=9\r\n");
        ini.close();
        SetIniFileOverride(ini.fileName());
        return a;
    }();
    return app;
}

int Balloons() {
    int n = 0;
    for (QWidget* w : QApplication::allWidgets())
        n += w->objectName() == QStringLiteral("BalloonHelp");
    return n;
}

QByteArray Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct AppFirst {
    AppFirst() { App(); }
};

struct OpenRecords : testing::Test, AppFirst {
    OpenRecords() {
        EXPECT_TRUE(frame.OnCreate());
        frame.resize(900, 700);
        frame.show();
        record = MakeRecord();
        card = MakeCard();
    }
    QString Save(const char* name) {
        const QString path = dir.filePath(QLatin1String(name));
        std::string error;
        EXPECT_TRUE(SaveRecordFile(path, *RecordFileTypeOf(path), *record, &card, &error)) << error;
        return path;
    }
    // Opens the files as the window does (off its thread) and waits for the last: how many opened.
    int Open(const QStringList& paths) {
        QSignalSpy done(&frame, &CMainFrame::OpeningFinished);
        frame.OpenFiles(paths);
        EXPECT_TRUE(done.wait(30000)) << "the files never finished opening";
        return done.isEmpty() ? -1 : done.last()[0].toInt();
    }
    CRecordCommands* CommandsOf(const CChildView* view) {
        for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
            if (static_cast<CChildFrame*>(w)->View() == view)
                return static_cast<CChildFrame*>(w)->Commands();
        return nullptr;
    }
    CChildView* ViewTitled(const QString& title) {
        for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
            if (w->windowTitle() == title)
                return static_cast<CChildFrame*>(w)->View();
        return nullptr;
    }
    QTemporaryDir dir;
    CMainFrame frame;
    std::unique_ptr<ECG_RECORD> record;
    PATIENT_CARD card;
};

TEST_F(OpenRecords, EachFileOpensInAWindowOfItsOwnAndABadOneInNone) {
    const QStringList files = {Save("a.dat"), Save("b.ecg"), Save("c.scp")};
    const QString bad = dir.filePath(QStringLiteral("bad.scp"));
    QFile(bad).open(QIODevice::WriteOnly);
    const int balloons = Balloons();
    EXPECT_EQ(Open(files + QStringList{bad}), 3);
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 3) << "no window for the bad file";
    EXPECT_EQ(Balloons(), balloons + 1) << "a balloon names it";

    for (const char* name : {"a.dat", "b.ecg", "c.scp"}) {
        CChildView* view = ViewTitled(QLatin1String(name));
        ASSERT_NE(view, nullptr) << name << ": the window is titled after the file";
        const CAcquisitionSession& s = view->Session();
        EXPECT_TRUE(view->Loaded()) << "saving and sending work on it";
        EXPECT_EQ(s.m_pShowCurves, s.m_pCurves) << "the chart shows it";
        EXPECT_EQ(Sample(*s.m_pRecord, 100, 5), Sample(*record, 100, 5));
        EXPECT_STREQ(s.m_Card.last_name, card.last_name);
        EXPECT_EQ(s.m_Time.m_stStart.wHour, 23) << "the time label counts from the record's time";
        EXPECT_EQ(s.m_nLeadSystem, 1);
    }
    // The recent files, newest first, in "Файл".
    QStringList recent;
    for (QAction* a : frame.menuBar()->actions()[0]->menu()->actions())
        if (a->isVisible() && a->text().startsWith(QLatin1Char('&')) && a->text().at(1).isDigit())
            recent << a->text();
    EXPECT_EQ(recent, (QStringList{"&1 c.scp", "&2 b.ecg", "&3 a.dat"}));

    // A save from an opened record names the window after the new file and leads the list.
    CChildView* view = ViewTitled(QStringLiteral("a.dat"));
    CFakePrompts prompts;
    prompts.savePath = [&](const QString&, const QString&) {
        return dir.filePath(QStringLiteral("saved.ecg"));
    };
    CommandsOf(view)->SetPrompts(&prompts);
    CommandsOf(view)->OnExport();
    ASSERT_TRUE(RunUntil([&] { return !CommandsOf(view)->Busy(); }));
    EXPECT_NE(ViewTitled(QStringLiteral("saved.ecg")), nullptr);
    EXPECT_EQ(CAppProfile().GetRecentFiles(4).first(), dir.filePath(QStringLiteral("saved.ecg")));
    ASSERT_EQ(Open({Save("e.dat")}), 1);
    const QStringList kept = CAppProfile().GetRecentFiles(9);
    EXPECT_EQ(kept.size(), 4) << "four at most";
    EXPECT_EQ(QFileInfo(kept.first()).fileName(), QStringLiteral("e.dat"));
    EXPECT_FALSE(kept.contains(files[0])) << "the oldest drops out";
}

TEST_F(OpenRecords, DroppedFilesOpen) {
    const QString path = Save("dropped.scp");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    QSignalSpy done(&frame, &CMainFrame::OpeningFinished);
    EXPECT_TRUE(done.wait(30000));
    EXPECT_NE(ViewTitled(QStringLiteral("dropped.scp")), nullptr);
}

// A PhysioNet record in the window: the title says it is the beginning of a longer recording,
// the leads it lacks are labelled as absent, and the line under the chart holds the record's
// measurements, as velmora-cli measure gives them.
TEST_F(OpenRecords, AWfdbRecordShowsItsMeasurementsAndItsAbsentLeads) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const QString path = QString::fromStdString((root / "wfdb" / "mitdb" / "100.hea").string());
    ASSERT_EQ(Open({path}), 1);
    auto* child = static_cast<CChildFrame*>(frame.MdiArea()->subWindowList().last());
    EXPECT_EQ(child->windowTitle(), QStringLiteral("100.hea (первые 10 с из 30 мин)"));
    CChildView* view = child->View();
    ASSERT_NE(view->RecordMeasurements(), nullptr);
    const analysis::Measurements& m = *view->RecordMeasurements();
    ASSERT_TRUE(m.heartRateBpm);
    EXPECT_NEAR(*m.heartRateBpm, 72, 6);
    const QString line = child->MeasurementLine()->text();
    EXPECT_TRUE(child->MeasurementLine()->isVisibleTo(child));
    EXPECT_TRUE(line.startsWith(QStringLiteral("ЧСС %1 уд/мин").arg(qRound(*m.heartRateBpm))))
        << line.toStdString();
    EXPECT_TRUE(line.section(QLatin1Char('\n'), 0, 0)
                    .endsWith(QStringLiteral("требуют подтверждения врачом)")));
    // Under them the statements, as a proposal.
    EXPECT_TRUE(
        line.section(QLatin1Char('\n'), 1, 1)
            .startsWith(QStringLiteral("Автоматическое заключение (не подтверждено врачом): ")))
        << line.toStdString();

    // Lane II (MLII) and V5 are there; lane I is not: its label is grey, II's is not.
    QApplication::processEvents();
    view->DrawCurves();
    const QImage& img = view->ChartBuffer();
    ASSERT_FALSE(img.isNull());
    const int band = img.height() / 12, margin = img.width() / 28;
    const auto count = [&](int lane, QRgb colour) {
        int n = 0;
        for (int y = lane * band; y < (lane + 1) * band; ++y)
            for (int x = 0; x < margin; ++x)
                n += (img.pixel(x, y) | 0xFF000000) == (colour | 0xFF000000);
        return n;
    };
    const QRgb grey = CChartStyle().m_clrAbsent.rgb(), text = CChartStyle().m_clrText.rgb();
    EXPECT_GT(count(0, grey), 5);
    EXPECT_EQ(count(0, text), 0);
    EXPECT_GT(count(1, text), 5);
    EXPECT_EQ(count(1, grey), 0);
    EXPECT_GT(count(10, text), 5);

    // A new reception clears the line; stopping it measures what it holds.
    view->OnEkard();
    EXPECT_FALSE(child->MeasurementLine()->isVisibleTo(child));
    EXPECT_EQ(view->RecordMeasurements(), nullptr);
    view->OnEkard();
    EXPECT_NE(view->RecordMeasurements(), nullptr);
    EXPECT_EQ(child->MeasurementLine()->text(),
              QStringLiteral("Автоматические измерения: нет (комплексы QRS не найдены)"));
}

// Other systems' files open in windows as our own do: titled after the file, the patient's name
// in the card, the leads the file lacks labelled absent, the record measured.
TEST_F(OpenRecords, OtherSystemsFilesOpenInWindowsWithTheirPatientAndLeads) {
    const auto root = wfdb::RealData();
    if (root.empty())
        GTEST_SKIP() << "no real data (../shared/realdata or VELMORA_REALDATA): skipped";
    const QString dcm =
        QString::fromStdString((root / "dicom" / "mortara_eli250_waveform_ecg.dcm").string());
    const QString scp = QString::fromStdString(
        (root / "scp" / "welchallyn_ECG_20060620_112352_197001138994.SCP").string());
    ASSERT_EQ(Open({dcm, scp}), 2);
    CChildView* dicom = ViewTitled(QStringLiteral("mortara_eli250_waveform_ecg.dcm"));
    CChildView* welch =
        ViewTitled(QStringLiteral("welchallyn_ECG_20060620_112352_197001138994.SCP"));
    ASSERT_NE(dicom, nullptr);
    ASSERT_NE(welch, nullptr);
    EXPECT_STREQ(dicom->Session().m_Card.last_name, "Anonymous");
    EXPECT_STREQ(welch->Session().m_Card.last_name, "Forsberg");
    ASSERT_NE(dicom->RecordMeasurements(), nullptr);
    EXPECT_TRUE(dicom->RecordMeasurements()->heartRateBpm);
    EXPECT_EQ(dicom->Session().m_nAbsentLanes, 0);
    EXPECT_EQ(welch->Session().m_nAbsentLanes, (1 << 8) | (1 << 10)) << "V3 and V5";
    // The cart's own findings on a line of their own under ours, as the file's: the SCP file's
    // Sections 7 and 8, the DICOM object's annotations.
    for (QMdiSubWindow* w : frame.MdiArea()->subWindowList()) {
        const QString line = static_cast<CChildFrame*>(w)->MeasurementLine()->text();
        const QString file = line.section(QLatin1Char('\n'), -1);
        if (w->windowTitle().endsWith(QStringLiteral(".SCP"))) {
            EXPECT_TRUE(file.startsWith(QStringLiteral("По данным файла (SCP-ECG): ЧСС ")))
                << line.toStdString();
            EXPECT_TRUE(file.contains(QStringLiteral("заключение файла (подтверждено): ")))
                << line.toStdString();
        } else {
            EXPECT_TRUE(file.startsWith(QStringLiteral("По данным файла (Mortara")))
                << line.toStdString();
            EXPECT_TRUE(file.contains(QStringLiteral("заключение файла: "))) << line.toStdString();
        }
    }
}

// "Вид" reads a record at another speed and gain and through filters, window by window; the
// record, and what a save writes, stay as received; new windows start with the last choice.
TEST_F(OpenRecords, ReadingSettingsChangeThePictureNeverTheRecord) {
    const QString path = Save("read.dat");
    ASSERT_EQ(Open({path}), 1);
    auto* child = static_cast<CChildFrame*>(frame.MdiArea()->subWindowList().last());
    frame.MdiArea()->setActiveSubWindow(child);
    CChildView* view = child->View();
    QApplication::processEvents();
    view->DrawCurves();
    const QImage before = view->ChartBuffer();
    frame.UpdateCommandStates();
    const auto action = [&](const char* text) {
        for (QAction* a : frame.menuBar()->actions()[3]->menu()->actions())
            if (a->text() == QString::fromUtf8(text))
                return a;
        return static_cast<QAction*>(nullptr);
    };
    QAction* mains = action("Сетевой фильтр 50 Гц");
    QAction* slow = action("Скорость 25 мм/с");
    QAction* high = action("Усиление 20 мм/мВ");
    ASSERT_TRUE(mains && slow && high) << "in \"Вид\"";
    EXPECT_TRUE(mains->isEnabled());
    EXPECT_FALSE(mains->isChecked());

    mains->trigger();
    slow->trigger();
    high->trigger();
    EXPECT_TRUE(mains->isChecked() && slow->isChecked() && high->isChecked());
    EXPECT_FALSE(action("Скорость 50 мм/с")->isChecked()) << "one speed at a time";
    EXPECT_EQ(view->Chart().m_dGainMmPerMv, 20);
    EXPECT_EQ(view->ScrollBar()->maximum(), 1204) << "the scroll range follows the speed";
    EXPECT_EQ(view->Chart().m_strSettings, QStringLiteral("25 мм/с 20 мм/мВ 50 Гц"));
    EXPECT_NE(view->ChartBuffer(), before);
    const QByteArray received = Bytes(path);
    ASSERT_EQ(received.size(), qsizetype(sizeof(ECG_RECORD)));
    EXPECT_EQ(
        std::memcmp(view->Session().m_pRecord.get(), received.constData(), sizeof(ECG_RECORD)), 0)
        << "the record is as it was";
    CFakePrompts prompts;
    prompts.savePath = [&](const QString&, const QString&) {
        return dir.filePath(QStringLiteral("again.ecg"));
    };
    CommandsOf(view)->SetPrompts(&prompts);
    frame.Action(ID_EXPORT)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !CommandsOf(view)->Busy(); }));
    CLoadedRecord saved;
    std::string why;
    ASSERT_TRUE(OpenRecordFile(dir.filePath(QStringLiteral("again.ecg")), saved, &why)) << why;
    EXPECT_EQ(std::memcmp(saved.pRecord.get(), received.constData(), sizeof(ECG_RECORD)), 0)
        << "a save writes the samples as received";

    // The report says the filters it was drawn through.
    prompts.reportOptions = [](ReportOptions&) { return true; };
    prompts.savePath = [&](const QString&, const QString&) {
        return dir.filePath(QStringLiteral("filtered.pdf"));
    };
    frame.Action(ID_FILE_SAVE_PDF)->trigger();
    QProcess text;
    text.start(QStringLiteral("pdftotext"),
               {dir.filePath(QStringLiteral("filtered.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(text.waitForFinished(30000));
    EXPECT_TRUE(
        QString::fromUtf8(text.readAllStandardOutput()).contains(QStringLiteral("Фильтры: 50 Гц")));

    // The choice is remembered: the next window starts with it; a filter chosen again goes off.
    ASSERT_EQ(Open({path}), 1);
    auto* second = static_cast<CChildFrame*>(frame.MdiArea()->subWindowList().last());
    frame.MdiArea()->setActiveSubWindow(second);
    EXPECT_EQ(second->View()->Reading().gainMmPerMv, 20);
    frame.UpdateCommandStates();
    action("Сетевой фильтр 50 Гц")->trigger();
    EXPECT_TRUE(second->View()->Reading().filters.empty());
    EXPECT_FALSE(action("Сетевой фильтр 50 Гц")->isChecked());
    EXPECT_EQ(view->Reading().filters.size(), 1u) << "each window keeps its own";
    action("Сетевой фильтр 60 Гц")->trigger();
    action("Сетевой фильтр 50 Гц")->trigger();
    ASSERT_EQ(second->View()->Reading().filters.size(), 1u) << "one mains filter at a time";
    EXPECT_EQ(second->View()->Reading().filters[0], analysis::Filter::Mains50);
}

// A file the helper never finishes (a crafted EDF) keeps neither this window's thread nor the
// others' waiting: the window runs on, shows what it opens, and "Отмена" stops it at once. The
// files that failed are named in one balloon, which goes when the user opens something else.
TEST_F(OpenRecords, ASlowOpenLeavesTheWindowFreeShowsItsProgressAndIsCancelled) {
    const QString helper = dir.filePath(QStringLiteral("stuck-helper"));
    {
        QFile script(helper);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexec sleep 60\n");
    }
    QFile::setPermissions(helper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("VELMORA_INTERCHANGE", QFile::encodeName(helper));
    const QString bad = dir.filePath(QStringLiteral("bad.scp"));
    QFile(bad).open(QIODevice::WriteOnly);
    const QString crafted = dir.filePath(QStringLiteral("crafted.edf"));
    {
        QFile edf(crafted);
        ASSERT_TRUE(edf.open(QIODevice::WriteOnly));
        edf.write(QByteArray(256, ' '));
    }
    QSignalSpy done(&frame, &CMainFrame::OpeningFinished);
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QElapsedTimer t;
    t.start();
    frame.OpenFiles({bad, crafted, Save("later.dat")});
    EXPECT_LT(t.elapsed(), 500) << "the window's thread does not wait for the files";
    EXPECT_TRUE(frame.IsOpening());
    QProgressDialog* progress = nullptr;
    ASSERT_TRUE(RunUntil(
        [&] {
            progress = frame.findChild<QProgressDialog*>(QStringLiteral("OpenProgress"));
            return progress && progress->isVisible();
        },
        5000))
        << "a slow open shows its progress";
    EXPECT_TRUE(progress->labelText().contains(QStringLiteral("crafted.edf")))
        << progress->labelText().toStdString();
    EXPECT_FALSE(progress->isModal()) << "the other windows go on";
    EXPECT_GT(ticks, 10) << "the window's events ran meanwhile";

    t.restart();
    auto* cancel = progress->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(done.wait(5000));
    EXPECT_LT(t.elapsed(), 3000) << "cancelled at once, the helper killed";
    qunsetenv("VELMORA_INTERCHANGE");
    EXPECT_EQ(done.last()[0].toInt(), 0) << "the files waiting behind it are not opened either";
    EXPECT_FALSE(progress->isVisible());
    EXPECT_FALSE(frame.IsOpening());
    EXPECT_TRUE(frame.MdiArea()->subWindowList().isEmpty());

    QList<QPointer<QWidget>> said;
    for (QWidget* w : QApplication::allWidgets())
        if (w->objectName() == QStringLiteral("BalloonHelp") && w->isVisible())
            said << w;
    ASSERT_EQ(said.size(), 1) << "the failed file is named once; a cancel is no failure";

    ASSERT_EQ(Open({Save("next.dat")}), 1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(said[0].isNull() || !said[0]->isVisible())
        << "what the last opening said does not float over the next record";
}

} // namespace
