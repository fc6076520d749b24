// The simulated cardiograph on a real pseudo-terminal, received through CSerialCom by the
// reception session: the record must hold exactly the simulator's signal.

#include "acquisition/port_links.h"
#include "acquisition/stream_decoder.h"
#include "simulator/pty_simulator.h"

#include <chrono>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <thread>

namespace {

class Ticks : public ITickSource {
public:
    int StartTimer(int) override { return kTimerId; }
    void StopTimer() override {}
};

struct Reception {
    RECORD_INFO info;
    std::unique_ptr<ECG_RECORD> record = std::make_unique<ECG_RECORD>();
    bool complete = false;
};

// Runs the device in a thread and ticks the session every 40 ms until the record is complete
// or the deadline passes.
Reception Receive(CPtySimulator& device, double deadlineSeconds) {
    Reception r;
    std::atomic<bool> stop{false};
    std::thread thread([&] { device.Run(stop); });
    CSerialPortLink link(device.SlavePath());
    Ticks ticks;
    IDisplaySink display;
    CAcquisitionSession session(link, ticks, display);
    session.OnEkard();
    EXPECT_NE(session.m_nTimer, 0) << link.LastError();
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(int(deadlineSeconds * 1000));
    while (session.m_bSessionOn && session.m_nTimer != 0 &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kTimerPeriodMs));
        session.OnTimer(kTimerId);
    }
    r.complete = !session.m_bSessionOn && session.m_bLoaded && session.m_bRecordDone;
    if (session.m_bSessionOn)
        session.OnEkard();
    stop = true;
    thread.join();
    std::memcpy(r.record.get(), session.m_pRecord.get(), sizeof(ECG_RECORD));
    r.info = ReadRecordInfo(r.record->curves_buf);
    return r;
}

void ExpectSimulatorSignal(const Reception& r, const CCardiographSimulator& sim) {
    const auto& want = sim.StoredRecord();
    ASSERT_EQ(want.size(), size_t(kPoints));
    int mismatches = 0;
    for (int p = 0; p < kPoints; ++p)
        for (int lane = 0; lane < kLeads; ++lane)
            if (Sample(*r.record, p, lane) != want[size_t(p)][size_t(lane)] && ++mismatches < 5)
                ADD_FAILURE() << "point " << p << " lane " << lane << ": "
                              << Sample(*r.record, p, lane)
                              << " != " << want[size_t(p)][size_t(lane)];
    EXPECT_EQ(mismatches, 0);
}

TEST(PtyReception, SimulatedRecordArrivesIntactWithTheDeviceStamps) {
    SimulatorOptions o;
    o.dRecordAfter = 1.0;
    o.nLeadSystem = 3;
    o.nSerial = 0x00ABCDEF;
    o.nSerialPrefix = 9;
    o.nRecordNo = 321;
    o.stDevice = SYSTEMTIME{2023, 1, 0, 2, 3, 4, 0, 0};
    CPtySimulator device(o);
    ASSERT_TRUE(device.Open()) << device.LastError();
    const Reception r = Receive(device, 60);
    ASSERT_TRUE(r.complete);
    ExpectSimulatorSignal(r, device.Simulator());
    EXPECT_EQ(r.info.magic, kRecordInfoMagic);
    EXPECT_EQ(r.info.leadSystem, 3u);
    EXPECT_EQ(r.info.serial, 0x00ABCDEFu);
    EXPECT_EQ(r.info.serialHi, 9u);
    EXPECT_EQ(r.info.curveNo, 321u);
    EXPECT_EQ(r.record->device_id, 0x0000000900ABCDEFull);
    EXPECT_EQ(std::string(r.record->date).substr(0, 15), "2023-01-02 03:0");
    EXPECT_EQ(std::string(r.record->date).substr(17), "00");
}

TEST(PtyReception, RecordSurvivesChecksumErrorsAndRepeatedPoints) {
    SimulatorOptions o;
    o.dRecordAfter = 2.0; // well after the warm-up, so no first copy of a point is dropped
    o.dChecksumErrors = 0.05;
    o.dRepeatPoints = 0.05;
    o.nSeed = 7;
    CPtySimulator device(o);
    ASSERT_TRUE(device.Open()) << device.LastError();
    const Reception r = Receive(device, 60);
    ASSERT_TRUE(r.complete);
    EXPECT_GT(device.Simulator().Faults().nChecksumErrors, 0);
    EXPECT_GT(device.Simulator().Faults().nRepeatedPoints, 0);
    ExpectSimulatorSignal(r, device.Simulator());
}

class LinkWatch : public IDisplaySink {
public:
    void DrawIDS(int id) override { lost = lost || id == IDS_CONNECTION_LOST; }
    void ReportLinkDown(const char* text) override { down = text; }
    bool lost = false;
    std::string down;
};

TEST(PtyReception, ADeviceThatVanishesMidRecordIsALostLinkAtOnce) {
    SimulatorOptions o;
    o.dRecordAfter = 0.5;
    auto device = std::make_unique<CPtySimulator>(o);
    ASSERT_TRUE(device->Open()) << device->LastError();
    const std::string path = device->SlavePath();
    std::atomic<bool> stop{false};
    std::thread thread([&] { device->Run(stop); });
    CSerialPortLink link(path);
    Ticks ticks;
    LinkWatch display;
    CAcquisitionSession session(link, ticks, display);
    session.OnEkard();
    ASSERT_NE(session.m_nTimer, 0) << link.LastError();
    const auto tick = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kTimerPeriodMs));
        session.OnTimer(kTimerId);
    };
    for (int i = 0; i < 1500 && session.m_nReceived < 1000; ++i)
        tick();
    ASSERT_GE(session.m_nReceived, 1000) << "the record is coming in";

    // The pseudo-terminal goes away, as a pulled adapter's node does.
    stop = true;
    thread.join();
    device.reset();
    tick();
    tick();
    EXPECT_TRUE(display.lost) << "\"Обрыв связи !\" at once, not after four silent seconds";
    EXPECT_EQ(session.m_bReopening, 1);
    EXPECT_EQ(session.m_bSessionOn, 1);
    EXPECT_NE(display.down.find(path), std::string::npos) << display.down;
    EXPECT_NE(display.down.find("No such file or directory"), std::string::npos) << display.down;
    session.OnEkard();
    EXPECT_EQ(session.m_bSessionOn, 0);
}

} // namespace
