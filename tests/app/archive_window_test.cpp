// The archive in the window: every record a window opens goes into the archive and its card
// changes follow with their history; the patient list finds as you type, opens a record in a
// record window, deletes into the recycle list and imports a folder off the window's thread.

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "archive/archive_store.h"
#include "config/ini.h"
#include "dialogs/archive_dlg.h"
#include "record_io/records_test_support.h"
#include "support/run_until.h"
#include "widgets/child_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
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
