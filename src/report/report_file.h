#pragma once
class QPainter;

// The report as a file: a PDF (one page, vector curves and grid, real text with its fonts
// embedded) or a picture of the page at 300 dpi (PNG, JPEG, BMP by the name's extension). Both
// are written beside the target and renamed when complete: a failure leaves an existing file as
// it was and no partial file.

#include "record_io/record_files.h"
#include "report/report_renderer.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <string>

constexpr int kReportImageDpi = 300;

// The PDF as bytes, for a file or an object that carries the report (FHIR, the PACS).
// One landscape page of `paper` as PDF bytes, drawn by draw(painter, dots per mm) under `title`:
// every page the program prints to PDF is made here.
bool LandscapePdfBytes(ReportPaper paper, const QString& title,
                       const std::function<void(QPainter&, double dotsPerMm)>& draw,
                       QByteArray& pdf, std::string* error);

bool ReportPdfBytes(const ReportInput& in, const ReportOptions& options, QByteArray& pdf,
                    std::string* error);
// What a save or a store is given to print the record's report (CStatementSettings'
// m_MakeReportPdf): the record as prepared for the file, read as ReportInputFor reads it through
// how's filters and rate practice, with how's reading once confirmed (copied: the maker may run
// on another thread after the caller's reading is gone), under the organisation's heading.
ReportPdfMaker ReportPdfMakerFor(const QString& organisation, const CStatementSettings& how,
                                 uint16_t absentLanes, const ReportOptions& options = {});

bool WriteReportPdf(const QString& path, const ReportInput& in, const ReportOptions& options,
                    std::string* error);
bool WriteReportImage(const QString& path, const ReportInput& in, const ReportOptions& options,
                      std::string* error);
// By the extension of path: ".pdf" or a picture; false with *error for anything else.
bool WriteReport(const QString& path, const ReportInput& in, const ReportOptions& options,
                 std::string* error);
