// Feeds arbitrary bytes to the SCP-ECG reader, once as they are and once with their length and CRCs
// made right (random bytes almost never pass the CRCs, and the parsing behind them is what needs
// the pounding), and to the reader of its statements. The readers must never crash or read out of
// bounds; a file it takes must give a record and card of the shape the rest of the program relies
// on, and a refused one must leave both cleared with a reason.

#include "storage/scp_file.h"
#include "storage/scp_reader.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

template <class T> bool AllZero(const T& v) {
    const auto* p = reinterpret_cast<const uint8_t*>(&v);
    for (size_t i = 0; i < sizeof v; ++i)
        if (p[i] != 0)
            return false;
    return true;
}

template <size_t N> bool Terminated(const char (&text)[N]) {
    return std::memchr(text, 0, N) != nullptr;
}

void Put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

// The file length, every present section's CRC, then the file's, over the bytes as they are.
void FixCrcs(std::vector<uint8_t>& file) {
    if (file.size() < 6)
        return;
    for (int i = 0; i < 4; ++i)
        file[2 + size_t(i)] = uint8_t(file.size() >> (8 * i));
    std::vector<ScpSectionPointer> table;
    if (!ReadScpSectionTable(file, table, nullptr))
        return;
    for (const ScpSectionPointer& p : table) {
        if (p.nLength > 0) {
            uint8_t* s = &file[p.nIndex - 1];
            Put16(s, ScpCrc(s + 2, p.nLength - 2));
        }
    }
    uint8_t* s0 = &file[6];
    const uint32_t s0Length = uint32_t(s0[4] | s0[5] << 8 | s0[6] << 16 | uint32_t(s0[7]) << 24);
    Put16(s0, ScpCrc(s0 + 2, s0Length - 2));
    Put16(file.data(), ScpCrc(file.data() + 2, file.size() - 2));
}

// Section 8 of any file: at most the 255 statements its count byte can say, each a text read
// up to the section's end; a refusal says why.
void ReadStatementsAndCheck(const uint8_t* data, size_t size) {
    CFileStatements statements;
    std::string error;
    const bool ok = ReadScpStatements(data, size, statements, &error);
    Check(ok ? error.empty() : !error.empty());
    Check(statements.m_Statements.size() <= 255 && statements.m_strHeading.empty());
    for (const std::string& s : statements.m_Statements)
        Check(s.size() <= 3 * size); // a Windows-1251 byte is at most three bytes of UTF-8
}

void ReadAndCheck(const uint8_t* data, size_t size) {
    ReadStatementsAndCheck(data, size);
    static auto record = std::make_unique<ECG_RECORD>();
    static PATIENT_CARD card;
    std::string error;
    if (!ReadScpRecord(data, size, *record, card, &error)) {
        Check(!error.empty() && AllZero(*record) && AllZero(card));
        return;
    }
    Check(error.empty());
    const RECORD_INFO info = ReadRecordInfo(record->curves_buf);
    Check(info.magic == kRecordInfoMagic);
    Check(info.leadSystem >= 1 && info.leadSystem <= 3);
    Check(info.points == uint32_t(kPoints));
    Check(info.serialHi <= 0xFF &&
          DeviceId(info.serial, uint8_t(info.serialHi)) == record->device_id);
    Check(record->patient_id == 0xFFFFFFFFu && record->record_id == 0);
    Check(std::strlen(record->date) == 19 && record->date[4] == '-' && record->date[13] == ':');
    Check(record->source[0] == 0 && record->notes[0] == 0);
    // Lanes beyond the lead system's channels stay empty.
    const int channels = info.leadSystem == 1 ? 12 : info.leadSystem == 2 ? 3 : 4;
    for (int j = 0; j < kPoints; ++j)
        for (int k = channels; k < kLeads; ++k)
            Check(Sample(*record, j, k) == 0);
    Check(Terminated(card.last_name) && Terminated(card.first_name) &&
          Terminated(card.patronymic) && Terminated(card.postal_code) && Terminated(card.region) &&
          Terminated(card.district) && Terminated(card.locality) && Terminated(card.street) &&
          Terminated(card.house));
    Check(card.sex <= 1 && card.doctor_name[0] == 0 && card.doctor_phone[0] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ReadAndCheck(data, size);
    std::vector<uint8_t> fixed(data, data + size);
    FixCrcs(fixed);
    ReadAndCheck(fixed.data(), fixed.size());
    return 0;
}
