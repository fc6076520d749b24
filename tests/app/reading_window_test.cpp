// "Заключение" in the window: the proposed statements are kept or removed, one is added from the
// searchable list, a conclusion written, and "Подтвердить" signs it in a doctor's name with the
// password; a wrong password is said and nothing is signed; a confirmed reading then offers only
// an amendment with its reason, and the earlier version stays listed. The record window's
// command signs its archived record and the window takes the reading.

#include "app/command_table.h"
#include "app/main_frame.h"
#include "archive/archive_store.h"
#include "config/ini.h"
#include "dialogs/reading_dlg.h"
#include "record_io/records_test_support.h"
#include "support/run_until.h"
#include "widgets/child_view.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

QApplication* App() {
    static int argc = 1;
    static char name[] = "reading_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

// A settings file in dir whose archive is the SQLite file `name` there, in force for the
// program until the test sets it back; the archive file's path.
QString UseArchiveIn(const QTemporaryDir& dir, const char* name) {
    const QString file = dir.filePath(QLatin1String(name));
    QFile ini(dir.filePath(QStringLiteral("velmora.ini")));
    EXPECT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Archive]\r\nm_szArchiveFile=" + file.toUtf8() + "\r\n");
    ini.close();
    SetIniFileOverride(ini.fileName());
    return file;
}

// A made record saved as dir/name and imported into archive; its id there.
qint64 ImportMadeRecord(CArchive& archive, const QTemporaryDir& dir, const char* name) {
    const QString path = dir.filePath(QLatin1String(name));
    std::string error;
    auto record = MakeRecord();
    const PATIENT_CARD card = MakeCard();
    EXPECT_TRUE(SaveRecordFile(path, *RecordFileTypeOf(path), *record, &card, &error)) << error;
    CArchive::Added added{};
    qint64 id = 0;
    QString why;
    EXPECT_TRUE(archive.ImportFile(path, &added, &id, &why)) << why.toStdString();
    return id;
}

