// The record block, its info block, the session state's resets and the chart's time base.

#include "record_model/session_state.h"

#include <QString>
#include <cstring>
#include <gtest/gtest.h>

namespace {

TEST(Record, InfoBlockLandsAtFileOffset98332AndRestOfBlockStaysZero) {
    auto rec = std::make_unique<ECG_RECORD>();
    RECORD_INFO info;
    info.leadSystem = 3;
    info.serialHi = 0xAB;
    WriteRecordInfo(rec->curves_buf, info);
    const auto* bytes = reinterpret_cast<const unsigned char*>(rec.get());
    EXPECT_EQ(bytes[98332], 0x88);
    EXPECT_EQ(bytes[98335], 0x88);
    EXPECT_EQ(bytes[98332 + 4], 3);
    EXPECT_EQ(bytes[98332 + 17 * 4], 0xAB);
    EXPECT_EQ(bytes[98332 + 5 * 4 + 1], 0x10) << "4096 points, little-endian";
    for (int i = 98332 + 18 * 4; i < 28 + kCurvesBufSize; ++i)
        ASSERT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(ReadRecordInfo(rec->curves_buf).serialHi, 0xABu);
    Sample(rec->curves_buf, 4095, 11) = -5;
    EXPECT_EQ(rec->curves_buf[MAX_POINT4CURVES - 1536 * 2 - 1], -5) << "last sample before info";
    EXPECT_EQ(DeviceId(0x12345678u, 7), 0x0000000712345678ull);
}

TEST(SessionState, FreshStateAndResetValues) {
    CSessionState s;
    EXPECT_EQ(s.m_pShowCurves, nullptr) << "a fresh view has nothing to show";
    EXPECT_EQ(s.m_pCurves, s.m_pRecord->curves_buf);
    EXPECT_EQ(s.m_bLoaded, 0);
    EXPECT_EQ(s.m_nRecordSize, 112552);
    EXPECT_EQ(s.m_nLeadSystem, 1);
    EXPECT_EQ(s.m_dZoom, 1.0);
    EXPECT_EQ(s.m_nPatientId, 0xFFFFFFFFu);
    EXPECT_EQ(s.m_hCom, -1);
    EXPECT_EQ(s.m_nProgVersion, 6);
    EXPECT_EQ(s.m_nProgRevision, 10);

    std::strcpy(s.m_Card.last_name, "x");
    s.m_Card.reserved3[82] = 1;
    s.m_Card.patient_id[0] = '7';
    s.m_bSending = 1;
    s.m_nSerial = 5;
    s.m_nCurveNo = 6;
    s.m_nSerialHi = 7;
    s.m_nFilter = 2;
    s.m_nWarmupTicks = 11;
    s.m_stDevice.wYear = 2020;
    s.m_nLanes = 4;
    s.m_nFirstLane = 3;
    s.m_bMonitorCleared = 1;
    s.m_nSweepPos[16] = 99;
    s.m_nLastY[0] = 5;
    s.m_nLeadSystem = 2;
    s.m_nHeartRate = 80;
    s.ResetValues();
    EXPECT_EQ(s.m_Card.last_name[0], 0);
    EXPECT_EQ(s.m_Card.reserved3[82], 0);
    EXPECT_EQ(s.m_Card.patient_id[0], 0);
    EXPECT_EQ(s.m_bSending, 0);
    EXPECT_EQ(s.m_nSerial, 0u);
    EXPECT_EQ(s.m_nCurveNo, 0u);
    EXPECT_EQ(s.m_nSerialHi, 0);
    EXPECT_EQ(s.m_nFilter, 0);
    EXPECT_EQ(s.m_nWarmupTicks, 0);
    EXPECT_EQ(s.m_stDevice.wYear, 0);
    EXPECT_EQ(s.m_nLanes, 0);
    EXPECT_EQ(s.m_nFirstLane, 0);
    EXPECT_EQ(s.m_bMonitorCleared, 0);
    EXPECT_EQ(s.m_nSweepPos[16], 1);
    EXPECT_EQ(s.m_nSweepPos[0], 1);
    EXPECT_EQ(s.m_nLastY[0], 0);
    EXPECT_EQ(s.m_nLeadSystemPrev, 2);
    EXPECT_EQ(s.m_nHeartRate, 80) << "the heart rate is not a per-session reset value";
}

TEST(HPrTime, TenSecondsOfPointsAddSlightlyLessThanTenSeconds) {
    CHPrTime t;
    t.ResetVal();
    t.Initialize(SYSTEMTIME{2012, 5, 0, 4, 14, 5, 0, 0});
    const QString text = QString::fromUtf8(t.Sec2DateTime(4096, 409.6f));
    EXPECT_TRUE(text.startsWith(QStringLiteral("04-05-2012 "))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("14:05:09")) ||
                text.contains(QStringLiteral("2:05:09")))
        << text.toStdString();
    EXPECT_EQ(FileTimeTicks(t.m_ftCurrent) - FileTimeTicks(t.m_ftStart), 99999998u);
    EXPECT_EQ(t.m_stCurrent.wSecond, 9);
    EXPECT_EQ(t.m_stCurrent.wMilliseconds, 999);

    // At zoom 2 the chart passes the rate 204.8: 2048 points are still 10 s, minus the fraction.
    t.Sec2DateTime(2048, float(409.6 / 2.0));
    EXPECT_EQ(FileTimeTicks(t.m_ftCurrent) - FileTimeTicks(t.m_ftStart), 99999998u);

    // An invalid date keeps the previous base.
    const uint64_t base = FileTimeTicks(t.m_ftStart);
    t.Initialize(SYSTEMTIME{});
    EXPECT_EQ(FileTimeTicks(t.m_ftStart), base);
    EXPECT_EQ(t.m_stStart.wYear, 0);
    EXPECT_EQ(t.m_stCurrent.wYear, 2012);
    EXPECT_TRUE(
        QString::fromUtf8(t.Sec2DateTime(0, 409.6f)).startsWith(QStringLiteral("04-05-2012")));
}

} // namespace
