// MLLP frames and acknowledgements as other systems send them, and the outbox against
// python3-hl7's MLLP server: what is not acknowledged stays (across a restart), and a retry
// delivers it once the system accepts it.

#include "hl7/his_server.h"
#include "hl7/hl7_message.h"
#include "hl7/hl7_outbox.h"
#include "hl7/mllp.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>

namespace {

std::string Put(CHl7Outbox& outbox, bool bFinal) {
    CHl7Result r;
    std::strcpy(r.card.last_name, "\xc8\xe2\xe0\xed\xee\xe2"); // "Иванов" in Windows-1251
    r.card.sex = 0;
    r.recordedAt = "2026-12-08 23:18:57";
    r.measurements.heartRateBpm = 64;
    r.statements = {{"SR", "Синусовый ритм", ""}};
    if (bFinal) {
        r.reading.version = 1;
        r.reading.doctorLogin = "petrova";
        r.reading.doctorName = "Петрова А. И.";
        r.reading.statements = {{"SB", "Синусовая брадикардия", ""}};
        r.reading.conclusion = "Заключение | врача";
    }
    CHl7Envelope e;
    e.controlId = NewHl7ControlId();
    e.createdAt = QDateTime::currentDateTime();
    std::string error;
    EXPECT_TRUE(outbox.Put(e.controlId, BuildOruR01(r, e), &error)) << error;
    return e.controlId;
}

// Generous: a loaded machine (a sanitized run beside other builds) answers slowly, and only the
// silent peer's case is about the time-out.
CMllpLink Link(int port, int timeout = 20) {
    CMllpLink link;
    link.host = "127.0.0.1";
    link.port = port;
    link.timeoutSeconds = timeout;
    return link;
}

} // namespace

TEST(Mllp, FramesAndAcknowledgementsAreReadAsSentAndRefusedOtherwise) {
    QByteArray message;
    qsizetype consumed = 0;
    std::string error;
    const QByteArray frame = MllpFrame("MSH|^~\\&\rMSA|AA|X1");
    EXPECT_EQ(MllpTakeFrame(frame.left(frame.size() - 1), &message, &consumed, &error),
              MllpState::Incomplete);
    EXPECT_EQ(MllpTakeFrame(frame + "\x0b", &message, &consumed, &error), MllpState::Complete);
    EXPECT_EQ(message, "MSH|^~\\&\rMSA|AA|X1");
    EXPECT_EQ(consumed, frame.size());
    EXPECT_EQ(MllpTakeFrame("HTTP/1.1 400", &message, &consumed, &error), MllpState::Garbage);
    EXPECT_NE(error.find("no MLLP frame"), std::string::npos) << error;
    EXPECT_EQ(MllpTakeFrame("\x0b"
                            "abc\x1cX",
                            &message, &consumed, &error),
              MllpState::Garbage);
    EXPECT_EQ(
        MllpTakeFrame("\x0b" + QByteArray(kMaxAckBytes + 1, 'a'), &message, &consumed, &error),
        MllpState::Garbage);

    CHl7Ack ack;
    ASSERT_TRUE(ParseHl7Ack("MSH|^~\\&|HIS||VELMORA||20261209||ACK|1|P|2.5.1\rMSA|AA|VLM1\r", &ack,
                            &error));
    EXPECT_TRUE(ack.Accepted());
    EXPECT_EQ(ack.controlId, "VLM1");
    // Another system's delimiters, LF endings, the reason in MSA-3 with an escape.
    ASSERT_TRUE(ParseHl7Ack("MSH#$~\\&#HIS\nMSA#AE#VLM2#Unknown \\F\\ patient\n", &ack, &error));
    EXPECT_FALSE(ack.Accepted());
    EXPECT_EQ(ack.text, "Unknown | patient");
    // The reason only in ERR: ERR-8, else ERR-3's text.
    ASSERT_TRUE(ParseHl7Ack("MSH|^~\\&\rMSA|AR|VLM3\rERR||||E||||Queue full", &ack, &error));
    EXPECT_EQ(ack.code, "AR");
    EXPECT_EQ(ack.text, "Queue full");
    ASSERT_TRUE(
        ParseHl7Ack("MSH|^~\\&\rMSA|AE|VLM3\rERR|||207^Application internal error", &ack, &error));
    EXPECT_EQ(ack.text, "Application internal error");
    EXPECT_FALSE(ParseHl7Ack("MSH|^~\\&\rERR|x", &ack, &error));
    EXPECT_NE(error.find("MSA"), std::string::npos);
    EXPECT_FALSE(ParseHl7Ack("MSA|AA|X", &ack, &error));
    EXPECT_FALSE(ParseHl7Ack("MSH||", &ack, &error));
}

