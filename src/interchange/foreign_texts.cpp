#include "interchange/foreign_texts.h"

#include <cstdint>

namespace {

bool IsUtf8(const std::string& s) {
    for (size_t i = 0; i < s.size();) {
        const auto c = uint8_t(s[i]);
        const size_t n = c < 0x80         ? 1
                         : (c >> 5) == 6  ? 2
                         : (c >> 4) == 14 ? 3
                         : (c >> 3) == 30 ? 4
                                          : 0;
        if (n == 0 || i + n > s.size())
            return false;
        for (size_t k = 1; k < n; ++k)
            if ((uint8_t(s[i + k]) >> 6) != 2)
                return false;
        i += n;
    }
    return true;
}

std::string Trimmed(const std::string& s) {
    const size_t from = s.find_first_not_of(" \t\r\n");
    if (from == std::string::npos)
        return {};
    return s.substr(from, s.find_last_not_of(" \t\r\n") - from + 1);
}

} // namespace

std::string TextAsUtf8(const std::string& bytes) {
    if (IsUtf8(bytes))
        return Trimmed(bytes);
    std::string out;
    for (const char ch : bytes) {
        const auto c = uint8_t(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += char(0xC0 | c >> 6);
            out += char(0x80 | (c & 0x3F));
        }
    }
    return Trimmed(out);
}

void SplitPatientName(const std::string& name, ForeignEcg& ecg, char separator) {
    std::string* parts[] = {&ecg.lastName, &ecg.firstName, &ecg.patronymic};
    size_t at = 0;
    for (std::string* part : parts) {
        const size_t end = name.find(separator, at);
        *part =
            TextAsUtf8(name.substr(at, end == std::string::npos ? std::string::npos : end - at));
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
}
