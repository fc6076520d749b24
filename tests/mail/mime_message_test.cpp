#include "mail/mime_message.h"
#include "mail/send_by_email.h"
#include "mail/temp_folder.h"
#include "mail_test_support.h"
#include "platform/cp1251.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

// Monday 5 March 2012, 14:07:09.250.
SYSTEMTIME FixedClock() {
    return SYSTEMTIME{2012, 3, 1, 5, 14, 7, 9, 250};
}

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// The golden message's attachment: 100 bytes, so the last base64 line is short and padded.
QByteArray GoldenAttachment() {
    QByteArray a;
    for (int i = 0; i < 100; ++i)
        a += char((i * 7) % 256);
    return a;
}

QString WriteOnly(CMailTempFolder& dir, const QString& name, const QByteArray& content,
                  const QString& from, const QString& to, const QString& subject,
                  const QString& note, EMailHandOff* pResult = nullptr) {
    const QString path = dir.FilePath(name);
    EXPECT_TRUE(WriteFile(path, content));
    SSendByEmailOptions o;
    o.clock = FixedClock;
    o.bHandOff = false;
    CSendByEmail mail(path, from, to, subject, note, o);
    if (pResult)
        *pResult = mail.Result();
    return mail.MessagePath();
}

} // namespace

TEST(MimeMessage, FixedInputsAndClockGiveTheGoldenMessageByteForByte) {
    CMailTempFolder dir;
    ASSERT_TRUE(dir.IsValid());
    EMailHandOff result;
    const QString eml = WriteOnly(dir, QStringLiteral("ECG 1-2345-7.ecg"), GoldenAttachment(),
                                  QStringLiteral("ГБУЗ «Поликлиника №3»"),
                                  QStringLiteral("doctor@clinic.ru, archive@clinic.ru"),
                                  QStringLiteral("Карточка пациента"),
                                  QStringLiteral("Пациент Иванов И.И.\nЭКГ в покое"), &result);
    EXPECT_EQ(result, EMailHandOff::Written);
    EXPECT_EQ(eml, dir.FilePath(QStringLiteral("ECG 1-2345-7.eml")));
    const QByteArray golden = ReadAll(MailTestDir() + QStringLiteral("/golden_message.eml"));
    const QByteArray ours = ReadAll(eml);
    EXPECT_EQ(ours, golden);
    if (ours != golden) { // the first difference, to see what moved
        qsizetype i = 0;
        while (i < ours.size() && i < golden.size() && ours[i] == golden[i])
            ++i;
        ADD_FAILURE() << "first difference at byte " << i << ": ours \""
                      << ours.mid(i, 40).toStdString() << "\" golden \""
                      << golden.mid(i, 40).toStdString() << "\"";
    }
    EXPECT_EQ(MakeBoundary(FixedClock()), QByteArray("----=_NextPart_7dc315e79fa"));
}

