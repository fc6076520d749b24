#pragma once
// The program's side of velmora-interchange, the helper that reads other systems' files and
// talks to the PACS with libbiosig and DCMTK in a process of its own: where it is, running it
// with a bounded wait, and what it answers. The record window and velmora-cli both come here.

#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "record_model/record_order.h"
#include "storage/file_details.h"
#include "storage/scp_export.h"
#include "storage/signal_stream.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <string>

// The helper: $VELMORA_INTERCHANGE, else beside the running program, else in ../libexec/velmora
// of it, else where the build put it. Empty when none is there.
QString InterchangeHelperPath();

// Runs the helper with args, input on its standard input, for at most timeoutMs. True when it
// exited 0, with its standard output in *out; else false with *error: its own reason (the last
// line it wrote, with any libbiosig error before it), or that it could not start, crashed or
// took too long (it is then killed).
bool RunInterchangeHelper(const QStringList& args, const QByteArray& input, int timeoutMs,
                          QByteArray* out, std::string* error);

// While a scope lives on a thread, the helper runs of that thread end soon after `cancel` is set
// (from any thread), their process killed, with the reason "cancelled". Scopes nest.
class CHelperCancelScope {
public:
    explicit CHelperCancelScope(const std::atomic<bool>& cancel);
    ~CHelperCancelScope();
    CHelperCancelScope(const CHelperCancelScope&) = delete;
    CHelperCancelScope& operator=(const CHelperCancelScope&) = delete;

    // Whether the innermost scope of this thread has been cancelled.
    static bool Cancelled();

private:
    const std::atomic<bool>* m_pPrevious;
};

// The reason a finished helper gave, from its standard error, as RunInterchangeHelper says it.
std::string HelperReason(const QByteArray& standardError);

// Which of the helper's readers reads a file: DCMTK's for DICOM, libbiosig for the others.
enum class HelperReader { None, Dicom, Biosig };

// The first seconds of another system's file (SCP-ECG, aECG, EDF, DICOM) as a signal stream,
// with what the file says beside it (*details, when given).
bool ReadForeignFile(const QString& path, HelperReader reader, double seconds, ForeignEcg& ecg,
                     std::string* error, CFileDetails* details = nullptr);

// The card's texts and numbers from what a file read by the helper says of its patient: the
// signal stream's, then the details' (fields a file does not give stay empty, as in a new card).
void CardFromForeign(const ForeignEcg& ecg, PATIENT_CARD& card,
                     const CFileDetails* details = nullptr);

// What the helper is given to build a DICOM object: the record block, the card and the
// statements the object carries (storage/statements_block).
QByteArray DicomHelperInput(const ECG_RECORD& record, const PATIENT_CARD& card,
                            const CFileStatements& statements);

// The helper's options that bind the DICOM object it builds to `order` (none when unbound).
QStringList OrderHelperArgs(const CRecordOrder& order);

// The record as a DICOM ECG object at path, with `statements` (the helper writes it atomically),
// bound to `order` when it is.
bool WriteDicomFile(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                    const CFileStatements& statements, std::string* error,
                    const CRecordOrder& order = {});
