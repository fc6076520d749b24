// Feeds arbitrary chunk sequences to a running reception session. Each chunk is a 2-byte length
// (at most 2048 taken) and that many bytes; a zero length is a silent tick. The decoder must never
// crash or read out of bounds, and the record's invariants must hold after every tick.

#include "acquisition/acquisition_session.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

class ChunkLink : public ISerialLink {
public:
    int Open(int) override { return 3; }
    void Close() override {}
    int Write(const uint8_t*, int len) override { return len; }
    int Queued() override { return int(chunk.size()); }
    int Read(uint8_t* data, int max) override {
        const int n = std::min<int>(max, int(chunk.size()));
        std::memcpy(data, chunk.data(), size_t(n));
        chunk.erase(chunk.begin(), chunk.begin() + n);
        return n;
    }
    std::vector<uint8_t> chunk;
};

class Ticker : public ITickSource {
public:
    int StartTimer(int) override { return 1; }
    void StopTimer() override {}
};

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ChunkLink link;
    Ticker timer;
    IDisplaySink display;
    CAcquisitionSession session(link, timer, display);
    session.OnEkard();
    // Past the warm-up quickly so that the decoder sees the input.
    session.m_nWarmupTicks = 10;

    size_t pos = 0;
    while (pos + 2 <= size) {
        const size_t len =
            std::min<size_t>(size_t(data[pos] | data[pos + 1] << 8) % 2500, size - pos - 2);
        link.chunk.assign(data + pos + 2, data + pos + 2 + len);
        pos += 2 + len;
        session.OnTimer(kTimerId);
        Check(session.m_nReceived >= 0 && session.m_nReceived <= kPoints);
        Check(session.m_nRingPos >= 0 && session.m_nRingPos < kPoints + 1);
        Check(session.m_nCarry >= -2 && session.m_nCarry <= kMaxChunk);
        Check(session.m_nRxCount <= kMaxChunk);
        if (!session.m_bSessionOn)
            session.OnEkard(); // a completed record: start again
    }
    return 0;
}
