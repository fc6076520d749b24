#include "platform/systemtime.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <chrono>
#include <ctime>

namespace {

using namespace std::chrono;

// Days from 1601-01-01 (the FILETIME epoch) to 1970-01-01.
constexpr int64_t kEpochDays1601 = 134774;

bool ValidDate(const SYSTEMTIME& st) {
    if (st.wYear < 1601 || st.wYear > 30827 || st.wMonth < 1 || st.wMonth > 12 || st.wDay < 1 ||
        st.wHour > 23 || st.wMinute > 59 || st.wSecond > 59 || st.wMilliseconds > 999)
        return false;
    const year_month_day ymd{year{st.wYear}, month{st.wMonth}, day{st.wDay}};
    return ymd.ok();
}

} // namespace

bool SystemTimeToFileTime(const SYSTEMTIME& st, FILETIME& ft) {
    if (!ValidDate(st))
        return false;
    const year_month_day ymd{year{st.wYear}, month{st.wMonth}, day{st.wDay}};
    const int64_t dayCount = sys_days{ymd}.time_since_epoch().count() + kEpochDays1601;
    const int64_t seconds = dayCount * 86400 + st.wHour * 3600 + st.wMinute * 60 + st.wSecond;
    const uint64_t ticks = uint64_t(seconds) * kTicksPerSecond + uint64_t(st.wMilliseconds) * 10000;
    ft = FileTimeFromTicks(ticks);
    return true;
}

bool FileTimeToSystemTime(const FILETIME& ft, SYSTEMTIME& st) {
    const uint64_t ticks = FileTimeTicks(ft);
    if (ticks >= 0x8000000000000000ull)
        return false;
    const int64_t totalSeconds = int64_t(ticks / kTicksPerSecond);
    const int64_t dayCount = totalSeconds / 86400;
    const int64_t secondsOfDay = totalSeconds % 86400;
    const sys_days date{days{dayCount - kEpochDays1601}};
    const year_month_day ymd{date};
    if (int(ymd.year()) > 30827)
        return false;
    st.wYear = uint16_t(int(ymd.year()));
    st.wMonth = uint16_t(unsigned(ymd.month()));
    st.wDay = uint16_t(unsigned(ymd.day()));
    st.wDayOfWeek = uint16_t(weekday{date}.c_encoding());
    st.wHour = uint16_t(secondsOfDay / 3600);
    st.wMinute = uint16_t(secondsOfDay / 60 % 60);
    st.wSecond = uint16_t(secondsOfDay % 60);
    st.wMilliseconds = uint16_t(ticks % kTicksPerSecond / 10000);
    return true;
}

SYSTEMTIME GetLocalTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm local{};
    localtime_r(&ts.tv_sec, &local);
    SYSTEMTIME st;
    st.wYear = uint16_t(local.tm_year + 1900);
    st.wMonth = uint16_t(local.tm_mon + 1);
    st.wDayOfWeek = uint16_t(local.tm_wday);
    st.wDay = uint16_t(local.tm_mday);
    st.wHour = uint16_t(local.tm_hour);
    st.wMinute = uint16_t(local.tm_min);
    st.wSecond = uint16_t(local.tm_sec);
    st.wMilliseconds = uint16_t(ts.tv_nsec / 1'000'000);
    return st;
}

std::string FormatLocalDate(const SYSTEMTIME& st, const char* picture) {
    const QDate date(st.wYear, st.wMonth, st.wDay);
    return QLocale().toString(date, QString::fromLatin1(picture)).toStdString();
}

std::string FormatLocalTime(const SYSTEMTIME& st) {
    // The locale's long time format carries the seconds the labels need; the time-zone name it
    // may add does not belong in a chart label.
    // Worked out once: a chart pass asks for a label each time.
    static const QString format = [] {
        QString f = QLocale().timeFormat(QLocale::LongFormat);
        f.remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")));
        return f.trimmed();
    }();
    const QTime time(st.wHour, st.wMinute, st.wSecond);
    return QLocale().toString(time, format).toStdString();
}
