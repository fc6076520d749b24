// The main frame built from the command table: menus, toolbar, keys, command states and titles.

#include "app/child_frame.h"
#include "app/main_frame.h"
#include "app/velmora_app.h"
#include "commands/record_commands.h"
#include "config/app_profile.h"
#include "config/ini.h"
#include "dialogs/settings_dialog.h"
#include "support/fake_prompts.h"
#include "support/run_until.h"
#include "support/stalled_peer.h"
#include "widgets/adv_toolbar.h"
#include "widgets/child_view.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QPointer>
#include <QProcess>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

QApplication* App() {
    static int argc = 1;
    static char name[] = "app_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        static QTemporaryDir dir;
        // COM9 maps to a device that does not exist: reception runs without a port.
        QFile ini(dir.filePath(QStringLiteral("velmora.ini")));
        ini.open(QIODevice::WriteOnly);
        ini.write("[settings]\r\nm_nCom=9\r\n");
        ini.close();
        SetIniFileOverride(ini.fileName());
        return a;
    }();
    return app;
}

struct AppFirst {
    AppFirst() { App(); }
};

// A card complete enough for every save and send.
void FillCard(PATIENT_CARD& card) {
    std::strcpy(card.doctor_name, "Petrov");
    std::strcpy(card.doctor_phone, "123");
    std::strcpy(card.last_name, "Ivanov");
    std::strcpy(card.first_name, "Ivan");
    std::strcpy(card.patronymic, "Ivanovich");
    card.height = 180;
    card.weight = 80;
    card.birth_year = 1950;
    card.sex = 1;
}

struct Shell : AppFirst {
    Shell() {
        EXPECT_TRUE(frame.OnCreate());
        frame.resize(900, 700);
        frame.show();
        QApplication::setActiveWindow(&frame);
    }
    bool Enabled(int id) { return frame.Action(id)->isEnabled(); }
    CMainFrame frame;
};

