#pragma once
// Draws the printed report of a record onto any paint device (a PDF, a printer, an image) true
// to scale: the millimetre grid in the window's colours, the layout's strips with their lead
// labels and calibration pulses, the header with the organisation, the patient, the record and
// the automatic measurements, the conclusion box and signature line, and the footer.

#include "analysis/interpretation.h"
#include "analysis/measurements.h"
#include "record_model/doctor_reading.h"
#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "report/report_layout.h"

#include <QCoreApplication>
#include <QPainter>
#include <QString>
#include <vector>

struct ReportInput {
    const ECG_RECORD* record = nullptr;
    PATIENT_CARD card{};
    uint16_t absentLanes = 0; // lanes the record's file had no lead for
    QString organisation;     // the settings' m_attrOrg
    // The footer's words for them.
    QString filters = QCoreApplication::translate("ReportRenderer", "нет");
    // The samples drawn instead of the record's (the record through the window's filters, same
    // layout); empty: the record as received.
    std::vector<int16_t> drawSamples;
    analysis::Measurements measurements;
    analysis::Interpretation interpretation;
    // The doctor's reading: once confirmed, the conclusion box prints it instead of the
    // automatic statements.
    CDoctorReading reading;
    // What the record's file says its writer found (FileFindingsLine), printed under the
    // program's own measurements as the file's; empty when the file gave nothing.
    QString fileFindings;
};

// The report of a record as it is read: its card, its absent lanes (those given, and every lane
// that holds only zeros), the organisation heading the page, and the filters it is read
// through: its curves are drawn and measured through them and the footer names them; and the
// doctor's reading of it (none: not read). The window and velmora-cli both print from here, so
// one record prints the same from both.
ReportInput ReportInputFor(const ECG_RECORD& record, const PATIENT_CARD& card, uint16_t absentLanes,
                           const QString& organisation,
                           const std::vector<analysis::Filter>& filters = {},
                           const analysis::InterpretationSettings& settings = {},
                           const CDoctorReading* reading = nullptr);

// Draws the page on p, whose device has dotsPerMm device pixels per millimetre of paper (the
// device's own resolution: 1 mm of grid is 1 mm on paper).
void DrawReport(QPainter& p, double dotsPerMm, const ReportInput& in, const ReportOptions& o);

// The report's texts in page order (for the tests of what a PDF must say), in the interface's
// language as the whole page is.
QStringList ReportHeaderLines(const ReportInput& in);
// The conclusion box's texts, in the interface's language (the doctor's own words as written). A
// confirmed reading: its statements one each, the conclusion
// after "Заключение: ", the line that names the confirming doctor and the time ("Подтверждено:
// Петрова А. И., 09.12.2026 10:15") and, for an amendment, its reason ("Изменено: ..."). Else
// the heading that marks the automatic statements unconfirmed, then one statement each; empty
// without statements.
QStringList ReportConclusionLines(const ReportInput& in);
