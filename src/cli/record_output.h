#pragma once
// The command-line side of saving a record, shared by every command that writes one (receive,
// replay, export): --out and --card checked before any work is done, then the save through the
// records layer, whose table of types decides what each extension means.

#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "record_model/record_order.h"

#include <QString>

struct RecordFileType;
struct CStatementSettings;
struct CWorklistEntry;

struct CRecordOutput {
    QString m_strPath;
    const RecordFileType* m_pType = nullptr;
    bool m_bHasCard = false;
    PATIENT_CARD m_Card{};
    // The worklist order the record is bound to (--accession); unbound without one.
    CRecordOrder m_Order;
};

// Checks --out and --card: a type that saves, a readable card file, a card complete for that
// type. Without --card, a type that needs a card takes `fileCard` when given (the card of the
// file being converted). With a worklist entry (--accession), the record is bound to its order
// and the entry's patient fills that card (or a new one) before it is checked. 0 when ready;
// otherwise the exit code after a message on stderr.
int PrepareRecordOutput(const char* command, const QString& outPath, const QString& cardPath,
                        CRecordOutput* output, const PATIENT_CARD* fileCard = nullptr,
                        const CWorklistEntry* ordered = nullptr);

// Saves the record (a copy gets the card's texts); false after a message on stderr.
// `how`: the statements and the printed report the types that carry them write (none given: the
// automatic statements, no report). A bound output carries its order.
bool SaveRecordOutput(const char* command, const CRecordOutput& output, const ECG_RECORD& record,
                      const CStatementSettings* how = nullptr);

// One line per type that saves, for the commands' help.
const char* RecordOutputTypesHelp();
