// The archive in the window: every record a window opens goes into the archive and its card
// changes follow with their history; the patient list finds as you type, opens a record in a
// record window, deletes into the recycle list and imports a folder off the window's thread.

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "archive/archive_store.h"
#include "config/ini.h"
#include "dialogs/archive_dlg.h"
#include "dialogs/comparison_dlg.h"
#include "dialogs/priors_dlg.h"
#include "record_io/record_pacs.h"
#include "record_io/records_test_support.h"
#include "support/orthanc.h"
#include "support/run_until.h"
#include "support/stalled_peer.h"
#include "widgets/child_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QTemporaryDir& Folder() {
    static QTemporaryDir dir;
    return dir;
}

QString ArchiveFile() {
    return Folder().filePath(QStringLiteral("archive.sqlite"));
}

QApplication* App() {
    static int argc = 1;
    static char name[] = "archive_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        QFile ini(Folder().filePath(QStringLiteral("velmora.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[Archive]\r\nm_szArchiveFile=" + ArchiveFile().toUtf8() + "\r\n");
        ini.close();
        SetIniFileOverride(ini.fileName());
        return a;
    }();
    return app;
}

struct AppFirst {
    AppFirst() { App(); }
};

struct ArchiveWindow : testing::Test, AppFirst {
    ArchiveWindow() {
        EXPECT_TRUE(frame.OnCreate());
        frame.show();
    }
    QString Save(const char* name, const PATIENT_CARD& card, int variant) {
        auto record = MakeRecord();
        Sample(record->curves_buf, 3, 0) = int16_t(variant);
        const QString path = dir.filePath(QLatin1String(name));
        std::string error;
        EXPECT_TRUE(SaveRecordFile(path, *RecordFileTypeOf(path), *record, &card, &error)) << error;
        return path;
    }
    CChildView* LastView() {
        return static_cast<CChildFrame*>(frame.MdiArea()->subWindowList().last())->View();
    }
    QTemporaryDir dir;
    CMainFrame frame;
};

TEST_F(ArchiveWindow, AnOpenedRecordAndItsCardChangesGoIntoTheArchive) {
    PATIENT_CARD card = MakeCard();
    const QString path = Save("a.scp", card, 101);
    QSignalSpy archived(&frame, &CMainFrame::Archived);
    frame.OpenFiles({path});
    ASSERT_TRUE(RunUntil([&] { return archived.size() == 1; }));
    const qint64 id = archived[0][0].toLongLong();
    ASSERT_GT(id, 0) << archived[0][1].toString().toStdString();
    CEcgDocument& document = LastView()->Document();
    EXPECT_EQ(document.ArchiveId(), id);

    // The card changed in the window: the archive takes it and keeps the one before.
    document.Card().weight = 77;
    document.CardEdited();
    ASSERT_TRUE(RunUntil([&] { return archived.size() == 2; }));
    EXPECT_EQ(archived[1][0].toLongLong(), id);
    CArchive archive;
    CArchiveLocation where;
    where.file = ArchiveFile();
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    CLoadedRecord loaded;
    QString type;
    ASSERT_TRUE(archive.Load(id, loaded, &type, &why));
    EXPECT_EQ(loaded.card.weight, 77);
    std::vector<CCardVersion> history;
    ASSERT_TRUE(archive.CardHistory(id, history, &why));
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].card.weight, card.weight);

    // Opened once more: the same record, not a second one.
    frame.OpenFiles({path});
    ASSERT_TRUE(RunUntil([&] { return archived.size() == 3; }));
    EXPECT_EQ(archived[2][0].toLongLong(), id);
}

