#pragma once
// The printed report for the commands whose output carries it (export to a FHIR bundle, store
// beside the ECG): only velmora-cli-full links the drawing, so velmora-cli hands such a run to it.

#include "record_io/record_files.h"

#include <cstdint>

// Whether this program draws (velmora-cli-full).
bool CliDrawsReports();
// The maker of the report for a record read through `how`, under the settings' organisation;
// empty in velmora-cli.
ReportPdfMaker CliReportPdfMaker(const CStatementSettings& how, uint16_t absentLanes);
// This command line run again by velmora-cli-full (its exit code, signals and streams are the
// command's own); returns only when that fails, with 2.
int RunThisInFull(const char* command);
