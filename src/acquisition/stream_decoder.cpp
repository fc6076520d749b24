// The per-tick decoder of the cardiograph's stream.

#include "acquisition/stream_decoder.h"

#include "acquisition/display_sink.h"
#include "record_model/ecg_record.h"
#include "record_model/session_state.h"

#include <algorithm>
#include <cstring>

const int sensetivityLevels[8] = {2, 5, 10, 20, 50, 100, 200, 0};

int cmp_driver_buffer(const uint8_t* chunk, int length, const char* word) {
    constexpr int kWordLength = 10;
    if (length <= 0)
        return 0;
    const auto* first = static_cast<const uint8_t*>(std::memchr(chunk, word[0], size_t(length)));
    if (!first)
        return 0;
    const int start = int(first - chunk);
    int count = 0;
    while (count < kWordLength && start + count < length &&
           chunk[start + count] == uint8_t(word[count]))
        ++count;
    return count >= kWordLength ? 1 : 0;
}

uint8_t GetCRC(const uint8_t* bytes, int count) {
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += bytes[i];
    return uint8_t(sum);
}

namespace {

// A 12-bit channel: signed high byte (bits 11-4) and a nibble (bits 3-0).
inline int Channel(uint8_t high, unsigned nibble) {
    return int(int8_t(high)) * 16 + int(nibble);
}
inline unsigned HighNibble(uint8_t b) {
    return b >> 4;
}
inline unsigned LowNibble(uint8_t b) {
    return b & 0x0F;
}

} // namespace

void UnpackLanes(const uint8_t* p, int leadSystem, int16_t* lanes) {
    const int I = Channel(p[0], HighNibble(p[3]));
    const int II = Channel(p[1], LowNibble(p[3]));
    const int III = Channel(p[2], HighNibble(p[4]));
    lanes[0] = int16_t(I);
    lanes[1] = int16_t(II);
    lanes[2] = int16_t(III);
    // Lead system 3 transmits lane 3 itself, on the V4 channel.
    lanes[3] = int16_t(leadSystem == 3 ? Channel(p[9], LowNibble(p[12])) : -(I + II) / 2);
    lanes[4] = int16_t((I - III) / 2);
    lanes[5] = int16_t((II + III) / 2);
    lanes[6] = int16_t(Channel(p[6], HighNibble(p[5])));
    lanes[7] = int16_t(Channel(p[7], LowNibble(p[5])));
    lanes[8] = int16_t(Channel(p[8], HighNibble(p[12])));
    lanes[9] = int16_t(Channel(p[9], LowNibble(p[12])));
    lanes[10] = int16_t(Channel(p[10], HighNibble(p[13])));
    lanes[11] = int16_t(Channel(p[11], LowNibble(p[13])));
}

int ZnaCurve(const uint8_t* payload, int lane, int leadSystem) {
    if (lane < 0 || lane >= kLeads)
        return 0;
    int16_t lanes[kLeads];
    UnpackLanes(payload, leadSystem, lanes);
    return lanes[lane];
}

namespace {

void StorePoint(CSessionState& s, const uint8_t* payload, int16_t index) {
    int16_t* target;
    if (index >= 0) {
        s.m_nRingPos = 0;
        s.m_bMonitoring = 0;
        if (s.m_seen[index]) {
            s.m_nFrameIndex = index;
            return; // a repeated point keeps its first value
        }
        s.m_seen[index] = 1;
        ++s.m_nReceived;
        target = s.m_pCurves + index * kLeads;
    } else {
        // A live point abandons any partly received record. The flags can only be set while
        // s.m_nReceived counts them, so an empty record needs no clearing.
        if (s.m_nReceived != 0)
            std::memset(s.m_seen, 0, sizeof s.m_seen);
        s.m_bMonitoring = 1;
        s.m_nReceived = 0;
        if (s.m_nRingPos >= kPoints) {
            s.m_nRingPos = 0;
            s.m_bRingWrapped = 1;
        }
        target = s.m_pCurves + s.m_nRingPos * kLeads;
        ++s.m_nRingPos;
        ++s.m_nNewPoints;
    }
    UnpackLanes(payload, s.m_nLeadSystem, target);
    s.m_nFrameIndex = index;
}

void RecordComplete(CSessionState& s, IDisplaySink& display) {
    s.m_pShowCurves = s.m_pCurves;
    display.SetScrollRange(kScrollRangeZoom1);
    s.m_bLoaded = 1;
    s.m_bRecordDone = 1;
}

} // namespace

