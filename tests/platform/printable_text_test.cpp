#include "platform/printable_text.h"

#include <gtest/gtest.h>

namespace {

// Every byte below 0x20, DEL, a C1 control and every bidirectional mark comes out as a visible
// escape, the text around it unchanged.
TEST(PrintableName, ControlsAndBidiMarksBecomeVisibleEscapes) {
    EXPECT_EQ(PrintableName(std::string("a\x1b]0;owned\x07z")), "a\\x1b]0;owned\\x07z");
    EXPECT_EQ(PrintableName(std::string("line\nforged\r\t")), "line\\x0aforged\\x0d\\x09");
    EXPECT_EQ(PrintableName(std::string("x\x7fy")), "x\\x7fy");
    EXPECT_EQ(PrintableName(std::string("\xc2\x85\xc2\x9b[2J")), "\\u0085\\u009b[2J"); // C1
    EXPECT_EQ(PrintableName(std::string("evil\u202etxt.exe")), "evil\\u202etxt.exe");
    EXPECT_EQ(PrintableName(std::string("\u200e\u200f\u061c\u202a\u202b\u202c\u202d\u2066\u2067"
                                        "\u2068\u2069\u2028\u2029")),
              "\\u200e\\u200f\\u061c\\u202a\\u202b\\u202c\\u202d\\u2066\\u2067\\u2068\\u2069"
              "\\u2028\\u2029");
    // A name that spells an escape itself stays distinguishable from one that holds the byte.
    EXPECT_EQ(PrintableName(std::string("a\\x1b")), "a\\\\x1b");
    EXPECT_NE(PrintableName(std::string("a\\x1b")), PrintableName(std::string("a\x1b")));
    const std::string zero("a\0b", 3);
    EXPECT_EQ(PrintableName(zero), "a\\x00b");
}

// Ordinary text of any script, and characters next to the escaped ranges, pass unchanged.
TEST(PrintableName, OrdinaryTextStaysAsItIs) {
    for (const char* text :
         {"2026-12-08 23-18-57 K.107.18641.5752.dat", "Иванов Иван.ecg", "ΑΒΓ 中文 עברית ﷽",
          "\u00a0\u00e9\u2010\u2027\u202f\u2065\u206a\u061b", "😀 emoji", "/tmp/dir with space/x"})
        EXPECT_EQ(PrintableName(std::string(text)), text) << text;
    EXPECT_EQ(PrintableName(QStringLiteral("Иванов 😀 ΑΒΓ")), QStringLiteral("Иванов 😀 ΑΒΓ"));
}

// Bytes that are no UTF-8 are escaped one by one; the valid text between them survives.
TEST(PrintableName, InvalidUtf8IsEscapedByteByByte) {
    EXPECT_EQ(PrintableName(std::string("\xff\xfe")), "\\xff\\xfe");
    EXPECT_EQ(PrintableName(std::string("\xd0\xaf\xd0")), "Я\\xd0");          // cut at the end
    EXPECT_EQ(PrintableName(std::string("\xd0Я")), "\\xd0Я");                 // cut mid-text
    EXPECT_EQ(PrintableName(std::string("\xc0\xaf")), "\\xc0\\xaf");          // overlong '/'
    EXPECT_EQ(PrintableName(std::string("\xe0\x80\xaf")), "\\xe0\\x80\\xaf"); // overlong
    EXPECT_EQ(PrintableName(std::string("\xed\xa0\x80")), "\\xed\\xa0\\x80"); // a surrogate
    EXPECT_EQ(PrintableName(std::string("\xf4\x90\x80\x80")), "\\xf4\\x90\\x80\\x80"); // >10FFFF
    EXPECT_EQ(PrintableName(std::string("\x80x")), "\\x80x"); // a stray continuation byte
    // Windows-1251 bytes of "Привет" are no UTF-8: escaped, never misread as other letters.
    EXPECT_EQ(PrintableName(std::string("\xcf\xf0\xe8")), "\\xcf\\xf0\\xe8");
}

// The QString form escapes alike, and shows a lone surrogate rather than losing it.
TEST(PrintableName, QStringFormMatchesTheUtf8Form) {
    const std::string mixed = "Отчёт\x1b[31m\n\u202egpj.exe\\ 😀";
    EXPECT_EQ(PrintableName(QString::fromStdString(mixed)).toStdString(), PrintableName(mixed));
    QString lone = QStringLiteral("a");
    lone += QChar(char16_t(0xD800));
    lone += QStringLiteral("b");
    lone += QChar(char16_t(0xDC01));
    EXPECT_EQ(PrintableName(lone), QStringLiteral("a\\ud800b\\udc01"));
}

} // namespace
