// The per-tick decoder of the cardiograph's stream.

#include "acquisition/stream_decoder.h"

#include "acquisition/acquisition_session.h"
#include "record_model/ecg_record.h"

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

int CAcquisitionSession::ZnaCurve(const uint8_t* payload, int lane) const {
    return ::ZnaCurve(payload, lane, m_nLeadSystem);
}

int CAcquisitionSession::EventComKard() {
    m_bPolling = 1;
    std::memset(m_pRxBuf.get(), 0, kRxBufSize);
    m_nNewPoints = 0;
    m_nRxCount = 0;

    if (m_hCom == -1) {
        TryReopen(); // the link was lost and the port is not back yet
        return 0;
    }
    if (!m_bConnected)
        m_link.Write(reinterpret_cast<const uint8_t*>(kWakeUp), kWakeUpLength); // retried next tick

    // A failing status query or read is a port that has gone (a hung-up pseudo-terminal, a
    // pulled adapter): waiting for it to speak again would wait for ever.
    const int queued = m_link.Queued();
    if (queued < 0) {
        LinkLost(true);
        return 0;
    }
    if (queued == 0) {
        if (++m_nIdleTicks > kIdleTicksLimit)
            LinkLost(false);
        return 0;
    }
    m_nIdleTicks = 0;
    // One read of what is queued, at most 2048 bytes; the rest waits for the next tick.
    const int got = m_link.Read(m_pRxBuf.get(), std::min(queued, kMaxChunk));
    if (got < 0) {
        LinkLost(true);
        return 0;
    }
    m_nRxCount = got;

    if (!m_bConnected) {
        if (cmp_driver_buffer(m_pRxBuf.get(), m_nRxCount, "CONNECTION"))
            m_bConnected = 1;
    } else if (cmp_driver_buffer(m_pRxBuf.get(), m_nRxCount, "DISCONNECT")) {
        m_bConnected = 0;
    }

    // The first ticks with input after a reset only look for the text events.
    if (++m_nWarmupTicks < kWarmupTicks)
        return 0;
    m_nWarmupTicks = kWarmupTicks + 1;

    if (DecodeChunk() == ChunkEnd::Display)
        UpdateDisplay();
    return 0;
}

void CAcquisitionSession::UpdateDisplay() {
    if (!m_bConnected) {
        m_display.DrawIDS(IDS_CONNECTION_LOST);
        return;
    }
    if (m_nReceived > 0 && m_nReceived < kPoints)
        m_display.DrawReceivingProgress();
    if (m_nRingPos != 0 && m_nReceived == 0)
        m_display.DrawMonitoringCurves();
}

CAcquisitionSession::ChunkEnd CAcquisitionSession::DecodeChunk() {
    const uint8_t* buf = m_pRxBuf.get();
    m_nRingPosPrev = m_nRingPos;
    int s = 0;
    for (;;) {
        if (m_nReceived >= kPoints) {
            RecordComplete();
            return ChunkEnd::Quiet;
        }
        m_nSearchFrom = s;
        const void* hit =
            s < m_nRxCount ? std::memchr(buf + s, kMarker0, size_t(m_nRxCount - s)) : nullptr;
        if (!hit)
            break;
        const int i = int(static_cast<const uint8_t*>(hit) - buf);
        m_bConnected = 1;
        // The buffer is cleared every tick and holds at most 2048 bytes of 4096, so the two
        // bytes after a marker cut off by the chunk's end read as 0 and fail here.
        if (!IsMarkerTail(buf[i + 1], buf[i + 2])) {
            s = i + 1;
            continue;
        }
        m_bNewFormat = IsNewFormatMarker(buf[i + 1], buf[i + 2]) ? 1 : 0;

        if (i < kFrameSize && m_nCarry != 0 && m_nCarry + i + 3 == kFrameSize) {
            // The frame straddles the chunk boundary: carried bytes, then this chunk's bytes
            // up to the marker's end. A negative carry is the rest of the previous marker.
            if (m_nCarry > 0) {
                std::memcpy(m_frame, m_carry, size_t(m_nCarry));
                std::memcpy(m_frame + m_nCarry, buf, size_t(i + 3));
            } else {
                std::memcpy(m_frame, buf - m_nCarry, kFrameSize);
            }
            const int16_t index = PointIndex(m_frame);
            if (GetCRC(m_frame, kPayloadSize) != m_frame[kPayloadSize] || index >= kPoints) {
                s = i + 1;
                continue;
            }
            StorePoint(m_frame, index);
            m_nCarry = 0;
            s = i + 1;
            continue;
        }
        if (i < kFrameSize && !m_bSynced) {
            s = i + 1;
            continue;
        }
        if (i < kPayloadSize + 1) {
            s = i + 1;
            continue;
        }
        const uint8_t* payload = buf + i - 19;
        const int16_t index = PointIndex(payload);
        if (GetCRC(payload, kPayloadSize) != buf[i - 1] || index >= kPoints) {
            s = i + 1;
            continue;
        }
        StorePoint(payload, index);
        TranslateCountOfReg(payload[14], payload[15]);
        m_bSynced = 1;
        s = i + 1;
        if (s + 2 >= m_nRxCount) {
            // The chunk ends with this marker: nothing to carry.
            m_nCarry = 0;
            if (m_nReceived >= kPoints) {
                RecordComplete();
                return ChunkEnd::Quiet;
            }
            return ChunkEnd::Display;
        }
        m_nCarry = 0;
    }

    // End of the chunk without a further marker.
    if (!m_bSynced) {
        m_nCarry = 0;
        return ChunkEnd::Quiet;
    }
    // Keep the bytes after the last marker examined: the unfinished next frame, or -1/-2 when
    // the chunk ended inside a marker. A longer tail can never complete a frame.
    m_nCarry = m_nRxCount - m_nSearchFrom - 2;
    if (m_nCarry > 0 && m_nCarry <= kMaxCarry)
        std::memcpy(m_carry, buf + m_nSearchFrom + 2, size_t(m_nCarry));
    return ChunkEnd::Display;
}

