#pragma once
// What the interchange helper tells of a file beside its signal stream: the card fields a format
// carries that the stream has no line for (the doctor, height, weight, the names as our own files
// split them) and the device that recorded it. The helper's answer to a read is this block, then
// the signal stream:
//
//   velmora-details 2 <bytes of the lines that follow>
//   ours 1                     the file says one of our cardiograph's records was written into it
//   device_id 30064964922      our device number and record number (ours only)
//   curve_id 5
//   manufacturer QELT          the recording device as the file names it (UTF-8, may be absent)
//   model OR
//   serial K.107.00011.5434
//   card doctor_name Петров П.П.   a card field by its name (CardFields), text or number
//   findings_by Mortara el250  who made the findings below (the file's writer)
//   finding qrs_ms 96          the writer's global measurement under velmora-cli measure's key
//   statement Синусовый ритм   the writer's interpretation, one text a line, in order
//   confirmed 1                a doctor confirmed that interpretation
//   physician Петрова А. И.    who confirmed it, when the file says so
//
// Version 1 blocks (without the findings) are read as they are. The reader is a parser of outside
// input: a block that is cut or malformed is refused.

#include "record_model/patient_card.h"
#include "storage/file_findings.h"
#include "storage/scp_export.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct CFileDetails {
    bool m_bOurs = false;
    uint64_t m_nDeviceId = 0;
    uint32_t m_nCurveId = 0;
    std::string m_strManufacturer, m_strModel, m_strSerial;
    std::vector<std::pair<std::string, std::string>> m_Card; // field name, UTF-8 value
    // What the file's writer found in the ECG: its measurements (m_strWriter names it) and its
    // interpretation (m_Statements, m_bConfirmed, m_strPhysician; the rest is not carried).
    CFileFindings m_Findings;
    CFileStatements m_Statements;
    void SetCard(const std::string& name, const std::string& value) {
        if (!value.empty())
            m_Card.emplace_back(name, value);
    }
};

std::string WriteFileDetails(const CFileDetails& details);

// Reads the block at the start of data; *used is its length. False with *error when data does
// not start with a whole, well-formed block.
bool ReadFileDetails(const uint8_t* data, size_t size, CFileDetails& details, size_t* used,
                     std::string* error);

// The details' card fields into the card: texts re-coded to Windows-1251 and cut to their field,
// numbers kept in their field's range; names the card has no field for are passed over.
void ApplyCardDetails(const CFileDetails& details, PATIENT_CARD& card);
