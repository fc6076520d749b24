#pragma once
// The ECG leads by every name the program reads and writes: one row per lead, with its lane in
// the record, its label as a cardiologist writes it, its SCP-ECG lead code (EN 1064), the code
// our HL7 aECG files give it, the channel source of our DICOM objects, its EDF+ label and the
// other names files give it. Every reader, writer, drawing and measurement goes through these
// rows, so a lead is spelt one way everywhere and a file of ours says what the window shows.

#include <cstdint>
#include <span>
#include <string_view>

// The record's lanes of the twelve standard leads.
enum StandardLane : int {
    kLaneI,
    kLaneII,
    kLaneIII,
    kLaneAvr,
    kLaneAvl,
    kLaneAvf,
    kLaneV1,
    kLaneV2,
    kLaneV3,
    kLaneV4,
    kLaneV5,
    kLaneV6,
    kStandardLanes
};

// A coded concept as DICOM writes it (Code Value, Coding Scheme Designator and Version, Code
// Meaning).
struct CDicomCode {
    const char* m_szValue = nullptr; // nullptr: our DICOM objects never carry this lead
    const char* m_szScheme = nullptr;
    const char* m_szSchemeVersion = nullptr;
    const char* m_szMeaning = nullptr;
};

struct CLeadEntry {
    int m_nLane = -1;                 // 0-11 in the record's lane order; -1: no lane
    const char* m_szLabel = nullptr;  // "aVR"
    uint16_t m_nScpCode = 0;          // SCP-ECG lead code: 62 for aVR
    const char* m_szMdc = nullptr;    // aECG sequence code; nullptr: we write none
    CDicomCode m_dicom;               // channel source of our DICOM objects
    const char* m_szEdf = nullptr;    // EDF+ signal label; nullptr: we write none
    const char* m_aszAliases[2] = {}; // other names files give it ("MLII" for II)
};

// Every lead a file may name: the twelve standard leads first, in lane order, then the leads
// other systems record that have no lane (V3R, V7, -aVR, Nehb's D, A and J ...).
std::span<const CLeadEntry> LeadVocabulary();

// The standard lead in lane 0-11, else nullptr.
const CLeadEntry* LeadOfLane(int lane);
// The lead of a label or alias, letter case and blanks ignored, with EDF+'s "ECG " before the
// name passed over ("ecg AVR" is aVR); nullptr for a name that is none of them.
const CLeadEntry* LeadOfName(std::string_view name);
// The lead of an SCP-ECG lead code, nullptr for a code without a row.
const CLeadEntry* LeadOfScpCode(unsigned code);
// The lane of a lead name (as LeadOfName), -1 for a name without one.
int LaneOfLeadName(std::string_view name);

// The leads of the cardiograph's lead system, lane k of the record holding the k-th: the twelve
// standard leads for lead system 1 (and any value other than 2 and 3), Nehb's three for 2,
// Slopak's four for 3. The last two label their leads as the cardiograph does and are no rows
// of LeadVocabulary (see lead_vocabulary.cpp).
std::span<const CLeadEntry> LeadSystemLeads(uint32_t leadSystem);
