#pragma once
// SCP-ECG byte layout as velmora writes it: the CRC that guards the file and every section, the
// section table of Section 0, Section 1 (patient and acquisition data) encoded tag by tag, and the
// replacement of one section of a finished file. No libbiosig here: this is the part of the file
// we encode ourselves, so that every byte of Section 1 is the one we mean.

#include "platform/systemtime.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <vector>

// CRC-CCITT: polynomial 0x1021, initial value 0xFFFF, no reflection; stored little-endian.
uint16_t ScpCrc(const uint8_t* data, size_t size);

// One entry of Section 0's pointer table.
struct ScpSectionPointer {
    uint16_t nId = 0;
    uint32_t nLength = 0;    // 0 when the section is absent
    uint32_t nIndex = 0;     // 1-based byte position of the section in the file
    size_t nEntryOffset = 0; // where this entry sits in the file
};

// Reads the file header and Section 0's pointer table and checks that they describe the bytes:
// the stored file length, Section 0's identity and every present section inside the file. False
// with a reason otherwise. CRCs are not looked at here (ScpCrcsOk does that).
bool ReadScpSectionTable(const std::vector<uint8_t>& file, std::vector<ScpSectionPointer>& table,
                         std::string* error);

// True when the file CRC and the CRC of every present section match their bytes.
bool ScpCrcsOk(const std::vector<uint8_t>& file);

// Why the file's CRC, a present section's length or CRC (and Section 0's own CRC, with
// bSection0, whether or not the table lists it) do not match the bytes; empty when they do.
std::string ScpSectionsFault(const std::vector<uint8_t>& file,
                             const std::vector<ScpSectionPointer>& table, bool bSection0);

// The content of section `id` after its 16-byte header in *body: empty for an absent section. A
// reason when the table lists it twice (either could be meant), else empty.
std::string ScpSectionBody(const std::vector<uint8_t>& file,
                           const std::vector<ScpSectionPointer>& table, uint16_t id,
                           std::span<const uint8_t>& body);

// Tag 14 of Section 1: the acquiring device.
struct SCP_TAG14 {
    uint16_t nInstitution = 0;
    uint16_t nDepartment = 0;
    uint16_t nDeviceId = 0;
    uint8_t nDeviceType = 0; // 0 cart
    uint8_t nManufacturerCode = 255;
    std::string strModel; // model description, at most 5 characters (a 6-byte field)
    uint8_t nProtocolRevision = 20;
    uint8_t nCompatibilityLevel = 1;
    uint8_t nLanguageSupport = 0x13;
    uint8_t nCapabilities = 0xF0;
    uint8_t nMainsFrequency = 1; // 50 Hz
    std::string strAnalysingProgram;
    std::string strSerialNumber;
    std::string strSystemSoftware;
    std::string strScpSoftware;
    std::string strManufacturer;
};

struct ScpDate {
    uint16_t nYear = 0;
    uint8_t nMonth = 0;
    uint8_t nDay = 0;
};

constexpr int kScpAddressTags = 6; // tags 200-205

// What Section 1 carries. Texts are byte strings (Windows-1251); an empty optional text is left
// out. Tag 2 (patient ID) is always written, empty when the card has none; tag 24 (stat code)
// is always present.
struct SCP_SECTION1 {
    std::string strLastName;            // tag 0
    std::string strFirstName;           // tag 1
    std::string strPatientId;           // tag 2
    std::string strSecondLastName;      // tag 3
    std::optional<uint16_t> nAgeYears;  // tag 4
    std::optional<ScpDate> dateOfBirth; // tag 5
    uint16_t nHeight = 0;               // tag 6, cm; left out when 0
    uint16_t nWeight = 0;               // tag 7, kg; left out when 0
    uint8_t nSex = 0;                   // tag 8: 1 male, 2 female
    SCP_TAG14 tag14;
    std::string strConfirmingPhysician;               // tag 21, the latest; left out when empty
    uint8_t nStatCode = 0;                            // tag 24, 0 routine
    SYSTEMTIME stAcquisition;                         // tags 25 and 26, local time
    std::vector<uint8_t> filterTags;                  // tags 27-29, already encoded
    std::array<std::string, kScpAddressTags> address; // tags 200-205
    std::optional<int32_t> nYearsOfResidence;         // tag 206
};

// The tags of Section 1 in ascending order, ending with tag 255; without the section header.
std::vector<uint8_t> EncodeScpSection1Tags(const SCP_SECTION1& s1);

// The encoded tags (tag byte, 16-bit length, value) of a section's tag area whose numbers are in
// `wanted`, in file order. Stops at tag 255 or at a tag that runs past the end.
std::vector<uint8_t> CopyScpTags(const uint8_t* tags, size_t size,
                                 std::initializer_list<uint8_t> wanted);

// Section 8, the full-text interpretive statements, as the file carries them: texts are byte
// strings in the character set tag 14 declares, each at most 65534 bytes, at most 255 of them.
struct SCP_SECTION8 {
    // 0: an original report, not confirmed; 1: confirmed by a doctor; 2: overread, not confirmed.
    uint8_t nConfirmed = 0;
    SYSTEMTIME stInterpreted; // local time
    std::vector<std::string> statements;
};

// The content of Section 8 (without the section header): confirmation, date, time, the count
// and each statement as its sequence number from 1, its length and its zero-terminated text.
// Statements beyond 255 are left out and texts cut to fit their 16-bit length.
std::vector<uint8_t> EncodeScpSection8(const SCP_SECTION8& s8);

// Section 8's content back. False with *error when the fixed part is short or a statement runs
// past the section; the statements before it are then in `s8`.
bool DecodeScpSection8(const uint8_t* body, size_t size, SCP_SECTION8& s8, std::string* error);

// Replaces the content of section `nId` (its bytes after the 16-byte section header) with
// `body`, padded to an even length, keeping the section's version bytes. Then corrects what
// depends on it: the section's length in Section 0, the index of every section stored after
// it, Section 0's CRC, the new section's CRC, the file length and the file CRC.
bool ReplaceScpSection(std::vector<uint8_t>& file, uint16_t nId, const std::vector<uint8_t>& body,
                       std::string* error);

// Adds section `nId`, whose entry Section 0's table holds empty, at the end of the file with
// `body` as its content (padded to an even length, Section 0's version bytes), and corrects the
// entry, Section 0's CRC, the file length and the file CRC. False with *error when the table has
// no empty entry for it.
bool AppendScpSection(std::vector<uint8_t>& file, uint16_t nId, const std::vector<uint8_t>& body,
                      std::string* error);
