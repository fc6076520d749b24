#pragma once
// The one escaping of the interchange helper's tab-separated answers (the worklist, the PACS's
// study list): a backslash, tab, line feed and carriage return inside a field become \\ \t \n \r,
// so that a field never breaks its line.

#include <string>
#include <string_view>

std::string EscapeField(std::string_view text);
// False when text holds any other escape or ends in a lone backslash.
bool UnescapeField(std::string_view text, std::string& out);
