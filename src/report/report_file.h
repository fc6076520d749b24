#pragma once
// The report as a file: a PDF (one page, vector curves and grid, real text with its fonts
// embedded) or a picture of the page at 300 dpi (PNG, JPEG, BMP by the name's extension). Both
// are written beside the target and renamed when complete: a failure leaves an existing file as
// it was and no partial file.

#include "report/report_renderer.h"

#include <QString>
#include <string>

constexpr int kReportImageDpi = 300;

bool WriteReportPdf(const QString& path, const ReportInput& in, const ReportOptions& options,
                    std::string* error);
bool WriteReportImage(const QString& path, const ReportInput& in, const ReportOptions& options,
                      std::string* error);
// By the extension of path: ".pdf" or a picture; false with *error for anything else.
bool WriteReport(const QString& path, const ReportInput& in, const ReportOptions& options,
                 std::string* error);
