#pragma once
// SYSTEMTIME and FILETIME as the record and its time base use them: a broken-down calendar time
// and a count of 100-ns ticks since 1601-01-01, with the conversions between the two.

#include <cstdint>
#include <string>

struct SYSTEMTIME {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;     // 1-12
    uint16_t wDayOfWeek = 0; // 0 = Sunday
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

struct FILETIME {
    uint32_t dwLowDateTime = 0;
    uint32_t dwHighDateTime = 0;
};

inline uint64_t FileTimeTicks(const FILETIME& ft) {
    return (uint64_t(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
}
inline FILETIME FileTimeFromTicks(uint64_t ticks) {
    return FILETIME{uint32_t(ticks & 0xFFFFFFFFu), uint32_t(ticks >> 32)};
}

constexpr uint64_t kTicksPerSecond = 10'000'000;

// False (and ft untouched) for a time that is not a valid date between 1601 and 30827.
bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft);
// False for a tick count beyond the year 30827; fills in the day of the week.
bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st);

// The current local wall-clock time.
SYSTEMTIME GetLocalTime();

// Text of a date and a time in the system's locale: date with a picture of QDate::toString
// ("yyyy'-'MM'-'dd"), time in the locale's short time format with seconds.
std::string FormatLocalDate(const SYSTEMTIME& st, const char* picture);
std::string FormatLocalTime(const SYSTEMTIME& st);
