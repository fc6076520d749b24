#pragma once
// The hospital's modality worklist, through the interchange helper's C-FIND: the ECGs ordered for
// a day, each with its patient and the order a record made for it is bound to
// (record_model/record_order.h). QueryWorklist waits for the helper: the window runs it through
// CBackgroundTask (cancellable, never on its own thread), velmora-cli as it is.

#include "config/view_settings.h"
#include "record_model/patient_card.h"
#include "record_model/record_order.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <string>
#include <vector>

// One scheduled ECG: the patient as the card keeps it, and the order.
struct CWorklistEntry {
    std::string m_strLastName, m_strFirstName, m_strMiddleName; // UTF-8
    std::string m_strPatientId;
    int m_nBirthYear = 0, m_nBirthMonth = 0, m_nBirthDay = 0; // 0: not given
    uint8_t m_nSex = kSexNotGiven;                            // the card's: 1 male, 0 female
    CRecordOrder m_Order;
};

// Where the worklist is: the settings' server, asked under our AE title.
struct CWorklistServer {
    QString m_strHost;
    int m_nPort = 104;
    QString m_strAETitle;    // the server's
    QString m_strOwnAETitle; // ours
    int m_nTimeout = 30;     // seconds, for each wait
};

CWorklistServer WorklistServerOf(const CViewSettings& settings);

// What keeps the server from being asked ("" when nothing does): no host, a port or AE title
// that cannot be.
QString WorklistServerFault(const CWorklistServer& server);

// The ECGs scheduled on `day` (a null date: any day). False with *error: the helper's reason in
// one line (the server does not answer, refused our AE title), "cancelled" under a cancelled
// CHelperCancelScope.
bool QueryWorklist(const CWorklistServer& server, const QDate& day,
                   std::vector<CWorklistEntry>* entries, std::string* error);

// The helper's answer (interchange/worklist_client.h: WorklistAnswerText) as entries. It comes
// from another process talking to another system: anything not in the form is refused with what
// is wrong, a cut answer (no end line, or a count that differs) included.
bool ParseWorklistAnswer(const QByteArray& answer, std::vector<CWorklistEntry>* entries,
                         std::string* error);

// The entry's patient put into the card: names, identifier, date of birth and sex (the fields
// the worklist does not give are left as they are). Texts the card cannot hold are cut to it.
void ApplyWorklistPatient(const CWorklistEntry& entry, PATIENT_CARD& card);

// The entry with that accession number, or null.
const CWorklistEntry* FindWorklistEntry(const std::vector<CWorklistEntry>& entries,
                                        const std::string& accession);
