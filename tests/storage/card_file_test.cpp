// The command-line tool's patient card file.

#include "storage/card_file.h"

#include <QString>
#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(CardFile, FillsTheFieldsFromUtf8KeyValueLines) {
    const QByteArray text = "\xEF\xBB\xBF# doctor\r\n"
                            "doctor_name = Петров П.П.\r\n"
                            "doctor_phone=+7 (495) 123-45-67\n"
                            "\n"
                            "   # the patient\n"
                            "last_name =  Иванов  \n"
                            "first_name = Иван\n"
                            "birth_day = 4\n"
                            "birth_month = 5\n"
                            "birth_year = 1950\n"
                            "sex = м\n"
                            "height = 180\n"
                            "weight = 80\n"
                            "street = ул. Ленина = центр\n"
                            "years_of_residence = -3\n"
                            "house = ";
    PATIENT_CARD card;
    std::memset(&card, 0x55, sizeof card);
    std::string error;
    ASSERT_TRUE(ParseCardText(text, &card, &error)) << error;
    EXPECT_STREQ(card.doctor_name, "\xCF\xE5\xF2\xF0\xEE\xE2 \xCF.\xCF.");
    EXPECT_STREQ(card.doctor_phone, "+7 (495) 123-45-67");
    EXPECT_STREQ(card.last_name, "\xC8\xE2\xE0\xED\xEE\xE2") << "blanks around values dropped";
    EXPECT_STREQ(card.first_name, "\xC8\xE2\xE0\xED");
    EXPECT_STREQ(card.patronymic, "") << "a key left out leaves its field empty";
    EXPECT_EQ(card.birth_day, 4);
    EXPECT_EQ(card.birth_month, 5);
    EXPECT_EQ(card.birth_year, 1950);
    EXPECT_EQ(card.sex, 1);
    EXPECT_EQ(card.height, 180);
    EXPECT_EQ(card.weight, 80);
    EXPECT_STREQ(card.street, "\xF3\xEB. \xCB\xE5\xED\xE8\xED\xE0 = \xF6\xE5\xED\xF2\xF0");
    EXPECT_EQ(card.years_of_residence, -3);
    EXPECT_STREQ(card.house, "");
    for (uint8_t b : card.reserved3)
        ASSERT_EQ(b, 0) << "the card is cleared first";

    // A field's limit is counted in Windows-1251 bytes (29 letters are 58 bytes of UTF-8).
    const QByteArray name29 = QString(29, QChar(0x0416)).toUtf8(); // Ж
    ASSERT_TRUE(ParseCardText("last_name=" + name29, &card, &error)) << error;
    EXPECT_EQ(std::strlen(card.last_name), 29u);
    EXPECT_EQ(uint8_t(card.last_name[28]), 0xC6);
    ASSERT_TRUE(ParseCardText("sex = f\nheight=65535", &card, &error)) << error;
    EXPECT_EQ(card.sex, 0);
    EXPECT_EQ(card.height, 65535);
}

TEST(CardFile, RefusesWhatItCannotStoreNamingTheLine) {
    const struct {
        QByteArray text;
        const char* expected;
    } cases[] = {
        {"# x\nlastname = a", "line 2: unknown key 'lastname'"},
        {"last_name a", "line 1: expected 'key = value'"},
        {"height=1\nheight=2", "line 2: height is given twice"},
        {"height = 18O", "line 1: height must be a whole number, not '18O'"},
        {"weight = 65536", "line 1: weight must be from 0 to 65535, not 65536"},
        {"birth_year = -1", "line 1: birth_year must be from 0 to 65535, not -1"},
        {"years_of_residence = 99999999999", "years_of_residence must be from -2147483648"},
        {"last_name = " + QByteArray(30, 'a'), "line 1: last_name is 30 characters long"},
        {"postal_code = " + QByteArray(129, '1'), "postal_code is 129 characters long"},
        {"last_name = Müller", "last_name holds characters that Windows-1251 has no byte for"},
        {"\n\nlast_name = \xC8\xE2", "line 3: not UTF-8 text"},
        {"last_name = a\tb", "last_name holds a control character"},
        {"sex = x", "line 1: sex is 1, m or м (male), or 0, f or ж (female), not 'x'"},
        // Dates of birth that cannot be, named at the line that gave the wrong part.
        {"birth_day = 4\nbirth_month = 13", "line 2: birth_month must be from 1 to 12, not 13"},
        {"birth_year = 2023\nbirth_month = 2\nbirth_day = 29",
         "line 3: birth_day 29 is not a day of month 2 in 2023"},
        {"birth_day = 31\nbirth_month = 4", "line 1: birth_day 31 is not a day of month 4"},
        {"birth_day = 32", "line 1: birth_day 32 is not a day of any month"},
        {"# x\nbirth_year = 2999", "line 2: birth_year 2999 is not a year of birth"},
        {"birth_year = 1200", "line 1: birth_year 1200 is not a year of birth"},
    };
    for (const auto& c : cases) {
        PATIENT_CARD card{};
        std::string error;
        EXPECT_FALSE(ParseCardText(c.text, &card, &error)) << c.text.constData();
        EXPECT_NE(error.find(c.expected), std::string::npos)
            << "for '" << c.text.constData() << "': " << error;
    }
}

TEST(CardFile, TakesEveryRealDateOfBirth) {
    for (const char* text :
         {"birth_year = 2024\nbirth_month = 2\nbirth_day = 29",
          "birth_year = 2000\nbirth_month = 2\nbirth_day = 29", "birth_month = 2\nbirth_day = 29",
          "birth_day = 31\nbirth_month = 12", "birth_year = 65535", "birth_year = 1850"}) {
        PATIENT_CARD card{};
        std::string error;
        EXPECT_TRUE(ParseCardText(text, &card, &error)) << text << ": " << error;
    }
}

} // namespace
