#include "record_model/lead_vocabulary.h"

#include "record_model/ecg_record.h"

#include <string>

namespace {

static_assert(kStandardLanes == kLeads, "a standard lead for every lane of the record");

// Our DICOM objects name each channel's source in the SCPECG scheme, version 1.3, by the lead's
// SCP-ECG code; readers that know only the MDC scheme ("2:62") find the same number there.
constexpr CDicomCode ScpEcg(const char* value, const char* meaning) {
    return {value, "SCPECG", "1.3", meaning};
}

// The rows past the twelve only name what other systems' files hold, so that a reader tells a
// lead without a lane from an unknown name; our files never carry them under these names.
// aECG files have always said MDC_ECG_LEAD_AVR (as HL7's examples do); EDF+'s standard texts
// write "ECG aVR".
// clang-format off
constexpr CLeadEntry kVocabulary[] = {
    {kLaneI,   "I",   1,  "MDC_ECG_LEAD_I",   ScpEcg("5.6.3-9-1",  "Lead I"),   "ECG I",   {}},
    {kLaneII,  "II",  2,  "MDC_ECG_LEAD_II",  ScpEcg("5.6.3-9-2",  "Lead II"),  "ECG II",  {"MLII"}},
    {kLaneIII, "III", 61, "MDC_ECG_LEAD_III", ScpEcg("5.6.3-9-61", "Lead III"), "ECG III", {}},
    {kLaneAvr, "aVR", 62, "MDC_ECG_LEAD_AVR", ScpEcg("5.6.3-9-62", "Lead aVR"), "ECG aVR", {}},
    {kLaneAvl, "aVL", 63, "MDC_ECG_LEAD_AVL", ScpEcg("5.6.3-9-63", "Lead aVL"), "ECG aVL", {}},
    {kLaneAvf, "aVF", 64, "MDC_ECG_LEAD_AVF", ScpEcg("5.6.3-9-64", "Lead aVF"), "ECG aVF", {}},
    {kLaneV1,  "V1",  3,  "MDC_ECG_LEAD_V1",  ScpEcg("5.6.3-9-3",  "Lead V1"),  "ECG V1",  {}},
    {kLaneV2,  "V2",  4,  "MDC_ECG_LEAD_V2",  ScpEcg("5.6.3-9-4",  "Lead V2"),  "ECG V2",  {}},
    {kLaneV3,  "V3",  5,  "MDC_ECG_LEAD_V3",  ScpEcg("5.6.3-9-5",  "Lead V3"),  "ECG V3",  {}},
    {kLaneV4,  "V4",  6,  "MDC_ECG_LEAD_V4",  ScpEcg("5.6.3-9-6",  "Lead V4"),  "ECG V4",  {}},
    {kLaneV5,  "V5",  7,  "MDC_ECG_LEAD_V5",  ScpEcg("5.6.3-9-7",  "Lead V5"),  "ECG V5",  {}},
    {kLaneV6,  "V6",  8,  "MDC_ECG_LEAD_V6",  ScpEcg("5.6.3-9-8",  "Lead V6"),  "ECG V6",  {}},
    {-1,       "V7",   9, nullptr, {}, nullptr, {}},
    {-1,       "V2R",  10, nullptr, {}, nullptr, {}},
    {-1,       "V3R",  11, nullptr, {}, nullptr, {}},
    {-1,       "V4R",  12, nullptr, {}, nullptr, {}},
    {-1,       "V5R",  13, nullptr, {}, nullptr, {}},
    {-1,       "V6R",  14, nullptr, {}, nullptr, {}},
    {-1,       "V7R",  15, nullptr, {}, nullptr, {}},
    {-1,       "X",    16, nullptr, {}, nullptr, {}},
    {-1,       "Y",    17, nullptr, {}, nullptr, {}},
    {-1,       "Z",    18, nullptr, {}, nullptr, {}},
    {-1,       "-aVR", 65, nullptr, {}, nullptr, {}},
    {-1,       "V8",   66, nullptr, {}, nullptr, {}},
    {-1,       "V9",   67, nullptr, {}, nullptr, {}},
    {-1,       "V8R",  68, nullptr, {}, nullptr, {}},
    {-1,       "V9R",  69, nullptr, {}, nullptr, {}},
    {-1,       "D",    70, nullptr, {}, nullptr, {}}, // Nehb: dorsal
    {-1,       "A",    71, nullptr, {}, nullptr, {}}, // anterior
    {-1,       "J",    72, nullptr, {}, nullptr, {}}, // inferior
};
// clang-format on

// The cardiograph's other lead systems fill the first lanes of a record with leads of their own,
// labelled as the cardiograph labels them. They stay out of the vocabulary: they are no standard
// leads and have no lane among the twelve, and the cardiograph's names clash with standard ones
// (its "I" is Nehb's inferior lead J, not Einthoven's I; "S1"-"S4" are the auxiliary unipolar
// leads A1-A4), so a name lookup must never find them. Our files name them by what they are: a
// reader that took Nehb's J for Einthoven's I would show a doctor the wrong lead. Our DICOM
// objects give Slopak's channels a bare "Lead" as they always have (their codes say which).
// clang-format off
constexpr CLeadEntry kNehbLeads[] = {
    {-1, "D", 70, "MDC_ECG_LEAD_D", ScpEcg("5.6.3-9-70", "Nehb Dorsal"),   "ECG D", {}},
    {-1, "A", 71, "MDC_ECG_LEAD_A", ScpEcg("5.6.3-9-71", "Nehb Anterior"), "ECG A", {}},
    {-1, "I", 72, "MDC_ECG_LEAD_J", ScpEcg("5.6.3-9-72", "Nehb Inferior"), "ECG J", {}},
};
constexpr CLeadEntry kSlopakLeads[] = {
    {-1, "S1", 75, "MDC_ECG_LEAD_A1", ScpEcg("5.6.3-9-75", "Lead"), "ECG S1", {}},
    {-1, "S2", 76, "MDC_ECG_LEAD_A2", ScpEcg("5.6.3-9-76", "Lead"), "ECG S2", {}},
    {-1, "S3", 77, "MDC_ECG_LEAD_A3", ScpEcg("5.6.3-9-77", "Lead"), "ECG S3", {}},
    {-1, "S4", 78, "MDC_ECG_LEAD_A4", ScpEcg("5.6.3-9-78", "Lead"), "ECG S4", {}},
};
// clang-format on

// Lower-case letters without blanks: the form names are compared in.
std::string Key(std::string_view name) {
    std::string key;
    key.reserve(name.size());
    for (const char c : name) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f')
            continue;
        key += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    }
    return key;
}

