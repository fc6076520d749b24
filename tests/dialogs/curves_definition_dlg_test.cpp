// The patient card dialog and DefineCurves, driven through their controls offscreen.

#include "dialogs/curves_definition_dlg.h"
#include "dialogs/dialogs_test_support.h"
#include "dialogs/history_combo.h"
#include "platform/cp1251.h"

#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest/QTest>
#include <cstring>
#include <functional>
#include <utility>

namespace {

using Dlg = CCurvesDefinitionDlg;

QLineEdit* Edit(const Dlg& dlg, int nID) {
    auto* pEdit = qobject_cast<QLineEdit*>(dlg.GetDlgItem(nID));
    EXPECT_NE(pEdit, nullptr) << nID;
    return pEdit;
}
CHistoryCombo* Combo(const Dlg& dlg, int nID) {
    auto* pCombo = qobject_cast<CHistoryCombo*>(dlg.GetDlgItem(nID));
    EXPECT_NE(pCombo, nullptr) << nID;
    return pCombo;
}
QDateEdit* Picker(const Dlg& dlg) {
    return qobject_cast<QDateEdit*>(dlg.GetDlgItem(Dlg::IDC_BIRTH_DATE));
}
QLabel* Hint(const Dlg& dlg) {
    return qobject_cast<QLabel*>(dlg.GetDlgItem(Dlg::IDC_HINT));
}
// Types text key by key (QTest::keyClicks only handles Latin-1).
void Type(QWidget* pWidget, const QString& text) {
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, pWidget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, pWidget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}
void Confirm(Dlg& dlg) {
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("IDOK")), Qt::LeftButton);
}

QByteArray Text(const char* pBuffer, size_t nSize) {
    return QByteArray(pBuffer, qsizetype(strnlen(pBuffer, nSize)));
}
#define CARD_TEXT(card, field) Text((card).field, sizeof(card).field)

void SetText(char* pBuffer, size_t nSize, const QString& text) {
    const QByteArray bytes = ToCp1251(text);
    ASSERT_LT(size_t(bytes.size()), nSize);
    std::memset(pBuffer, 0, nSize);
    std::memcpy(pBuffer, bytes.constData(), size_t(bytes.size()));
}
#define SET_CARD_TEXT(card, field, text) SetText((card).field, sizeof(card).field, text)

PATIENT_CARD EmptyCard() {
    PATIENT_CARD card;
    std::memset(&card, 0, sizeof card);
    return card;
}

// Runs DefineCurves, doing `act` on the dialog once its modal loop runs.
int RunDefineCurves(PATIENT_CARD& card, bool bRequireAll, std::function<void(Dlg&)> act) {
    bool bSeen = false;
    QTimer::singleShot(0, [&] {
        auto* pDlg = qobject_cast<Dlg*>(QApplication::activeModalWidget());
        if (!pDlg)
            return;
        bSeen = true;
        act(*pDlg);
    });
    const int nResult = DefineCurves(nullptr, card, bRequireAll);
    EXPECT_TRUE(bSeen) << "the dialog never became the active modal window";
    return nResult;
}

using CardDialog = HistoryProfileTest;

