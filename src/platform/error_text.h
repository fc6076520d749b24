#pragma once
// The system's message for an errno value, as the user sees it in error reports.

#include <string>

std::string ErrorText(int err);