TEST_F(ArchiveWindow, ThePatientListFindsOpensDeletesAndImportsAFolder) {
    PATIENT_CARD other = MakeCard();
    SetText(other.last_name, "Ёлкина");
    SetText(other.first_name, "Анна");
    const QString folder = dir.filePath(QStringLiteral("in"));
    QDir().mkpath(folder + QStringLiteral("/sub"));
    Save("in/b.scp", other, 201);
    Save("in/sub/c.scp", other, 202);
    QFile junk(folder + QStringLiteral("/junk.scp"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("no record");
    junk.close();

    frame.OnArchive();
    CArchiveDlg* dlg = frame.ArchiveDialog();
    ASSERT_NE(dlg, nullptr);
    QSignalSpy finished(dlg, &CArchiveDlg::ImportFinished);
    dlg->ImportFolderAt(folder);
    ASSERT_TRUE(RunUntil([&] { return finished.size() == 1; }));
    const QString report = finished[0][0].toString();
    EXPECT_TRUE(report.contains(QStringLiteral("Импортировано: 2")) &&
                report.contains(QStringLiteral("не принято: 1")) &&
                report.contains(QStringLiteral("junk.scp")))
        << report.toStdString();

    // Typed as the user types it: lower case, е for ё.
    auto* search = dlg->findChild<QLineEdit*>(QStringLiteral("Search"));
    auto* patients = dlg->findChild<QTableWidget*>(QStringLiteral("Patients"));
    auto* records = dlg->findChild<QTableWidget*>(QStringLiteral("Records"));
    ASSERT_TRUE(search && patients && records);
    search->setText(QStringLiteral("елки"));
    ASSERT_TRUE(RunUntil([&] {
        return patients->rowCount() == 1 && patients->item(0, 0)->text().startsWith("Ёлкина");
    })) << "rows: "
        << patients->rowCount();
    ASSERT_EQ(records->rowCount(), 2);
    EXPECT_FALSE(records->item(0, 3)->text().isEmpty()) << "the heart rate is shown";
    search->setText(QStringLiteral("%"));
    ASSERT_TRUE(RunUntil([&] { return patients->rowCount() == 0; })) << "% is no wildcard";
    search->setText(QStringLiteral("ЁЛК"));
    ASSERT_TRUE(RunUntil([&] { return records->rowCount() == 2; }));

    // Opened in a record window of its own, titled as from the archive.
    const int windows = int(frame.MdiArea()->subWindowList().size());
    records->setCurrentCell(0, 0);
    QSignalSpy open(dlg, &CArchiveDlg::OpenRecord);
    ASSERT_TRUE(QMetaObject::invokeMethod(records, "itemDoubleClicked", Qt::DirectConnection,
                                          Q_ARG(QTableWidgetItem*, records->item(0, 0))));
    ASSERT_EQ(open.size(), 1);
    ASSERT_EQ(frame.MdiArea()->subWindowList().size(), windows + 1);
    EXPECT_TRUE(frame.MdiArea()->subWindowList().last()->windowTitle().startsWith(
        QStringLiteral("Архив: Ёлкина")));
    EXPECT_TRUE(LastView()->Document().Loaded());

    // Deleted: out of the list, into the recycle list, and back.
    ASSERT_TRUE(dlg->DeleteChosen());
    EXPECT_EQ(records->rowCount(), 1);
    dlg->findChild<QCheckBox*>(QStringLiteral("Recycled"))->setChecked(true);
    ASSERT_TRUE(RunUntil([&] { return records->rowCount() == 1 && patients->rowCount() == 1; }));
    ASSERT_TRUE(dlg->DeleteChosen()) << "restored";
    dlg->findChild<QCheckBox*>(QStringLiteral("Recycled"))->setChecked(false);
    ASSERT_TRUE(RunUntil([&] { return records->rowCount() == 2; }));

    // Exported as another type; an export into no folder says why.
    const QString out = dir.filePath(QStringLiteral("out.edf"));
    EXPECT_TRUE(dlg->ExportChosen(out));
    EXPECT_TRUE(QFileInfo(out).size() > 0);
    EXPECT_FALSE(dlg->ExportChosen(dir.filePath(QStringLiteral("none/x.scp"))));
    EXPECT_TRUE(dlg->findChild<QLabel*>(QStringLiteral("Status"))
                    ->text()
                    .startsWith(QStringLiteral("Запись не экспортирована")));
}

} // namespace

namespace {

// A record confirmed in the archive opens with the doctor's reading: the window's line says who
// confirmed it, the report prints it, a save carries it; a received record has none.
TEST_F(ArchiveWindow, AConfirmedRecordOpensWithTheDoctorsReading) {
    PATIENT_CARD card = MakeCard();
    const QString path = Save("c.scp", card, 303);
    CArchive archive;
    CArchiveLocation where;
    where.file = ArchiveFile();
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    CArchive::Added added{};
    qint64 id = 0;
    ASSERT_TRUE(archive.ImportFile(path, &added, &id, &why)) << why.toStdString();
    ASSERT_TRUE(
        archive.AddDoctor({0, QStringLiteral("smirnova"), QStringLiteral("Смирнова Е. В."), {}, {}},
                          "пароль врача", &why) ||
        why.contains(QStringLiteral("smirnova")));
    CDoctorReading reading;
    reading.statements = {{"LVH", "Гипертрофия левого желудочка", "LVH"}};
    reading.conclusion = "Сравнить с прежней";
    ASSERT_TRUE(archive.Confirm(id, reading, QStringLiteral("smirnova"), "пароль врача", 0, {},
                                nullptr, &why))
        << why.toStdString();

    ASSERT_TRUE(frame.OpenArchived(id));
    CChildView* view = LastView();
    ASSERT_EQ(view->Document().Reading().version, 1);
    QString line;
    QObject::connect(view, &CChildView::MeasurementLineChanged, view,
                     [&](const QString& text) { line = text; });
    view->Document().Remeasure();
    EXPECT_TRUE(line.contains(QStringLiteral("Заключение: Гипертрофия левого желудочка. Сравнить с "
                                             "прежней. Подтверждено: Смирнова Е. В.,")))
        << line.toStdString();
    EXPECT_FALSE(line.contains(QStringLiteral("не подтверждено"))) << line.toStdString();

    // What the window saves carries the reading: our SCP file reads back confirmed.
    const QString saved = dir.filePath(QStringLiteral("out.scp"));
    std::string error;
    CLoadedRecord back;
    CStatementSettings how;
    how.m_pReading = &view->Document().Reading();
    ASSERT_TRUE(SaveRecordFile(saved, *RecordFileTypeOf(saved), view->Document().Record(), &card,
                               &error, how))
        << error;
    ASSERT_TRUE(OpenRecordFile(saved, back, &error)) << error;
    EXPECT_TRUE(back.fileStatements.m_bConfirmed);

    // A new reception forgets it.
    view->Document().ReceptionStarted();
    EXPECT_FALSE(view->Document().Reading().Confirmed());
}

} // namespace

namespace {

// The patient list says who confirmed each record, and "не подтверждены" leaves only the records
// no doctor has confirmed, and only the patients who have one.
TEST_F(ArchiveWindow, TheListShowsWhoConfirmedAndFiltersTheUnconfirmed) {
    PATIENT_CARD card = MakeCard();
    SetText(card.last_name, "Орлова");
    SetText(card.first_name, "Вера");
    const QString paths[] = {Save("o1.scp", card, 401), Save("o2.scp", card, 402)};
    CArchive archive;
    CArchiveLocation where;
    where.file = ArchiveFile();
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    qint64 ids[2] = {};
    for (int k = 0; k < 2; ++k) {
        CArchive::Added added{};
        ASSERT_TRUE(archive.ImportFile(paths[k], &added, &ids[k], &why)) << why.toStdString();
    }
    ASSERT_TRUE(
        archive.AddDoctor({0, QStringLiteral("orlov"), QStringLiteral("Орлов Д. С."), {}, {}},
                          "пароль врача", &why) ||
        why.contains(QStringLiteral("orlov")));
    CDoctorReading reading;
    reading.statements = {{"SR", "Синусовый ритм", "Sinus rhythm"}};
    ASSERT_TRUE(archive.Confirm(ids[0], reading, QStringLiteral("orlov"), "пароль врача", 0, {},
                                nullptr, &why))
        << why.toStdString();

    frame.OnArchive();
    CArchiveDlg* dlg = frame.ArchiveDialog();
    ASSERT_NE(dlg, nullptr);
    auto* search = dlg->findChild<QLineEdit*>(QStringLiteral("Search"));
    auto* patients = dlg->findChild<QTableWidget*>(QStringLiteral("Patients"));
    auto* records = dlg->findChild<QTableWidget*>(QStringLiteral("Records"));
    auto* unconfirmed = dlg->findChild<QCheckBox*>(QStringLiteral("Unconfirmed"));
    ASSERT_TRUE(search && patients && records && unconfirmed);
    EXPECT_EQ(unconfirmed->text(), QStringLiteral("не подтверждены"));
    unconfirmed->setChecked(false);
    search->setText(QStringLiteral("орлова"));
    // Found as typed: until then the list is the last search's.
    ASSERT_TRUE(RunUntil([&] {
        return patients->rowCount() == 1 &&
               patients->item(0, 0)->text().startsWith(QStringLiteral("Орлова")) &&
               records->rowCount() == 2;
    }));
    int column = -1;
    for (int c = 0; c < records->columnCount(); ++c)
        if (records->horizontalHeaderItem(c)->text() == QStringLiteral("Заключение"))
            column = c;
    ASSERT_GE(column, 0);
    QStringList said;
    for (int row = 0; row < 2; ++row)
        said << records->item(row, column)->text();
    said.sort();
    ASSERT_EQ(said.size(), 2);
    EXPECT_EQ(said[0], QStringLiteral("не подтверждено врачом"));
    EXPECT_TRUE(said[1].startsWith(QStringLiteral("подтверждено: Орлов Д. С., ")))
        << said[1].toStdString();

    unconfirmed->setChecked(true);
    ASSERT_TRUE(RunUntil([&] { return records->rowCount() == 1; }));
    EXPECT_EQ(records->item(0, column)->text(), QStringLiteral("не подтверждено врачом"));

    // Both confirmed: the patient is gone from the filtered list, and back without the filter.
    ASSERT_TRUE(archive.Confirm(ids[1], reading, QStringLiteral("orlov"), "пароль врача", 0, {},
                                nullptr, &why))
        << why.toStdString();
    dlg->Refresh();
    ASSERT_TRUE(RunUntil([&] { return patients->rowCount() == 0; }));
    EXPECT_EQ(records->rowCount(), 0);
    unconfirmed->setChecked(false);
    ASSERT_TRUE(RunUntil([&] { return records->rowCount() == 2; }));
    search->clear();
}

} // namespace

// "Прежние ЭКГ из PACS...": the chosen record's patient's ECGs in a real Orthanc found in the
// background, fetched into the archive once (the comparison's previous record then one of
// them), and a search of a PACS that never answers cancelled at once.
TEST_F(ArchiveWindow, ThePriorsButtonFetchesThePatientsEcgsFromThePacsOnceAndCancels) {
    using testing_pacs::COrthanc;
    if (COrthanc::Program().isEmpty())
        GTEST_SKIP() << "Orthanc is not installed";
    COrthanc orthanc;
    ASSERT_TRUE(
        orthanc.Start(QStringLiteral(",\"DicomAlwaysAllowFind\":true,"
                                     "\"DicomAlwaysAllowGet\":true,\"DefaultEncoding\":\"Utf8\"")));
    PATIENT_CARD card = MakeCard();
    SetText(card.last_name, "Приоров");
    SetText(card.patient_id, "PW-77");
    // Two ECGs recorded elsewhere, in the PACS; the newest one here.
    auto usePacs = [](int port, int timeout) {
        QFile ini(Folder().filePath(QStringLiteral("velmora.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ini.write(
            "[Archive]\r\nm_szArchiveFile=" + ArchiveFile().toUtf8() +
            "\r\n[PACS]\r\nm_szPacsHost=127.0.0.1\r\nm_nPacsPort=" + QByteArray::number(port) +
            "\r\nm_nPacsTimeout=" + QByteArray::number(timeout) + "\r\n");
    };
    usePacs(orthanc.DicomPort(), 5);
    CViewSettings pacs;
    pacs.UpdateIni(true);
    for (const char* date : {"2024-03-01 10:00:00", "2025-06-15 09:30:00"}) {
        auto record = MakeRecord();
        std::memcpy(record->date, date, 20);
        Sample(record->curves_buf, 5, 1) = int16_t(date[3]);
        const QString path = dir.filePath(QStringLiteral("prior%1.dcm").arg(QLatin1Char(date[3])));
        std::string error;
        ASSERT_TRUE(SaveRecordFile(path, *RecordFileTypeOf(path), *record, &card, &error)) << error;
        CPacsJob job;
        ASSERT_TRUE(job.StartStoreFile(pacs, path, &error) && job.Wait(&error)) << error;
    }
    CArchive archive;
    CArchiveLocation where;
    where.file = ArchiveFile();
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    CArchive::Added added{};
    qint64 now = 0;
    ASSERT_TRUE(archive.ImportFile(Save("now.scp", card, 301), &added, &now, &why))
        << why.toStdString();

    frame.OnArchive();
    CArchiveDlg* dlg = frame.ArchiveDialog();
    ASSERT_NE(dlg, nullptr);
    auto* search = dlg->findChild<QLineEdit*>(QStringLiteral("Search"));
    auto* records = dlg->findChild<QTableWidget*>(QStringLiteral("Records"));
    auto* status = dlg->findChild<QLabel*>(QStringLiteral("Status"));
    auto* button = dlg->findChild<QPushButton*>(QStringLiteral("Priors"));
    ASSERT_TRUE(search && records && status && button);
    search->setText(QStringLiteral("Приоров"));
    ASSERT_TRUE(RunUntil([&] { return records->rowCount() == 1; }));
    records->selectRow(0);
    ASSERT_TRUE(button->isEnabled());
    button->click();
    auto* priors = dlg->findChild<CPriorsDlg*>();
    ASSERT_NE(priors, nullptr);
    auto* studies = priors->findChild<QTableWidget*>(QStringLiteral("Studies"));
    ASSERT_TRUE(RunUntil([&] { return !priors->IsBusy(); }));
    ASSERT_EQ(studies->rowCount(), 2);
    EXPECT_EQ(studies->item(0, 0)->text(), QStringLiteral("15.06.2025 09:30:00"));
    EXPECT_EQ(studies->item(1, 0)->text(), QStringLiteral("01.03.2024 10:00:00"));
    EXPECT_TRUE(studies->item(0, 1)->text().startsWith(QStringLiteral("Приоров Иван")));

    // Before the fetch the comparison has nothing to compare with.
    EXPECT_EQ(frame.OpenComparison(now, frame.ComparisonOptionsOfSettings()), nullptr);
    QSignalSpy imported(dlg, &CArchiveDlg::ImportFinished);
    priors->findChild<QPushButton*>(QStringLiteral("Fetch"))->click();
    ASSERT_TRUE(RunUntil([&] { return !priors->IsBusy(); }));
    EXPECT_EQ(imported.size(), 1); // the record windows' comparison commands look again
    CComparisonDlg* comparison = frame.OpenComparison(now, frame.ComparisonOptionsOfSettings());
    EXPECT_NE(comparison, nullptr) << "the comparison finds the fetched ECG";
    if (comparison)
        comparison->close();
    EXPECT_TRUE(status->text().contains(QStringLiteral("добавлено в архив: 2")))
        << status->text().toStdString();
    EXPECT_EQ(records->rowCount(), 3);
    qint64 previous = 0;
    ASSERT_TRUE(archive.PreviousRecord(now, &previous, &why));
    CLoadedRecord loaded;
    QString type;
    ASSERT_TRUE(previous != 0 && archive.Load(previous, loaded, &type, &why));
    EXPECT_EQ(QByteArray(loaded.pRecord->date), QByteArray("2025-06-15 09:30:00"));
    EXPECT_EQ(type, QStringLiteral(".dcm"));

    priors->findChild<QPushButton*>(QStringLiteral("Fetch"))->click();
    ASSERT_TRUE(RunUntil([&] { return !priors->IsBusy(); }));
    EXPECT_TRUE(status->text().contains(QStringLiteral("ничего не добавлено")))
        << status->text().toStdString();
    EXPECT_EQ(records->rowCount(), 3);
    priors->close();

    // A PACS that takes the connection and never answers: the window goes on, and "Отмена"
    // ends the search long before the 30 s time-out.
    CStalledPeer stalled;
    usePacs(stalled.Port(), 30);
    records->selectRow(0);
    QElapsedTimer t;
    t.start();
    CPriorsDlg* hung = dlg->ShowPriors();
    ASSERT_NE(hung, nullptr);
    EXPECT_LT(t.elapsed(), 1000);
    ASSERT_TRUE(RunUntil([&] { return hung->IsBusy(); }, 1000));
    QSignalSpy failed(hung, &CPriorsDlg::Failed);
    hung->findChild<QPushButton*>(QStringLiteral("Cancel"))->click();
    ASSERT_TRUE(RunUntil([&] { return failed.size() == 1; }, 20000));
    EXPECT_EQ(failed[0][0].toString(), QStringLiteral("Отменено."));
    EXPECT_EQ(status->text(), QStringLiteral("Отменено."));
    EXPECT_LT(t.elapsed(), 20000);
}
