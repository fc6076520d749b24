#pragma once
// The automatic interpretation of a resting ECG: the statements a cardiologist writes (rhythm,
// ectopy, conduction, axis, QT, voltage, ST elevation), each with a stable code, its Russian and
// English text and the measurements that triggered it. Every statement is a proposal for a doctor
// to confirm; the criteria each follows are listed in this folder's README.

#include "analysis/measurements.h"
#include "platform/systemtime.h"
#include "record_model/patient_card.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace analysis {

// Where Russian and American practice draw the normal heart rate differently: Russian
// cardiologists call a sinus rhythm over 90/min a tachycardia, the AHA/ACCF/HRS recommendations
// of 2009 take 50-100/min as normal.
enum class RatePractice { Russian, Aha };

// The practice a settings word names: "aha" (any letter case), else the Russian one.
RatePractice RatePracticeOf(std::string_view word);

struct InterpretationSettings {
    RatePractice practice = RatePractice::Russian;
    int BradycardiaBelowBpm() const { return practice == RatePractice::Russian ? 60 : 50; }
    int TachycardiaAboveBpm() const { return practice == RatePractice::Russian ? 90 : 100; }
};

// What the criteria need to know of the patient; each absent when the card does not say.
struct PatientFacts {
    std::optional<bool> male;
    std::optional<int> ageYears;
};

// The sex and the age on the day of the record, of a card.
PatientFacts PatientFactsOf(const PATIENT_CARD& card, const SYSTEMTIME& recorded);

// A measured value a statement stands on ("qrs_ms": 132).
struct Evidence {
    std::string key;
    double value = 0;
};

struct Statement {
    std::string code; // "CRBBB"
    std::string text; // Russian, with its figures: "Желудочковая экстрасистолия (3)"
    std::string textEn; // the same in English
    std::vector<Evidence> evidence;
};

struct Interpretation {
    std::vector<Statement> statements;
    // What the criteria had to assume (the patient's sex or age not given), Russian and English.
    std::vector<std::string> notes, notesEn;

    bool Has(const std::string& code) const;
    const Statement* Find(const std::string& code) const;
};

// Every statement the interpretation can make, in the order it lists them.
struct StatementKind {
    const char* code;
    const char* russian;
    const char* english;
};
std::span<const StatementKind> StatementCatalogue();
const StatementKind* StatementKindOf(const std::string& code);

// Interprets a signal and its measurements: s is the signal Measure cleaned (m = Measure(raw,
// &s)).
Interpretation Interpret(const CEcgSignal& s, const Measurements& m, const PatientFacts& patient,
                         const InterpretationSettings& settings = {});

// A record's measurements and their interpretation as the record is read (its lanes through
// the filters), for the card's patient (none: nothing known of the patient). Whatever shows,
// prints or writes a record's statements takes them from here, as the measurements come from
// MeasureRecord.
struct RecordAnalysis {
    Measurements measurements;
    Interpretation interpretation;
};
RecordAnalysis AnalyseRecord(const ECG_RECORD& record, const PATIENT_CARD* card,
                             std::span<const Filter> filters,
                             const InterpretationSettings& settings = {});

// The heading the statements carry until a doctor confirms them.
inline constexpr char kUnconfirmedHeading[] = "Автоматическое заключение (не подтверждено врачом)";
inline constexpr char kUnconfirmedHeadingEn[] = "Automatic interpretation (not confirmed by a "
                                                "physician)";

} // namespace analysis
