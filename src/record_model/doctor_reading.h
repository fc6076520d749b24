#pragma once
// A doctor's reading of a record: the statements kept from the automatic interpretation and those
// added, a conclusion in the doctor's own words, and who confirmed it when. The archive keeps it;
// the report and every file type that has a place for an interpretation carry it instead of the
// automatic statements once it is confirmed.

#include "platform/systemtime.h"

#include <string>
#include <vector>

struct CReadStatement {
    std::string code;   // the interpretation's code ("CRBBB"), empty for a doctor's own text
    std::string text;   // Russian, with its figures, UTF-8
    std::string textEn; // the same in English
};

struct CDoctorReading {
    std::vector<CReadStatement> statements;
    std::string conclusion; // free text, UTF-8; may be empty
    // Who confirmed it: the account's name ("Петрова А. И."), login and position.
    std::string doctorName, doctorLogin, doctorPosition;
    SYSTEMTIME confirmedAt{}; // local time of the confirmation
    // 1 for the first confirmation, one more for each amendment; the amendment's reason.
    int version = 0;
    std::string amendReason;

    bool Confirmed() const { return version > 0; }
};
