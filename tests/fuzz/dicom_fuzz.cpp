// Feeds arbitrary bytes to the DICOM ECG reader of the interchange helper (DCMTK's parser under
// our reading of the waveform module). It may not crash, hang or read past the waveform data; an
// object it takes must give leads of one length at a real rate, every sample a number, and details
// (the writer's findings among them) that go through the helper's block to the program whole.

#include "interchange/dicom_import.h"

#include "fuzz_check.h"

#include <cmath>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ForeignEcg ecg;
    std::string error;
    CFileDetails details;
    if (!ImportDicom(data, size, 0, ecg, &error, &details)) {
        Check(!error.empty());
        return 0;
    }
    const CEcgSignal& s = ecg.signal;
    Check(s.dRate >= 1 && s.leads.size() == s.names.size() && !s.leads.empty());
    for (const auto& lead : s.leads) {
        Check(lead.size() == s.Length());
        for (float v : lead)
            Check(std::isfinite(v));
    }
    const std::string block = WriteFileDetails(details);
    CFileDetails back;
    size_t used = 0;
    Check(ReadFileDetails(reinterpret_cast<const uint8_t*>(block.data()), block.size(), back, &used,
                          &error) &&
          used == block.size());
    Check(back.m_Statements.m_Statements.size() == details.m_Statements.m_Statements.size());
    const auto rows = FileFindingRows(details.m_Findings),
               rowsBack = FileFindingRows(back.m_Findings);
    for (size_t i = 0; i < rows.size(); ++i)
        Check(rows[i].value == rowsBack[i].value);
    return 0;
}
