// velmora-cli hl7 --archive-id: an archived record a doctor has confirmed goes as final, with the
// doctor's statements, conclusion and name, as python3-hl7's server reads it.

#include "archive/archive_store.h"
#include "hl7/his_server.h"

#include <QJsonArray>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <cstring>
#include <gtest/gtest.h>

namespace {

constexpr char kCli[] = VELMORA_BUILD_DIR "/src/cli/velmora-cli";

int RunCli(const QStringList& args, const QString& home, QString* err) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_DATA_HOME"), home + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    p.setProcessEnvironment(env);
    p.start(QString::fromLatin1(kCli), args);
    if (!p.waitForFinished(120000))
        return -1;
    *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

TEST(Hl7Cli, AConfirmedArchivedRecordGoesAsFinalWithItsDoctor) {
    QTemporaryDir dir;
    const QString home = dir.path(), record = dir.filePath(QStringLiteral("rec.dat"));
    QString err;
    ASSERT_EQ(RunCli({QStringLiteral("simulate"), QStringLiteral("--out"), record}, home, &err), 0)
        << err.toStdString();

    CArchiveLocation where;
    where.file = dir.filePath(QStringLiteral("archive.sqlite"));
    qint64 id = 0, unconfirmed = 0;
    {
        CArchive archive;
        QString why;
        ASSERT_TRUE(archive.Open(where, &why)) << why.toStdString();
        CArchive::Added added{};
        ASSERT_TRUE(archive.ImportFile(record, &added, &id, &why)) << why.toStdString();
        const QString other = dir.filePath(QStringLiteral("other.dat"));
        ASSERT_EQ(RunCli({QStringLiteral("simulate"), QStringLiteral("--out"), other,
                          QStringLiteral("--seed"), QStringLiteral("5")},
                         home, &err),
                  0);
        ASSERT_TRUE(archive.ImportFile(other, &added, &unconfirmed, &why)) << why.toStdString();
        // The hospital system files by the patient: both records get one.
        PATIENT_CARD card{};
        std::strcpy(card.last_name, "\xd1\xe8\xe4\xee\xf0\xee\xe2"); // "Сидоров", Windows-1251
        card.sex = 1;
        for (const qint64 which : {id, unconfirmed})
            ASSERT_TRUE(archive.UpdateCard(which, card, &why)) << why.toStdString();
        ASSERT_TRUE(archive.AddDoctor({0,
                                       QStringLiteral("petrova"),
                                       QStringLiteral("Петрова А. И."),
                                       QStringLiteral("врач ФД"),
                                       {}},
                                      "correct horse 1", &why))
            << why.toStdString();
        CDoctorReading reading, done;
        reading.statements = {{"SB", "Синусовая брадикардия", ""}, {"", "Свой & текст", ""}};
        reading.conclusion = "Без динамики.\nКонтроль через год";
        ASSERT_TRUE(archive.Confirm(id, reading, QStringLiteral("petrova"), "correct horse 1", 0,
                                    {}, &done, &why))
            << why.toStdString();
        // The confirmed record was made for a worklist order: its result names the order.
        CRecordOrder order;
        order.m_strAccession = "ACC-31";
        order.m_strRequestedProcedureId = "RP-31";
        order.m_strProcedureDescription = "ЭКГ покоя";
        ASSERT_TRUE(archive.SetOrder(id, order, &why)) << why.toStdString();
    }

    CHisServer his("aa");
    ASSERT_GT(his.Port(), 0);
    const QString to = QStringLiteral("127.0.0.1:%1").arg(his.Port());
    for (const qint64 which : {id, unconfirmed}) {
        EXPECT_EQ(
            RunCli({QStringLiteral("hl7"), QStringLiteral("--archive-id"), QString::number(which),
                    QStringLiteral("--archive"), where.file, QStringLiteral("--to"), to},
                   home, &err),
            0)
            << err.toStdString();
    }
    const QJsonObject confirmed = his.Message();
    EXPECT_EQ(confirmed[QStringLiteral("family")].toString(), QStringLiteral("Сидоров"));
    EXPECT_EQ(confirmed[QStringLiteral("obr_status")].toString(), QStringLiteral("F"));
    EXPECT_EQ(confirmed[QStringLiteral("orc")].toArray(), QJsonArray{QStringLiteral("ACC-31")});
    EXPECT_EQ(confirmed[QStringLiteral("obr_filler")].toString(), QStringLiteral("ACC-31"));
    EXPECT_EQ(confirmed[QStringLiteral("obr_interpreter")].toString(),
              QStringLiteral("petrova&Петрова А. И."));
    QStringList texts;
    for (const QJsonValue& o : confirmed[QStringLiteral("obx")].toArray()) {
        EXPECT_EQ(o[QStringLiteral("status")].toString(), QStringLiteral("F"));
        const QString type = o[QStringLiteral("type")].toString();
        if (type == QStringLiteral("TX") || type == QStringLiteral("FT"))
            // python3-hl7 reads \.br\ back as CR: a line break either way.
            texts << o[QStringLiteral("value")].toString().replace(QLatin1Char('\r'),
                                                                   QLatin1Char('\n'));
    }
    EXPECT_EQ(texts,
              QStringList({QStringLiteral("Синусовая брадикардия"), QStringLiteral("Свой & текст"),
                           QStringLiteral("Без динамики.\nКонтроль через год")}));

    // The other record has no confirmed reading: preliminary, its automatic statements.
    const QJsonObject preliminary = his.Message();
    EXPECT_EQ(preliminary[QStringLiteral("obr_status")].toString(), QStringLiteral("P"));
    EXPECT_EQ(preliminary[QStringLiteral("obr_interpreter")].toString(), QString());
    EXPECT_TRUE(preliminary[QStringLiteral("orc")].toArray().isEmpty()) << "bound to no order";
    int statements = 0;
    for (const QJsonValue& o : preliminary[QStringLiteral("obx")].toArray())
        statements += o[QStringLiteral("type")].toString() == QStringLiteral("TX");
    EXPECT_GT(statements, 0);

    EXPECT_EQ(RunCli({QStringLiteral("hl7"), QStringLiteral("--archive-id"), QStringLiteral("999"),
                      QStringLiteral("--archive"), where.file, QStringLiteral("--to"), to},
                     home, &err),
              2);
    EXPECT_FALSE(err.isEmpty());
}
