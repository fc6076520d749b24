// Feeds arbitrary bytes to the readers of the statements block the interchange helper is handed
// after the record and card, and of the report block after it. They may not crash or read past the
// bytes; a block they take lies within them, and writes back to a block taken again alike.

#include "storage/statements_block.h"

#include "fuzz_check.h"

#include <string>
#include <vector>

namespace {

void ReportBlock(const uint8_t* data, size_t size) {
    std::vector<uint8_t> pdf;
    size_t used = 0;
    std::string error;
    if (!ReadReportPdfBlock(data, size, pdf, &used, &error)) {
        Check(!error.empty());
        return;
    }
    Check(used <= size && pdf.size() < used);
    const std::string again = WriteReportPdfBlock(pdf.data(), pdf.size());
    std::vector<uint8_t> back;
    size_t usedAgain = 0;
    Check(ReadReportPdfBlock(reinterpret_cast<const uint8_t*>(again.data()), again.size(), back,
                             &usedAgain, &error));
    Check(usedAgain == again.size() && back == pdf);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReportBlock(data, size);
    CFileStatements statements;
    size_t used = 0;
    std::string error;
    if (!ReadStatementsBlock(data, size, statements, &used, &error)) {
        Check(!error.empty());
        return 0;
    }
    Check(used <= size);
    const std::string again = WriteStatementsBlock(statements);
    CFileStatements back;
    size_t usedAgain = 0;
    Check(ReadStatementsBlock(reinterpret_cast<const uint8_t*>(again.data()), again.size(), back,
                              &usedAgain, &error));
    Check(usedAgain == again.size());
    Check(WriteStatementsBlock(back) == again);
    Check(back.m_bConfirmed == statements.m_bConfirmed &&
          back.m_Statements == statements.m_Statements &&
          back.m_strConclusion == statements.m_strConclusion);
    return 0;
}
