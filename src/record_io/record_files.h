#pragma once
// Every record file the program opens or saves goes through this table: the record block
// (.dat), the export package (.ecg), the SCP-ECG file (.scp), ISHNE Holter files (.ecg, opened
// only), PhysioNet's WFDB records (.hea, or the .mat signal file beside it; opened only), DICOM
// ECG (.dcm), HL7 aECG (.xml), EDF+ (.edf) and the FHIR R4 bundle (.json, saved only). The
// record window and velmora-cli both open, save and convert records here, so the two can never
// disagree on a file. A file is opened as what its content is (extensions collide: .ecg is our
// package and the Holter format; and files are renamed), saved as its extension says. A new type
// is one row of the table and its reader and writer.

#include "analysis/filters.h"
#include "analysis/interpretation.h"
#include "analysis/qrs_detector.h"
#include "record_io/interchange_helper.h"
#include "record_model/doctor_reading.h"
#include "record_model/ecg_record.h"
#include "record_model/ecg_signal.h"
#include "record_model/patient_card.h"
#include "record_model/record_order.h"
#include "storage/card_fields.h"
#include "storage/file_findings.h"
#include "storage/record_definition.h"
#include "storage/scp_export.h"
#include "storage/scp_signal.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

// A record with its patient card, as a file gives it back or as a window holds it.
struct CLoadedRecord {
    CLoadedRecord() : pRecord(std::make_unique<ECG_RECORD>()) {}
    std::unique_ptr<ECG_RECORD> pRecord; // never null
    PATIENT_CARD card{};
    // A file longer than a record gave its first ten seconds: its whole length, else 0.
    double dSourceSeconds = 0;
    // A bit for each lane the file had no lead for (another system's file).
    uint16_t absentLanes = 0;
    // The interpretation the file itself carries (an SCP-ECG file's Section 8, a cart XML's
    // statements): none for the other types and for files without one.
    CFileStatements fileStatements;
    // The global measurements the file's writer made (an SCP-ECG file's Section 7, a cart XML's
    // measurements): empty when the file gives none.
    CFileFindings fileFindings;
    // The worklist order the record is bound to, as the archive keeps it (files: none).
    CRecordOrder order;
};

// The printed report of a record as PDF bytes, for the files and stores that carry it beside the
// findings: `record` as prepared for the file (the card's texts in it) and its card. This layer
// draws nothing (the report needs Qt's GUI module); a front-end that can draw gives its maker with
// the save or the store (report/ReportPdfMakerFor), one that cannot gives none.
using ReportPdfMaker = std::function<bool(const ECG_RECORD& record, const PATIENT_CARD& card,
                                          std::vector<uint8_t>& pdf, std::string* error)>;

// Which statements a written file carries: the doctor's reading once confirmed, else the
// automatic ones, made through the reading filters of whoever saves, by the normal-rate practice
// (none and the Russian one unless the caller says otherwise, as velmora-cli export does).
struct CStatementSettings {
    std::vector<analysis::Filter> m_Filters;
    analysis::InterpretationSettings m_Settings;
    // The record's reading as the archive keeps it (not owned; null or unconfirmed: automatic).
    const CDoctorReading* m_pReading = nullptr;
    // The printed report, drawn by the front-end through the same filters and reading: a type
    // marked bWritesReport refuses to save without it; a store in the PACS sends it beside the
    // ECG when given.
    ReportPdfMaker m_MakeReportPdf;
    // The worklist order the record is bound to (unbound: none): the types with a place for it
    // (DICOM) and a store in the PACS carry it. A copy: a save runs on a thread of its own.
    CRecordOrder m_Order;
};

// The statements of `record` as the files carry them. A confirmed reading of `how`: its
// statements and conclusion, confirmed at its time by its doctor, under the line that says so
// (ConfirmationLine), with an amendment's reason. Else the automatic ones for the card's patient
// (none: nothing known of the patient): unconfirmed, made on the record's date, under the
// unconfirmed heading.
CFileStatements RecordStatements(const ECG_RECORD& record, const PATIENT_CARD* card,
                                 const CStatementSettings& how);

// A signal too long to hold, read a piece at a time where it lies (a Holter file of a day).
struct CSignalPieces {
    double dRate = 0;
    size_t nFrames = 0;
    size_t nLeads = 0;
    analysis::SignalPieceReader read; // keeps its reader alive
};

// How much of a file's start the types look at to say whether it is theirs: a record block
// (112552 bytes) is whole in it, so its size is seen too.
constexpr size_t kClaimHeadBytes = 128 * 1024;

