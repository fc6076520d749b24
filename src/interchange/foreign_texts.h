#pragma once
// Texts other systems' files give, made UTF-8 for the signal stream.

#include "storage/signal_stream.h"

#include <string>

// Valid UTF-8 as it is; anything else read as Latin-1. Blanks at either end trimmed.
std::string TextAsUtf8(const std::string& bytes);

// A name of up to three parts separated by `separator` (libbiosig's 0x1f, DICOM's '^'): last
// name, first name, then a middle name (the patronymic).
void SplitPatientName(const std::string& name, ForeignEcg& ecg, char separator = '\x1f');
