#include "platform/printable_text.h"

#include <cstdint>
#include <cstdio>

namespace {

bool NeedsEscape(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x2028 ||
           c == 0x2029;
}

// "\x1b" for a byte (a one-byte control, or a byte that is no UTF-8), "\u202e" for a character
// beyond ASCII.
std::string EscapeByte(uint8_t b) {
    char text[8];
    std::snprintf(text, sizeof text, "\\x%02x", unsigned(b));
    return text;
}

std::string Escape(char32_t c) {
    if (c < 0x80)
        return EscapeByte(uint8_t(c));
    char text[16];
    std::snprintf(text, sizeof text, "\\u%04x", unsigned(c));
    return text;
}

// The length of the valid UTF-8 sequence at s[i] and its code point; 0 when the bytes there are
// no valid sequence (a stray continuation byte, a cut sequence, an overlong form, a surrogate,
// a value above U+10FFFF).
size_t DecodeUtf8(const std::string& s, size_t i, char32_t& c) {
    const auto byte = [&](size_t k) { return uint8_t(s[k]); };
    const uint8_t b = byte(i);
    size_t n;
    char32_t min;
    if (b < 0x80)
        return c = b, 1;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2, c = b & 0x1F, min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3, c = b & 0x0F, min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4, c = b & 0x07, min = 0x10000;
    else
        return 0;
    if (i + n > s.size())
        return 0;
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        c = c << 6 | (byte(i + k) & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return n;
}

} // namespace

std::string PrintableName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        char32_t c = 0;
        const size_t n = DecodeUtf8(name, i, c);
        if (n == 0) {
            out += EscapeByte(uint8_t(name[i]));
            ++i;
            continue;
        }
        if (c == '\\')
            out += "\\\\";
        else if (NeedsEscape(c))
            out += Escape(c);
        else
            out.append(name, i, n);
        i += n;
    }
    return out;
}

QString PrintableName(const QString& name) {
    QString out;
    out.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t u = name[i].unicode();
        if (QChar::isHighSurrogate(u) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            out += name[i];
            out += name[++i];
            continue;
        }
        if (QChar::isSurrogate(u))
            out += QString::fromStdString(Escape(u));
        else if (u == u'\\')
            out += QStringLiteral("\\\\");
        else if (NeedsEscape(u))
            out += QString::fromStdString(Escape(u));
        else
            out += name[i];
    }
    return out;
}