TEST(MimeMessage, PythonReadsHeadersBothPartsAndTheExactAttachment) {
    CMailTempFolder dir;
    ASSERT_TRUE(dir.IsValid());
    QByteArray content; // a zip-like binary, every byte value, 3 lines and a bit
    for (int i = 0; i < 4000; ++i)
        content += char((i * 131 + i / 256) & 0xFF);
    const QString note = QStringLiteral("Заключение: ритм синусовый.\nЧСС 72");
    const QString eml = WriteOnly(dir, QStringLiteral("rec-5.scp"), content, QString(),
                                  QStringLiteral("a@b.ru\r\nBcc: spy@evil.example"),
                                  QStringLiteral("ECG\nX-Injected: 1"), note);
    EXPECT_EQ(eml, dir.FilePath(QStringLiteral("rec-5.scp.eml")));

    const QJsonObject m = ParseWithPython(eml);
    ASSERT_FALSE(m.isEmpty()) << "python could not read the message";
    EXPECT_EQ(m[QStringLiteral("defects")].toArray().size(), 0);
    const QJsonArray names = m[QStringLiteral("header_names")].toArray();
    EXPECT_FALSE(names.contains(QStringLiteral("From"))) << "an empty sender writes no From";
    EXPECT_FALSE(names.contains(QStringLiteral("Bcc")));
    EXPECT_FALSE(names.contains(QStringLiteral("X-Injected")));
    EXPECT_EQ(m[QStringLiteral("subject")].toString(), QStringLiteral("ECG X-Injected: 1"));
    EXPECT_EQ(m[QStringLiteral("x_unsent")].toString(), QStringLiteral("1"));
    EXPECT_EQ(m[QStringLiteral("boundary")].toString(),
              QStringLiteral("----=_NextPart_7dc315e79fa"));

    const QJsonArray parts = m[QStringLiteral("parts")].toArray();
    ASSERT_EQ(parts.size(), 2);
    const QJsonObject text = parts[0].toObject();
    EXPECT_EQ(text[QStringLiteral("content_type")].toString(), QStringLiteral("text/plain"));
    EXPECT_EQ(text[QStringLiteral("charset")].toString(), QStringLiteral("windows-1251"));
    // An empty line, the note with CR LF line ends, CR LF.
    EXPECT_EQ(QByteArray::fromBase64(text[QStringLiteral("data")].toString().toLatin1()),
              ToCp1251(QStringLiteral("Заключение: ритм синусовый.\r\nЧСС 72\r\n")));
    const QJsonObject att = parts[1].toObject();
    EXPECT_EQ(att[QStringLiteral("filename")].toString(), QStringLiteral("rec-5.scp"));
    EXPECT_EQ(att[QStringLiteral("name")].toString(), QStringLiteral("rec-5.scp"));
    EXPECT_EQ(att[QStringLiteral("disposition")].toString(), QStringLiteral("attachment"));
    EXPECT_EQ(QByteArray::fromBase64(att[QStringLiteral("data")].toString().toLatin1()), content);

    // Both addresses of a list stay in one pair of angle brackets; an empty subject keeps its
    // blank.
    const QByteArray raw =
        ReadAll(WriteOnly(dir, QStringLiteral("two.ecg"), "x", QStringLiteral("Org"),
                          QStringLiteral("a@b.ru, c@d.ru"), QString(), QString()));
    EXPECT_TRUE(raw.startsWith("From: <Org>\r\nTo: <a@b.ru, c@d.ru>\r\nSubject: \r\nMIME-Version"));
}

TEST(MimeMessage, MessageFileNamesAndWhatCannotBeSent) {
    EXPECT_EQ(MessageFilePath(QStringLiteral("/t/name.ecg")), QStringLiteral("/t/name.eml"));
    EXPECT_EQ(MessageFilePath(QStringLiteral("/t/name.scp")), QStringLiteral("/t/name.scp.eml"));
    EXPECT_EQ(MessageFilePath(QStringLiteral("/t/a.ecg.ecg")), QStringLiteral("/t/a.eml.eml"));
    EXPECT_EQ(MessageFilePath(QStringLiteral("/t.ecg/a.ecg")), QStringLiteral("/t.eml/a.eml"));

    CMailTempFolder dir;
    ASSERT_TRUE(dir.IsValid());
    EMailHandOff result;
    const QString empty = WriteOnly(dir, QStringLiteral("empty.ecg"), QByteArray(), QString(),
                                    QString(), QString(), QString(), &result);
    EXPECT_EQ(result, EMailHandOff::NoAttachment);
    EXPECT_FALSE(QFile::exists(empty));

    SSendByEmailOptions o;
    o.bHandOff = false;
    CSendByEmail missing(dir.FilePath(QStringLiteral("missing.ecg")), {}, {}, {}, {}, o);
    EXPECT_EQ(missing.Result(), EMailHandOff::NoAttachment);
    EXPECT_FALSE(missing.ErrorText().isEmpty());
    EXPECT_FALSE(QFile::exists(missing.MessagePath()));

    ASSERT_TRUE(WriteFile(dir.FilePath(QStringLiteral("r.ecg")), "data"));
    o.strMessagePath = dir.FilePath(QStringLiteral("no-such-folder/r.eml"));
    CSendByEmail unwritable(dir.FilePath(QStringLiteral("r.ecg")), {}, {}, {}, {}, o);
    EXPECT_EQ(unwritable.Result(), EMailHandOff::WriteFailed);
    EXPECT_FALSE(unwritable.Succeeded());
}
