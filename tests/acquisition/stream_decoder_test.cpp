// The per-tick frame decoder: text events, warm-up, synchronisation, the carry across chunks,
// record and live points, and the register side channel.

#include "acquisition/stream_decoder.h"
#include "session_harness.h"

#include <gtest/gtest.h>

namespace {

const uint8_t* U(const char* s) {
    return reinterpret_cast<const uint8_t*>(s);
}

TEST(TextMatcher, MatchesOnlyAtTheFirstOccurrenceOfTheFirstLetter) {
    const char* good = "xxCONNECTIONyy";
    EXPECT_EQ(cmp_driver_buffer(U(good), int(strlen(good)), "CONNECTION"), 1);
    const char* earlierC = "C CONNECTION";
    EXPECT_EQ(cmp_driver_buffer(U(earlierC), int(strlen(earlierC)), "CONNECTION"), 0);
    const char* earlierD = "DDISCONNECT";
    EXPECT_EQ(cmp_driver_buffer(U(earlierD), int(strlen(earlierD)), "DISCONNECT"), 0);
    const char* cut = "xxCONNECTIO";
    EXPECT_EQ(cmp_driver_buffer(U(cut), int(strlen(cut)), "CONNECTION"), 0);
    // Bytes beyond the given length never count, even when they would complete the word.
    EXPECT_EQ(cmp_driver_buffer(U(good), 11, "CONNECTION"), 0);
    EXPECT_EQ(cmp_driver_buffer(U(good), 0, "CONNECTION"), 0);
}

TEST(Unpacking, ChannelsSignExtendAndDerivedLanesTruncateTowardZero) {
    Point9 p;
    p.I = -2048;
    p.II = 2047;
    p.III = -1;
    p.V[0] = -17;
    p.V[1] = 16;
    p.V[2] = 1;
    p.V[3] = -1000;
    p.V[4] = 999;
    p.V[5] = 0;
    const Bytes f = Frame(p, 0);
    EXPECT_EQ(GetCRC(f.data(), 18), f[18]);
    for (int leadSystem : {1, 3}) {
        const auto want = Lanes(p, leadSystem);
        for (int lane = 0; lane < 12; ++lane)
            EXPECT_EQ(ZnaCurve(f.data(), lane, leadSystem), want[size_t(lane)])
                << "lane " << lane << " lead system " << leadSystem;
    }
    // -(I + II) / 2 of -2048 + 2047 is 0 with truncation (not -1 as a shift would give),
    // and (I - III) / 2 = -2047 / 2 = -1023.
    EXPECT_EQ(ZnaCurve(f.data(), 3, 1), 0);
    EXPECT_EQ(ZnaCurve(f.data(), 4, 1), -1023);
    EXPECT_EQ(ZnaCurve(f.data(), 3, 3), ZnaCurve(f.data(), 9, 3));
    EXPECT_EQ(ZnaCurve(f.data(), 12, 1), 0);
    EXPECT_EQ(ZnaCurve(f.data(), -1, 1), 0);
}

TEST(Decoder, WakeUpIsSentEveryTickUntilTheDeviceConnects) {
    Harness h;
    h.session.OnEkard();
    h.SilentTick();
    h.SilentTick();
    EXPECT_EQ(h.link.writes, 2);
    EXPECT_EQ(std::string(h.link.written.begin(), h.link.written.begin() + 11), "BTConnect\n\r");
    h.Tick(Bytes{'C', 'O', 'N', 'N', 'E', 'C', 'T', 'I', 'O', 'N'});
    EXPECT_EQ(h.session.m_bConnected, 1);
    const int writes = h.link.writes;
    h.SilentTick();
    EXPECT_EQ(h.link.writes, writes);
}

TEST(Decoder, FirstNineChunksWithInputAreDroppedAndSyncNeedsTwentyTwoBytesBeforeAMarker) {
    Harness h;
    h.session.OnEkard();
    const Bytes synced = Concat({Bytes(22, 0x11), Frame(PointFor(1), 1)});
    for (int i = 0; i < 9; ++i) {
        h.SilentTick(); // silent ticks do not count towards the warm-up
        h.Tick(synced);
    }
    EXPECT_EQ(h.session.m_nReceived, 0);
    EXPECT_EQ(h.session.m_bConnected, 0) << "a marker in a dropped chunk does not connect";

    // A frame at the very start of a chunk cannot be trusted before the decoder is in step.
    h.Tick(Concat({Frame(PointFor(2), 2), Bytes(3, 0x11)}));
    EXPECT_EQ(h.session.m_nReceived, 0);
    EXPECT_EQ(h.session.m_bConnected, 1) << "any 0x7E after the warm-up connects";
    EXPECT_EQ(h.session.m_bSynced, 0);

    h.Tick(synced);
    EXPECT_EQ(h.session.m_nReceived, 1);
    EXPECT_EQ(h.session.m_bSynced, 1);
    EXPECT_EQ(h.Stored(1), Lanes(PointFor(1)));
}

// Splits a stream of record frames at `cut` bytes into the second frame and checks that the
// carry completes the frame that straddles the chunks, or loses the one whose marker was cut.
void SplitAt(int offsetInFrame, int expectCarry, int firstStoredAfter) {
    Harness h;
    h.StartSynced();
    const Bytes stream = Concat({Frame(PointFor(10), 10), Frame(PointFor(11), 11),
                                 Frame(PointFor(12), 12), Frame(PointFor(13), 13)});
    const int cut = 22 + offsetInFrame;
    h.Tick(Bytes(stream.begin(), stream.begin() + cut));
    EXPECT_EQ(h.session.m_nCarry, expectCarry) << "cut at " << offsetInFrame;
    h.Tick(Bytes(stream.begin() + cut, stream.end()));
    for (int x = 10; x <= 13; ++x) {
        const bool expected = x == 10 || x >= firstStoredAfter;
        EXPECT_EQ(h.session.m_seen[x], expected ? 1 : 0) << "point " << x << " cut " << cut;
        if (expected) {
            EXPECT_EQ(h.Stored(x), Lanes(PointFor(x)));
        }
    }
}

TEST(Decoder, CarryJoinsFramesSplitAnywhereAndMinusOneOrTwoLosesTheCutMarkersFrame) {
    SplitAt(0, 0, 11);   // the chunk ended with a marker: nothing carried
    SplitAt(1, 1, 11);   // one payload byte carried
    SplitAt(18, 18, 11); // payload carried, checksum in the next chunk
    SplitAt(19, 19, 11); // payload and checksum carried: next chunk's marker at 0
    // The chunk ended inside frame 11's marker: that frame is lost and frame 12 is joined
    // from the marker's rest and the next bytes (its marker at position 21, then 20).
    SplitAt(20, -2, 12);
    SplitAt(21, -1, 12);
}

TEST(Decoder, MarkerEndingTheChunkCarriesNothingAndNextFrameDecodesInChunk) {
    Harness h;
    h.StartSynced();
    h.session.m_nCarry = 5; // a stale carry must not survive a chunk that ends with a marker
    h.Tick(Frame(PointFor(3), 3));
    h.Tick(Concat({Bytes(22, 0), Frame(PointFor(4), 4)}));
    EXPECT_EQ(h.session.m_nCarry, 0);
    h.Tick(Frame(PointFor(5), 5)); // marker at position 19, in-chunk
    EXPECT_EQ(h.session.m_seen[5], 1);
    EXPECT_EQ(h.Stored(5), Lanes(PointFor(5)));
}

TEST(Decoder, BadChecksumAndOutOfRangeIndexCostOnlyTheirFrame) {
    Harness h;
    h.StartSynced();
    Bytes bad = Frame(PointFor(7), 7);
    bad[18] = uint8_t(bad[18] + 1);
    Bytes tooFar = Frame(PointFor(8), 4096);
    Bytes wrongMarker = Frame(PointFor(9), 9);
    wrongMarker[21] = 0x38;
    h.Tick(Concat({bad, tooFar, wrongMarker, Frame(PointFor(6), 6)}));
    EXPECT_EQ(h.session.m_seen[7], 0);
    EXPECT_EQ(h.session.m_seen[9], 0);
    EXPECT_EQ(h.session.m_seen[6], 1);
    EXPECT_EQ(h.session.m_nReceived, 1);
    h.Tick(Frame(PointFor(7), 7)); // the device sends the point again
    EXPECT_EQ(h.session.m_nReceived, 2);
    EXPECT_EQ(h.Stored(7), Lanes(PointFor(7)));
}

TEST(Decoder, RepeatedRecordPointKeepsItsFirstValuesAndCountsOnce) {
    Harness h;
    h.StartSynced();
    h.Tick(Concat({Frame(PointFor(100), 42), Frame(PointFor(200), 42)}));
    EXPECT_EQ(h.session.m_nReceived, 1);
    EXPECT_EQ(h.Stored(42), Lanes(PointFor(100)));
    EXPECT_EQ(h.display.progress, 1);
}

TEST(Decoder, LivePointAbandonsAPartlyReceivedRecord) {
    Harness h;
    h.StartSynced();
    Bytes chunk;
    for (int x = 0; x < 4000; ++x) {
        const Bytes f = Frame(PointFor(x), x);
        chunk.insert(chunk.end(), f.begin(), f.end());
        if (chunk.size() >= 90 * 22 || x == 3999) { // whole frames: no marker cut by a tick
            h.Tick(chunk);
            chunk.clear();
        }
    }
    EXPECT_EQ(h.session.m_nReceived, 4000);
    EXPECT_EQ(h.session.m_nRingPos, 0);
    h.Tick(Frame(PointFor(1), -5));
    EXPECT_EQ(h.session.m_nReceived, 0);
    EXPECT_EQ(h.session.m_bMonitoring, 1);
    h.Tick(Frame(PointFor(3), 3));
    EXPECT_EQ(h.session.m_nReceived, 1) << "the abandoned points must be received again";
}

TEST(Decoder, LiveRingWrapsAfter4096PointsAndDrawsOnlyNewPoints) {
    Harness h;
    h.StartSynced(); // one live point at ring position 0
    EXPECT_EQ(h.session.m_nRingPos, 1);
    Bytes chunk;
    for (int n = 1; n <= 4096; ++n) {
        const Bytes f = Frame(PointFor(n), int16_t(-1 - n % 100));
        chunk.insert(chunk.end(), f.begin(), f.end());
        if (chunk.size() >= 2000 || n == 4096) {
            const int before = h.display.monitor;
            h.Tick(chunk);
            EXPECT_EQ(h.display.monitor, before + 1);
            EXPECT_EQ(h.session.m_nNewPoints, int(chunk.size() / 22));
            chunk.clear();
        }
    }
    EXPECT_EQ(h.session.m_bRingWrapped, 1);
    EXPECT_EQ(h.session.m_nRingPos, 1);
    EXPECT_EQ(h.Stored(0), Lanes(PointFor(4096)));
    EXPECT_EQ(h.Stored(1), Lanes(PointFor(1)));
}

TEST(Decoder, RegistersSetTheDeviceValues) {
    Harness h;
    h.StartSynced(); // live: the record number reads as all ones
    auto reg = [&](uint8_t r, uint8_t v, int index = 50, bool newFormat = true) {
        h.Tick(Frame(PointFor(0), index, r, v, newFormat));
    };
    reg(17, 0x12, -1);
    EXPECT_EQ(h.session.m_nCurveNo, 0xFFFFFFFFu);

    reg(4, 1, 50, true);
    EXPECT_EQ(h.display.razv, 1);
    EXPECT_EQ(h.session.m_dSpeed, 50.0) << "a running session works at 50 mm/s";
    h.session.m_nTimer = 0; // outside a session the device's speed stands
    h.session.TranslateCountOfReg(4, 1);
    EXPECT_EQ(h.session.m_dSpeed, 10.0);
    h.session.m_bNewFormat = 0;
    h.session.TranslateCountOfReg(4, 1);
    EXPECT_EQ(h.session.m_dSpeed, 50.0);
    h.session.TranslateCountOfReg(4, 2);
    EXPECT_EQ(h.session.m_dSpeed, 25.0);
    h.session.TranslateCountOfReg(4, 9);
    EXPECT_EQ(h.session.m_dSpeed, 25.0);
    h.session.m_nTimer = kTimerId;

    reg(2, 3);
    EXPECT_EQ(h.session.m_nSensitivity, 20);
    reg(2, 4);
    EXPECT_EQ(h.session.m_nSensitivity, 20);

    for (uint8_t r = 13; r <= 16; ++r)
        reg(r, uint8_t(0x78 - (r - 13) * 0x22));
    reg(21, 7);
    EXPECT_EQ(h.session.m_nSerial, 0x12345678u);
    EXPECT_EQ(h.session.m_nSerialHi, 7);
    for (uint8_t r = 17; r <= 20; ++r)
        reg(r, uint8_t(r));
    EXPECT_EQ(h.session.m_nCurveNo, 0x14131211u);

    reg(5, 7);
    reg(6, 1);
    reg(7, 26);
    reg(8, 9);
    reg(9, 5);
    reg(10, 3);
    EXPECT_EQ(h.session.m_stDevice.wYear, 2026);
    EXPECT_EQ(h.session.m_stDevice.wMonth, 1);
    EXPECT_EQ(h.session.m_stDevice.wDay, 7);
    EXPECT_EQ(h.session.m_stDevice.wHour, 9);
    EXPECT_EQ(h.session.m_stDevice.wMinute, 5);
    EXPECT_EQ(h.session.m_nFilter, 3);

    reg(3, 60);
    EXPECT_EQ(h.session.m_nHeartRate, 60);
    reg(11, 0x2C);
    reg(12, 0x01);
    EXPECT_EQ(h.session.m_nHeartRate, 300);
    reg(3, 61);
    EXPECT_EQ(h.session.m_nHeartRate, 300) << "once assembled, the 16-bit rate wins";

    // A second window's session has its own heart-rate assembly.
    Harness other;
    other.StartSynced();
    other.Tick(Frame(PointFor(0), 1, 3, 72));
    EXPECT_EQ(other.session.m_nHeartRate, 72);

    // A new lead system resets the device values and restarts the warm-up.
    reg(1, 3);
    EXPECT_EQ(h.session.m_nLeadSystem, 3);
    EXPECT_EQ(h.session.m_nSerial, 0u);
    EXPECT_EQ(h.session.m_stDevice.wYear, 0);
    EXPECT_EQ(h.session.m_nFilter, 0);
    EXPECT_EQ(h.session.m_nWarmupTicks, 0);
    EXPECT_EQ(h.session.m_nSweepPos[16], 1);
    reg(1, 3); // dropped by the warm-up, and no change anyway
    EXPECT_EQ(h.session.m_nWarmupTicks, 1);
}

TEST(Decoder, DisconnectShowsConnectionLostAndTheWakeUpResumes) {
    Harness h;
    h.StartSynced();
    ASSERT_EQ(h.session.m_bConnected, 1);
    const std::string text = "..DISCONNECT..";
    h.Tick(Bytes(text.begin(), text.end()));
    EXPECT_EQ(h.session.m_bConnected, 0);
    ASSERT_FALSE(h.display.ids.empty());
    EXPECT_EQ(h.display.ids.back(), IDS_CONNECTION_LOST);
    const int writes = h.link.writes;
    h.SilentTick();
    EXPECT_EQ(h.link.writes, writes + 1);
}

} // namespace