void CAcquisitionSession::StorePoint(const uint8_t* payload, int16_t index) {
    int16_t* target;
    if (index >= 0) {
        m_nRingPos = 0;
        m_bMonitoring = 0;
        if (m_seen[index]) {
            m_nFrameIndex = index;
            return; // a repeated point keeps its first value
        }
        m_seen[index] = 1;
        ++m_nReceived;
        target = m_pCurves + index * kLeads;
    } else {
        // A live point abandons any partly received record. The flags can only be set while
        // m_nReceived counts them, so an empty record needs no clearing.
        if (m_nReceived != 0)
            std::memset(m_seen, 0, sizeof m_seen);
        m_bMonitoring = 1;
        m_nReceived = 0;
        if (m_nRingPos >= kPoints) {
            m_nRingPos = 0;
            m_bRingWrapped = 1;
        }
        target = m_pCurves + m_nRingPos * kLeads;
        ++m_nRingPos;
        ++m_nNewPoints;
    }
    UnpackLanes(payload, m_nLeadSystem, target);
    m_nFrameIndex = index;
}

void CAcquisitionSession::RecordComplete() {
    m_pShowCurves = m_pCurves;
    m_display.SetScrollRange(kScrollRangeZoom1);
    m_bLoaded = 1;
    m_bRecordDone = 1;
}

int CAcquisitionSession::TranslateCountOfReg(uint8_t reg, uint8_t value) {
    auto setByte = [value](uint32_t& target, int byte) {
        target = (target & ~(0xFFu << (8 * byte))) | (uint32_t(value) << (8 * byte));
    };
    switch (reg) {
    case 1:
        m_nLeadSystem = value;
        if (m_nLeadSystem != m_nLeadSystemPrev)
            ResetValues();
        m_nLeadSystemPrev = m_nLeadSystem;
        break;
    case 2:
        if (value < 4)
            m_nSensitivity = sensetivityLevels[value];
        break;
    case 3:
        if (chss_temp == 0)
            m_nHeartRate = value;
        break;
    case 4: {
        static const double kNewFormat[] = {10.0, 25.0, 50.0};
        static const double kOldFormat[] = {50.0, 25.0, 10.0};
        if (value >= 1 && value <= 3)
            m_dSpeed = (m_bNewFormat ? kNewFormat : kOldFormat)[value - 1];
        m_display.SetRazv();
        if (m_nTimer != 0) {
            // During a session the working speed is 50 mm/s whatever the device reports.
            m_dSpeed = 50.0;
            m_dZoom = 1.0;
        }
        break;
    }
    case 5:
        m_stDevice.wDay = value;
        break;
    case 6:
        m_stDevice.wMonth = value;
        break;
    case 7:
        m_stDevice.wYear = uint16_t(2000 + value);
        break;
    case 8:
        m_stDevice.wHour = value;
        break;
    case 9:
        m_stDevice.wMinute = value;
        break;
    case 10:
        m_nFilter = value;
        break;
    case 11:
        chss_temp = uint16_t((chss_temp & 0xFF00) | value);
        break;
    case 12:
        chss_temp = uint16_t((chss_temp & 0x00FF) | (value << 8));
        m_nHeartRate = chss_temp;
        break;
    case 13:
    case 14:
    case 15:
    case 16:
        setByte(m_nSerial, reg - 13);
        break;
    case 17:
    case 18:
    case 19:
    case 20:
        if (m_bMonitoring)
            m_nCurveNo = 0xFFFFFFFFu;
        else
            setByte(m_nCurveNo, reg - 17);
        break;
    case 21:
        m_nSerialHi = value;
        break;
    default:
        break; // unknown registers are ignored
    }
    return 0;
}