TEST_F(CardDialog, OpeningAfterConfirmingShowsTheSameValues) {
    Dlg dlg(EmptyCard());
    dlg.show();
    Combo(dlg, Dlg::IDC_DOCTOR_NAME)->setEditText(QStringLiteral("Петров П.П."));
    Combo(dlg, Dlg::IDC_DOCTOR_PHONE)->setEditText(QStringLiteral("+7 495 123"));
    Type(Edit(dlg, Dlg::IDC_LAST_NAME), QStringLiteral("Иванов"));
    Edit(dlg, Dlg::IDC_FIRST_NAME)->setText(QStringLiteral("Иван"));
    Edit(dlg, Dlg::IDC_PATRONYMIC)->setText(QStringLiteral("Ёжиков"));
    Edit(dlg, Dlg::IDC_PATIENT_ID)->setText(QStringLiteral("  МК-0042/7 "));
    qobject_cast<QRadioButton*>(dlg.GetDlgItem(Dlg::IDC_MALE))->setChecked(true);
    Edit(dlg, Dlg::IDC_WEIGHT)->setText(QStringLiteral("80kg"));
    Edit(dlg, Dlg::IDC_HEIGHT)->setText(QStringLiteral("  +180"));
    Picker(dlg)->setDate(QDate(1950, 3, 7));
    const int addressIDs[] = {Dlg::IDC_POSTAL_CODE, Dlg::IDC_REGION, Dlg::IDC_DISTRICT,
                              Dlg::IDC_LOCALITY,    Dlg::IDC_STREET, Dlg::IDC_HOUSE};
    for (int nID : addressIDs)
        Edit(dlg, nID)->setText(QStringLiteral("адрес %1").arg(nID));
    Edit(dlg, Dlg::IDC_YEARS_OF_RESIDENCE)->setText(QStringLiteral("-3 года"));
    Confirm(dlg);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);

    const PATIENT_CARD& card = dlg.GetCard();
    EXPECT_EQ(CARD_TEXT(card, doctor_name), ToCp1251(QStringLiteral("Петров П.П.")));
    EXPECT_EQ(CARD_TEXT(card, doctor_phone), QByteArray("+7 495 123"));
    EXPECT_EQ(CARD_TEXT(card, last_name), ToCp1251(QStringLiteral("Иванов")));
    EXPECT_EQ(CARD_TEXT(card, patronymic), QByteArray("\xA8\xE6\xE8\xEA\xEE\xE2")); // Ёжиков
    EXPECT_EQ(CARD_TEXT(card, house), ToCp1251(QStringLiteral("адрес 1028")));
    EXPECT_EQ(CARD_TEXT(card, patient_id), ToCp1251(QStringLiteral("МК-0042/7")));
    EXPECT_EQ(card.sex, 1);
    EXPECT_EQ(card.weight, 80);
    EXPECT_EQ(card.height, 180);
    EXPECT_EQ(card.years_of_residence, -3);
    EXPECT_EQ(card.birth_day, 7);
    EXPECT_EQ(card.birth_month, 3);
    EXPECT_EQ(card.birth_year, 1950);
    EXPECT_EQ(dlg.m_strDoctorName, QStringLiteral("Петров П.П."));

    // Another record window's confirmation leaves a different doctor as the last text; the card's
    // own doctor is still the one shown.
    {
        Dlg other(EmptyCard());
        other.show();
        Combo(other, Dlg::IDC_DOCTOR_NAME)->setEditText(QStringLiteral("Сидоров"));
        Confirm(other);
        ASSERT_EQ(other.result(), QDialog::Accepted);
    }

    Dlg again(card);
    again.show();
    EXPECT_EQ(Combo(again, Dlg::IDC_DOCTOR_NAME)->currentText(), QStringLiteral("Петров П.П."));
    EXPECT_EQ(Combo(again, Dlg::IDC_DOCTOR_NAME)->count(), 2);
    EXPECT_EQ(Combo(again, Dlg::IDC_DOCTOR_PHONE)->currentText(), QStringLiteral("+7 495 123"));
    EXPECT_EQ(Edit(again, Dlg::IDC_LAST_NAME)->text(), QStringLiteral("Иванов"));
    EXPECT_EQ(Edit(again, Dlg::IDC_FIRST_NAME)->text(), QStringLiteral("Иван"));
    EXPECT_EQ(Edit(again, Dlg::IDC_PATRONYMIC)->text(), QStringLiteral("Ёжиков"));
    EXPECT_EQ(Edit(again, Dlg::IDC_PATIENT_ID)->text(), QStringLiteral("МК-0042/7"));
    EXPECT_TRUE(qobject_cast<QRadioButton*>(again.GetDlgItem(Dlg::IDC_MALE))->isChecked());
    EXPECT_EQ(Edit(again, Dlg::IDC_WEIGHT)->text(), QStringLiteral("80"));
    EXPECT_EQ(Edit(again, Dlg::IDC_HEIGHT)->text(), QStringLiteral("180"));
    EXPECT_EQ(Edit(again, Dlg::IDC_YEARS_OF_RESIDENCE)->text(), QStringLiteral("-3"));
    for (int nID : addressIDs)
        EXPECT_EQ(Edit(again, nID)->text(), QStringLiteral("адрес %1").arg(nID));
    EXPECT_EQ(Picker(again)->date(), QDate(1950, 3, 7));
    EXPECT_EQ(again.m_dtBirth, QDate(1950, 3, 7));
    Confirm(again);
    EXPECT_EQ(std::memcmp(&again.GetCard(), &card, sizeof card), 0);
}

