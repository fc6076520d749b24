// Feeds arbitrary bytes to the reader of the statements block the interchange helper is handed
// after the record and card. It may not crash or read past the bytes; a block it takes lies within
// them, and writes back to a block it takes again and writes alike.

#include "storage/statements_block.h"

#include "fuzz_check.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
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
