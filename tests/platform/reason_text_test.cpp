#include "platform/error_text.h"
#include "platform/reason_text.h"
#include "platform/ui_language.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <clocale>
#include <string>

namespace {

struct Interface {
    explicit Interface(UiLanguage l) { SetCurrentUiLanguage(l); }
    ~Interface() { SetCurrentUiLanguage(UiLanguage::Russian); }
};

} // namespace

// The Russian interface says a library's or the system's English reason in Russian where it knows
// it, and keeps the English whole only as the detail; what it cannot say goes to the detail alone.
TEST(Reason, EnglishReasonsAreSaidInRussianWithTheOriginalAsTheDetail) {
    Interface ru(UiLanguage::Russian);
    const QString chain = QStringLiteral("Не удалось открыть файл /tmp/my ecg.dat: cannot open "
                                         "/tmp/my ecg.dat: No such file or directory");
    ShownReason r = ShowableReason(chain);
    EXPECT_EQ(r.text, QStringLiteral("Не удалось открыть файл /tmp/my ecg.dat: нет такого файла "
                                     "или папки"));
    EXPECT_EQ(r.detail, QStringLiteral("cannot open /tmp/my ecg.dat: No such file or directory"));

    r = ShowableReason(QStringLiteral("Не удалось отправить в PACS: DUL Association Rejected"));
    EXPECT_EQ(r.text, QStringLiteral("Не удалось отправить в PACS: сервер DICOM отказал в "
                                     "соединении"));
    EXPECT_EQ(r.detail, QStringLiteral("DUL Association Rejected"));

    // The system's reason is the one the user acts on, wherever a library's words come first.
    r = ShowableReason(QStringLiteral("Письмо не отправлено: Couldn't connect to server: "
                                      "Connection refused"));
    EXPECT_EQ(r.text, QStringLiteral("Письмо не отправлено: в соединении отказано"));

    r = ShowableReason(QStringLiteral("Архив не открыт: the schema is newer than this program"));
    EXPECT_EQ(r.text, QStringLiteral("Архив не открыт."));
    EXPECT_EQ(r.detail, QStringLiteral("the schema is newer than this program"));

    r = ShowableReason(QString::fromStdString(ErrorText(ENOSPC)));
    EXPECT_EQ(r.text, QStringLiteral("На диске нет места"));
    r = ShowableReason(QStringLiteral("the helper stopped on it"));
    EXPECT_EQ(r.text, QStringLiteral("Действие не выполнено."));
    EXPECT_EQ(r.detail, QStringLiteral("the helper stopped on it"));

    // A path in the user's letters is no Russian reason.
    r = ShowableReason(QStringLiteral("Не удалось открыть запись.dat: cannot open "
                                      "/home/врач/запись.dat: Permission denied"));
    EXPECT_EQ(r.text, QStringLiteral("Не удалось открыть запись.dat: нет прав доступа"));

    // A balloon gathering several failures: each line on its own.
    r = ShowableReason(QStringLiteral("Не удалось открыть a.dat: Permission denied\n"
                                      "Не удалось открыть b.dat: the record is cut short"));
    EXPECT_EQ(r.text, QStringLiteral("Не удалось открыть a.dat: нет прав доступа\n"
                                     "Не удалось открыть b.dat."));
    EXPECT_EQ(r.detail, QStringLiteral("Permission denied\nthe record is cut short"));

    // A reason in the middle of the program's words.
    r = ShowableReason(QStringLiteral("Результат не принят МИС: the peer closed the link. Он "
                                      "сохранён и будет отправлен снова."));
    EXPECT_EQ(r.text, QStringLiteral("Результат не принят МИС. Он сохранён и будет отправлен "
                                     "снова."));
    EXPECT_EQ(r.detail, QStringLiteral("the peer closed the link"));
    r = ShowableReason(
        QStringLiteral("Письмо не отправлено: Connection refused. Повторите позже."));
    EXPECT_EQ(r.text, QStringLiteral("Письмо не отправлено: в соединении отказано. Повторите "
                                     "позже."));

    // Paths, numbers and Russian reasons are not English prose: left as they are.
    for (const QString& same :
         {QStringLiteral("Не удалось открыть: /home/user/ecg/0001.dat"),
          QStringLiteral("Запись отправлена в PACS ORTHANC (127.0.0.1:4242)."),
          QStringLiteral("Отправка в МИС невозможна: не задан адрес"), QString()}) {
        r = ShowableReason(same);
        EXPECT_EQ(r.text, same);
        EXPECT_TRUE(r.detail.isEmpty()) << same.toStdString();
    }
}

TEST(Reason, TheEnglishInterfaceKeepsTheMessageAndTheSystemSpeaksEnglishWhateverTheLocale) {
    {
        Interface en(UiLanguage::English);
        const QString message = QStringLiteral("Could not send: Connection refused");
        EXPECT_EQ(ShowableReason(message).text, message);
        EXPECT_TRUE(ShowableReason(message).detail.isEmpty());
    }
    // The reason is matched by the system's English words: a Russian locale must not change them.
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "ru_RU.UTF-8")) {
        EXPECT_EQ(ErrorText(ENOENT), "No such file or directory");
    }
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(ErrorText(ECONNREFUSED), "Connection refused");
}

TEST(Reason, TheLanguageFollowsTheSettingElseTheLocale) {
    EXPECT_EQ(ChosenLanguage(LanguageChoice::System, QStringLiteral("en_US.UTF-8")),
              UiLanguage::English);
    EXPECT_EQ(ChosenLanguage(LanguageChoice::System, QStringLiteral("en_GB")), UiLanguage::English);
    for (const char* other : {"ru_RU.UTF-8", "C", "de_DE", ""})
        EXPECT_EQ(ChosenLanguage(LanguageChoice::System, QLatin1String(other)), UiLanguage::Russian)
            << other;
    EXPECT_EQ(ChosenLanguage(LanguageChoice::Russian, QStringLiteral("en_US")),
              UiLanguage::Russian);
    EXPECT_EQ(ChosenLanguage(LanguageChoice::English, QStringLiteral("ru_RU")),
              UiLanguage::English);
    EXPECT_EQ(LanguageChoiceOf(7), LanguageChoice::System);
    EXPECT_EQ(LanguageChoiceOf(2), LanguageChoice::English);
}