template <class T> T* Child(QWidget& parent, const char* name) {
    T* w = parent.findChild<T*>(QLatin1String(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

TEST(ReadingWindow, ADoctorKeepsRemovesAddsAndConfirmsThenOnlyAmends) {
    App();
    QTemporaryDir dir;
    CArchiveLocation where;
    where.file = dir.filePath(QStringLiteral("a.sqlite"));
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    const qint64 id = ImportMadeRecord(archive, dir, "r.scp");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(archive.AddDoctor({0,
                                   QStringLiteral("petrova"),
                                   QStringLiteral("Петрова А. И."),
                                   QStringLiteral("врач ФД"),
                                   {}},
                                  "пароль врача", &why));
    std::vector<CReadStatement> proposal;
    ASSERT_TRUE(archive.Proposal(id, {}, proposal, &why));
    ASSERT_FALSE(proposal.empty()) << "the record has statements to keep or remove";

    CReadingDlg dlg(where, id, {});
    QSignalSpy confirmed(&dlg, &CReadingDlg::Confirmed);
    auto* statements = Child<QListWidget>(dlg, "Statements");
    ASSERT_EQ(statements->count(), int(proposal.size()));
    EXPECT_EQ(Child<QLabel>(dlg, "State")->text(), QStringLiteral("Не подтверждено врачом"));
    // The first proposed statement is removed; LVH is found by its Russian words and added.
    statements->item(0)->setCheckState(Qt::Unchecked);
    Child<QLineEdit>(dlg, "Find")->setText(QStringLiteral("гипертрофии левого"));
    auto* catalogue = Child<QListWidget>(dlg, "Catalogue");
    QListWidgetItem* lvh = nullptr;
    for (int i = 0; i < catalogue->count(); ++i) {
        if (!catalogue->item(i)->isHidden()) {
            EXPECT_EQ(lvh, nullptr) << "one statement has those words";
            lvh = catalogue->item(i);
        }
    }
    ASSERT_NE(lvh, nullptr);
    catalogue->setCurrentItem(lvh);
    Child<QPushButton>(dlg, "Add")->click();
    // A second time: kept once, not said twice.
    Child<QPushButton>(dlg, "Add")->click();
    EXPECT_EQ(statements->count(), int(proposal.size()) + 1);
    Child<QPlainTextEdit>(dlg, "Conclusion")->setPlainText(QStringLiteral("Без динамики"));

    Child<QLineEdit>(dlg, "Password")->setText(QStringLiteral("не тот"));
    Child<QPushButton>(dlg, "Confirm")->click();
    EXPECT_TRUE(Child<QLabel>(dlg, "Status")->text().contains(QStringLiteral("Не подтверждено")));
    EXPECT_EQ(confirmed.count(), 0);

    Child<QLineEdit>(dlg, "Password")->setText(QStringLiteral("пароль врача"));
    Child<QPushButton>(dlg, "Confirm")->click();
    ASSERT_EQ(confirmed.count(), 1) << Child<QLabel>(dlg, "Status")->text().toStdString();
    std::vector<CDoctorReading> versions;
    ASSERT_TRUE(archive.Readings(id, versions, &why));
    ASSERT_EQ(versions.size(), 1u);
    const CDoctorReading& v = versions[0];
    EXPECT_EQ(v.statements.size(), proposal.size());
    EXPECT_NE(v.statements.front().code, proposal.front().code);
    EXPECT_EQ(v.statements.back().code, "LVH");
    EXPECT_EQ(v.conclusion, "Без динамики");
    EXPECT_TRUE(
        Child<QLabel>(dlg, "State")->text().startsWith(QStringLiteral("Подтверждено: Петрова")));

    // Locked now: the button amends, and without a reason nothing changes.
    auto* confirm = Child<QPushButton>(dlg, "Confirm");
    EXPECT_EQ(confirm->text(), QStringLiteral("Внести изменение"));
    Child<QLineEdit>(dlg, "Password")->setText(QStringLiteral("пароль врача"));
    confirm->click();
    EXPECT_EQ(confirmed.count(), 1);
    Child<QLineEdit>(dlg, "Password")->setText(QStringLiteral("пароль врача"));
    Child<QLineEdit>(dlg, "Reason")->setText(QStringLiteral("уточнено"));
    Child<QListWidget>(dlg, "Statements")->item(0)->setCheckState(Qt::Unchecked);
    confirm->click();
    ASSERT_EQ(confirmed.count(), 2) << Child<QLabel>(dlg, "Status")->text().toStdString();
    ASSERT_TRUE(archive.Readings(id, versions, &why));
    ASSERT_EQ(versions.size(), 2u);
    EXPECT_EQ(versions[1].amendReason, "уточнено");
    const QString listed = Child<QTextBrowser>(dlg, "Versions")->toPlainText();
    EXPECT_TRUE(listed.contains(QStringLiteral("Версия 1")) &&
                listed.contains(QStringLiteral("Версия 2")))
        << listed.toStdString();
}

} // namespace

namespace {

// The first start with an archive without doctors offers, once, to make an account; the offer
// makes it through the account dialog.
TEST(ReadingWindow, TheFirstStartOffersADoctorsAccountOnce) {
    App();
    QTemporaryDir dir;
    const QString file = UseArchiveIn(dir, "first.sqlite");
    QFile ini(dir.filePath(QStringLiteral("velmora.ini")));
    CMainFrame frame;
    ASSERT_TRUE(frame.OnCreate());
    frame.show();
    frame.OfferDoctorAccount();
    QPushButton* offer = nullptr;
    ASSERT_TRUE(RunUntil([&] {
        offer = frame.findChild<QPushButton*>(QStringLiteral("OfferDoctorAccount"));
        return offer != nullptr;
    }));
    // The account dialog is modal: filled in once it is up.
    QTimer::singleShot(0, [] {
        QWidget* dlg = QApplication::activeModalWidget();
        ASSERT_NE(dlg, nullptr);
        const std::pair<const char*, const char*> fields[] = {{"Login", "kuznetsova"},
                                                              {"Name", "Кузнецова Н. П."},
                                                              {"NewPassword", "пароль врача"},
                                                              {"Repeat", "пароль врача"}};
        for (const auto& [name, text] : fields)
            dlg->findChild<QLineEdit*>(QLatin1String(name))->setText(QString::fromUtf8(text));
        dlg->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    offer->click();
    CArchive archive;
    CArchiveLocation where;
    where.file = file;
    QString why;
    std::vector<CDoctorAccount> doctors;
    ASSERT_TRUE(archive.Open(where, &why) && archive.Doctors(doctors, &why)) << why.toStdString();
    ASSERT_EQ(doctors.size(), 1u);
    EXPECT_EQ(doctors[0].name, QStringLiteral("Кузнецова Н. П."));
    EXPECT_TRUE(RunUntil(
        [&] { return !frame.findChild<QPushButton*>(QStringLiteral("OfferDoctorAccount")); }));

    // Offered once: the settings remember it, even for an archive with no doctor again.
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    QByteArray text = ini.readAll();
    ini.close();
    ASSERT_TRUE(text.contains("m_bDoctorAccountOffered=1")) << text.toStdString();
    text.replace("first.sqlite", "second.sqlite");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write(text);
    ini.close();
    frame.OfferDoctorAccount();
    QApplication::processEvents();
    EXPECT_FALSE(RunUntil(
        [&] { return frame.findChild<QPushButton*>(QStringLiteral("OfferDoctorAccount")); }, 500));
    SetIniFileOverride(QString());
}

} // namespace

namespace {

// "Заключение..." of a record window opened from the archive: the doctor confirms in the dialog,
// and the window's record takes the confirmed reading at once (its line, its report, its saves).
TEST(ReadingWindow, TheRecordWindowsCommandSignsItsArchivedRecord) {
    App();
    QTemporaryDir dir;
    const QString file = UseArchiveIn(dir, "window.sqlite");
    CArchiveLocation where;
    where.file = file;
    CArchive archive;
    QString why;
    ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
    const qint64 id = ImportMadeRecord(archive, dir, "w.scp");
    ASSERT_GT(id, 0);
    ASSERT_TRUE(
        archive.AddDoctor({0, QStringLiteral("sokolov"), QStringLiteral("Соколов И. И."), {}, {}},
                          "пароль врача", &why));

    CMainFrame frame;
    ASSERT_TRUE(frame.OnCreate());
    frame.show();
    ASSERT_TRUE(frame.OpenArchived(id));
    CChildView* view = frame.ActiveView();
    ASSERT_NE(view, nullptr);
    EXPECT_FALSE(view->Document().Reading().Confirmed());
    bool signedIn = false;
    // The dialog is modal: signed once it is up, then closed.
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<CReadingDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(Child<QLabel>(*dlg, "State")->text(), QStringLiteral("Не подтверждено врачом"));
        Child<QLineEdit>(*dlg, "Password")->setText(QStringLiteral("пароль врача"));
        Child<QPushButton>(*dlg, "Confirm")->click();
        signedIn = Child<QLabel>(*dlg, "State")
                       ->text()
                       .startsWith(QStringLiteral("Подтверждено: Соколов И. И."));
        dlg->close();
    });
    frame.Action(ID_READING)->trigger();
    EXPECT_TRUE(signedIn);
    EXPECT_EQ(view->Document().Reading().version, 1);
    EXPECT_EQ(view->Document().Reading().doctorName, "Соколов И. И.");
    CDoctorReading kept;
    ASSERT_TRUE(archive.CurrentReading(id, kept, &why)) << why.toStdString();
    EXPECT_EQ(kept.version, 1);
    EXPECT_EQ(kept.statements.size(), view->Document().Reading().statements.size());
    SetIniFileOverride(QString());
}

} // namespace
