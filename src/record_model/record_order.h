#pragma once
// The order a record was made for: the worklist entry (a hospital's request for an ECG) the
// record is bound to. A bound record carries it into what it writes, so that the archive and the
// information system file the result under the order they sent: the DICOM object its Study
// Instance UID, Accession Number and Request Attributes, the HL7 result its placer and filler
// numbers and procedure. Texts are UTF-8.

#include <string>

struct CRecordOrder {
    std::string m_strAccession; // Accession Number: the order's number at the hospital
    std::string m_strStudyUid;  // Study Instance UID the worklist assigned
    std::string m_strRequestedProcedureId;
    std::string m_strProcedureDescription; // Requested Procedure Description
    std::string m_strScheduledStepId;      // Scheduled Procedure Step ID
    std::string m_strScheduledStart;       // YYYYMMDD or YYYYMMDDHHMMSS, as the worklist gave it
    std::string m_strStationAeTitle;       // Scheduled Station AE Title
    std::string m_strReferringPhysician; // as a name ("Петров^Пётр"): DICOM's person name

    // A record is bound once it has the order's number; nothing else identifies an order.
    bool Bound() const { return !m_strAccession.empty(); }
    bool operator==(const CRecordOrder&) const = default;
};
