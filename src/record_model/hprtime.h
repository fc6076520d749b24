#pragma once
// Time base of the chart's time labels: turns a point offset into wall-clock text.

#include "platform/systemtime.h"

class CHPrTime {
public:
    SYSTEMTIME m_stStart{};
    SYSTEMTIME m_stCurrent{};
    FILETIME m_ftStart{};
    FILETIME m_ftCurrent{};
    char m_szText[256] = {};

    // Clears every member.
    void ResetVal();
    // Makes t the base. A t that is not a valid date leaves the previous base in m_ftStart.
    int Initialize(const SYSTEMTIME& t);
    // Base plus nPoints / fRate seconds, in whole 100-ns ticks (fraction dropped), as
    // "dd-MM-yyyy" and the locale's time.
    const char* Sec2DateTime(int nPoints, float fRate);
};
