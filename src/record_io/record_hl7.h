#pragma once
// A record's result for the hospital information system, as both front-ends send it: built as
// an HL7 ORU^R01 from the record read the way the sender reads it (its filters, rate practice and
// the doctor's confirmed reading, `CStatementSettings`), with the printed report embedded, and
// kept in the outbox before anything goes out; then the outbox sent, oldest first.

#include "config/view_settings.h"
#include "hl7/hl7_outbox.h"
#include "record_io/record_files.h"

#include <string>
#include <vector>

// The hospital system the settings name ([HIS]); host empty when none is set.
CMllpLink HisLinkOf(const CViewSettings& settings);

// Why a record's result cannot go, or empty: the hospital system files a result by its patient,
// so a card with neither the surname nor the medical record number is refused.
std::string Hl7CardFault(const PATIENT_CARD& card);

// Builds the result of `record` with its card (the card's texts already in the record) and keeps
// it in the outbox: measurements and automatic statements through how's filters and practice, or
// how's confirmed reading (final); the report by how.m_MakeReportPdf (none: no PDF embedded);
// the order how.m_Order names, when the record is bound to one. *controlId names the message
// kept; *bFinal says whether it went as final. False with *error when the card, the report or
// the outbox fails.
bool KeepHl7Result(CHl7Outbox& outbox, const CViewSettings& settings, const ECG_RECORD& record,
                   const PATIENT_CARD& card, const CStatementSettings& how, std::string* controlId,
                   bool* bFinal, std::string* error);

// What a send did: the outcome of each message tried (oldest first), how many still wait, and
// whether `mine` was acknowledged (mine empty: whether the outbox is empty).
struct CHl7SendReport {
    std::vector<CHl7Outcome> outcomes;
    size_t nLeft = 0;
    bool bMineTried = false;
    bool bDone = false;
};
CHl7SendReport SendHl7Outbox(CHl7Outbox& outbox, const CMllpLink& link, const std::string& mine);
