// A capture file from outside (one a user sends us of a misbehaving cardiograph): the parser must
// refuse a bad one with a message naming the tick, keep every byte of a good one, and a replay of
// it, run as `velmora-cli replay` runs it, must end after at most one timer tick per captured tick
// with the decoder's invariants holding after every tick.

#include "acquisition/port_links.h"

#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>

namespace {

class Ticker : public ITickSource {
public:
    int StartTimer(int) override { return kTimerId; }
    void StopTimer() override {}
};

void Check(bool ok) {
    if (!ok)
        std::abort();
}

// What a replay hands the session, written back as a capture: it must be the input itself.
std::vector<uint8_t> Replayed(CReplayLink& link) {
    std::vector<uint8_t> out;
    std::vector<uint8_t> buf(kMaxChunk);
    while (!link.AtEnd()) {
        const int queued = link.Queued();
        Check(queued >= 0 && queued <= kMaxChunk);
        int got = 0;
        if (queued > 0) {
            got = link.Read(buf.data(), kMaxChunk);
            Check(got == queued);
        }
        const uint32_t len = uint32_t(got);
        const uint8_t header[4] = {uint8_t(len), uint8_t(len >> 8), uint8_t(len >> 16),
                                   uint8_t(len >> 24)};
        out.insert(out.end(), header, header + 4);
        out.insert(out.end(), buf.begin(), buf.begin() + got);
    }
    Check(link.Queued() == 0);
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    std::string error;
    CReplayLink check;
    if (!check.Parse(bytes, &error)) {
        Check(error.rfind("tick ", 0) == 0 && error.find(" at offset ") != std::string::npos);
        Check(check.AtEnd() && check.Ticks() == 0);
        return 0;
    }
    Check(error.empty());
    const size_t ticks = check.Ticks();
    const std::vector<uint8_t> back = Replayed(check);
    Check(back.size() == size && (size == 0 || std::memcmp(back.data(), data, size) == 0));

    CReplayLink replay;
    Check(replay.Parse(bytes, nullptr) && replay.Ticks() == ticks);
    Ticker timer;
    IDisplaySink display;
    CAcquisitionSession session(replay, timer, display);
    session.OnEkard();
    size_t timerTicks = 0;
    while (session.m_bSessionOn && !replay.AtEnd()) {
        session.OnTimer(kTimerId);
        // Every tick of a running session uses up one captured tick, so a replay always ends.
        Check(++timerTicks <= ticks);
        Check(session.m_nReceived >= 0 && session.m_nReceived <= kPoints);
        Check(session.m_nRingPos >= 0 && session.m_nRingPos < kPoints + 1);
        Check(session.m_nCarry >= -2 && session.m_nCarry <= kMaxChunk);
        Check(session.m_nRxCount >= 0 && session.m_nRxCount <= kMaxChunk);
    }
    if (session.m_bSessionOn)
        session.OnEkard(); // the capture ended first: kept as a stop
    Check(!session.m_bSessionOn && session.m_nTimer == 0);
    Check(std::memchr(session.m_pRecord->date, 0, sizeof session.m_pRecord->date) != nullptr);
    return 0;
}