ChunkEnd DecodeChunk(CSessionState& s, IDisplaySink& display) {
    const uint8_t* buf = s.m_pRxBuf.get();
    s.m_nRingPosPrev = s.m_nRingPos;
    int from = 0;
    for (;;) {
        if (s.m_nReceived >= kPoints) {
            RecordComplete(s, display);
            return ChunkEnd::Quiet;
        }
        s.m_nSearchFrom = from;
        const void* hit = from < s.m_nRxCount
                              ? std::memchr(buf + from, kMarker0, size_t(s.m_nRxCount - from))
                              : nullptr;
        if (!hit)
            break;
        const int i = int(static_cast<const uint8_t*>(hit) - buf);
        s.m_bConnected = 1;
        // The buffer is cleared every tick and holds at most 2048 bytes of 4096, so the two
        // bytes after a marker cut off by the chunk's end read as 0 and fail here.
        if (!IsMarkerTail(buf[i + 1], buf[i + 2])) {
            from = i + 1;
            continue;
        }
        s.m_bNewFormat = IsNewFormatMarker(buf[i + 1], buf[i + 2]) ? 1 : 0;

        if (i < kFrameSize && s.m_nCarry != 0 && s.m_nCarry + i + 3 == kFrameSize) {
            // The frame straddles the chunk boundary: carried bytes, then this chunk's bytes
            // up to the marker's end. A negative carry is the rest of the previous marker.
            if (s.m_nCarry > 0) {
                std::memcpy(s.m_frame, s.m_carry, size_t(s.m_nCarry));
                std::memcpy(s.m_frame + s.m_nCarry, buf, size_t(i + 3));
            } else {
                std::memcpy(s.m_frame, buf - s.m_nCarry, kFrameSize);
            }
            const int16_t index = PointIndex(s.m_frame);
            if (GetCRC(s.m_frame, kPayloadSize) != s.m_frame[kPayloadSize] || index >= kPoints) {
                from = i + 1;
                continue;
            }
            StorePoint(s, s.m_frame, index);
            s.m_nCarry = 0;
            from = i + 1;
            continue;
        }
        if (i < kFrameSize && !s.m_bSynced) {
            from = i + 1;
            continue;
        }
        if (i < kPayloadSize + 1) {
            from = i + 1;
            continue;
        }
        const uint8_t* payload = buf + i - 19;
        const int16_t index = PointIndex(payload);
        if (GetCRC(payload, kPayloadSize) != buf[i - 1] || index >= kPoints) {
            from = i + 1;
            continue;
        }
        StorePoint(s, payload, index);
        TranslateCountOfReg(s, display, payload[14], payload[15]);
        s.m_bSynced = 1;
        from = i + 1;
        if (from + 2 >= s.m_nRxCount) {
            // The chunk ends with this marker: nothing to carry.
            s.m_nCarry = 0;
            if (s.m_nReceived >= kPoints) {
                RecordComplete(s, display);
                return ChunkEnd::Quiet;
            }
            return ChunkEnd::Display;
        }
        s.m_nCarry = 0;
    }

    // End of the chunk without a further marker.
    if (!s.m_bSynced) {
        s.m_nCarry = 0;
        return ChunkEnd::Quiet;
    }
    // Keep the bytes after the last marker examined: the unfinished next frame, or -1/-2 when
    // the chunk ended inside a marker. A longer tail can never complete a frame.
    s.m_nCarry = s.m_nRxCount - s.m_nSearchFrom - 2;
    if (s.m_nCarry > 0 && s.m_nCarry <= kMaxCarry)
        std::memcpy(s.m_carry, buf + s.m_nSearchFrom + 2, size_t(s.m_nCarry));
    return ChunkEnd::Display;
}

int TranslateCountOfReg(CSessionState& s, IDisplaySink& display, uint8_t reg, uint8_t value) {
    auto setByte = [value](uint32_t& target, int byte) {
        target = (target & ~(0xFFu << (8 * byte))) | (uint32_t(value) << (8 * byte));
    };
    switch (reg) {
    case 1:
        s.m_nLeadSystem = value;
        if (s.m_nLeadSystem != s.m_nLeadSystemPrev)
            s.ResetValues();
        s.m_nLeadSystemPrev = s.m_nLeadSystem;
        break;
    case 2:
        if (value < 4)
            s.m_nSensitivity = sensetivityLevels[value];
        break;
    case 3:
        if (s.chss_temp == 0)
            s.m_nHeartRate = value;
        break;
    case 4: {
        static const double kNewFormat[] = {10.0, 25.0, 50.0};
        static const double kOldFormat[] = {50.0, 25.0, 10.0};
        if (value >= 1 && value <= 3)
            s.m_dSpeed = (s.m_bNewFormat ? kNewFormat : kOldFormat)[value - 1];
        display.SetRazv();
        if (s.m_nTimer != 0) {
            // During a session the working speed is 50 mm/s whatever the device reports.
            s.m_dSpeed = 50.0;
            s.m_dZoom = 1.0;
        }
        break;
    }
    case 5:
        s.m_stDevice.wDay = value;
        break;
    case 6:
        s.m_stDevice.wMonth = value;
        break;
    case 7:
        s.m_stDevice.wYear = uint16_t(2000 + value);
        break;
    case 8:
        s.m_stDevice.wHour = value;
        break;
    case 9:
        s.m_stDevice.wMinute = value;
        break;
    case 10:
        s.m_nFilter = value;
        break;
    case 11:
        s.chss_temp = uint16_t((s.chss_temp & 0xFF00) | value);
        break;
    case 12:
        s.chss_temp = uint16_t((s.chss_temp & 0x00FF) | (value << 8));
        s.m_nHeartRate = s.chss_temp;
        break;
    case 13:
    case 14:
    case 15:
    case 16:
        setByte(s.m_nSerial, reg - 13);
        break;
    case 17:
    case 18:
    case 19:
    case 20:
        if (s.m_bMonitoring)
            s.m_nCurveNo = 0xFFFFFFFFu;
        else
            setByte(s.m_nCurveNo, reg - 17);
        break;
    case 21:
        s.m_nSerialHi = value;
        break;
    default:
        break; // unknown registers are ignored
    }
    return 0;
}
