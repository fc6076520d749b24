// The record definition block, the card's texts in the record, and the card checks.

#include "storage/card_fields.h"
#include "storage/record_definition.h"

#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

// The text of a fixed field up to its first zero, and whether everything after it is zero.
template <size_t N> std::string Text(const char (&field)[N], bool* zeroTail = nullptr) {
    const size_t len = strnlen(field, N);
    if (zeroTail) {
        *zeroTail = true;
        for (size_t i = len; i < N; ++i)
            *zeroTail = *zeroTail && field[i] == 0;
    }
    return std::string(field, len);
}

struct Fixture {
    std::unique_ptr<ECG_RECORD> rec = std::make_unique<ECG_RECORD>();
    PATIENT_CARD card{};
    RECORD_DEFINITION def{};
};

TEST(RecordDefinition, NumberDateAndConstantsLandAtTheirOffsetsAndNothingElse) {
    Fixture f;
    f.rec->device_id = 0x0000000712345678ull;
    std::strcpy(f.rec->date, "2012-05-04 14:05:00");
    std::memset(&f.def, 0xAA, sizeof f.def); // left over from an earlier export
    ParseRecordDefinition(f.card, *f.rec, f.def);

    unsigned char expected[728] = {};
    expected[0] = 2;
    std::memcpy(expected + 32, "K.107.18641.5752", 16);
    std::memcpy(expected + 642, "2012-01-01", 10);
    expected[672] = 'M';
    expected[680] = 1;
    expected[684] = '1';
    const auto* got = reinterpret_cast<const unsigned char*>(&f.def);
    for (int i = 0; i < 728; ++i)
        ASSERT_EQ(got[i], expected[i]) << "byte " << i;

    f.rec->device_id = 0x0000000792345678ull; // bit 31 of the lower half
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(Text(f.def.szRecordNumber), "K.207.18641.5752");

    f.rec->device_id = 0x000000FFFFFFFFFFull; // the longest number a device can send
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(Text(f.def.szRecordNumber), "K.2255.131071.16383");

    f.rec->device_id = 0xFFFFFFFF00000000ull; // from a record file made elsewhere
    ParseRecordDefinition(f.card, *f.rec, f.def);
    bool zeroTail = false;
    EXPECT_EQ(Text(f.def.szRecordNumber, &zeroTail), "K.1-1.00000.0000");
    f.rec->device_id = 0x8000000000000000ull;
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(Text(f.def.szRecordNumber), "K.1-2147483648.0000") << "cut to 19 characters";
    EXPECT_EQ(f.def.szNamePart2[0], 0) << "the number never runs into the next field";
}

TEST(RecordDefinition, CardTextsBecomeSourceAndNotesInWindows1251) {
    Fixture f;
    std::memset(f.rec->source, 'x', sizeof f.rec->source); // a longer earlier text
    std::memset(f.rec->notes, 'x', sizeof f.rec->notes);
    std::strcpy(f.card.doctor_name, "\xCF\xE5\xF2\xF0\xEE\xE2"); // Петров
    std::strcpy(f.card.doctor_phone, "123");
    std::strcpy(f.card.last_name, "\xC8\xE2\xE0\xED\xEE\xE2"); // Иванов
    f.card.birth_year = 1950;
    f.card.sex = 1;
    f.card.weight = 80;
    f.card.height = 180;
    ParseRecordDefinition(f.card, *f.rec, f.def);
    bool sourceTail = false, notesTail = false;
    EXPECT_EQ(Text(f.rec->source, &sourceTail), "\xCF\xE5\xF2\xF0\xEE\xE2, \xF2\xE5\xEB. 123");
    EXPECT_EQ(Text(f.rec->notes, &notesTail),
              "\xC8\xE2\xE0\xED\xEE\xE2, 1950\xE3.\xF0.,\xEC,80\xEA\xE3,180\xF1\xEC");
    EXPECT_TRUE(sourceTail && notesTail) << "no byte of the earlier text is left behind";

    f.card.sex = 7; // not a value the card allows: no sex, never taken as female
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(f.card.sex, kSexNotGiven);
    EXPECT_NE(Text(f.rec->notes).find(",-,"), std::string::npos) << Text(f.rec->notes);
    EXPECT_EQ(MissingCardFields(f.card, CardUse::Export), std::vector<std::string>{"sex"});

    f.card = PATIENT_CARD{};
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(Text(f.rec->source), "\xCD\xE5\xF2 \xE4\xE0\xED\xED\xFB\xF5"); // Нет данных
    EXPECT_EQ(Text(f.rec->notes), "- - -");

    // Texts that fill their fields to the last byte (a card from outside) stay within them.
    std::memset(f.card.doctor_name, 'D', sizeof f.card.doctor_name);
    std::memset(f.card.doctor_phone, '7', sizeof f.card.doctor_phone);
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(Text(f.rec->source),
              std::string(30, 'D') + ", \xF2\xE5\xEB. " + std::string(30, '7'));
}

TEST(RecordDefinition, DateTextTakesTheRecordsYear) {
    Fixture f;
    std::strcpy(f.rec->date, "2012-05-04 14:05:00");
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(Text(f.def.szDate), "2012-01-01");
    std::memset(f.rec->date, '9', sizeof f.rec->date); // no terminator
    ParseRecordDefinition(f.card, *f.rec, f.def);
    EXPECT_EQ(Text(f.def.szDate), "9999-01-01");
}

TEST(PatientCard, CompletenessNamesTheMissingFieldsForEachUse) {
    PATIENT_CARD card{};
    using V = std::vector<std::string>;
    EXPECT_EQ(MissingCardFields(card, CardUse::Export),
              (V{"doctor_name", "doctor_phone", "last_name", "height", "weight", "birth_year"}));
    EXPECT_EQ(MissingCardFields(card, CardUse::Scp),
              (V{"doctor_name", "doctor_phone", "last_name", "first_name", "patronymic", "height",
                 "weight", "birth_year"}));
    std::strcpy(card.doctor_name, "a");
    std::strcpy(card.doctor_phone, "1");
    std::strcpy(card.last_name, "b");
    card.height = 1;
    card.weight = 1;
    card.birth_year = 65535; // the dialog held no valid date: still counts as given
    EXPECT_TRUE(IsCardComplete(card, CardUse::Export));
    EXPECT_EQ(MissingCardFields(card, CardUse::Scp), (V{"first_name", "patronymic"}));
    card.weight = 0;
    EXPECT_EQ(MissingCardFields(card, CardUse::Export), V{"weight"});
}

} // namespace
