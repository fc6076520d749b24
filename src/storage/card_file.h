#pragma once
// A patient card written as a small text file, for the command-line tool:
//
//   # a comment line
//   doctor_name = Петров П.П.
//   birth_year  = 1950
//
// UTF-8, one "key = value" per line; the keys are the card's field names (CardFields()); blanks
// around keys and values are dropped; lines that are empty or start with '#' are skipped; a
// key left out keeps its field empty (0). Texts must fit their field in Windows-1251; numbers
// are whole decimal numbers; `sex` is 1 or m or м (male), 0 or f or ж (female). Anything else,
// an unknown key or a key given twice is refused with the line named.

#include "record_model/patient_card.h"

#include <QByteArray>
#include <string>

// Fills *card (cleared first) from the text of a card file; false with *error naming the line
// and the fault.
bool ParseCardText(const QByteArray& utf8, PATIENT_CARD* card, std::string* error);

// The field of a date of birth that cannot be (a month past 12, a day its month lacks, a year
// before 1850 or after nCurrentYear; 0 means not given, a year of 65535 no valid date), with *why;
// null when it can be.
const char* BirthDateFault(const PATIENT_CARD& card, int nCurrentYear, std::string* why);

// Reads and parses the card file at path; false with *error when it can't be read or parsed.
bool LoadCardFile(const std::string& path, PATIENT_CARD* card, std::string* error);
