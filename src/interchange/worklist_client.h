#pragma once
// The hospital's modality worklist over DICOM (DCMTK's SCU): a C-FIND in the Modality Worklist
// information model for the ECG steps scheduled on a day, the answers decoded to UTF-8 whatever
// character set the server answers in, every wait bounded by the peer's time-out. The helper
// prints them in the worklist answer format the records layer parses (record_io/record_worklist).

#include "interchange/pacs_client.h"
#include "record_model/record_order.h"

#include <string>
#include <vector>

class DcmItem;

// One scheduled step as the server gave it, texts UTF-8.
struct CWorklistItem {
    std::string m_strLastName, m_strFirstName, m_strMiddleName;
    std::string m_strPatientId;
    std::string m_strBirthDate; // YYYYMMDD, or empty
    std::string m_strSex;       // "M", "F", "O" or empty
    CRecordOrder m_Order;
};

// The ECG steps scheduled on `date` (YYYYMMDD; empty: any day). False with *error in one line:
// the server does not answer, refused our AE title, or what went wrong with the query.
bool QueryModalityWorklist(const PacsPeer& peer, const std::string& date,
                           std::vector<CWorklistItem>* items, std::string* error);

// One answer data set as an item, its texts decoded by its Specific Character Set (none: ASCII;
// ISO_IR 192: UTF-8; ISO_IR 144: Cyrillic, converted by DCMTK or, without its iconv support, by
// our own table). False with *error naming a character set that cannot be read.
bool WorklistItemOf(DcmItem& answer, CWorklistItem& item, std::string* error);

// ISO 8859-5 (DICOM's ISO_IR 144) bytes as UTF-8.
std::string Iso8859_5ToUtf8(const std::string& bytes);

// The helper's answer: "velmora-worklist 1", one "entry" line per item (tab-separated key=value,
// backslash escapes for backslash, tab, line feed and carriage return), "end<TAB>COUNT".
std::string WorklistAnswerText(const std::vector<CWorklistItem>& items);
