// Feeds arbitrary bytes to the reader of the block the interchange helper puts before its signal
// stream. It may not crash or read past the bytes; a block it takes lies within them, writes back
// to a block it takes again and writes alike (the writer's findings too), and fills a card only
// within the card's fields.

#include "storage/file_details.h"

#include "fuzz_check.h"

#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFileDetails details;
    size_t used = 0;
    std::string error;
    if (!ReadFileDetails(data, size, details, &used, &error)) {
        Check(!error.empty());
        return 0;
    }
    Check(used <= size);
    const std::string again = WriteFileDetails(details);
    CFileDetails back;
    size_t usedAgain = 0;
    Check(ReadFileDetails(reinterpret_cast<const uint8_t*>(again.data()), again.size(), back,
                          &usedAgain, &error));
    Check(usedAgain == again.size());
    Check(WriteFileDetails(back) == again);
    Check(back.m_bOurs == details.m_bOurs);
    // The writer's findings come through a rewrite whole: each value, each statement in order.
    const auto rows = FileFindingRows(details.m_Findings),
               rowsBack = FileFindingRows(back.m_Findings);
    for (size_t i = 0; i < rows.size(); ++i)
        Check(rows[i].value == rowsBack[i].value);
    Check(back.m_Statements.m_Statements.size() == details.m_Statements.m_Statements.size());
    Check(back.m_Statements.m_bConfirmed == details.m_Statements.m_bConfirmed);
    PATIENT_CARD card;
    std::memset(&card, 0, sizeof card);
    ApplyCardDetails(details, card);
    Check(card.last_name[sizeof card.last_name - 1] == 0 &&
          card.doctor_name[sizeof card.doctor_name - 1] == 0);
    return 0;
}
