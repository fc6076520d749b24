#pragma once
// Saving a record by the extension of the output path, shared by every command that writes a
// record (receive, replay, export):
//   .dat  the 112552-byte record block as it stands
//   .ecg  the export package (a zip archive); needs a complete patient card
//   .scp  an SCP-ECG file; needs a card with the first name and patronymic as well
// With a card, its texts go into the record's source and notes whatever the type.

#include "record/ecg_record.h"
#include "record/patient_card.h"

#include <QString>

struct RecordOutputType;

struct CRecordOutput {
    QString m_strPath;
    const RecordOutputType* m_pType = nullptr;
    bool m_bHasCard = false;
    PATIENT_CARD m_Card{};
};

// Checks --out and --card before any work is done: a known type, a readable card file, a card
// complete for that type. 0 when ready; otherwise the exit code after a message on stderr.
int PrepareRecordOutput(const char* command, const QString& outPath, const QString& cardPath,
                        CRecordOutput* output);

// Saves the record (a copy gets the card's texts); false after a message on stderr.
bool SaveRecordOutput(const char* command, const CRecordOutput& output, const ECG_RECORD& record);

// One line per output type for the commands' help.
const char* RecordOutputTypesHelp();
