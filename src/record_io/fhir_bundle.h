#pragma once
// A record as a FHIR R4 bundle for hospital systems that take FHIR rather than DICOM: one
// collection holding the DiagnosticReport of the ECG (preliminary until a doctor confirmed the
// reading, final after; its statements as the conclusion, their codes as conclusionCode, the
// printed report as its presented form), one Observation per automatic measurement under its
// LOINC code with UCUM units, and the Patient of the card. The ids come from the record, as the
// DICOM object's UIDs do: the same record written again is the same bundle.

#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "storage/scp_export.h"

#include <QByteArray>
#include <cstdint>
#include <span>

// Where the bundle's statement codes come from: the interpretation's own catalogue.
inline constexpr char kStatementCodeSystem[] = "urn:velmora:ecg-statement";
// The system of an identifier derived from the card (DerivedPatientId) rather than its own.
inline constexpr char kDerivedIdSystem[] = "urn:velmora:derived-patient-id";
inline constexpr char kCardIdSystem[] = "urn:velmora:patient-id";

// The bundle as UTF-8 JSON. `record` carries the card's texts; the measurements are the
// record's own (no reading filters), as the DICOM object's; `reportPdf` empty: no presented form.
QByteArray FhirBundleJson(const ECG_RECORD& record, const PATIENT_CARD& card,
                          const CFileStatements& statements, std::span<const uint8_t> reportPdf);
