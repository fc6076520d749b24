#pragma once
// SCP-ECG export of a record window's record (SCP-ECG version 2, uncompressed). libbiosig encodes
// the file (Section 0, the lead definitions of Section 3 and the samples of Section 6); Section 1,
// the patient and acquisition data, is encoded here and put in place of the library's, because
// the library's own Section 1 drops or bends several of the values the file must carry (see
// scp_export.cpp). The file is written through a temporary file in the target folder and renamed,
// so a failed save leaves no partial file and an existing file as it was.

#include "platform/systemtime.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "storage/scp_file.h"

#include <cstdint>
#include <string>
#include <vector>

struct HDR_STRUCT; // libbiosig's HDRTYPE
struct aecg;       // libbiosig's aECG_TYPE, the SCP-specific block of the header

// What the export needs beside the record and the card: the values the record carries (see
// RecordDeviceValues in the records layer) and the program version. Names as in the session state.
struct ScpDeviceValues {
    int m_nLeadSystem = 1;   // 1, 2 or 3; any other value is taken as 1
    SYSTEMTIME m_stDevice{}; // recording date and time (local)
    uint8_t m_nProgVersion = 6;
    uint8_t m_nProgRevision = 10;
};

// The interpretation as the files we write carry it: plain texts (UTF-8), so that the writers
// need nothing of the analysis; the records layer makes them for the record and card. The
// automatic statements are a proposal until a doctor confirms them, and each format says so its
// own way; a doctor's confirmed reading carries who confirmed it and when instead.
struct CFileStatements {
    bool m_bConfirmed = false;
    // When they were made: the record's date and time, or the confirmation's.
    SYSTEMTIME m_stMade{};
    // What they stand under (the formats with a place for it): the unconfirmed heading, or the
    // line that names the confirming doctor and the time (ConfirmationLine).
    std::string m_strHeading;
    std::vector<std::string> m_Statements; // Russian, one text each
    // Each statement's code in the interpretation's catalogue ("CRBBB"), "" for a doctor's own
    // text; beside m_Statements, for the formats that code their findings.
    std::vector<std::string> m_Codes;
    // A confirmed reading's own parts: the doctor's conclusion in free text, the confirming
    // doctor's name, and an amendment's reason (empty for a first confirmation).
    std::string m_strConclusion;
    std::string m_strPhysician;
    std::string m_strAmendReason;
};

// The words before a conclusion where a format carries it as one more statement.
inline constexpr char kConclusionPrefix[] = "Заключение: ";

// "Подтверждено: Петрова А. И., 09.12.2026 10:15": who confirmed a reading and when.
std::string ConfirmationLine(const std::string& physician, const SYSTEMTIME& at);
// "Изменено: <reason>": what an amendment of a confirmed reading says of itself.
std::string AmendmentLine(const std::string& reason);

// The texts a format lists as its statements: each statement, then the conclusion (when there is
// one) after kConclusionPrefix.
std::vector<std::string> StatementTexts(const CFileStatements& statements);

struct ScpSaveResult {
    bool bOk = false;
    std::string strError; // empty on success; else what failed and why, for the user (UTF-8)
};

// Writes the record as an SCP-ECG file at `path` (local 8-bit file name); an existing file is
// replaced. The age is counted from the year of `*pNow`, the current local time when null. The
// statements (when given and not empty) go into Section 8, in Windows-1251 as Section 1's texts;
// a confirmed reading's doctor into Section 1 as the latest confirming physician (tag 21).
ScpSaveResult SaveScp(const ECG_RECORD& record, const PATIENT_CARD& card,
                      const ScpDeviceValues& device, const std::string& path,
                      const SYSTEMTIME* pNow = nullptr,
                      const CFileStatements* pStatements = nullptr);

// Section 8 of the statements: texts in Windows-1251, which our language code 0x13 (Cyrillic)
// stands for in every text of the file; a Greek alpha (the axis angle) becomes the word. A
// confirmed reading is a confirmed report made at its confirmation, its conclusion the last
// statement (StatementTexts).
SCP_SECTION8 MakeScpSection8(const CFileStatements& statements);

// Channel rules. Channel k is lane k of the record's points, coded as LeadSystemLeads gives it.
int ScpChannels(int nLeadSystem); // 3, 4 or 12
// Samples per channel: the SCP block formula ((204 - channels) * 512 / 2) / channels, but never
// more than the record's 4096 points (the formula gives 17152 and 12800 for 3 and 4 channels,
// which would read past the record).
unsigned ScpSamplesPerChannel(unsigned channels);

// Tag 14 texts derived from the window.
std::string ScpSerialNumber(uint64_t device_id); // "K.10%i.%05i.%04i", empty for 0
std::string ScpSystemSoftware(uint8_t nProgVersion, uint8_t nProgRevision); // "V %02u R %02u"
SCP_TAG14 MakeScpTag14(uint64_t device_id, uint8_t nProgVersion, uint8_t nProgRevision);

// The device that recorded a record, as every file we write names it: our cardiograph for our
// own records, another system's device as its file named it (UTF-8; texts it did not give are
// empty, and a record from a file that named none has none).
struct CRecordEquipment {
    bool m_bOurs = true;
    std::string m_strManufacturer;
    std::string m_strModel;
    std::string m_strSerial;
};
CRecordEquipment RecordEquipment(const ECG_RECORD& record);
// Marks the record as another system's, recorded by `device` (texts trimmed, control characters
// dropped, cut to the record's fields); nothing for our own device.
void SetRecordEquipment(ECG_RECORD& record, const CRecordEquipment& device);
// The manufacturer and model texts our files name our cardiograph by.
bool IsOurDevice(const std::string& manufacturer, const std::string& model);

// Tag 14 for the record's device: MakeScpTag14 for ours, the source's texts (Windows-1251, as
// the language code says) with no analysing program of ours for another system's.
SCP_TAG14 RecordScpTag14(const ECG_RECORD& record, uint8_t nProgVersion, uint8_t nProgRevision);

// Section 1 as the file carries it: the card's names, birth date, age, body values and address,
// the device of tag 14 and the acquisition time. Sex 1 is male, any other value female (as in the
// record's notes). Age and birth date are left out for a year of 0 or 65535. The filter tags are
// left to the caller.
SCP_SECTION1 MakeScpSection1(const PATIENT_CARD& card, const ScpDeviceValues& device,
                             uint64_t device_id, const SYSTEMTIME& now);

// Fills the SCP-specific block for the library from `tag14` (whose texts must outlive the
// header), clears the block's optional texts, compression flags and section bookkeeping, and
// attaches it to the header.
void init_ECG_impl(HDR_STRUCT* hdr, aecg* pECG, const SCP_TAG14& tag14);
