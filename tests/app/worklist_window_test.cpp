// "Рабочий список" in the window against DCMTK's worklist server on loopback: the day's orders
// listed with their Cyrillic names, an entry chosen fills a new record window's card (or the
// active one's) and binds its record to the order; a server gone is said in the status line and
// the list stays.

#include "app/child_frame.h"
#include "app/command_table.h"
#include "app/main_frame.h"
#include "config/ini.h"
#include "dialogs/worklist_dlg.h"
#include "storage/card_fields.h"
#include "support/orthanc.h"
#include "support/run_until.h"
#include "widgets/child_view.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QLabel>
#include <QMdiArea>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QTemporaryDir& Folder() {
    static QTemporaryDir dir;
    return dir;
}

// One scheduled ECG as DCMTK's dump text (UTF-8, ISO_IR 192).
QByteArray Dump(const QString& accession, const QString& name, const QString& birth,
                const QString& sex) {
    const QString date = QDate::currentDate().toString(QStringLiteral("yyyyMMdd"));
    return QStringLiteral("(0008,0005) CS [ISO_IR 192]\n(0008,0050) SH [%1]\n"
                          "(0010,0010) PN [%2]\n(0010,0020) LO [PID-%1]\n(0010,0030) DA [%3]\n"
                          "(0010,0040) CS [%4]\n(0020,000d) UI [1.2.826.0.1.3680043.10.99.%5]\n"
                          "(0032,1060) LO [ЭКГ покоя]\n"
                          "(0040,0100) SQ (Sequence with undefined length)\n"
                          "(fffe,e000) na (Item with undefined length)\n"
                          "(0008,0060) CS [ECG]\n(0040,0001) AE [ECG1]\n(0040,0002) DA [%6]\n"
                          "(0040,0003) TM [101500]\n(0040,0009) SH [SPS-%1]\n"
                          "(fffe,e00d) na (ItemDelimitationItem)\n"
                          "(fffe,e0dd) na (SequenceDelimitationItem)\n"
                          "(0040,1001) SH [RP-%1]\n")
        .arg(accession, name, birth, sex, accession.right(1), date)
        .toUtf8();
}

struct CWlmscpfs {
    bool Start() {
        if (QStandardPaths::findExecutable(QStringLiteral("wlmscpfs")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("dump2dcm")).isEmpty())
            return false;
        const QString ae = dir.filePath(QStringLiteral("WLMSCP"));
        QDir().mkpath(ae);
        QFile(ae + QStringLiteral("/lockfile")).open(QIODevice::WriteOnly);
        const QByteArray dumps[] = {Dump(QStringLiteral("ACC1"),
                                         QStringLiteral("Ёлкина^Алёна^Юрьевна"),
                                         QStringLiteral("19451231"), QStringLiteral("F")),
                                    Dump(QStringLiteral("ACC2"), QStringLiteral("Иванов^Иван"),
                                         QStringLiteral("19600315"), QStringLiteral("M"))};
        int n = 0;
        for (const QByteArray& d : dumps) {
            const QString dump = dir.filePath(QStringLiteral("%1.dump").arg(n));
            QFile f(dump);
            f.open(QIODevice::WriteOnly);
            f.write(d);
            f.close();
            if (QProcess::execute(QStringLiteral("dump2dcm"),
                                  {dump, ae + QStringLiteral("/%1.wl").arg(n++)}) != 0)
                return false;
        }
        port = testing_pacs::FreePort();
        server.start(QStringLiteral("wlmscpfs"),
                     {QStringLiteral("-dfp"), dir.path(), QStringLiteral("-csk"),
                      QStringLiteral("-dfr"), QString::number(port)});
        return RunUntil([&] { return testing_pacs::Accepts(port); }, 20000);
    }
    ~CWlmscpfs() {
        server.kill();
        server.waitForFinished();
    }
    QTemporaryDir dir;
    QProcess server;
    int port = 0;
};

QApplication* App() {
    static int argc = 1;
    static char name[] = "worklist_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

} // namespace