// One row per type; what a type can do is said here, never by testing its extension elsewhere.
struct RecordFileType {
    const char* extension;   // ".dat", lower case
    const char* name;        // for messages and velmora-cli info: "record block"
    const char* description; // for the command-line help
    const char* filter;      // for the file dialogs (DialogFilter): "Записи (*.dat)"
    bool bNeedsCard = false; // a save needs the card complete for `use`
    CardUse use = CardUse::Export;
    // Reads the bytes of the file at path (whose own reader may read files beside it); null
    // when the type is not opened.
    bool (*read)(const QString& path, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
                 std::string* error) = nullptr;
    // Does the start of the file (its first kClaimHeadBytes, the whole of a smaller file) belong
    // to this type; null = the extension alone decides.
    bool (*claims)(std::span<const uint8_t> head) = nullptr;
    // The reader takes the file from its path and is handed only its start: a Holter file of
    // hundreds of MB is never read whole for its first ten seconds.
    bool bReadsPath = false;
    // Writes `record` (which already carries the card's texts) with its card and definition to
    // path, replacing a file there only when the new one is complete; null when not saved.
    // `statements` are the record's (RecordStatements) for the types marked bWritesStatements,
    // else empty; `reportPdf` the printed report for those marked bWritesReport, else empty;
    // `order` the worklist order the record is bound to (unbound: none).
    bool (*write)(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                  const RECORD_DEFINITION& def, const CFileStatements& statements,
                  std::span<const uint8_t> reportPdf, std::string* error,
                  const CRecordOrder& order) = nullptr;
    bool bWritesStatements = false;
    // The file carries the printed report (CStatementSettings::m_MakeReportPdf).
    bool bWritesReport = false;
    // The file carries what a card gives without needing it complete (the interchange formats):
    // a conversion without a card of its own takes the one the record file holds.
    bool bCarriesCard = false;
    HelperReader helper = HelperReader::None;
    // The whole signal at the file's own rate, however long (a record is only its first ten
    // seconds); null: the record's lanes are the whole signal.
    bool (*readSignal)(const QString& path, CEcgSignal& signal, std::string* error) = nullptr;
    // The same signal a piece at a time where it lies, for whoever walks all of it (the beats of
    // a day's Holter file); null with readSignal null.
    bool (*openPieces)(const QString& path, CSignalPieces& pieces, std::string* error) = nullptr;
    // A save as this type offers the types marked bOfferedBesideOthers in its dialog too (the
    // package's dialog offers the hospital's formats).
    bool bOffersOthers = false;
    bool bOfferedBesideOthers = false;
};

std::span<const RecordFileType> RecordFileTypes();

// The type a path names by its extension (letter case ignored), for saving: the row that saves
// it (".xml" is our aECG, never a cart's), else the first; null when none does.
const RecordFileType* RecordFileTypeOf(const QString& path);

// The type the file at path is, by what it holds: the first type of its extension that claims its
// start, else any type that claims it (a package renamed .dat is a package). Null with *error
// when the file cannot be read or no type claims it, naming what it is not. Every opening of a
// file asks this, never the extension alone.
const RecordFileType* RecordFileTypeOfFile(const QString& path, std::string* error);

// The open dialog's filters: every type that opens, then each one, then all files.
QString OpenDialogFilter();
// A type's filter for the file dialogs, in the interface's language.
QString DialogFilter(const RecordFileType& type);

// The largest file any reader takes: far above any record, far below what would hurt.
constexpr int64_t kMaxRecordFileSize = 16 * 1024 * 1024;

// Opens a record file: a regular file of a type that opens (RecordFileTypeOfFile; when no type
// claims it, the readers of its extension say why they refuse it), read (whole, up to
// kMaxRecordFileSize, unless its type reads from the path) and checked. False with
// *error naming the file and what is wrong; the document is then left as it was.
bool OpenRecordFile(const QString& path, CLoadedRecord& doc, std::string* error,
                    const RecordFileType** pType = nullptr);

// A record as a type is written: a copy of it carrying the card's texts, the card as they were
// taken from it, and the record's definition.
struct CPreparedRecord {
    CPreparedRecord() : m_pRecord(std::make_unique<ECG_RECORD>()) {}
    std::unique_ptr<ECG_RECORD> m_pRecord; // never null
    PATIENT_CARD m_Card{};
    RECORD_DEFINITION m_Def{};
};

// What comes before every write of a record as `type`, a save to a file or a store in the PACS
// alike, so that the two can never differ: the card complete when the type needs it, a date of
// birth that can be, then the card's texts put into a copy of the record (ParseRecordDefinition).
// Without a card the record is copied as it stands (types that need a card refuse). False with
// *error telling why.
bool PrepareRecordForType(const RecordFileType& type, const ECG_RECORD& record,
                          const PATIENT_CARD* card, CPreparedRecord& prepared, std::string* error);

// Saves the document as `type` at path, prepared as PrepareRecordForType says, with the
// statements `how` says (RecordStatements). False with *error telling why; an existing file at
// path is then as it was.
bool SaveRecordFile(const QString& path, const RecordFileType& type, const ECG_RECORD& record,
                    const PATIENT_CARD* card, std::string* error,
                    const CStatementSettings& how = {});

// The names of the card fields that keep `card` from being enough for a save as `type`.
std::vector<std::string> MissingForType(const RecordFileType& type, const PATIENT_CARD& card);

// Keeps a finished record at once, so that closing its window or a new reception loses nothing:
// written atomically as a record file into the folder "received" under recordFolder (made when
// missing), named by the record's date and time and the device's number
// ("2026-12-08 23-18-57 K.107.18641.5752.dat"; "-2", "-3", ... added when that name is taken).
// The path written in *path; false with *error.
bool KeepReceivedRecord(const ECG_RECORD& record, const QString& recordFolder, QString* path,
                        std::string* error);

// The whole signal of a record file at the file's own rate: all of a WFDB record (every lead,
// however long), the record's lanes at 409.6 Hz for the other types. False with *error.
bool OpenRecordSignal(const QString& path, CEcgSignal& signal, std::string* error);

// What cannot be a record the program made: no info block, a lead system or point count no
// cardiograph sends, a date text that is no date. False with *error saying which.
bool CheckRecordBlock(const ECG_RECORD& record, std::string* error);
