#pragma once
// A record's result as the hospital information system takes it: an HL7 v2.5.1 ORU^R01 message in
// UTF-8 (MSH-18 "UNICODE UTF-8"). The patient (PID) from the card, the order (ORC, OBR-2/3) when
// the record has an accession number (OBR-4 the requested procedure when the worklist named it),
// one numeric OBX per measurement under its LOINC code with UCUM units, the statements and the
// doctor's conclusion as text, and the printed report as an embedded PDF. Everything stays
// preliminary ("P") until a doctor has confirmed the reading; then it is final ("F") and OBR-32
// names the doctor.

#include "analysis/measurements.h"
#include "platform/systemtime.h"
#include "record_model/doctor_reading.h"
#include "record_model/patient_card.h"

#include <QByteArray>
#include <QDateTime>
#include <string>
#include <string_view>
#include <vector>

struct CHl7Result {
    PATIENT_CARD card{};
    std::string recordedAt; // "YYYY-MM-DD hh:mm:ss", the record's own local time
    analysis::Measurements measurements;
    // The automatic statements (Russian text); a confirmed reading replaces them.
    std::vector<CReadStatement> statements;
    CDoctorReading reading;
    std::string accession; // the order's accession number; empty: the record has no order
    // The requested procedure of a worklist order (its ID and description); empty: OBR-4 names
    // the resting ECG by its LOINC code.
    std::string procedureId, procedureName;
    QByteArray pdf; // the printed report; empty: none embedded
};

// Who sends to whom (MSH-3 to MSH-6) and the message's own identity.
struct CHl7Envelope {
    std::string sendingApplication = "VELMORA";
    std::string sendingFacility;
    std::string receivingApplication;
    std::string receivingFacility;
    std::string controlId; // MSH-10, unique per message: the ACK names it back
    QDateTime createdAt;   // MSH-7
};

// A control id no other message of this workstation has: the time to the millisecond and a
// random tail (two sends in one millisecond differ).
std::string NewHl7ControlId();

// The text with HL7's delimiters escaped (\F\ \S\ \T\ \R\ \E\) and line breaks as \.br\, so that
// no patient's or doctor's text can break the message's structure.
std::string Hl7Escape(std::string_view text);

// The ORU^R01 message, segments ended by CR (no MLLP framing).
std::string BuildOruR01(const CHl7Result& result, const CHl7Envelope& envelope);

// The LOINC code, its name and the UCUM unit each measurement goes under; rows without a code
// (RR, Sokolow-Lyon) are not sent.
struct CHl7Observation {
    const char* loinc;
    const char* name;
    const char* ucum;
    std::optional<double> value;
};
std::vector<CHl7Observation> Hl7Observations(const analysis::Measurements& m);
