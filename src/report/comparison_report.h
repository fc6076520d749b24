#pragma once
// A record against the patient's previous one, as the comparison window shows it and its report
// prints it: both records read through the same filters and measured and interpreted as the
// record window reads them (ReportInputFor), compared by analysis::CompareRecords; the table of
// the measured values with their differences; the median beats of both laid over each other;
// the comparison report page (one landscape sheet, true to scale).

#include "analysis/comparison.h"
#include "record_io/record_files.h"
#include "report/report_renderer.h"

#include <QColor>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

struct ComparisonInput {
    ReportInput previous, current; // each record as its own report reads it
    analysis::Comparison comparison;
};

// Both records through the same filters and rate limits. The records must outlive the result
// (the report inputs point at them).
ComparisonInput ComparisonInputFor(const CLoadedRecord& previous, const CLoadedRecord& current,
                                   const QString& organisation,
                                   const std::vector<analysis::Filter>& filters,
                                   const analysis::InterpretationSettings& settings);

// One line of the measurement table (in the interface's language): the value's name with its unit,
// then previous, current and their difference; "—" where the comparison gives no value (never one
// made up).
struct ComparisonRow {
    QString name, previous, current, delta;
};
std::vector<ComparisonRow> ComparisonRows(const analysis::Comparison& c);
// The changes as shown, in the interface's language: the heading, then one statement text each,
// then the notes (why nothing was compared).
QStringList ComparisonChangeLines(const analysis::Comparison& c);

// The colours of the two records' median beats, on screen and on paper alike.
QColor PreviousBeatColour();
QColor CurrentBeatColour();

// The median beats of the twelve lanes in 4 columns x 3 rows over `area` (device pixels, at
// dpmm pixels per millimetre): a millimetre grid per panel, the previous and the current beat
// aligned on their QRS and at their PR-segment level, at the speed and gain given.
void DrawMedianOverlay(QPainter& p, const QRectF& area, double dpmm,
                       const analysis::Measurements& previous,
                       const analysis::Measurements& current, double speedMmPerS,
                       double gainMmPerMv);

// The comparison report: both records' headers, the measurement table, the overlaid median
// beats (at the options' speed and gain) and the change statements.
void DrawComparisonReport(QPainter& p, double dotsPerMm, const ComparisonInput& in,
                          const ReportOptions& o);
// As a PDF (vector, real text), written beside the target and renamed when complete.
bool WriteComparisonPdf(const QString& path, const ComparisonInput& in, const ReportOptions& o,
                        std::string* error);
