// Start, stop, completion and link loss of a reception session, tick by tick.

#include "acquisition/stream_decoder.h"
#include "session_harness.h"

#include <QLocale>
#include <algorithm>
#include <gtest/gtest.h>

namespace {

// Sends the registers of a device date, then all 4096 record points in whole-frame chunks.
void SendRecord(Harness& h, bool withDate, int firstIndex = 0) {
    if (withDate) {
        const uint8_t regs[][2] = {{5, 7},     {6, 1},     {7, 26},    {8, 9},     {9, 5},
                                   {13, 0x78}, {14, 0x56}, {15, 0x34}, {16, 0x12}, {21, 7},
                                   {17, 3},    {2, 2},     {12, 0},    {11, 75},   {12, 0}};
        Bytes chunk;
        for (const auto& r : regs) {
            const Bytes f = Frame(PointFor(0), 0, r[0], r[1]);
            chunk.insert(chunk.end(), f.begin(), f.end());
        }
        h.Tick(chunk);
    }
    Bytes chunk;
    for (int n = 0; n < kPoints; ++n) {
        const int x = (firstIndex + n) % kPoints;
        const Bytes f = Frame(PointFor(x), x);
        chunk.insert(chunk.end(), f.begin(), f.end());
        if (chunk.size() >= 90 * 22) {
            h.Tick(chunk);
            chunk.clear();
        }
    }
    // The last chunk also holds frames after the final point: they must be discarded.
    chunk = Concat({chunk, Frame(PointFor(9), -1), Frame(PointFor(9), -2)});
    h.Tick(chunk);
}

TEST(Session, CompletedRecordIsStampedWithTheDeviceTimeAndThePortClosed) {
    Harness h;
    h.session.m_nCom = 12;
    h.StartSynced();
    EXPECT_EQ(h.link.lastCom, 12);
    EXPECT_EQ(h.timer.period, 40);
    SendRecord(h, true, 100);

    const auto& s = h.session;
    EXPECT_EQ(s.m_nReceived, 4096);
    EXPECT_EQ(s.m_bRingWrapped, 0);
    EXPECT_EQ(s.m_bLoaded, 1);
    EXPECT_EQ(s.m_bSessionOn, 0);
    EXPECT_EQ(s.m_bLiveView, 0);
    EXPECT_EQ(s.m_nTimer, 0);
    EXPECT_FALSE(h.timer.running);
    EXPECT_EQ(h.link.closes, 1);
    EXPECT_EQ(s.m_nFrameIndex, 99) << "frames after the last point are discarded";
    EXPECT_EQ(h.display.scrollMax, 2013);
    ASSERT_FALSE(h.display.ids.empty());
    EXPECT_EQ(h.display.ids.back(), IDS_PROCESSING);

    const ECG_RECORD& rec = *s.m_pRecord;
    EXPECT_STREQ(rec.date, "2026-01-07 09:05:00");
    EXPECT_EQ(h.display.title, "2026-01-07 09:05:00");
    EXPECT_STREQ(rec.source, "{%Source%}");
    EXPECT_STREQ(rec.notes, "{%Notes%}");
    EXPECT_EQ(rec.record_id, 0u);
    EXPECT_EQ(rec.patient_id, 0xFFFFFFFFu);
    EXPECT_EQ(rec.device_id, 0x0000000712345678ull);
    EXPECT_EQ(rec.curve_id, 3u);
    EXPECT_EQ(rec.wasPravkaZakl, 0);
    EXPECT_EQ(rec.RAZV, 0.0);
    EXPECT_EQ(rec.nSM, 0);

    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(&rec);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(bytes[98332 + i], 0x88);
    const RECORD_INFO info = ReadRecordInfo(rec.curves_buf);
    EXPECT_EQ(info.leadSystem, 1u);
    EXPECT_EQ(info.sensitivity, 10u);
    EXPECT_EQ(info.speed, 0u);
    EXPECT_EQ(info.heartRate, 75u);
    EXPECT_EQ(info.points, 4096u);
    EXPECT_EQ(info.newFormat, 1u);
    EXPECT_EQ(info.serial, 0x12345678u);
    EXPECT_EQ(info.serialHi, 7u);
    for (int x : {0, 1, 2047, 4095})
        EXPECT_EQ(h.Stored(x), Lanes(PointFor(x))) << "point " << x;

    // The chart's time base is the device time.
    EXPECT_EQ(s.m_Time.m_stStart.wYear, 2026);
    EXPECT_EQ(s.m_Time.m_stStart.wMinute, 5);

    // A tick that still arrives after completion reads nothing.
    const int opens = h.link.opens;
    h.Tick(Frame(PointFor(1), -1));
    EXPECT_EQ(h.link.opens, opens);
    EXPECT_EQ(h.link.chunks.size(), 1u);
}

TEST(Session, RecordWithoutDeviceDateCarriesLocalTimeAndKeepsTheTimeBase) {
    Harness h;
    h.session.m_Time.Initialize(SYSTEMTIME{2012, 5, 0, 4, 14, 5, 0, 0});
    h.session.now = SYSTEMTIME{2025, 3, 0, 9, 10, 11, 12, 0};
    h.StartSynced();
    SendRecord(h, false);
    EXPECT_EQ(h.session.m_bLoaded, 1);
    EXPECT_EQ(std::string(h.session.m_pRecord->date).substr(0, 10), "2025-03-09");
    EXPECT_EQ(h.session.m_stDevice.wYear, 2025);
    EXPECT_EQ(h.session.m_Time.m_stStart.wYear, 0) << "the all-zero device time is stored";
    SYSTEMTIME base;
    ASSERT_TRUE(FileTimeToSystemTime(h.session.m_Time.m_ftStart, base));
    EXPECT_EQ(base.wYear, 2012) << "but the time base keeps its previous value";
}

// Run by ctest under an English and a Russian locale too: the stored date never follows the
// locale's time format, which is 12-hour in English.
TEST(Session, RecordDateIsStoredOnThe24HourClockInEveryLocale) {
    const QByteArray locale = qgetenv("LC_ALL");
    if (locale.startsWith("en_US")) {
        ASSERT_TRUE(QLocale::system()
                        .timeFormat(QLocale::LongFormat)
                        .contains(QLatin1String("ap"), Qt::CaseInsensitive))
            << "the English locale reads as 12-hour, or this test proves nothing";
    }
    Harness h;
    h.session.now = SYSTEMTIME{2025, 3, 0, 9, 23, 18, 57, 0};
    h.StartSynced();
    SendRecord(h, false);
    EXPECT_STREQ(h.session.m_pRecord->date, "2025-03-09 23:18:57");
    h.session.now = SYSTEMTIME{2025, 3, 0, 9, 9, 5, 7, 0};
    h.session.OnEkard();
    h.session.OnEkard(); // a manual stop stamps the stop time the same way
    EXPECT_STREQ(h.session.m_pRecord->date, "2025-03-09 09:05:07");
}

TEST(Session, ManualStopStampsTheStopTimeAndReordersAWrappedRing) {
    Harness h;
    h.session.now = SYSTEMTIME{2027, 1, 0, 2, 3, 4, 5, 0};
    h.StartSynced(); // live point 0 at ring position 0
    Bytes chunk;
    for (int n = 1; n < 4096 + 10; ++n) {
        const Bytes f = Frame(PointFor(n), -1);
        chunk.insert(chunk.end(), f.begin(), f.end());
        if (chunk.size() >= 90 * 22) {
            h.Tick(chunk);
            chunk.clear();
        }
    }
    h.Tick(chunk);
    ASSERT_EQ(h.session.m_bRingWrapped, 1);
    ASSERT_EQ(h.session.m_nRingPos, 10);

    h.session.OnEkard();
    const auto& s = h.session;
    EXPECT_EQ(s.m_bSessionOn, 0);
    EXPECT_EQ(s.m_bLoaded, 1);
    EXPECT_EQ(h.link.closes, 1);
    EXPECT_FALSE(h.timer.running);
    EXPECT_STREQ(s.m_pRecord->date, "2027-01-02 03:04:05") << "January is month 01";
    EXPECT_EQ(h.display.title, "2027-01-02 03:04:05");
    EXPECT_STREQ(s.m_pRecord->source, "") << "a manual stop writes no placeholders";
    EXPECT_EQ(s.m_Time.m_stStart.wYear, 2027);
    // Oldest first: the point written after the 4096th live point is the 10th newest.
    EXPECT_EQ(h.Stored(0), Lanes(PointFor(10)));
    EXPECT_EQ(h.Stored(4095), Lanes(PointFor(4105)));
    EXPECT_EQ(ReadRecordInfo(s.m_pRecord->curves_buf).magic, kRecordInfoMagic);
    EXPECT_EQ(s.m_pRecord->patient_id, 0xFFFFFFFFu);
}

TEST(Session, PortThatWillNotOpenRunsWithoutPortAndStopGivesAnEmptyFinishedRecord) {
    Harness h;
    // A finished record from before is discarded without asking.
    h.session.m_pRecord->curves_buf[5] = 123;
    h.session.m_bLoaded = 1;
    h.link.failOpen = true;
    h.session.OnEkard();
    EXPECT_EQ(h.session.m_bSessionOn, 1);
    EXPECT_EQ(h.session.m_bLiveView, 1);
    EXPECT_EQ(h.session.m_nTimer, 0);
    EXPECT_FALSE(h.timer.running);
    EXPECT_EQ(h.session.m_bLoaded, 0);
    EXPECT_NE(h.display.failure.find("/dev/ttyS0"), std::string::npos);

    h.session.OnEkard();
    EXPECT_EQ(h.session.m_bSessionOn, 0);
    EXPECT_EQ(h.session.m_bLoaded, 1);
    EXPECT_EQ(h.link.closes, 0);
    for (int i = 0; i < kSamplesSize / 2; ++i)
        ASSERT_EQ(h.session.m_pCurves[i], 0) << "element " << i;
    EXPECT_EQ(ReadRecordInfo(h.session.m_pRecord->curves_buf).points, 4096u);
    EXPECT_STREQ(h.session.m_pRecord->date, "2024-01-09 08:07:06");
}

TEST(Session, MoreThanHundredSilentTicksRestartTheSessionFromScratch) {
    Harness h;
    h.StartSynced();
    h.Tick(Concat({Frame(PointFor(1), 1), Frame(PointFor(2), 2)}));
    ASSERT_EQ(h.session.m_nReceived, 2);
    for (int i = 0; i < 100; ++i)
        h.SilentTick();
    EXPECT_EQ(h.link.opens, 1) << "100 silent ticks are still tolerated";
    h.SilentTick();
    EXPECT_EQ(h.link.opens, 2);
    EXPECT_EQ(h.link.closes, 1);
    EXPECT_EQ(h.timer.starts, 2);
    EXPECT_TRUE(h.timer.running);
    EXPECT_EQ(h.session.m_bSessionOn, 1);
    EXPECT_EQ(h.session.m_bLiveView, 1);
    EXPECT_EQ(h.session.m_nReceived, 0);
    EXPECT_EQ(h.session.m_pCurves[1 * 12], 0) << "the partial record is cleared";

    // After the restart the first nine chunks with input are dropped again.
    const Bytes synced = Concat({Bytes(22, 0x11), Frame(PointFor(3), 3)});
    for (int i = 0; i < 9; ++i)
        h.Tick(synced);
    EXPECT_EQ(h.session.m_nReceived, 0);
    h.Tick(synced);
    EXPECT_EQ(h.session.m_nReceived, 1);
}

// Record points first .. last-1 in whole-frame chunks, as the device sends them.
void SendPoints(Harness& h, int first, int last) {
    Bytes chunk;
    for (int n = first; n < last; ++n) {
        const Bytes f = Frame(PointFor(n), n);
        chunk.insert(chunk.end(), f.begin(), f.end());
        if (chunk.size() >= 90 * 22 || n + 1 == last) {
            h.Tick(chunk);
            chunk.clear();
        }
    }
}

bool Shown(const CountingDisplay& d, int id) {
    return std::find(d.ids.begin(), d.ids.end(), id) != d.ids.end();
}

TEST(Session, AFailingPortIsALostLinkAtOnceAndItsPortIsTriedEverySecondUntilItIsBack) {
    Harness h;
    h.StartSynced();
    SendPoints(h, 0, 1234);
    ASSERT_EQ(h.session.m_nReceived, 1234);

    // The device node goes with the link: the status query fails, the port will not reopen.
    h.link.failQueued = true;
    h.link.failOpen = true;
    h.SilentTick();
    EXPECT_TRUE(Shown(h.display, IDS_CONNECTION_LOST));
    EXPECT_EQ(h.link.closes, 1);
    EXPECT_EQ(h.link.opens, 2) << "the restart tries the port at once";
    EXPECT_EQ(h.display.linkDowns, 1);
    EXPECT_EQ(h.display.linkDown, "/dev/ttyS0: No such file or directory");
    EXPECT_EQ(h.display.failure, "") << "no port-failure balloon for every attempt";
    EXPECT_EQ(h.session.m_bSessionOn, 1);
    EXPECT_EQ(h.session.m_bReopening, 1);
    EXPECT_TRUE(h.timer.running) << "the timer runs on to try the port again";
    EXPECT_EQ(h.session.m_nReceived, 0) << "the restart clears the partial record";
    const int writes = h.link.writes;

    for (int i = 1; i < kReopenTicks; ++i)
        h.SilentTick();
    EXPECT_EQ(h.link.opens, 2);
    h.SilentTick();
    EXPECT_EQ(h.link.opens, 3) << "a second later";
    EXPECT_EQ(h.display.linkDowns, 2);

    // The device is back: the port opens and the reception goes on as after any start.
    h.link.failOpen = false;
    h.link.failQueued = false;
    for (int i = 0; i < kReopenTicks; ++i)
        h.SilentTick();
    EXPECT_EQ(h.link.opens, 4);
    EXPECT_EQ(h.session.m_bReopening, 0);
    EXPECT_EQ(h.link.writes, writes) << "no wake-up goes to a closed port";
    for (int i = 0; i < kWarmupTicks - 1; ++i)
        h.Tick(Bytes{'.'});
    h.Tick(Concat({Bytes(22, 0x11), Frame(PointFor(0), -1)}));
    SendPoints(h, 0, kPoints);
    EXPECT_EQ(h.session.m_bSessionOn, 0);
    EXPECT_EQ(h.session.m_bLoaded, 1);
    EXPECT_EQ(h.Stored(4095), Lanes(PointFor(4095)));

    // A failing read is the same; the stop command while the port is away ends it cleanly.
    Harness r;
    r.StartSynced();
    r.link.failRead = true;
    r.link.failOpen = true;
    r.Tick(Frame(PointFor(1), 1));
    EXPECT_EQ(r.session.m_bReopening, 1);
    EXPECT_EQ(r.display.linkDowns, 1);
    r.session.OnEkard();
    EXPECT_EQ(r.session.m_bSessionOn, 0);
    EXPECT_EQ(r.session.m_bReopening, 0);
    EXPECT_FALSE(r.timer.running);
    const int opens = r.link.opens;
    r.SilentTick(); // a late timer message
    EXPECT_EQ(r.link.opens, opens);
}

TEST(Session, StopOnLinkLossKeepsWhatArrivedAndWaitsOutALossBeforeAnyPoint) {
    Harness h;
    h.session.m_bStopOnLinkLoss = true;
    h.session.now = SYSTEMTIME{2026, 12, 3, 9, 10, 11, 12, 0};
    h.StartSynced();
    SendPoints(h, 0, 1234);
    h.link.failRead = true;
    h.Tick(Frame(PointFor(1234), 1234));
    EXPECT_EQ(h.session.m_bSessionOn, 0);
    EXPECT_EQ(h.session.m_bLinkLost, 1);
    EXPECT_EQ(h.session.m_bLoaded, 1);
    EXPECT_FALSE(h.timer.running);
    EXPECT_EQ(h.link.opens, 1) << "no restart";
    EXPECT_EQ(h.Stored(0), Lanes(PointFor(0)));
    EXPECT_EQ(h.Stored(1233), Lanes(PointFor(1233)));
    EXPECT_EQ(h.Stored(1234), (std::array<int, 12>{}));
    EXPECT_STREQ(h.session.m_pRecord->date, "2026-12-09 10:11:12") << "stamped as a stop";

    // The line falls silent after points arrived: the same.
    Harness q;
    q.session.m_bStopOnLinkLoss = true;
    q.StartSynced();
    SendPoints(q, 0, 10);
    for (int i = 0; i <= kIdleTicksLimit; ++i)
        q.SilentTick();
    EXPECT_EQ(q.session.m_bSessionOn, 0);
    EXPECT_EQ(q.session.m_bLinkLost, 1);

    // Silence before any point: the session restarts and waits on; a new start clears the flag.
    Harness w;
    w.session.m_bStopOnLinkLoss = true;
    w.session.OnEkard();
    for (int i = 0; i <= kIdleTicksLimit; ++i)
        w.SilentTick();
    EXPECT_EQ(w.session.m_bSessionOn, 1);
    EXPECT_EQ(w.session.m_bLinkLost, 0);
    EXPECT_EQ(w.link.opens, 2);
    q.session.OnEkard();
    EXPECT_EQ(q.session.m_bLinkLost, 0);
}

} // namespace