TEST(WorklistWindow, AChosenOrderFillsTheCardAndBindsTheRecord) {
    App();
    CWlmscpfs wlm;
    if (!wlm.Start())
        GTEST_SKIP() << "DCMTK's wlmscpfs and dump2dcm are needed";
    QFile ini(Folder().filePath(QStringLiteral("velmora.ini")));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Archive]\r\nm_bArchiveEnabled=0\r\n[PACS]\r\nm_szWorklistHost=127.0.0.1\r\n"
              "m_nWorklistPort=" +
              QByteArray::number(wlm.port) + "\r\nm_szWorklistAETitle=WLMSCP\r\n");
    ini.close();
    SetIniFileOverride(ini.fileName());

    CMainFrame frame;
    ASSERT_TRUE(frame.OnCreate());
    frame.show();
    // "Файл" > "Рабочий список..." opens it.
    QAction* command = frame.Action(ID_WORKLIST);
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(command->text(), QStringLiteral("&Рабочий список..."));
    ASSERT_TRUE(command->isEnabled());
    command->trigger();
    CWorklistDlg* dlg = frame.WorklistDialog();
    ASSERT_NE(dlg, nullptr);
    auto* table = dlg->findChild<QTableWidget*>();
    auto* status = dlg->findChild<QLabel*>(QStringLiteral("status"));
    ASSERT_NE(status, nullptr);
    ASSERT_TRUE(RunUntil([&] { return !dlg->IsQuerying() && table->rowCount() == 2; }))
        << status->text().toStdString();
    int elkina = -1;
    for (int row = 0; row < 2; ++row)
        if (table->item(row, 4)->text() == QStringLiteral("ACC1"))
            elkina = row;
    ASSERT_GE(elkina, 0);
    EXPECT_EQ(table->item(elkina, 0)->text(), QStringLiteral("Ёлкина Алёна Юрьевна"));
    EXPECT_EQ(table->item(elkina, 2)->text(), QStringLiteral("31.12.1945"));
    EXPECT_EQ(table->item(elkina, 5)->text(), QStringLiteral("ЭКГ покоя"));
    EXPECT_TRUE(table->item(elkina, 6)->text().endsWith(QStringLiteral("10:15")));

    // No record window open: the order gets a new one.
    ASSERT_TRUE(frame.MdiArea()->subWindowList().isEmpty());
    table->selectRow(elkina);
    auto* choose = dlg->findChild<QPushButton*>(QStringLiteral("choose"));
    ASSERT_NE(choose, nullptr);
    ASSERT_TRUE(choose->isEnabled());
    choose->click();
    ASSERT_EQ(frame.MdiArea()->subWindowList().size(), 1);
    CEcgDocument& document = frame.ActiveFrame()->View()->Document();
    const PATIENT_CARD& card = document.Card();
    EXPECT_EQ(CardTextUtf8(card.last_name, sizeof card.last_name), "Ёлкина");
    EXPECT_EQ(CardTextUtf8(card.patronymic, sizeof card.patronymic), "Юрьевна");
    EXPECT_EQ(CardPatientId(card), "PID-ACC1");
    EXPECT_EQ(card.birth_day, 31);
    EXPECT_EQ(card.birth_year, 1945);
    EXPECT_EQ(card.sex, 0);
    EXPECT_EQ(document.Order().m_strAccession, "ACC1");
    EXPECT_EQ(document.Order().m_strStudyUid, "1.2.826.0.1.3680043.10.99.1");
    EXPECT_EQ(document.Order().m_strScheduledStepId, "SPS-ACC1");

    // A window open: the other order replaces its patient and its order, no new window.
    ASSERT_TRUE(dlg->ChooseRow(1 - elkina));
    EXPECT_EQ(frame.MdiArea()->subWindowList().size(), 1);
    EXPECT_EQ(CardTextUtf8(card.last_name, sizeof card.last_name), "Иванов");
    EXPECT_EQ(card.sex, 1);
    EXPECT_EQ(document.Order().m_strAccession, "ACC2");

    // The server gone: the status line says so, the orders shown stay.
    wlm.server.kill();
    wlm.server.waitForFinished();
    dlg->Refresh();
    ASSERT_TRUE(RunUntil([&] { return !dlg->IsQuerying(); }));
    EXPECT_TRUE(status->text().contains(QStringLiteral("сервер не отвечает")))
        << status->text().toStdString();
    EXPECT_TRUE(status->toolTip().contains(QStringLiteral("does not answer")));
    EXPECT_EQ(table->rowCount(), 2);
}
