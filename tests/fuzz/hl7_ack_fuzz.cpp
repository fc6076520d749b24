// What a hospital system answers over MLLP: the frame reader and the acknowledgement reader take
// any bytes. The input is the bytes as they arrive.
//
// Invariants:
// - a complete frame is the bytes between the start byte and the first 0x1C, and what it consumed
//   is that frame and its two end bytes, no more than arrived;
// - an incomplete frame stays incomplete for every shorter beginning of it (the reader never
//   takes a frame before its end has arrived);
// - an acknowledgement that parses has a code, and it is accepted only for AA or CA;
// - any text escaped for a message reads back the same (line breaks as LF).

#include "fuzz_check.h"
#include "hl7/hl7_message.h"
#include "hl7/mllp.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));
    QByteArray message;
    qsizetype consumed = 0;
    std::string error;
    const MllpState state = MllpTakeFrame(in, &message, &consumed, &error);
    if (state == MllpState::Complete) {
        Check(consumed >= 3 && consumed <= in.size());
        Check(in[0] == kMllpStart && in[consumed - 2] == kMllpEnd1 &&
              in[consumed - 1] == kMllpEnd2);
        Check(message == in.mid(1, consumed - 3) && !message.contains(kMllpEnd1));
        QByteArray shorter;
        qsizetype n = 0;
        Check(MllpTakeFrame(in.left(consumed - 1), &shorter, &n, &error) == MllpState::Incomplete);
    } else if (state == MllpState::Garbage) {
        Check(!error.empty());
    }

    CHl7Ack ack;
    if (ParseHl7Ack(state == MllpState::Complete ? message : in, &ack, &error))
        Check(!ack.code.empty() && ack.Accepted() == (ack.code == "AA" || ack.code == "CA"));

    std::string text(in.constData(), size_t(in.size()));
    std::string expected;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        expected += text[i] == '\r' ? '\n' : text[i];
    }
    Check(Hl7Unescape(Hl7Escape(text)) == expected);
    return 0;
}