TEST(Mllp, TheOutboxKeepsWhatIsNotAcknowledgedAndARetryDeliversIt) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("outbox"));
    CHl7Outbox outbox(folder);
    const std::string first = Put(outbox, true);
    const std::string second = Put(outbox, false);
    // An unfinished write of the atomic writer is no message.
    QFile stale(folder + QStringLiteral("/.X.hl7.velmora-abcdef"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    ASSERT_EQ(outbox.List().size(), 2u);
    EXPECT_EQ(outbox.List()[0].controlId, first);
    struct stat st = {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u); // patient data: the user's alone

    std::vector<CHl7Outcome> outcomes;
    {
        // A refusal: both are offered (the link works) and both stay, each with the reason.
        CHisServer his("ae");
        ASSERT_GT(his.Port(), 0);
        EXPECT_FALSE(outbox.Flush(Link(his.Port()), &outcomes));
        ASSERT_EQ(outcomes.size(), 2u);
        for (const CHl7Outcome& o : outcomes) {
            EXPECT_FALSE(o.bDelivered);
            EXPECT_NE(o.error.find("refused the message (AE): Пациент не найден & заказ"),
                      std::string::npos)
                << o.error;
        }
    }
    {
        // Silence: the first runs into the time-out and the round stops there.
        CHisServer his("silent");
        outcomes.clear();
        QElapsedTimer t;
        t.start();
        EXPECT_FALSE(outbox.Flush(Link(his.Port(), 1), &outcomes));
        // The link's own second, not the default half minute.
        EXPECT_LT(t.elapsed(), 15000);
        ASSERT_EQ(outcomes.size(), 1u);
        EXPECT_NE(outcomes[0].error.find("no acknowledgement"), std::string::npos)
            << outcomes[0].error;
    }

    // Another run of the program finds them and delivers them, oldest first, each once.
    CHl7Outbox again(folder);
    ASSERT_EQ(again.List().size(), 2u);
    CHisServer his("aa");
    outcomes.clear();
    EXPECT_TRUE(again.Flush(Link(his.Port()), &outcomes));
    ASSERT_EQ(outcomes.size(), 2u);
    EXPECT_TRUE(outcomes[0].bDelivered && outcomes[1].bDelivered);
    EXPECT_TRUE(again.List().empty());
    const QJsonObject finalOne = his.Message();
    EXPECT_EQ(finalOne[QStringLiteral("control_id")].toString().toStdString(), first);
    EXPECT_EQ(finalOne[QStringLiteral("family")].toString(), QStringLiteral("Иванов"));
    EXPECT_EQ(finalOne[QStringLiteral("sex")].toString(), QStringLiteral("F"));
    EXPECT_EQ(finalOne[QStringLiteral("obr_status")].toString(), QStringLiteral("F"));
    EXPECT_EQ(finalOne[QStringLiteral("obr_interpreter")].toString(),
              QStringLiteral("petrova&Петрова А. И."));
    QStringList texts;
    for (const QJsonValue& o : finalOne[QStringLiteral("obx")].toArray()) {
        EXPECT_EQ(o[QStringLiteral("status")].toString(), QStringLiteral("F"));
        if (o[QStringLiteral("type")].toString() != QStringLiteral("NM"))
            texts << o[QStringLiteral("value")].toString();
    }
    EXPECT_EQ(texts, QStringList({QStringLiteral("Синусовая брадикардия"),
                                  QStringLiteral("Заключение | врача")}));
    const QJsonObject preliminary = his.Message();
    EXPECT_EQ(preliminary[QStringLiteral("control_id")].toString().toStdString(), second);
    EXPECT_EQ(preliminary[QStringLiteral("obr_status")].toString(), QStringLiteral("P"));
}

TEST(Mllp, NobodyListeningStopsTheRoundAtTheFirstMessage) {
    QTemporaryDir dir;
    CHl7Outbox outbox(dir.filePath(QStringLiteral("outbox")));
    Put(outbox, false);
    Put(outbox, false);
    int port = 0;
    {
        CHisServer gone("aa");
        port = gone.Port();
    }
    std::vector<CHl7Outcome> outcomes;
    EXPECT_FALSE(outbox.Flush(Link(port), &outcomes));
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_NE(outcomes[0].error.find("cannot reach the hospital system at 127.0.0.1:"),
              std::string::npos)
        << outcomes[0].error;
    EXPECT_EQ(outbox.List().size(), 2u);

    // An acknowledgement of another message is no delivery.
    CHl7Ack ack;
    std::string error;
    CHisServer his("aa");
    CHl7Envelope e;
    e.controlId = "OTHER";
    EXPECT_FALSE(SendHl7(Link(his.Port()), BuildOruR01({}, e), "MINE", &ack, &error));
    EXPECT_EQ(ack.code, "AA");
    EXPECT_NE(error.find("acknowledged another message (OTHER, not MINE)"), std::string::npos)
        << error;
}