TEST_F(CardDialog, ANewCardChoosesNoSexNorBirthDateAndASaveNamesWhatIsMissing) {
    PATIENT_CARD fresh = EmptyCard();
    fresh.sex = kSexNotGiven; // as every new recording's card starts
    Dlg dlg(fresh);
    dlg.show();
    EXPECT_FALSE(dlg.m_dtBirth.isValid()); // the card held no date
    EXPECT_FALSE(qobject_cast<QRadioButton*>(dlg.GetDlgItem(Dlg::IDC_FEMALE))->isChecked());
    EXPECT_FALSE(qobject_cast<QRadioButton*>(dlg.GetDlgItem(Dlg::IDC_MALE))->isChecked());
    EXPECT_EQ(Picker(dlg)->text(), QStringLiteral("не указана"));
    EXPECT_EQ(Edit(dlg, Dlg::IDC_WEIGHT)->text(), QStringLiteral("0"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Информация о записи"));
    Confirm(dlg); // a card being filled in bit by bit may stay incomplete
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    const PATIENT_CARD& card = dlg.GetCard();
    EXPECT_EQ(card.birth_year, 0) << "no date of birth is invented";
    EXPECT_EQ(card.sex, kSexNotGiven) << "no sex is invented";
    EXPECT_EQ(card.weight, 0);
    EXPECT_EQ(card.doctor_name[0], 0);
    // An empty name reaches neither the history nor the last text.
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName0")));
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName")));

    // A save asks for the card: the dialog names what is missing and is not confirmed until
    // the sex and the date of birth have been chosen too.
    PATIENT_CARD saved = fresh;
    QStringList hints;
    bool bRefused = false;
    EXPECT_EQ(RunDefineCurves(
                  saved, true,
                  [&](Dlg& d) {
                      hints << Hint(d)->text();
                      Combo(d, Dlg::IDC_DOCTOR_NAME)->setEditText(QStringLiteral("Петров"));
                      Combo(d, Dlg::IDC_DOCTOR_PHONE)->setEditText(QStringLiteral("12"));
                      Edit(d, Dlg::IDC_LAST_NAME)->setText(QStringLiteral("Иванова"));
                      Edit(d, Dlg::IDC_WEIGHT)->setText(QStringLiteral("60"));
                      Edit(d, Dlg::IDC_HEIGHT)->setText(QStringLiteral("165"));
                      Confirm(d);
                      bRefused = d.isVisible() && d.result() != QDialog::Accepted;
                      hints << Hint(d)->text();
                      Picker(d)->setDate(QDate(1980, 5, 1));
                      qobject_cast<QRadioButton*>(d.GetDlgItem(Dlg::IDC_FEMALE))->setChecked(true);
                      Confirm(d);
                  }),
              0);
    ASSERT_EQ(hints.size(), 2);
    for (const char* field : {"«Ф.И.О. врача»", "«Фамилия»", "«Рост»", "«Дата рождения»", "«Пол»"})
        EXPECT_TRUE(hints[0].contains(QString::fromUtf8(field))) << hints[0].toStdString();
    EXPECT_TRUE(bRefused) << "confirmed without a sex or a date of birth";
    EXPECT_FALSE(hints[1].contains(QStringLiteral("«Фамилия»"))) << hints[1].toStdString();
    EXPECT_TRUE(hints[1].contains(QStringLiteral("«Пол»")) &&
                hints[1].contains(QStringLiteral("«Дата рождения»")))
        << hints[1].toStdString();
    EXPECT_EQ(saved.sex, 0);
    EXPECT_EQ(saved.birth_year, 1980);
    EXPECT_TRUE(IsCardComplete(saved));
}

TEST_F(CardDialog, TextsAreCutToTheirBuffersAndNumbersReadAsDecimals) {
    Dlg dlg(EmptyCard());
    dlg.show();
    const QString longName = QString(40, QChar(0x0416)); // Ж, one byte each
    Edit(dlg, Dlg::IDC_LAST_NAME)->setText(longName);
    Combo(dlg, Dlg::IDC_DOCTOR_NAME)->setEditText(QStringLiteral("  ") + longName);
    Edit(dlg, Dlg::IDC_STREET)->setText(QString(200, u'ш'));
    Edit(dlg, Dlg::IDC_WEIGHT)->setText(QStringLiteral("abc"));
    Edit(dlg, Dlg::IDC_HEIGHT)->setText(QStringLiteral("\t 65535 cm"));

    // A typed character beyond the limit is refused with a hint.
    QLineEdit* pName = Edit(dlg, Dlg::IDC_FIRST_NAME);
    pName->setText(QString(29, u'a'));
    Type(pName, QStringLiteral("b"));
    EXPECT_EQ(pName->text(), QString(29, u'a'));
    EXPECT_FALSE(Hint(dlg)->isHidden());
    EXPECT_TRUE(Hint(dlg)->text().contains(QStringLiteral("29")));

    Confirm(dlg);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    const PATIENT_CARD& card = dlg.GetCard();
    EXPECT_EQ(CARD_TEXT(card, last_name), QByteArray(29, '\xC6'));
    EXPECT_EQ(CARD_TEXT(card, doctor_name).size(), 27); // blanks dropped, the rest of 29
    EXPECT_EQ(CARD_TEXT(card, street), QByteArray(128, '\xF8'));
    EXPECT_EQ(card.weight, 0);
    EXPECT_EQ(card.height, 65535);
}

TEST_F(CardDialog, NumbersTheCardCannotHoldKeepTheDialogOpen) {
    PATIENT_CARD start = EmptyCard();
    start.weight = 70;
    Dlg dlg(start);
    dlg.show();
    Combo(dlg, Dlg::IDC_DOCTOR_NAME)->setEditText(QStringLiteral("Петров"));
    for (const QString& bad : {QStringLiteral("70000"), QStringLiteral("-5"),
                               QStringLiteral("99999999999999999999999")}) {
        Edit(dlg, Dlg::IDC_WEIGHT)->setText(bad);
        Confirm(dlg);
        EXPECT_TRUE(dlg.isVisible()) << bad.toStdString();
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_FALSE(Hint(dlg)->isHidden());
        EXPECT_TRUE(Hint(dlg)->text().contains(QStringLiteral("Вес")));
        EXPECT_EQ(dlg.GetCard().weight, 70);
    }
    Edit(dlg, Dlg::IDC_YEARS_OF_RESIDENCE)->setText(QStringLiteral("3000000000"));
    Edit(dlg, Dlg::IDC_WEIGHT)->setText(QStringLiteral("75"));
    Confirm(dlg);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(Hint(dlg)->text().contains(QStringLiteral("Время проживания")));
    // A refused confirmation stored nothing in the history either.
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName0")));

    Edit(dlg, Dlg::IDC_YEARS_OF_RESIDENCE)->setText(QStringLiteral("30"));
    Confirm(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetCard().weight, 75);
    EXPECT_EQ(dlg.GetCard().years_of_residence, 30);
}

TEST_F(CardDialog, CharactersWindows1251CannotHoldAreRefusedWithAHint) {
    Dlg dlg(EmptyCard());
    dlg.show();
    QLineEdit* pLast = Edit(dlg, Dlg::IDC_LAST_NAME);
    Type(pLast, QStringLiteral("Muñoz"));
    EXPECT_EQ(pLast->text(), QStringLiteral("Muoz"));
    ASSERT_FALSE(Hint(dlg)->isHidden());
    EXPECT_TRUE(Hint(dlg)->text().contains(QStringLiteral("«ñ»")));
    EXPECT_TRUE(Hint(dlg)->text().contains(QStringLiteral("Фамилия")));
    Type(pLast, QStringLiteral("s"));

    QLineEdit* pPhone = Combo(dlg, Dlg::IDC_DOCTOR_PHONE)->lineEdit();
    Type(pPhone, QStringLiteral("12α3"));
    EXPECT_EQ(pPhone->text(), QStringLiteral("123"));
    EXPECT_TRUE(Hint(dlg)->text().contains(QStringLiteral("Телефон")));

    // A text that got in without typing (a hand-edited history, say) blocks the confirmation
    // instead of becoming '?' in the card.
    Combo(dlg, Dlg::IDC_DOCTOR_NAME)->setEditText(QStringLiteral("Dr \U0001F600"));
    Confirm(dlg);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(Hint(dlg)->text().contains(QStringLiteral("Ф.И.О.")));
    EXPECT_EQ(dlg.GetCard().last_name[0], 0);
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName0")));
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorPhone0")));

    Combo(dlg, Dlg::IDC_DOCTOR_NAME)->setEditText(QStringLiteral("Dr Who"));
    Confirm(dlg);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(CARD_TEXT(dlg.GetCard(), last_name), QByteArray("Muozs"));
    EXPECT_EQ(CARD_TEXT(dlg.GetCard(), doctor_phone), QByteArray("123"));
}

TEST_F(CardDialog, DoctorHistoryThroughTheDialog) {
    SetEntry(QStringLiteral("DoctorName0"), QStringLiteral("Петров"));
    SetEntry(QStringLiteral("DoctorName1"), QStringLiteral("Сидоров"));
    SetEntry(QStringLiteral("DoctorName"), QStringLiteral("Сидоров"));

    // An empty card starts with the doctor of the last confirmation.
    Dlg dlg(EmptyCard());
    dlg.show();
    CHistoryCombo* pName = Combo(dlg, Dlg::IDC_DOCTOR_NAME);
    EXPECT_EQ(pName->currentText(), QStringLiteral("Сидоров"));
    pName->setEditText(QStringLiteral(" ПЕТРОВ "));
    Confirm(dlg);
    ASSERT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(CARD_TEXT(dlg.GetCard(), doctor_name), ToCp1251(QStringLiteral("ПЕТРОВ")));
    EXPECT_EQ(Entry(QStringLiteral("DoctorName0")), QStringLiteral("ПЕТРОВ"));
    EXPECT_EQ(Entry(QStringLiteral("DoctorName1")), QStringLiteral("Сидоров"));
    EXPECT_FALSE(HasEntry(QStringLiteral("DoctorName2")));
    EXPECT_EQ(Entry(QStringLiteral("DoctorName")), QStringLiteral("ПЕТРОВ"));
}

TEST_F(CardDialog, DefineCurvesCopiesTheCardOnlyWhenConfirmed) {
    PATIENT_CARD card = EmptyCard();
    SET_CARD_TEXT(card, last_name, QStringLiteral("Иванов"));
    card.reserved0[0] = 0x5A;
    card.birth_year = 65535; // no valid date: the picker shows none
    card.birth_month = 65535;
    card.birth_day = 65535;

    const PATIENT_CARD before = card;
    QString strCaption;
    EXPECT_EQ(RunDefineCurves(card, true,
                              [&](Dlg& dlg) {
                                  strCaption = dlg.windowTitle();
                                  Edit(dlg, Dlg::IDC_LAST_NAME)->setText(QStringLiteral("Смирнов"));
                                  dlg.reject();
                              }),
              1);
    EXPECT_EQ(strCaption, QString::fromUtf8(kCaptionRequireAll));
    EXPECT_EQ(std::memcmp(&card, &before, sizeof card), 0);

    EXPECT_EQ(RunDefineCurves(card, false,
                              [&](Dlg& dlg) {
                                  strCaption = dlg.windowTitle();
                                  EXPECT_EQ(Edit(dlg, Dlg::IDC_LAST_NAME)->text(),
                                            QStringLiteral("Иванов"));
                                  Edit(dlg, Dlg::IDC_LAST_NAME)->setText(QStringLiteral("Смирнов"));
                                  Edit(dlg, Dlg::IDC_HEIGHT)->setText(QStringLiteral("172"));
                                  Picker(dlg)->setDate(QDate(2001, 12, 31));
                                  Confirm(dlg);
                              }),
              0);
    EXPECT_EQ(strCaption, QStringLiteral("Информация о записи"));
    EXPECT_EQ(CARD_TEXT(card, last_name), ToCp1251(QStringLiteral("Смирнов")));
    EXPECT_EQ(card.height, 172);
    EXPECT_EQ(card.birth_year, 2001);
    EXPECT_EQ(card.birth_month, 12);
    EXPECT_EQ(card.birth_day, 31);
    EXPECT_EQ(card.reserved0[0], 0x5A); // the copy leaves what the dialog does not edit
}

// The date of birth is written the way the interface's language writes dates (the program makes
// that language's locale the default), never the machine's, and always with the year in full.
TEST_F(CardDialog, TheDateOfBirthIsWrittenInTheInterfaceLocaleWithTheYearInFull) {
    const QLocale before;
    PATIENT_CARD card = EmptyCard();
    card.birth_year = 1950;
    card.birth_month = 3;
    card.birth_day = 7;
    const std::pair<QLocale, const char*> cases[] = {
        {QLocale(QLocale::Russian, QLocale::Russia), "07.03.1950"},
        {QLocale(QLocale::English, QLocale::UnitedStates), "3/7/1950"},
    };
    for (const auto& [locale, szShown] : cases) {
        QLocale::setDefault(locale);
        Dlg dlg(card);
        dlg.show();
        EXPECT_EQ(Picker(dlg)->text(), QString::fromLatin1(szShown)) << locale.name().toStdString();
    }
    QLocale::setDefault(before);
}

} // namespace
