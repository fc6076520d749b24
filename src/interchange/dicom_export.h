#pragma once
// A record as a DICOM ECG waveform object, written with DCMTK: 12-lead ECG Waveform Storage for
// the twelve standard leads (General ECG for the Nehb and Slopak systems), the patient, study,
// series, equipment, waveform identification, waveform and SOP common modules; 4096 samples per
// channel at 409.6 Hz, 16-bit signed, 2 µV per unit, each channel's source by its SCP-ECG lead
// code, the cardiograph's filters, the automatic measurements as waveform annotations and the
// statements the records layer gives as text annotations under their heading: the automatic ones
// under the heading that says they are unconfirmed, a doctor's confirmed reading under the line
// that names the doctor and the time, the doctor also as the physician reading the study.
//
// The UIDs come from the record itself (2.25 and a digest): saving or sending the same record
// again gives the same study, series and instance, so an archive keeps it once.

#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "record_model/record_order.h"
#include "storage/scp_export.h"

#include <string>
#include <vector>

constexpr char kTwelveLeadEcgStorage[] = "1.2.840.10008.5.1.4.1.1.9.1.1";
constexpr char kGeneralEcgStorage[] = "1.2.840.10008.5.1.4.1.1.9.1.2";
constexpr char kEncapsulatedPdfStorage[] = "1.2.840.10008.5.1.4.1.1.104.1";

// Issuer of Patient ID of an identifier derived from the card (DerivedPatientId).
constexpr char kDerivedIdIssuer[] = "VELMORA-DERIVED";

class DcmFileFormat;

// The object in memory, its meta header filled in: for a C-STORE that needs no file. A record
// bound to `order` carries the order's Study Instance UID and Accession Number and the Request
// Attributes Sequence (requested procedure, scheduled step, accession).
bool BuildDicomEcg(const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, DcmFileFormat& file, std::string* error,
                   const CRecordOrder& order = {});

// The printed report of the same record as an Encapsulated PDF object: the ECG's patient and
// study (BuildDicomEcg's Study Instance UID), a series of its own, so that a viewer that draws no
// waveform still shows the ECG. `pdf` as it is.
bool BuildEncapsulatedReport(const ECG_RECORD& record, const PATIENT_CARD& card,
                             const CFileStatements& statements, const std::vector<uint8_t>& pdf,
                             DcmFileFormat& file, std::string* error,
                             const CRecordOrder& order = {});

// The object as the bytes of a DICOM file (preamble, meta header, explicit VR little endian).
bool DicomEcgBytes(const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, std::vector<uint8_t>& out, std::string* error,
                   const CRecordOrder& order = {});

// The same written to path atomically (an existing file replaced only by a complete one).
bool WriteDicomEcg(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, std::string* error,
                   const CRecordOrder& order = {});
