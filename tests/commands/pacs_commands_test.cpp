// The record commands and the settings dialog against a real PACS (Orthanc on loopback): the
// settings page checks the link with the values it shows, "Отправить в PACS" stores the record
// in the background, a refused association stores nothing, and a send to a PACS that has
// stalled stops at once when cancelled.

#include "commands/record_commands.h"
#include "dialogs/settings_dialog.h"
#include "loaded_record.h"
#include "support/gui_app.h"
#include "support/orthanc.h"
#include "support/run_until.h"
#include "support/stalled_peer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

TEST(Pacs, TheSettingsPageChecksTheLinkWithTheValuesItShows) {
    EnsureApp();
    if (testing_pacs::COrthanc::Program().isEmpty())
        GTEST_SKIP() << "Orthanc is not installed: skipped";
    testing_pacs::COrthanc pacs;
    ASSERT_TRUE(pacs.Start());
    CSettingsDialog dlg;
    CViewSettings s;
    s.m_szPacsHost = QStringLiteral("127.0.0.1");
    s.m_nPacsPort = pacs.DicomPort();
    s.m_nPacsTimeout = 5;
    dlg.CopyIn(s);
    dlg.show();
    ASSERT_TRUE(dlg.ShowPage(&dlg.m_page3));
    CDlgPacsCfg& page = dlg.m_page3;
    EXPECT_EQ(page.PacsAETitleEdit()->text(), QStringLiteral("ORTHANC"));
    EXPECT_EQ(page.PortEdit()->text(), QString::number(pacs.DicomPort()));
    QTest::mouseClick(page.CheckButton(), Qt::LeftButton);
    ASSERT_TRUE(RunUntil([&] { return page.CheckButton()->isEnabled(); }, 10000));
    EXPECT_EQ(page.CheckResult()->text(), QStringLiteral("Связь с PACS есть."));

    // Not yet applied, already checked: the page's own value.
    page.PacsAETitleEdit()->setText(QStringLiteral("OTHER"));
    QTest::mouseClick(page.CheckButton(), Qt::LeftButton);
    ASSERT_TRUE(RunUntil([&] { return page.CheckButton()->isEnabled(); }, 10000));
    EXPECT_TRUE(page.CheckResult()->text().startsWith(QStringLiteral("Нет связи с PACS:")))
        << page.CheckResult()->text().toStdString();
    // DCMTK's words said in Russian, the original at hand as the detail.
    EXPECT_TRUE(page.CheckResult()->text().contains(QStringLiteral("отказал в соединении")))
        << page.CheckResult()->text().toStdString();
    EXPECT_TRUE(page.CheckResult()->toolTip().contains(QStringLiteral("Rejected")));

    page.HostEdit()->setText(QStringLiteral("  pacs.hospital.local "));
    page.OnOK();
    CViewSettings out;
    dlg.CopyOut(out);
    EXPECT_EQ(out.m_szPacsAETitle, QStringLiteral("OTHER"));
    EXPECT_EQ(out.m_szPacsHost, QStringLiteral("pacs.hospital.local"));
    EXPECT_EQ(out.m_nPacsPort, pacs.DicomPort());
}

TEST(Pacs, TheCommandStoresTheRecordInTheBackgroundAndACancelStopsAStalledSend) {
    EnsureApp();
    if (testing_pacs::COrthanc::Program().isEmpty())
        GTEST_SKIP() << "Orthanc is not installed: skipped";
    testing_pacs::COrthanc pacs;
    ASSERT_TRUE(pacs.Start());
    CSessionState state;
    LoadRecord(state);
    CEcgDocument document(state);
    CViewSettings s;
    CRecordCommands commands(document, s, nullptr);
    QSignalSpy failed(&commands, &CRecordCommands::Failed);
    QSignalSpy informed(&commands, &CRecordCommands::Informed);
    s.m_szPacsHost = QStringLiteral("127.0.0.1");
    s.m_nPacsPort = pacs.DicomPort();
    s.m_nPacsTimeout = 30;

    commands.OnSendPacs();
    EXPECT_TRUE(document.Sending()) << "the send runs beside the window";
    ASSERT_TRUE(RunUntil([&] { return !document.Sending(); }, 20000));
    EXPECT_EQ(pacs.StoredFiles(), 2) << "the ECG and its printed report beside it";
    ASSERT_EQ(informed.size(), 1) << "a send that went is said";
    EXPECT_EQ(
        informed[0][0].toString(),
        QStringLiteral("Запись отправлена в PACS ORTHANC (127.0.0.1:%1).").arg(pacs.DicomPort()));

    s.m_szPacsAETitle = QStringLiteral("NOTORTHANC");
    commands.OnSendPacs();
    ASSERT_TRUE(RunUntil([&] { return !document.Sending(); }, 20000));
    EXPECT_EQ(pacs.StoredFiles(), 2) << "a rejected association stores nothing";
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().startsWith(QStringLiteral("Не удалось отправить в PACS: ")))
        << failed[0][0].toString().toStdString();

    // A peer that takes the connection and never answers; 30 s of time-out, and Esc at once.
    CStalledPeer stall;
    ASSERT_GT(stall.Port(), 0);
    s.m_szPacsAETitle = QStringLiteral("ORTHANC");
    s.m_nPacsPort = stall.Port();
    commands.OnSendPacs();
    ASSERT_TRUE(document.Sending());
    QTest::qWait(300);
    EXPECT_TRUE(document.Sending()) << "the stalled PACS keeps the send waiting";
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(commands.CancelSend());
    EXPECT_TRUE(RunUntil([&] { return !document.Sending(); }, 3000));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(failed.size(), 1) << "a cancel is no failure to report";
    ASSERT_EQ(informed.size(), 2) << "but it is said";
    EXPECT_TRUE(informed[1][0].toString().startsWith(QStringLiteral("Отправка в PACS отменена")));
    EXPECT_FALSE(commands.CancelSend()) << "nothing left to cancel";

    // Settings that cannot reach a PACS: nothing starts.
    s.m_szPacsHost.clear();
    commands.OnSendPacs();
    EXPECT_FALSE(document.Sending());
    ASSERT_EQ(failed.size(), 2);
    EXPECT_TRUE(failed[1][0].toString().startsWith(QStringLiteral("Отправка в PACS невозможна")));
}
