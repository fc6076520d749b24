// A settings file from outside (velmora.ini, hand-edited or from another program) and a key set in
// it. The input is the file's text, a section, a key and a value to set, a second section and key
// to look up, and last the lengths of those five as one byte each, in the same order:
//
//   text | section | key | value | section2 | key2 | 5 length bytes
//
// Invariants:
// - a set that is refused leaves the text as it was;
// - a value just set reads back as its first line, the writer's documented cut (the settings
//   then take at most 255 bytes of what this lookup gives);
// - setting the same value again changes nothing;
// - any other key reads the same before and after.

#include "config/private_profile.h"

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// Takes the parts off the end of the input.
struct Input {
    QByteArray text, section, key, value, section2, key2;

    Input(const uint8_t* data, size_t size) {
        const char* p = reinterpret_cast<const char*>(data);
        size_t from = size;
        if (size < 5) {
            text = QByteArray(p, qsizetype(size));
            return;
        }
        from -= 5;
        const uint8_t* lengths = data + from;
        QByteArray* parts[5] = {&section, &key, &value, &section2, &key2};
        for (int i = 4; i >= 0; --i) {
            const size_t n = lengths[i] < from ? lengths[i] : from;
            from -= n;
            *parts[i] = QByteArray(p + from, qsizetype(n));
        }
        text = QByteArray(p, qsizetype(from));
    }
};

// The value of a single line, as the writer stores it.
QByteArray FirstLine(const QByteArray& v) {
    qsizetype cut = 0;
    while (cut < v.size() && v[cut] != '\n' && v[cut] != '\r' && v[cut] != '\0')
        ++cut;
    return v.left(cut);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Input in(data, size);
    const std::optional<QByteArray> other = ProfileFindValue(in.text, in.section2, in.key2);

    QByteArray text = in.text;
    if (!ProfileSetValue(text, in.section, in.key, in.value)) {
        Check(text == in.text);
        return 0;
    }
    const std::optional<QByteArray> got = ProfileFindValue(text, in.section, in.key);
    const QByteArray expected = FirstLine(in.value);
    Check(got.has_value() && *got == expected);

    QByteArray twice = text;
    Check(ProfileSetValue(twice, in.section, in.key, in.value) && twice == text);

    // Whether the second pair names the key just set, asked of the reader itself.
    QByteArray alone;
    Check(ProfileSetValue(alone, in.section, in.key, "x"));
    if (!ProfileFindValue(alone, in.section2, in.key2))
        Check(ProfileFindValue(text, in.section2, in.key2) == other);
    return 0;
}
