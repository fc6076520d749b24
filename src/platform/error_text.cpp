#include "platform/error_text.h"

#include <cstring>
#include <locale.h>

std::string ErrorText(int err) {
    // Always the system's English words, whatever the process's locale: the window says them in
    // its own language (platform/reason_text), the command line and the logs as they are.
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const char* text = c ? strerror_l(err, c) : nullptr;
    return text ? std::string(text) : std::string("error ") + std::to_string(err);
}
