#pragma once
// The report options the user chose last, kept in the per-user profile (group "Report").

#include "config/app_profile.h"
#include "report/report_layout.h"

ReportOptions LoadReportOptions(const CAppProfile& profile);
bool StoreReportOptions(CAppProfile& profile, const ReportOptions& options);
