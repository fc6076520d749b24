// Feeds arbitrary bytes to the SCP-ECG readers (record, signal, statements, measurements), once as
// they are, once with their length and CRCs made right (random bytes almost never pass the CRCs,
// and the parsing behind them is what needs the pounding), and once as the coded sections of a
// well-framed file. The readers must never crash or read out of
// bounds; a file it takes must give a record and card of the shape the rest of the program relies
// on, and a refused one must leave both cleared with a reason.

#include "storage/scp_coded_file.h"
#include "storage/scp_file.h"
#include "storage/scp_reader.h"
#include "storage/scp_signal.h"

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

// Any file's signal: leads of one length, a rate, names; a refusal says why and leaves nothing.
// The measurements: at most the leads Section 10's bytes can hold.
void ReadSignalAndCheck(const uint8_t* data, size_t size) {
    CEcgSignal signal;
    std::string error;
    if (!ReadScpSignal(data, size, signal, &error)) {
        Check(!error.empty() && signal.leads.empty());
    } else {
        Check(signal.dRate > 0 && !signal.leads.empty() && signal.leads.size() <= 255 + 4);
        Check(signal.names.size() == signal.leads.size() &&
              signal.present.size() == signal.leads.size());
        for (const std::vector<float>& lead : signal.leads)
            Check(lead.size() == signal.Length() && lead.size() > 0);
    }
    CScpMeasurements m;
    if (!ReadScpMeasurements(data, size, m, &error))
        Check(!error.empty());
    Check(m.m_Leads.size() * 4 <= size);
}

// The input as the coded sections of a well-framed file, so that the decoding behind the CRCs
// gets the pounding: the first byte picks which of Sections 2-6 the rest fills (split at the
// next bytes), the others come from the structure of an 8-lead Huffman-coded file.
std::vector<uint8_t> StructuredFile(const uint8_t* data, size_t size) {
    using namespace scp_coded;
    if (size < 3)
        return {};
    std::vector<int> wave(300);
    for (size_t i = 0; i < wave.size(); ++i)
        wave[i] = int(i % 50) * 3 - 60;
    std::vector<Bytes> streams(8, DefaultCoded(Differences(wave, 2)));
    std::vector<CLeadDef> leads;
    for (uint8_t k = 1; k <= 8; ++k)
        leads.push_back({k, 1, 300});
    std::map<uint16_t, Bytes> sections = {{2, DefaultTableSection()},
                                          {3, Section3(leads, 0x44)},
                                          {6, CodedSection(5000, 2000, 2, 0, streams)}};
    const uint8_t pick = data[0];
    const size_t half = 3 + (size - 3) * data[1] / 255, quarter = 3 + (size - 3) * data[2] / 255;
    const Bytes rest(data + 3, data + size);
    const Bytes first(data + 3, data + std::max(quarter, size_t(3)));
    const Bytes second(data + 3, data + std::max(half, size_t(3)));
    switch (pick % 6) {
    case 0:
        sections[2] = rest;
        break;
    case 1:
        sections[3] = rest;
        break;
    case 2:
        sections[6] = rest;
        break;
    case 3:
        sections[2] = first;
        sections[6] = rest;
        break;
    case 4: // reference beats and bimodal: Sections 4 and 5 from the input
        sections[3] = Section3(leads, 0x45);
        sections[4] = first;
        sections[5] = second;
        sections[6] =
            CodedSection(5000, uint16_t(2000 * (1 + pick % 4)), 2, pick & 0x40 ? 1 : 0, streams);
        break;
    default:
        sections[7] = first;
        sections[10] = second;
        break;
    }
    return BuildFile(sections, pick & 0x80 ? 13 : 20);
}

void ReadAndCheck(const uint8_t* data, size_t size) {
    ReadSignalAndCheck(data, size);
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
    const std::vector<uint8_t> structured = StructuredFile(data, size);
    ReadSignalAndCheck(structured.data(), structured.size());
    return 0;
}
