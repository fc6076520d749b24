#pragma once
// The XML files electrocardiographs and their management systems write: Philips (the "Sierra
// ECG" files 1.03 and 1.04, waveforms plain or XLI-compressed), GE MUSE (RestingECG) and GE
// CardioSoft (CardiologyXML). Each becomes a signal at the file's own rate in µV, the patient,
// the start and the writer's own measurements and statements. GUI-free, Qt Core's stream reader
// only; a document type declaration with entities is refused, none is ever fetched.

#include "platform/systemtime.h"
#include "record_model/ecg_signal.h"
#include "record_model/patient_card.h"
#include "storage/file_findings.h"
#include "storage/scp_export.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// The local name of an XML document's root element from the start of the file (UTF-8, UTF-16
// with or without its byte order mark, Latin-1 ...): declaration, comments, processing
// instructions and a document type declaration passed over. Empty when the bytes do not start
// like XML or the root element's name does not end within them.
std::string XmlRootElement(std::span<const uint8_t> head);

// What a cart XML gives.
struct CCartXmlEcg {
    CEcgSignal signal;          // every lead by its vocabulary label, µV, the file's own rate
    SYSTEMTIME start{};         // wYear 0 when the file gives no usable time
    PATIENT_CARD card{};        // names, identifier, birth date (or year from the age), sex
    CFileStatements statements; // the writer's interpretation, in the file's order
    CFileFindings findings;     // the writer's global measurements
    CRecordEquipment device{
        .m_bOurs = false, .m_strManufacturer = {}, .m_strModel = {}, .m_strSerial = {}};
};

// Each reads a whole file of its kind; false with *error naming what is wrong (not that kind of
// file, no sample rate, a lead's data of the wrong length, base64 garbage, a damaged XLI stream),
// never reading past the end of data.
bool ReadPhilipsXml(const uint8_t* data, size_t size, CCartXmlEcg& ecg, std::string* error);
bool ReadMuseXml(const uint8_t* data, size_t size, CCartXmlEcg& ecg, std::string* error);
bool ReadCardioSoftXml(const uint8_t* data, size_t size, CCartXmlEcg& ecg, std::string* error);

// The XLI waveform stream of a Philips file: one chunk per lead (an 8-byte header: the packed
// size, a 16-bit word, the first sample's delta seed; then LZW with 10-bit codes over the
// samples' high bytes followed by their low bytes, which are second differences). Decodes the
// chunks of `names` (one per lead, `samples` each) into stored values, before Philips' limb-lead
// reconstruction. False with *error naming the lead whose data is damaged or ends early.
bool DecodeXli(std::span<const uint8_t> stream, const std::vector<std::string>& names,
               size_t samples, std::vector<std::vector<int16_t>>& leads, std::string* error);

// The text every reader gives for an XML that is none of the formats it knows.
inline constexpr char kNotKnownEcgXml[] = "not an ECG file in a known format";
