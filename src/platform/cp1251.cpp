#include "platform/cp1251.h"

#include <array>
#include <cstdint>

namespace {

// Characters of the bytes 0x80-0xBF; 0xC0-0xFF are U+0410-U+044F in order, below 0x80 is ASCII.
constexpr std::array<char16_t, 64> kHigh = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F, // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, // 98 (0x98 unassigned)
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, // B8
};

// The byte of one UTF-16 unit, or -1 when it has none.
int EncodeUnit(char16_t c) {
    if (c < 0x80)
        return c;
    if (c >= 0x0410 && c <= 0x044F)
        return 0xC0 + (c - 0x0410);
    for (size_t i = 0; i < kHigh.size(); ++i) {
        if (kHigh[i] == c)
            return int(0x80 + i);
    }
    return -1;
}

// Walks text by characters: f(byte or -1) once per character; a surrogate pair is one
// character (never encodable), a lone surrogate too.
template <typename F> void ForEachChar(const QString& text, F f) {
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            ++i;
            f(-1);
            continue;
        }
        f(QChar::isSurrogate(c) ? -1 : EncodeUnit(c));
    }
}

} // namespace

QByteArray ToCp1251(const QString& text, bool* ok) {
    QByteArray out;
    out.reserve(text.size());
    bool all = true;
    ForEachChar(text, [&](int b) {
        if (b < 0) {
            all = false;
            b = '?';
        }
        out.append(char(uint8_t(b)));
    });
    if (ok)
        *ok = all;
    return out;
}

QString FromCp1251(const QByteArray& bytes) {
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* d = out.data();
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uint8_t b = uint8_t(bytes[i]);
        char16_t c;
        if (b < 0x80)
            c = b;
        else if (b >= 0xC0)
            c = char16_t(0x0410 + (b - 0xC0));
        else
            c = kHigh[b - 0x80];
        d[i] = QChar(c);
    }
    return out;
}

bool Cp1251CanEncode(const QString& text) {
    bool all = true;
    ForEachChar(text, [&](int b) { all = all && b >= 0; });
    return all;
}

int Cp1251Length(const QString& text) {
    int n = 0;
    ForEachChar(text, [&](int) { ++n; });
    return n;
}

QString Cp1251Left(const QString& text, int nBytes) {
    if (nBytes <= 0)
        return QString();
    qsizetype i = 0;
    int bytes = 0;
    const qsizetype n = text.size();
    while (i < n && bytes < nBytes) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate();
        i += pair ? 2 : 1;
        ++bytes;
    }
    return text.left(i);
}
