#pragma once
// --speed, --gain and --filter, the reading of the window's "Вид", for the commands that draw
// a record (render, report).

#include "display/reading_settings.h"

class COptions;

// The reading the options give (what they leave out as ReadingSettings has it); false after a
// message naming the bad value.
bool ReadingFromOptions(const char* command, const COptions& opts, ReadingSettings* reading);
