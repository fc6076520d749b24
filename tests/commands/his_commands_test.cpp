// "Отправить результат в МИС" and the outbox window against python3-hl7's MLLP server: a result
// the hospital system takes is said, a refusal and a silent system keep the result in the outbox,
// Esc stops a send that waits, and the outbox window sends what waits once the system is back.

#include "../hl7/his_server.h"
#include "commands/record_commands.h"
#include "dialogs/his_outbox_dlg.h"
#include "hl7/hl7_outbox.h"
#include "loaded_record.h"
#include "support/gui_app.h"
#include "support/run_until.h"
#include "support/stalled_peer.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <cstring>
#include <gtest/gtest.h>

namespace {

bool HaveHl7Server() {
    return QFileInfo::exists(QStringLiteral("/usr/bin/python3")) &&
           QProcess::execute(QStringLiteral("/usr/bin/python3"),
                             {QStringLiteral("-c"), QStringLiteral("import hl7.mllp")}) == 0;
}

} // namespace

TEST(His, TheCommandSendsTheResultKeepsWhatIsNotTakenAndTheOutboxSendsItLater) {
    EnsureApp();
    if (!HaveHl7Server())
        GTEST_SKIP() << "python3-hl7 is not installed: skipped";
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    const QString folder = CHl7Outbox::DefaultFolder();
    ASSERT_TRUE(folder.startsWith(home.path()));

    CSessionState state;
    LoadRecord(state);
    CEcgDocument document(state);
    CViewSettings s;
    CRecordCommands commands(document, s, nullptr);
    QSignalSpy failed(&commands, &CRecordCommands::Failed);
    QSignalSpy informed(&commands, &CRecordCommands::Informed);

    // No system set: nothing starts, nothing is kept.
    commands.OnSendHis();
    EXPECT_FALSE(commands.Busy());
    ASSERT_EQ(failed.size(), 1);
    EXPECT_TRUE(failed[0][0].toString().startsWith(QStringLiteral("Отправка в МИС невозможна")));

    {
        CHisServer his("aa");
        ASSERT_GT(his.Port(), 0);
        s.m_szHisHost = QStringLiteral("127.0.0.1");
        s.m_nHisPort = his.Port();
        s.m_nHisTimeout = 30;
        commands.OnSendHis();
        EXPECT_TRUE(commands.Busy()) << "the send runs beside the window";
        ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }, 30000));
        ASSERT_EQ(informed.size(), 1)
            << (failed.size() > 1 ? failed.back()[0].toString().toStdString() : "");
        EXPECT_EQ(informed[0][0].toString(),
                  QStringLiteral("Результат принят медицинской информационной системой."));
        const QJsonObject message = his.Message();
        EXPECT_TRUE(QJsonDocument(message).toJson().contains("Petrov"));
        EXPECT_TRUE(CHl7Outbox(folder).List().empty()) << "an acknowledged result leaves";
    }
    {
        CHisServer his("ae");
        s.m_nHisPort = his.Port();
        commands.OnSendHis();
        ASSERT_TRUE(RunUntil([&] { return !commands.Busy(); }, 30000));
        ASSERT_EQ(failed.size(), 2);
        const QString said = failed[1][0].toString();
        EXPECT_TRUE(said.startsWith(QStringLiteral("Результат не принят МИС: ")))
            << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("refused"))) << said.toStdString();
        EXPECT_TRUE(said.contains(QStringLiteral("В очереди для МИС: 1"))) << said.toStdString();
        EXPECT_EQ(CHl7Outbox(folder).List().size(), 1u) << "a refused result is kept";
    }

    // A system that takes the connection and never answers: 30 s of time-out, and Esc at once.
    CStalledPeer stall;
    ASSERT_GT(stall.Port(), 0);
    s.m_nHisPort = stall.Port();
    commands.OnSendHis();
    ASSERT_TRUE(commands.Busy());
    QTest::qWait(300);
    EXPECT_TRUE(commands.Busy()) << "the silent system keeps the send waiting";
    QElapsedTimer t;
    t.start();
    EXPECT_TRUE(commands.CancelSend());
    EXPECT_TRUE(RunUntil([&] { return !commands.Busy(); }, 3000));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(failed.size(), 2) << "a cancel is no failure to report";
    ASSERT_EQ(informed.size(), 2);
    EXPECT_TRUE(informed[1][0].toString().startsWith(QStringLiteral("Отправка в МИС остановлена")));
    EXPECT_FALSE(commands.CancelSend()) << "nothing left to cancel";
    EXPECT_EQ(CHl7Outbox(folder).List().size(), 2u) << "the refused one and the stopped one wait";

    // The system is back: the outbox window sends both, oldest first.
    CHisServer his("aa");
    s.m_nHisPort = his.Port();
    CHisOutboxDlg dlg(s, folder);
    EXPECT_EQ(dlg.Waiting(), 2);
    ASSERT_TRUE(dlg.SendNow());
    ASSERT_TRUE(RunUntil([&] { return !dlg.IsSending(); }, 30000));
    EXPECT_EQ(dlg.Waiting(), 0) << dlg.Status().toStdString();
    EXPECT_EQ(dlg.Status().count(QStringLiteral(": принято")), 2) << dlg.Status().toStdString();
    EXPECT_TRUE(dlg.Status().endsWith(QStringLiteral("Очередь пуста.")));
    EXPECT_FALSE(his.Message().isEmpty());
    EXPECT_FALSE(his.Message().isEmpty());

    // A card that names no patient is refused before anything is kept.
    state.m_Card.last_name[0] = 0;
    commands.OnSendHis();
    EXPECT_FALSE(commands.Busy());
    ASSERT_EQ(failed.size(), 3);
    EXPECT_TRUE(failed[2][0].toString().contains(QStringLiteral("ни фамилии пациента")));
    EXPECT_TRUE(CHl7Outbox(folder).List().empty());
}
