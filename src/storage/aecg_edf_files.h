#pragma once
// A record in two interchange formats other systems read: HL7 aECG (annotated ECG, HL7 v3, the
// 2003-12 schema) and EDF+ (European Data Format, continuous). Both carry the record's present
// leads, 4096 samples each at 409.6 Hz, exactly as stored (2 µV per unit), the card's patient and
// the recording's start. Written atomically: an existing file is replaced only by a whole one.

#include "record_model/ecg_record.h"
#include "record_model/patient_card.h"
#include "storage/scp_export.h"

#include <cstdint>
#include <string>
#include <vector>

// The aECG document (UTF-8 XML). The statements (when given and not empty) go into the series'
// annotation set as an interpretation of statement annotations, the heading after them as its
// comment; a confirmed reading's set names the confirming doctor as its author.
std::string AecgXml(const ECG_RECORD& record, const PATIENT_CARD& card,
                    const CFileStatements* pStatements = nullptr);
bool WriteAecgFile(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                   std::string* error);
// The same with the record's automatic statements.
bool WriteAecgFile(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, std::string* error);

// The EDF+ file: 16 data records of 0.625 s (256 samples per lead: 409.6 Hz has no whole number
// of samples in a second), one signal per present lead and the "EDF Annotations" signal that
// keeps each record's time. EDF headers are ASCII: a Cyrillic name is transliterated.
std::vector<uint8_t> EdfBytes(const ECG_RECORD& record, const PATIENT_CARD& card);
bool WriteEdfFile(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                  std::string* error);

// The EDF+ equipment code of our cardiograph with that serial number: manufacturer, model and
// serial joined by '_' ("QELT_OR_K.107.00011.5434"); with "" the prefix our codes start with.
std::string OurEdfEquipment(const std::string& serial);

// Russian text (UTF-8) in Latin letters for ASCII-only headers ("Иванов" -> "Ivanov"); other
// characters outside ASCII become '_'.
std::string Transliterated(const std::string& utf8);