bool SameKey(const char* name, const std::string& key) {
    return name && Key(name) == key;
}

} // namespace

std::span<const CLeadEntry> LeadVocabulary() {
    return kVocabulary;
}

const CLeadEntry* LeadOfLane(int lane) {
    return lane >= 0 && lane < kStandardLanes ? &kVocabulary[lane] : nullptr;
}

const CLeadEntry* LeadOfName(std::string_view name) {
    std::string key = Key(name);
    if (key.size() > 3 && key.compare(0, 3, "ecg") == 0) // EDF+'s standard texts: "ECG V1"
        key.erase(0, 3);
    for (const CLeadEntry& lead : kVocabulary) {
        if (SameKey(lead.m_szLabel, key))
            return &lead;
        for (const char* alias : lead.m_aszAliases)
            if (SameKey(alias, key))
                return &lead;
    }
    return nullptr;
}

const CLeadEntry* LeadOfScpCode(unsigned code) {
    for (const CLeadEntry& lead : kVocabulary)
        if (lead.m_nScpCode == code)
            return &lead;
    return nullptr;
}

int LaneOfLeadName(std::string_view name) {
    const CLeadEntry* lead = LeadOfName(name);
    return lead ? lead->m_nLane : -1;
}

std::span<const CLeadEntry> LeadSystemLeads(uint32_t leadSystem) {
    switch (leadSystem) {
    case 2:
        return kNehbLeads;
    case 3:
        return kSlopakLeads;
    default:
        return std::span<const CLeadEntry>(kVocabulary, kStandardLanes);
    }
}