TEST(Shell, MenusToolbarAndKeysComeFromTheCommandTable) {
    Shell s;
    QStringList popups;
    for (QAction* a : s.frame.menuBar()->actions())
        popups << a->text();
    EXPECT_EQ(popups, (QStringList{"&Файл", "&Редактирование", "Данные", "&Вид", "&Архив", "&Окна",
                                   "&Помощь"}));
    const QList<QAction*> data = s.frame.menuBar()->actions()[2]->menu()->actions();
    QStringList texts;
    for (QAction* a : data)
        texts << (a->isSeparator() ? QStringLiteral("|") : a->text());
    EXPECT_EQ(texts,
              (QStringList{"Прием данных от кардиографа", "Редактировать описание",
                           "Сохранить в файл", "Отправить по E-Mail", "|", "Сохранить в SCP файл",
                           "Отправить SCP по E-Mail", "Отправить DICOM по E-Mail",
                           "Отправить в PACS", "Отправить результат в МИС"}));
    // The edit commands speak Russian like the rest, their keys after the tab left out.
    QStringList edit;
    for (QAction* a : s.frame.menuBar()->actions()[1]->menu()->actions())
        edit << (a->isSeparator() ? QStringLiteral("|") : a->text());
    EXPECT_EQ(edit, (QStringList{"&Отменить", "|", "&Вырезать", "&Копировать", "Вст&авить",
                                 "&Настройки"}));
    EXPECT_EQ(s.frame.Action(57634)->statusTip(),
              QStringLiteral("Копировать выделенное в буфер обмена"));
    EXPECT_EQ(s.frame.Action(57634)->toolTip(), QStringLiteral("Копировать"));
    // The status bar idles on "Готово" and names the lock keys in Russian.
    EXPECT_EQ(s.frame.statusBar()->currentMessage(), QStringLiteral("Готово"));
    QStringList indicators;
    for (const QLabel* label : s.frame.statusBar()->findChildren<QLabel*>())
        if (!label->text().isEmpty())
            indicators << label->text();
    EXPECT_TRUE(indicators.contains(QStringLiteral("ПРОП")) &&
                indicators.contains(QStringLiteral("ЦИФР")) &&
                indicators.contains(QStringLiteral("ПРКР")))
        << indicators.join(QLatin1Char(' ')).toStdString();
    s.frame.statusBar()->showMessage(QStringLiteral("prompt"));
    s.frame.statusBar()->clearMessage();
    EXPECT_EQ(s.frame.statusBar()->currentMessage(), QStringLiteral("Готово"))
        << "said again when a prompt goes";
    EXPECT_EQ(s.frame.Action(ID_FILE_NEW)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(s.frame.Action(ID_EKARD)->statusTip(),
              QStringLiteral("Начать или закончить прием данных от кардиографа"));
    EXPECT_EQ(s.frame.Action(ID_EKARD)->toolTip(),
              QStringLiteral("Передача данных от кардиографа"));

    QList<int> bar;
    for (QAction* a : s.frame.ToolBar()->actions())
        bar << (a->isSeparator() ? 0 : s.frame.Action(ID_FILE_NEW) == a ? ID_FILE_NEW : -1);
    EXPECT_EQ(bar.size(), 14);
    EXPECT_EQ(s.frame.ToolBar()->actions()[1], s.frame.Action(ID_FILE_OPEN)) << "beside Новый";
    EXPECT_EQ(s.frame.ToolBar()->actions()[2], s.frame.Action(ID_ARCHIVE)) << "beside Открыть";
    EXPECT_EQ(s.frame.ToolBar()->actions()[4], s.frame.Action(ID_EKARD));
    EXPECT_EQ(s.frame.ToolBar()->actions()[13], s.frame.Action(ID_APP_ABOUT));
    EXPECT_TRUE(s.frame.ToolBar()->actions()[3]->isSeparator());
    EXPECT_EQ(s.frame.Action(ID_FILE_OPEN)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
}

TEST(Shell, CommandStatesFollowTheActiveWindow) {
    Shell s;
    for (int id : {ID_EKARD, ID_DEFINE_CURVES, ID_EXPORT, ID_SEND_EMAIL, ID_EXPORT_SCP,
                   ID_SEND_EMAIL_SCP, ID_CONFIG, ID_FILE_CLOSE, ID_WINDOW_CASCADE,
                   ID_WINDOW_TILE_HORZ, ID_WINDOW_ARRANGE, 57634, ID_VIEW_TOOLBAR})
        EXPECT_FALSE(s.Enabled(id)) << id << " at start-up";
    for (int id : {ID_FILE_NEW, ID_APP_EXIT, ID_VIEW_STATUS_BAR, ID_APP_ABOUT})
        EXPECT_TRUE(s.Enabled(id)) << id << " at start-up";
    EXPECT_TRUE(s.frame.Action(ID_VIEW_STATUS_BAR)->isChecked());

    CChildFrame* f = s.frame.OnFileNew();
    for (int id : {ID_CONFIG, ID_EKARD, ID_DEFINE_CURVES, ID_FILE_CLOSE, ID_WINDOW_CASCADE})
        EXPECT_TRUE(s.Enabled(id)) << id << " in a new window";
    for (int id : {ID_EXPORT, ID_SEND_EMAIL, ID_EXPORT_SCP, ID_SEND_EMAIL_SCP})
        EXPECT_FALSE(s.Enabled(id)) << id << " without a record";

    f->View()->Session().m_bLoaded = 1;
    s.frame.UpdateCommandStates();
    for (int id : {ID_EXPORT, ID_SEND_EMAIL, ID_EXPORT_SCP, ID_SEND_EMAIL_SCP})
        EXPECT_TRUE(s.Enabled(id)) << id << " with a record";

    f->View()->Session().m_bSending = 1;
    s.frame.UpdateCommandStates();
    for (int id : {ID_EKARD, ID_DEFINE_CURVES, ID_CONFIG, ID_SEND_EMAIL, ID_SEND_EMAIL_SCP})
        EXPECT_FALSE(s.Enabled(id)) << id << " while sending";
    EXPECT_TRUE(s.Enabled(ID_EXPORT));
    EXPECT_TRUE(s.Enabled(ID_EXPORT_SCP));
    f->View()->Session().m_bSending = 0;

    s.frame.Action(ID_VIEW_STATUS_BAR)->trigger();
    EXPECT_TRUE(s.frame.statusBar()->isHidden());
    EXPECT_FALSE(s.frame.Action(ID_VIEW_STATUS_BAR)->isChecked());
}

TEST(Shell, CtrlEnterStartsAndStopsReceptionAndTheTitleFollowsTheWindow) {
    Shell s;
    CChildFrame* first = s.frame.OnFileNew();
    CChildView* view = first->View();
    QTest::keyClick(view, Qt::Key_Return);
    EXPECT_EQ(view->Session().m_bSessionOn, 0) << "plain Enter does nothing";
    QTest::keyClick(view, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(view->Session().m_bSessionOn, 1);
    EXPECT_EQ(view->Session().m_nTimer, 0) << "COM9 does not exist: running without a port";
    QTest::keyClick(view, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(view->Session().m_bSessionOn, 0);
    EXPECT_EQ(view->Session().m_bLoaded, 1);
    const QString date = QString::fromLatin1(view->Session().m_pRecord->date);
    EXPECT_EQ(date.size(), 19);
    // The finished record is kept at once, and the title says where.
    QString kept = date;
    kept.replace(QLatin1Char(':'), QLatin1Char('-'));
    kept += QStringLiteral(" K.100.00000.0000.dat");
    const QString title = date + QStringLiteral(" — received/") + kept;
    EXPECT_EQ(first->m_strRecordTitle, title);
    EXPECT_EQ(first->windowTitle(), title);
    const QString keptPath = QDir(CAppProfile().GetEcgFolder()).filePath("received/" + kept);
    EXPECT_EQ(QFileInfo(keptPath).size(), 112552) << keptPath.toStdString();
    EXPECT_TRUE(s.Enabled(ID_EXPORT));
    // A second record in the same second: kept beside the first, never over it.
    view->OnEkard();
    view->OnEkard();
    if (QString::fromLatin1(view->Session().m_pRecord->date) == date) {
        EXPECT_TRUE(QFileInfo::exists(QString(keptPath).replace(".dat", "-2.dat")));
    }
    view->OnEkard();
    view->OnEkard();

    CChildFrame* second = s.frame.OnFileNew();
    EXPECT_EQ(s.frame.ActiveFrame(), second);
    EXPECT_FALSE(s.Enabled(ID_EXPORT));
    first->setWindowTitle(QStringLiteral("saved.ecg"));
    s.frame.MdiArea()->setActiveSubWindow(first);
    EXPECT_TRUE(
        first->windowTitle().startsWith(QString::fromLatin1(view->Session().m_pRecord->date)))
        << "switching back shows the reception time again";
    EXPECT_EQ(s.frame.windowTitle(), QStringLiteral("velmora - ") + first->windowTitle());
}

TEST(Shell, SaveCommandsWriteTheFileOrReportAndKeepTheTitle) {
    Shell s;
    CChildFrame* f = s.frame.OnFileNew();
    CChildView* view = f->View();
    view->OnEkard(); // no port: stopping gives a finished, all-zero record
    view->OnEkard();
    ASSERT_EQ(view->Session().m_bLoaded, 1);
    FillCard(view->Session().m_Card);

    QTemporaryDir dir;
    QString proposed;
    CFakePrompts prompts;
    f->Commands()->SetPrompts(&prompts);
    prompts.savePath = [&](const QString& path, const QString&) {
        proposed = QFileInfo(path).fileName();
        return dir.filePath(proposed);
    };
    s.frame.Action(ID_EXPORT)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    // The patient and the moment the record was taken.
    EXPECT_TRUE(
        QRegularExpression(
            QStringLiteral("^Ivanov I\\.I\\. \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.ecg$"))
            .match(proposed)
            .hasMatch())
        << proposed.toStdString();
    QFile ecg(dir.filePath(proposed));
    ASSERT_TRUE(ecg.open(QIODevice::ReadOnly));
    EXPECT_EQ(ecg.read(2), QByteArray("PK"));
    EXPECT_EQ(f->windowTitle(), proposed) << "a save names the window after the file";

    s.frame.Action(ID_EXPORT_SCP)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    EXPECT_TRUE(proposed.endsWith(QStringLiteral(".scp"))) << proposed.toStdString();
    const QString scpTitle = proposed;
    EXPECT_GT(QFileInfo(dir.filePath(proposed)).size(), 4096 * 12);
    EXPECT_EQ(f->windowTitle(), proposed);

    // A place that cannot take the file: the title stays and a balloon says why.
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    prompts.savePath = [&](const QString&, const QString&) {
        return dir.filePath(QStringLiteral("plain/x.ecg"));
    };
    const int balloons = s.frame.findChildren<QWidget*>(QStringLiteral("BalloonHelp")).size();
    s.frame.Action(ID_EXPORT)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    EXPECT_EQ(f->windowTitle(), scpTitle);
    EXPECT_EQ(s.frame.findChildren<QWidget*>(QStringLiteral("BalloonHelp")).size(), balloons + 1);

    // Cancelling the save dialog writes nothing; the new action closes the old balloon.
    const auto visibleBalloons = [&] {
        int n = 0;
        for (QWidget* w : QApplication::allWidgets())
            n += w->objectName() == QStringLiteral("BalloonHelp") && w->isVisible();
        return n;
    };
    const int shown = visibleBalloons();
    EXPECT_GE(shown, 1);
    prompts.savePath = nullptr;
    s.frame.Action(ID_EXPORT)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(visibleBalloons(), shown - 1) << "what it said of the last save no longer holds";
}

TEST(Shell, SettingsCommandStoresAllSettingsOnlyWhenConfirmed) {
    Shell s;
    CFakePrompts prompts;
    s.frame.OnFileNew()->Commands()->SetPrompts(&prompts);
    prompts.settingsDialog = [](CSettingsDialog& dlg) {
        dlg.show();
        dlg.m_page1.OrgEdit()->setPlainText(QStringLiteral("Clinic"));
        dlg.ShowPage(1);
        dlg.m_page2.EnableBox()->click();
        dlg.m_page2.HostEdit()->setText(QStringLiteral("smtp.example.org"));
        dlg.m_page2.PortEdit()->setText(QStringLiteral("465"));
        dlg.accept();
        return dlg.result() == QDialog::Accepted;
    };
    s.frame.Action(ID_CONFIG)->trigger();
    CViewSettings stored;
    stored.UpdateIni(true);
    EXPECT_EQ(stored.m_attrOrg, QStringLiteral("Clinic"));
    EXPECT_TRUE(stored.m_bSMTPEnabled);
    EXPECT_EQ(stored.m_szMailHostName, QStringLiteral("smtp.example.org"));
    EXPECT_EQ(stored.m_nMailSMTPPort, 465);
    EXPECT_EQ(stored.m_nCom, 9) << "the absent COM9 stays the port";

    prompts.settingsDialog = [](CSettingsDialog& dlg) {
        dlg.show();
        dlg.m_page1.OrgEdit()->setPlainText(QStringLiteral("Other"));
        dlg.reject();
        return false;
    };
    s.frame.Action(ID_CONFIG)->trigger();
    stored.UpdateIni(true);
    EXPECT_EQ(stored.m_attrOrg, QStringLiteral("Clinic")) << "cancel changes nothing";
}

// Polls the event loop until cond holds or the deadline passes.

TEST(Shell, SendingOverSmtpDisablesTheCommandsAndTheMessageArrives) {
    Shell s;
    CChildFrame* f = s.frame.OnFileNew();
    CChildView* view = f->View();
    view->OnEkard();
    view->OnEkard();
    FillCard(view->Session().m_Card);

    QProcess server;
    server.start(QStringLiteral("/usr/bin/python3"),
                 {QStringLiteral(VELMORA_SOURCE_DIR "/tests/mail/smtp_server.py"),
                  QStringLiteral("--user"), QStringLiteral("clinic@example.org"),
                  QStringLiteral("--password"), QStringLiteral("secret")});
    QByteArray out;
    ASSERT_TRUE(RunUntil([&] {
        out += server.readAllStandardOutput();
        return out.contains("ready ");
    }));
    const int port = out.mid(out.indexOf("ready ") + 6).trimmed().split('\n').first().toInt();
    ASSERT_GT(port, 0);

    CViewSettings& settings = view->Settings();
    settings.m_bSMTPEnabled = true;
    settings.m_szMailHostName = QStringLiteral("127.0.0.1");
    settings.m_nMailSMTPPort = port;
    settings.m_szMailLogin = QStringLiteral("clinic@example.org");
    settings.m_szMailPassword = QStringLiteral("secret");
    settings.m_attrOrg = QStringLiteral("Поликлиника №1");
    CFakePrompts prompts;
    f->Commands()->SetPrompts(&prompts);
    prompts.sendDialog = [](QString& to, QString& subject, QString& note) {
        to = QStringLiteral("doctor@example.org");
        subject = QStringLiteral("Карточка пациента");
        note = QStringLiteral("see attachment");
        return true;
    };
    s.frame.Action(ID_SEND_EMAIL)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    EXPECT_EQ(view->Session().m_bSending, 1);
    s.frame.UpdateCommandStates();
    EXPECT_FALSE(s.Enabled(ID_EKARD)) << "no reception while sending";
    EXPECT_FALSE(s.Enabled(ID_SEND_EMAIL_SCP));
    EXPECT_TRUE(s.Enabled(ID_EXPORT));
    ASSERT_TRUE(RunUntil([&] { return view->Session().m_bSending == 0; }));
    ASSERT_TRUE(RunUntil([&] {
        out += server.readAllStandardOutput();
        return out.contains("message ");
    }));
    EXPECT_TRUE(out.contains("doctor@example.org"));
    EXPECT_TRUE(out.contains(".ecg")) << out.constData();
    s.frame.UpdateCommandStates();
    EXPECT_TRUE(s.Enabled(ID_EKARD));

    // A server that is not there: the error reaches a balloon and the state clears.
    server.kill();
    server.waitForFinished();
    const int balloons = s.frame.findChildren<QWidget*>(QStringLiteral("BalloonHelp")).size();
    s.frame.Action(ID_SEND_EMAIL_SCP)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    ASSERT_TRUE(RunUntil([&] { return view->Session().m_bSending == 0; }));
    EXPECT_EQ(s.frame.findChildren<QWidget*>(QStringLiteral("BalloonHelp")).size(), balloons + 1);
}

// Esc in a record window stops its send to a PACS that has stalled (the frame takes the key
// before the view, whose Esc clears the calipers).
TEST(Shell, EscStopsTheWindowsStalledSendToThePacs) {
    Shell s;
    CChildFrame* f = s.frame.OnFileNew();
    CChildView* view = f->View();
    view->OnEkard();
    view->OnEkard();
    std::strcpy(view->Document().Card().last_name, "Ivanov");
    CStalledPeer stall;
    ASSERT_GT(stall.Port(), 0);
    CViewSettings& settings = view->Settings();
    settings.m_szPacsHost = QStringLiteral("127.0.0.1");
    settings.m_nPacsPort = stall.Port();
    settings.m_nPacsTimeout = 30;
    s.frame.Action(ID_SEND_PACS)->trigger();
    ASSERT_TRUE(view->Sending());
    s.frame.UpdateCommandStates();
    EXPECT_FALSE(s.Enabled(ID_SEND_PACS)) << "one send at a time";
    QElapsedTimer t;
    t.start();
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_TRUE(RunUntil([&] { return !view->Sending(); }, 3000));
    EXPECT_LT(t.elapsed(), 3000);
}

TEST(Shell, NewWindowsCascadeInsideTheAreaAndStandardTextsAreRussian) {
    Shell s;
    const QRect area(QPoint(0, 0), s.frame.MdiArea()->viewport()->size());
    QPoint last(-1, -1);
    for (int i = 0; i < 12; ++i) {
        CChildFrame* f = s.frame.OnFileNew();
        EXPECT_TRUE(area.contains(f->geometry())) << i << ": inside the area";
        EXPECT_NE(f->pos(), last) << i << ": not on top of the one before";
        last = f->pos();
    }
    EXPECT_TRUE(CvelmoraApp::LoadQtTranslation(*QApplication::instance()));
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Отмена"));
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "&Save"), QStringLiteral("&Сохранить"));
}

// "О программе..." shows the version the project, --version and the package carry.
TEST(Shell, TheAboutBoxShowsTheProjectVersion) {
    Shell s;
    QStringList texts;
    QTimer poll;
    poll.callOnTimeout([&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            for (const QLabel* label : box->findChildren<QLabel*>())
                texts << label->text();
            box->close();
        }
    });
    poll.start(10);
    s.frame.Action(ID_APP_ABOUT)->trigger();
    poll.stop();
    EXPECT_TRUE(texts.join(QLatin1Char('\n')).contains(QStringLiteral(VELMORA_VERSION)))
        << texts.join(QStringLiteral(" | ")).toStdString();
}

// A received record that could not be kept, or a card typed into no file, is not thrown away
// without a question: closing the window, a new reception and quitting all ask first.
TEST(Shell, ARecordInNoFileIsNeverLetGoWithoutAQuestion) {
    Shell s;
    QTemporaryDir dir;
    QFile plain(dir.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly)); // no folder can be made inside a file
    plain.close();
    CAppProfile profile;
    const QString folderBefore = profile.GetEcgFolder();
    profile.WriteProfileString(QString(), QStringLiteral("EcgFolder"),
                               dir.filePath(QStringLiteral("plain/ecg/")));
    CChildFrame* f = s.frame.OnFileNew();
    CFakePrompts prompts;
    QStringList asked;
    bool answer = false;
    prompts.confirmDiscard = [&](const QString& question) {
        asked << question;
        return answer;
    };
    f->Commands()->SetPrompts(&prompts);
    s.frame.Action(ID_EKARD)->trigger();
    s.frame.Action(ID_EKARD)->trigger(); // stopped: a finished record that has nowhere to go
    profile.WriteProfileString(QString(), QStringLiteral("EcgFolder"), folderBefore);
    ASSERT_EQ(f->View()->Session().m_bLoaded, 1);
    EXPECT_TRUE(asked.isEmpty()) << "stopping asks nothing";

    QPointer<CChildFrame> window(f);
    f->close();
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("папку принятых"))) << asked[0].toStdString();
    EXPECT_TRUE(window && window->isVisible()) << "\"no\" keeps the window";
    s.frame.Action(ID_EKARD)->trigger();
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(f->View()->Session().m_bSessionOn, 0) << "\"no\" keeps the record";
    s.frame.close();
    EXPECT_EQ(asked.size(), 3);
    EXPECT_TRUE(s.frame.isVisible()) << "quitting asks too";

    // Saved, it is in a file: nothing is asked any more.
    FillCard(f->View()->Session().m_Card);
    s.frame.Action(ID_EXPORT)->trigger(); // the save dialog is cancelled: still in no file
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    prompts.savePath = [&](const QString&, const QString&) {
        return dir.filePath(QStringLiteral("kept.ecg"));
    };
    s.frame.Action(ID_EXPORT)->trigger();
    ASSERT_TRUE(RunUntil([&] { return !f->Commands()->Busy(); }));
    ASSERT_TRUE(QFileInfo::exists(dir.filePath(QStringLiteral("kept.ecg"))));
    const qsizetype before = asked.size();
    // A card typed afterwards is in no file again.
    f->View()->Document().CardEdited();
    answer = true;
    f->close();
    ASSERT_EQ(asked.size(), before + 1);
    EXPECT_TRUE(asked.last().contains(QStringLiteral("Карточка"))) << asked.last().toStdString();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull() || !window->isVisible()) << "\"yes\" closes it";
}

} // namespace
