#include "platform/cp1251.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

QString U(const char16_t* s) {
    return QString::fromUtf16(s);
}

TEST(Cp1251, EveryByteSurvivesARoundTripThroughText) {
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = FromCp1251(all);
    ASSERT_EQ(text.size(), 256);
    // Distinct bytes give distinct characters, so nothing collapses on the way back.
    QSet<QChar> seen(text.begin(), text.end());
    EXPECT_EQ(seen.size(), 256);
    // 0x98 has no character of its own: it stands for U+0098 both ways.
    EXPECT_EQ(text.at(0x98).unicode(), 0x0098);
    bool ok = false;
    EXPECT_EQ(ToCp1251(text, &ok), all);
    EXPECT_TRUE(ok);
    EXPECT_TRUE(Cp1251CanEncode(text));
}

TEST(Cp1251, CyrillicAndSignsHaveTheirWindowsBytes) {
    EXPECT_EQ(ToCp1251(U(u"Ёё№")), QByteArray("\xA8\xB8\xB9"));
    EXPECT_EQ(ToCp1251(U(u"АЯая")), QByteArray("\xC0\xDF\xE0\xFF"));
    EXPECT_EQ(ToCp1251(U(u"€—«»Ґґ")), QByteArray("\x88\x97\xAB\xBB\xA5\xB4"));
    EXPECT_EQ(FromCp1251("\xC8\xE2\xE0\xED\xEE\xE2 \xB9"
                         "1"),
              U(u"Иванов №1"));
    EXPECT_EQ(Cp1251Length(U(u"Иванов")), 6);
}

TEST(Cp1251, CharacterOutsideTheSetBecomesOneQuestionMarkAndIsReported) {
    bool ok = true;
    EXPECT_EQ(ToCp1251(U(u"aüb"), &ok), QByteArray("a?b"));
    EXPECT_FALSE(ok);
    EXPECT_FALSE(Cp1251CanEncode(U(u"Ж中")));

    // A character beyond the BMP is one character: one '?', one byte of length.
    const QString emoji = U(u"x\U0001F600y");
    EXPECT_EQ(ToCp1251(emoji, &ok), QByteArray("x?y"));
    EXPECT_FALSE(ok);
    EXPECT_EQ(Cp1251Length(emoji), 3);
    EXPECT_EQ(Cp1251Left(emoji, 2), U(u"x\U0001F600"));
    EXPECT_EQ(Cp1251Left(emoji, 1), U(u"x"));

    // A lone surrogate is not a character Windows-1251 has either.
    const QString lone = QString(QChar(0xD800)) + u'a';
    EXPECT_EQ(ToCp1251(lone, &ok), QByteArray("?a"));
    EXPECT_FALSE(ok);
}

} // namespace
