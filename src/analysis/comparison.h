#pragma once
// What changed since the previous ECG: the differences of the measured values of two records
// and the change statements a cardiologist writes when reading a record against the patient's
// last one ("QRS расширился на 24 мс (96 → 120 мс)", "Появилась фибрилляция предсердий"). Both
// records are read by AnalyseRecord; nothing here measures or interprets a signal again. The
// criteria and their reasons are listed in this folder's README.

#include "analysis/interpretation.h"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace analysis {

// One measured value of both records. `delta` (current - previous; axes wrapped into
// -180...+180) is there only when both records have the value and their rhythms let it be
// compared (no PR delta where either record has no conducted P waves).
struct MeasurementDelta {
    const char* key;     // the measurement table's key: "qrs_ms"
    const char* english; // "QRS"
    const char* russian; // "QRS"
    const char* unit;    // "ms"
    const char* unitRu;  // "мс"
    std::optional<double> previous, current, delta;
};

struct Comparison {
    // Heart rate, PR, QRS, QT, QTc (Bazett, Fridericia) and the P, QRS and T axes, in the
    // measurement table's order.
    std::vector<MeasurementDelta> deltas;
    // The change statements, each a proposal in the interpretation's shape (code, texts, the
    // values it stands on); NO_CHANGE when none applies. Empty when the records could not be
    // compared (no QRS complexes in one of them): the notes say why.
    std::vector<Statement> changes;
    std::vector<std::string> notes, notesEn;

    bool Has(const std::string& code) const;
    const Statement* Find(const std::string& code) const;
    // The difference of the value of a measurement key; absent as in `deltas`.
    std::optional<double> Delta(const std::string& key) const;
};

// Every change statement the comparison can make, in the order it lists them.
std::span<const StatementKind> ChangeCatalogue();
const StatementKind* ChangeKindOf(const std::string& code);

// The record read now against the patient's previous one. Both should be analysed with the same
// filters and settings.
Comparison CompareRecords(const RecordAnalysis& previous, const RecordAnalysis& current);

// The statements a doctor confirms for the current record: its own interpretation's, then the
// changes since the previous record (NO_CHANGE included), all in one list of one shape.
std::vector<Statement> ProposedStatements(const Interpretation& current,
                                          const Comparison& comparison);

// The heading the change statements carry until a doctor confirms them.
inline constexpr char kComparisonHeading[] =
    "Динамика в сравнении с предыдущей ЭКГ (не подтверждена врачом)";
inline constexpr char kComparisonHeadingEn[] = "Changes since the previous ECG (not confirmed by a "
                                               "physician)";

} // namespace analysis
