#include "platform/error_text.h"

#include <cstring>

std::string ErrorText(int err) {
    char buf[256] = {};
    // GNU strerror_r may return a static string instead of filling buf.
    const char* text = strerror_r(err, buf, sizeof buf);
    return text ? std::string(text) : std::string("error ") + std::to_string(err);
}
