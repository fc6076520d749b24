#pragma once
// The cardiograph's stream format: 22-byte frames (18-byte payload, checksum, 3-byte marker
// 0x7E 0x81|0x82 0x36|0x37) and the text events "CONNECTION" and "DISCONNECT", and the decoding of
// one tick's chunk into the session state. The reception's tick (CAcquisitionSession::
// EventComKard) reads the port and hands the chunk here; the decoder knows no port.

#include <cstdint>

class CSessionState;
class IDisplaySink;

constexpr uint8_t kMarker0 = 0x7E;
constexpr int kPayloadSize = 18;
constexpr char kWakeUp[] = "BTConnect\n\r"; // 11 bytes, sent while the link is down
constexpr int kWakeUpLength = 11;
constexpr int kScrollRangeZoom1 = 2013; // the chart's scroll range of a record at zoom 1

// Resource identifiers of the status texts the decoder and the session show.
constexpr int IDS_PROCESSING = 139;      // "Обработка данных"
constexpr int IDS_CONNECTION_LOST = 140; // "Обрыв связи !"

// 1 when the 10-character word starts at the first byte of the chunk equal to its first letter
// (only that first occurrence is tried), else 0.
int cmp_driver_buffer(const uint8_t* chunk, int length, const char* word);

// 8-bit sum of `count` bytes.
uint8_t GetCRC(const uint8_t* bytes, int count);

// Value of lane 0-11 unpacked from an 18-byte payload; other lanes give 0. Lane 3 is the
// transmitted V4 channel in lead system 3 and -(I + II) / 2 otherwise.
int ZnaCurve(const uint8_t* payload, int lane, int leadSystem);
// All twelve lanes of a payload at once (the decoder's hot path).
void UnpackLanes(const uint8_t* payload, int leadSystem, int16_t* lanes);

// Whether bytes b1, b2 after a 0x7E complete a marker, and whether it is the new format.
inline bool IsMarkerTail(uint8_t b1, uint8_t b2) {
    return (b1 == 0x81 || b1 == 0x82) && (b2 == 0x36 || b2 == 0x37);
}
inline bool IsNewFormatMarker(uint8_t b1, uint8_t b2) {
    return b1 == 0x82 && b2 == 0x37;
}

// Point index of a payload (p16 high, p17 low; negative = live point).
inline int16_t PointIndex(const uint8_t* payload) {
    return int16_t(uint16_t(payload[16] << 8 | payload[17]));
}

// The four sensitivity levels register 2 selects among (the table holds more).
extern const int sensetivityLevels[8];

// What a decoded chunk asks of the display: the new points drawn, or nothing (no frame yet, or
// the record has just been completed).
enum class ChunkEnd { Display, Quiet };

// Decodes the chunk the tick read (s.m_pRxBuf, s.m_nRxCount) with the bytes carried from the
// last one: record points go to their index, live points into the ring, registers into the
// device values; a frame split between chunks is completed from the carry.
ChunkEnd DecodeChunk(CSessionState& s, IDisplaySink& display);

// Applies one register pair from the device to the session state.
int TranslateCountOfReg(CSessionState& s, IDisplaySink& display, uint8_t reg, uint8_t value);
