#pragma once
// The minimal lower layer protocol over TCP: a message goes between a start byte (0x0B) and the
// end bytes 0x1C 0x0D, and the hospital system answers each with an acknowledgement (ACK) in the
// same framing. A message counts as delivered only on MSA-1 "AA" (or "CA") naming its control id;
// a rejection (AE/AR) with the system's reason, silence past the time-out, a connection closed
// before the answer and an answer that is no acknowledgement are each a failure with its reason.

#include <QByteArray>
#include <functional>
#include <string>

inline constexpr char kMllpStart = 0x0B;
inline constexpr char kMllpEnd1 = 0x1C;
inline constexpr char kMllpEnd2 = 0x0D;
// Above this an answer is no acknowledgement of ours (they are a few hundred bytes).
inline constexpr qsizetype kMaxAckBytes = 1 << 20;

QByteArray MllpFrame(const std::string& message);

enum class MllpState { Incomplete, Complete, Garbage };
// The first frame of buffer: Complete with the message in *message and the frame's length in
// *consumed; Incomplete while its end has not arrived; Garbage (with *error) when the buffer does
// not start a frame or a frame grows past kMaxAckBytes.
MllpState MllpTakeFrame(const QByteArray& buffer, QByteArray* message, qsizetype* consumed,
                        std::string* error);

struct CHl7Ack {
    std::string code;      // MSA-1: AA, AE, AR (CA, CE, CR in enhanced mode)
    std::string controlId; // MSA-2: the message it answers
    std::string text;      // MSA-3, else the ERR segment's text, unescaped
    bool Accepted() const { return code == "AA" || code == "CA"; }
};

// Reads an acknowledgement: false with *error when the text is no HL7 message with an MSH and an
// MSA segment.
bool ParseHl7Ack(const QByteArray& message, CHl7Ack* ack, std::string* error);

// HL7's escapes back to text (\F\ \S\ \T\ \R\ \E\, \.br\ as a line break; others dropped).
std::string Hl7Unescape(const std::string& text);

struct CMllpLink {
    std::string host;
    int port = 0;
    int timeoutSeconds = 30; // for connecting, and again for the answer
    // Asked every tenth of a second while the link waits: true ends the send at once, "cancelled".
    std::function<bool()> cancelled;
};

// Sends one message and reads its acknowledgement. True only when the acknowledgement accepts
// the message with controlId; *ack gets whatever was read, *error names what went wrong and where.
bool SendHl7(const CMllpLink& link, const std::string& message, const std::string& controlId,
             CHl7Ack* ack, std::string* error);
