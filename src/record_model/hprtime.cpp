#include "record_model/hprtime.h"

#include <cstdio>
#include <cstring>

void CHPrTime::ResetVal() {
    *this = CHPrTime{};
}

int CHPrTime::Initialize(const SYSTEMTIME& t) {
    m_stStart = m_stCurrent = t;
    SystemTimeToFileTime(t, m_ftStart); // an invalid date keeps the previous base
    m_ftCurrent = m_ftStart;
    FileTimeToSystemTime(m_ftCurrent, m_stCurrent);
    return 0;
}

const char* CHPrTime::Sec2DateTime(int nPoints, float fRate) {
    // The point count goes through single precision and the quotient is taken in double, so
    // 4096 points at 409.6f give 9.9999998 s.
    const double seconds = double(float(nPoints)) / double(fRate);
    const int64_t ticks = int64_t(seconds * double(kTicksPerSecond));
    m_ftCurrent = FileTimeFromTicks(uint64_t(int64_t(FileTimeTicks(m_ftStart)) + ticks));
    FileTimeToSystemTime(m_ftCurrent, m_stCurrent);

    char date[32] = {};
    char time[32] = {};
    std::snprintf(date, sizeof date, "%s", FormatLocalDate(m_stCurrent, "dd'-'MM'-'yyyy").c_str());
    std::snprintf(time, sizeof time, "%s", FormatLocalTime(m_stCurrent).c_str());
    std::snprintf(m_szText, sizeof m_szText, "%s %s", date, time);
    return m_szText;
}
