#include "record_model/record_date.h"

#include <cstdio>
#include <cstring>
#include <string>

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

std::string FormatRecordDate(const SYSTEMTIME& t) {
    char text[48];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned(t.wYear),
                  unsigned(t.wMonth), unsigned(t.wDay), unsigned(t.wHour), unsigned(t.wMinute),
                  unsigned(t.wSecond));
    return text;
}

bool ParseRecordDate(const char* text, size_t size, SYSTEMTIME& t) {
    const size_t length = strnlen(text, size);
    size_t pos = 0;
    // Exactly `digits` digits (or 1 to `digits` with bShort) as a number; false otherwise.
    auto number = [&](int digits, bool bShort, int& value) {
        value = 0;
        int n = 0;
        while (n < digits && pos < length && text[pos] >= '0' && text[pos] <= '9') {
            value = value * 10 + (text[pos++] - '0');
            ++n;
        }
        return n == digits || (bShort && n > 0);
    };
    auto expect = [&](char c) { return pos < length && text[pos++] == c; };
    int year, month, day, hour, minute, second;
    if (!number(4, false, year) || !expect('-') || !number(2, false, month) || !expect('-') ||
        !number(2, false, day) || !expect(' '))
        return false;
    // Records stored by earlier versions under a 12-hour locale carry "h:mm:ss" with what the
    // 19-character cut left of the AM/PM: the one-digit hour and that rest are taken too.
    if (!number(2, true, hour) || !expect(':') || !number(2, false, minute) || !expect(':') ||
        !number(2, false, second))
        return false;
    const std::string rest(text + pos, length - pos);
    if (!rest.empty()) {
        if (rest == " P" || rest == " PM") {
            if (hour < 1 || hour > 12)
                return false;
            hour = hour % 12 + 12;
        } else if (rest == " A" || rest == " AM") {
            if (hour < 1 || hour > 12)
                return false;
            hour %= 12;
        } else if (rest != " ") {
            return false;
        }
    }
    if (year < 1601 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour > 23 || minute > 59 || second > 59)
        return false;
    t = SYSTEMTIME{};
    t.wYear = uint16_t(year);
    t.wMonth = uint16_t(month);
    t.wDay = uint16_t(day);
    t.wHour = uint16_t(hour);
    t.wMinute = uint16_t(minute);
    t.wSecond = uint16_t(second);
    return true;
}
