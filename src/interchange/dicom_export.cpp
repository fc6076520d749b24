#include "interchange/dicom_export.h"

#include "analysis/interpretation.h"
#include "platform/atomic_file.h"
#include "record_model/ecg_signal.h"
#include "record_model/lead_vocabulary.h"
#include "record_model/record_date.h"
#include "storage/card_fields.h"
#include "storage/scp_export.h"

#include <QCryptographicHash>
#include <QString>
#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcostrmb.h>
#include <dcmtk/dcmdata/dcuid.h>
#include <dcmtk/dcmdata/dcwcache.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// A UID under 2.25 (ISO/IEC 9834-8: a 128-bit number in decimal) from the digest of `what`.
std::string UidOf(const QByteArray& what) {
    const QByteArray d = QCryptographicHash::hash(what, QCryptographicHash::Sha256);
    unsigned __int128 v = 0;
    for (int i = 0; i < 16; ++i)
        v = v << 8 | uint8_t(d[i]);
    v &= ~(static_cast<unsigned __int128>(0xF000) << 112); // a version-4-like 122-bit value
    std::string digits;
    do {
        digits.insert(digits.begin(), char('0' + int(v % 10)));
        v /= 10;
    } while (v != 0);
    return "2.25." + digits;
}

// A text as one part of a person name (or a value of its own): no component, group or value
// separators in it.
std::string PersonPart(std::string p) {
    for (char& c : p)
        if (c == '^' || c == '=' || c == '\\')
            c = ' ';
    return p;
}

// DICOM's person name: family^given^middle, trailing empty parts left out.
std::string PersonName(const PATIENT_CARD& card) {
    std::string parts[3] = {PersonPart(CardTextUtf8(card.last_name, sizeof card.last_name)),
                            PersonPart(CardTextUtf8(card.first_name, sizeof card.first_name)),
                            PersonPart(CardTextUtf8(card.patronymic, sizeof card.patronymic))};
    std::string name = parts[0] + "^" + parts[1] + "^" + parts[2];
    while (!name.empty() && name.back() == '^')
        name.pop_back();
    return name;
}

std::string Digits(unsigned v, int width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*u", width, v % 100000000u);
    return buf;
}

OFCondition PutCode(DcmItem* item, const char* value, const char* scheme, const char* version,
                    const char* meaning) {
    OFCondition c = item->putAndInsertString(DCM_CodeValue, value);
    if (c.good())
        c = item->putAndInsertString(DCM_CodingSchemeDesignator, scheme);
    if (c.good() && version)
        c = item->putAndInsertString(DCM_CodingSchemeVersion, version);
    if (c.good())
        c = item->putAndInsertString(DCM_CodeMeaning, meaning);
    return c;
}

std::string Decimal(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6g", v);
    return buf;
}

// The annotation group of the statements; the measurements are group 1.
constexpr Uint16 kStatementGroup = 2;

struct Annotation {
    const char* code;
    const char* scheme;
    const char* meaning;
    const char* unit;
    const char* unitMeaning;
    std::optional<double> value;
};

// A text annotation's value is ST: at most 1024 characters.
std::string ShortText(const std::string& utf8) {
    const QString t = QString::fromStdString(utf8);
    return t.size() <= 1024 ? utf8 : t.left(1024).toStdString();
}

// A doctor's name as one text ("Петрова А. И.") as a person name: the first word the family
// name, the rest the given names.
std::string PhysicianName(const std::string& name) {
    const QString t = QString::fromStdString(PersonPart(name)).simplified();
    const qsizetype blank = t.indexOf(QLatin1Char(' '));
    if (blank < 0)
        return t.toStdString();
    return (t.left(blank) + QLatin1Char('^') + t.mid(blank + 1)).toStdString();
}

// The acquisition (device, record number, time) names the study; the samples and the card the
// instance, so a corrected card is a new instance of the same study.
// A record bound to an order belongs to the order's study: its series and instances are others
// than those of the same record sent unbound, so an archive never files one instance under two
// studies.
QByteArray AcquisitionOf(const ECG_RECORD& record, const CRecordOrder& order) {
    QByteArray acquisition = QByteArray(record.date, int(sizeof record.date)) +
                             QByteArray::number(qulonglong(record.device_id)) + "/" +
                             QByteArray::number(record.curve_id);
    if (order.Bound())
        acquisition += QByteArray::fromStdString("\norder " + order.m_strAccession + "\n" +
                                                 order.m_strStudyUid);
    return acquisition;
}

QByteArray ContentOf(const ECG_RECORD& record, const PATIENT_CARD& card,
                     const CFileStatements& statements) {
    QByteArray content =
        QByteArray(reinterpret_cast<const char*>(record.curves_buf), kSamplesSize) +
        QByteArray(reinterpret_cast<const char*>(&card), sizeof card);
    // A doctor's confirmed reading, and each amendment of it, is new content of the same study.
    if (statements.m_bConfirmed) {
        content +=
            QByteArray::fromStdString(statements.m_strHeading + '\n' + statements.m_strAmendReason);
        for (const std::string& text : StatementTexts(statements))
            content += QByteArray::fromStdString('\n' + text);
    }
    return content;
}

// Twelve-lead ECG storage for the standard leads, General ECG for the Nehb and Slopak systems.
const char* EcgSopClass(const ECG_RECORD& record) {
    const RECORD_INFO info = ReadRecordInfo(record.curves_buf);
    return info.leadSystem == 2 || info.leadSystem == 3 ? kGeneralEcgStorage
                                                        : kTwelveLeadEcgStorage;
}

// The patient and general study modules, the same in the ECG and in the report beside it.
OFCondition PutPatientAndStudy(DcmDataset& set, const ECG_RECORD& record, const PATIENT_CARD& card,
                               const CFileStatements& statements, const std::string& date,
                               const std::string& time, const CRecordOrder& order) {
    // The order's study when the worklist gave one: the archive files the ECG where the
    // hospital's request expects it.
    const std::string studyUid = order.Bound() && !order.m_strStudyUid.empty()
                                     ? order.m_strStudyUid
                                     : UidOf("study " + AcquisitionOf(record, order));
    OFCondition c = EC_Normal;
    auto put = [&](const DcmTagKey& tag, const std::string& value) {
        if (c.good())
            c = set.putAndInsertString(tag, value.c_str());
    };
    // Patient
    put(DCM_PatientName, PersonName(card));
    // An archive files objects by the Patient ID: the card's own identifier, else one derived
    // from the patient's names and birth date and marked as ours, never empty for a named card.
    const std::string ownId = CardPatientId(card);
    const std::string patientId = ownId.empty() ? DerivedPatientId(card) : ownId;
    put(DCM_PatientID, patientId);
    if (ownId.empty() && !patientId.empty()) {
        put(DCM_IssuerOfPatientID, kDerivedIdIssuer);
        put(DCM_TypeOfPatientID, "TEXT");
    }
    if (CardBirthDateValid(card))
        put(DCM_PatientBirthDate,
            Digits(card.birth_year, 4) + Digits(card.birth_month, 2) + Digits(card.birth_day, 2));
    else
        put(DCM_PatientBirthDate, "");
    const bool hasName = card.last_name[0] || card.first_name[0];
    put(DCM_PatientSex, hasName && card.sex <= 1 ? (card.sex == 1 ? "M" : "F") : "");
    if (card.height != 0) // centimetres as metres
        put(DCM_PatientSize, Decimal(card.height / 100.0));
    if (card.weight != 0)
        put(DCM_PatientWeight, std::to_string(card.weight));
    // General study
    put(DCM_StudyInstanceUID, studyUid);
    put(DCM_StudyDate, date);
    put(DCM_StudyTime, time);
    // The card's doctor is the one who sent the patient for the ECG and reads it.
    put(DCM_ReferringPhysicianName,
        PersonPart(CardTextUtf8(card.doctor_name, sizeof card.doctor_name)));
    if (const std::string phone = CardTextUtf8(card.doctor_phone, sizeof card.doctor_phone);
        !phone.empty())
        put(DCM_ReferringPhysicianTelephoneNumbers, PersonPart(phone));
    // The doctor who confirmed the reading the object carries.
    if (statements.m_bConfirmed && !statements.m_strPhysician.empty())
        put(DCM_NameOfPhysiciansReadingStudy, PhysicianName(statements.m_strPhysician));
    put(DCM_StudyID, std::to_string(record.curve_id));
    put(DCM_AccessionNumber, order.Bound() ? order.m_strAccession : "");
    return c;
}

// What the hospital requested, in the ECG's series: the request the archive and the information
// system match the result to.
OFCondition PutRequestAttributes(DcmDataset& set, const CRecordOrder& order) {
    if (!order.Bound())
        return EC_Normal;
    DcmItem* request = nullptr;
    OFCondition c = set.findOrCreateSequenceItem(DCM_RequestAttributesSequence, request);
    auto put = [&](const DcmTagKey& tag, const std::string& value) {
        if (c.good())
            c = request->putAndInsertString(tag, value.c_str());
    };
    put(DCM_AccessionNumber, order.m_strAccession);
    put(DCM_RequestedProcedureID, order.m_strRequestedProcedureId);
    if (!order.m_strProcedureDescription.empty())
        put(DCM_RequestedProcedureDescription, order.m_strProcedureDescription);
    put(DCM_ScheduledProcedureStepID, order.m_strScheduledStepId);
    if (!order.m_strStudyUid.empty())
        put(DCM_StudyInstanceUID, order.m_strStudyUid);
    return c;
}

OFCondition Fill(DcmDataset& set, const ECG_RECORD& record, const PATIENT_CARD& card,
                 const CFileStatements& statements, const CRecordOrder& order) {
    const RECORD_INFO info = ReadRecordInfo(record.curves_buf);
    const int leadSystem = info.leadSystem >= 1 && info.leadSystem <= 3 ? int(info.leadSystem) : 1;
    const std::span<const CLeadEntry> leads = LeadSystemLeads(uint32_t(leadSystem));
    const int channels = int(leads.size());
    SYSTEMTIME taken;
    if (!ParseRecordDate(record.date, sizeof record.date, taken))
        taken = SYSTEMTIME{};
    const std::string date =
        Digits(taken.wYear, 4) + Digits(taken.wMonth, 2) + Digits(taken.wDay, 2);
    const std::string time =
        Digits(taken.wHour, 2) + Digits(taken.wMinute, 2) + Digits(taken.wSecond, 2);
    const QByteArray acquisition = AcquisitionOf(record, order);
    const QByteArray content = ContentOf(record, card, statements);
    const std::string seriesUid = UidOf("series " + acquisition);
    const std::string instanceUid = UidOf("instance " + acquisition + content);
    const char* sopClass = EcgSopClass(record);

    OFCondition c = EC_Normal;
    auto put = [&](const DcmTagKey& tag, const std::string& value) {
        if (c.good())
            c = set.putAndInsertString(tag, value.c_str());
    };
    // SOP common
    put(DCM_SpecificCharacterSet, "ISO_IR 192"); // UTF-8: Cyrillic names as they are
    put(DCM_SOPClassUID, sopClass);
    put(DCM_SOPInstanceUID, instanceUid);
    if (c.good())
        c = PutPatientAndStudy(set, record, card, statements, date, time, order);
    // General series
    put(DCM_Modality, "ECG");
    put(DCM_SeriesInstanceUID, seriesUid);
    put(DCM_SeriesNumber, "1");
    if (c.good())
        c = PutRequestAttributes(set, order);
    // General equipment
    // The device that recorded it: our cardiograph, as the SCP-ECG file of the same record names
    // it, or another system's as its file did (nothing when it said nothing).
    const CRecordEquipment device = RecordEquipment(record);
    put(DCM_Manufacturer, device.m_strManufacturer);
    if (!device.m_strModel.empty())
        put(DCM_ManufacturerModelName, device.m_strModel);
    if (!device.m_strSerial.empty())
        put(DCM_DeviceSerialNumber, device.m_strSerial);
    put(DCM_SoftwareVersions, "velmora");
    // Waveform identification
    put(DCM_InstanceNumber, "1");
    put(DCM_ContentDate, date);
    put(DCM_ContentTime, time);
    put(DCM_AcquisitionDateTime, date + time);
    if (c.good())
        c = set.insertEmptyElement(DCM_AcquisitionContextSequence);
    if (c.bad())
        return c;

    // Waveform: one multiplex group, the samples interleaved channel by channel.
    DcmItem* group = nullptr;
    c = set.findOrCreateSequenceItem(DCM_WaveformSequence, group);
    auto gput = [&](const DcmTagKey& tag, const std::string& value) {
        if (c.good())
            c = group->putAndInsertString(tag, value.c_str());
    };
    gput(DCM_WaveformOriginality, "ORIGINAL");
    if (c.good())
        c = group->putAndInsertUint16(DCM_NumberOfWaveformChannels, Uint16(channels));
    if (c.good())
        c = group->putAndInsertUint32(DCM_NumberOfWaveformSamples, Uint32(kPoints));
    gput(DCM_SamplingFrequency, "409.6");
    gput(DCM_MultiplexGroupLabel, "RHYTHM");
    for (int k = 0; k < channels && c.good(); ++k) {
        DcmItem* def = nullptr;
        c = group->findOrCreateSequenceItem(DCM_ChannelDefinitionSequence, def, -2);
        DcmItem* source = nullptr;
        if (c.good())
            c = def->findOrCreateSequenceItem(DCM_ChannelSourceSequence, source);
        const CDicomCode& code = leads[size_t(k)].m_dicom;
        if (c.good())
            c = PutCode(source, code.m_szValue, code.m_szScheme, code.m_szSchemeVersion,
                        code.m_szMeaning);
        if (c.good())
            c = def->putAndInsertString(DCM_ChannelSensitivity, "2");
        DcmItem* unit = nullptr;
        if (c.good())
            c = def->findOrCreateSequenceItem(DCM_ChannelSensitivityUnitsSequence, unit);
        if (c.good())
            c = PutCode(unit, "uV", "UCUM", "1.4", "microvolt");
        if (c.good())
            c = def->putAndInsertString(DCM_ChannelSensitivityCorrectionFactor, "1");
        if (c.good())
            c = def->putAndInsertString(DCM_ChannelBaseline, "0");
        if (c.good())
            c = def->putAndInsertString(DCM_ChannelSampleSkew, "0");
        if (c.good())
            c = def->putAndInsertUint16(DCM_WaveformBitsStored, 16);
        // The cardiograph's own filters, as its filter code says (bit 0: 50 Hz, bit 1: 35 Hz).
        if (c.good() && (info.filter & 2))
            c = def->putAndInsertString(DCM_FilterHighFrequency, "35");
        if (c.good() && (info.filter & 1))
            c = def->putAndInsertString(DCM_NotchFilterFrequency, "50");
    }
    if (c.good())
        c = group->putAndInsertUint16(DCM_WaveformBitsAllocated, 16);
    gput(DCM_WaveformSampleInterpretation, "SS");
    if (c.bad())
        return c;
    std::vector<Uint16> words(size_t(channels) * kPoints);
    for (int p = 0; p < kPoints; ++p)
        for (int k = 0; k < channels; ++k)
            words[size_t(p) * size_t(channels) + size_t(k)] = Uint16(Sample(record, p, k));
    c = group->putAndInsertUint16Array(DCM_WaveformData, words.data(), words.size());
    if (c.bad())
        return c;

    // The automatic measurements, for the whole group (channels "1\0": every channel of group 1),
    // without reading filters, by the Russian rate practice. Nothing is known of the patient of a
    // card that names nobody.
    const bool hasName = card.last_name[0] || card.first_name[0];
    const analysis::RecordAnalysis analysed =
        analysis::AnalyseRecord(record, hasName ? &card : nullptr, {});
    const analysis::Measurements& m = analysed.measurements;
    const Annotation annotations[] = {
        {"8867-4", "LN", "Heart rate", "/min", "per minute", m.heartRateBpm},
        {"5.10.2.1-3", "SCPECG", "RR Interval", "ms", "milliseconds", m.rrMeanMs},
        {"5.10.2-1", "SCPECG", "P Duration", "ms", "milliseconds", m.pMs},
        {"5.13.5-7", "SCPECG", "PR Interval", "ms", "milliseconds", m.prMs},
        {"5.13.5-9", "SCPECG", "QRS Duration", "ms", "milliseconds", m.qrsMs},
        {"5.13.5-11", "SCPECG", "QT Interval", "ms", "milliseconds", m.qtMs},
        {"5.10.2.5-5", "SCPECG", "QTc Interval", "ms", "milliseconds", m.qtcBazettMs},
        {"5.10.3-11", "SCPECG", "P Axis", "deg", "degrees", m.axisPDeg},
        {"5.10.3-13", "SCPECG", "QRS Axis", "deg", "degrees", m.axisQrsDeg},
        {"5.10.3-15", "SCPECG", "T Axis", "deg", "degrees", m.axisTDeg},
    };
    for (const Annotation& a : annotations) {
        if (!a.value || c.bad())
            continue;
        DcmItem* item = nullptr;
        c = set.findOrCreateSequenceItem(DCM_WaveformAnnotationSequence, item, -2);
        DcmItem* name = nullptr;
        if (c.good())
            c = item->findOrCreateSequenceItem(DCM_ConceptNameCodeSequence, name);
        if (c.good())
            c = PutCode(name, a.code, a.scheme,
                        std::strcmp(a.scheme, "SCPECG") == 0 ? "1.3" : nullptr, a.meaning);
        if (c.good())
            c = item->putAndInsertString(DCM_NumericValue, Decimal(*a.value).c_str());
        DcmItem* unit = nullptr;
        if (c.good())
            c = item->findOrCreateSequenceItem(DCM_MeasurementUnitsCodeSequence, unit);
        if (c.good())
            c = PutCode(unit, a.unit, "UCUM", "1.4", a.unitMeaning);
        const Uint16 all[2] = {1, 0};
        if (c.good())
            c = item->putAndInsertUint16Array(DCM_ReferencedWaveformChannels, all, 2);
        if (c.good())
            c = item->putAndInsertUint16(DCM_AnnotationGroupNumber, 1);
    }
    // The statements as text annotations of a group of their own, under their heading (a viewer
    // lists text annotations in order): the one that says no doctor has confirmed them, or the
    // one that names the confirming doctor and the time, with an amendment's reason after it.
    std::vector<std::string> texts = StatementTexts(statements);
    if (!texts.empty()) {
        std::vector<std::string> head;
        if (!statements.m_strHeading.empty())
            head.push_back(statements.m_strHeading);
        if (statements.m_bConfirmed && !statements.m_strAmendReason.empty())
            head.push_back(AmendmentLine(statements.m_strAmendReason));
        texts.insert(texts.begin(), head.begin(), head.end());
    }
    for (const std::string& text : texts) {
        if (c.bad())
            break;
        DcmItem* item = nullptr;
        c = set.findOrCreateSequenceItem(DCM_WaveformAnnotationSequence, item, -2);
        if (c.good())
            c = item->putAndInsertString(DCM_UnformattedTextValue, ShortText(text).c_str());
        const Uint16 all[2] = {1, 0};
        if (c.good())
            c = item->putAndInsertUint16Array(DCM_ReferencedWaveformChannels, all, 2);
        if (c.good())
            c = item->putAndInsertUint16(DCM_AnnotationGroupNumber, kStatementGroup);
    }
    return c;
}

std::string DateOf(const ECG_RECORD& record, bool time) {
    SYSTEMTIME taken;
    if (!ParseRecordDate(record.date, sizeof record.date, taken))
        taken = SYSTEMTIME{};
    return time ? Digits(taken.wHour, 2) + Digits(taken.wMinute, 2) + Digits(taken.wSecond, 2)
                : Digits(taken.wYear, 4) + Digits(taken.wMonth, 2) + Digits(taken.wDay, 2);
}

// The encapsulated document: the patient and study of the ECG, a series of its own (modality DOC),
// the PDF as it is, padded to an even length as the value must be.
OFCondition FillReport(DcmDataset& set, const ECG_RECORD& record, const PATIENT_CARD& card,
                       const CFileStatements& statements, const std::vector<uint8_t>& pdf,
                       const CRecordOrder& order) {
    const std::string date = DateOf(record, false);
    const std::string time = DateOf(record, true);
    const QByteArray acquisition = AcquisitionOf(record, order);
    const std::string seriesUid = UidOf("report series " + acquisition);
    // The report is drawn from the ECG's content: a new ECG instance is a new report instance.
    const std::string instanceUid =
        UidOf("report instance " + acquisition + ContentOf(record, card, statements));
    OFCondition c = EC_Normal;
    auto put = [&](const DcmTagKey& tag, const std::string& value) {
        if (c.good())
            c = set.putAndInsertString(tag, value.c_str());
    };
    put(DCM_SpecificCharacterSet, "ISO_IR 192");
    put(DCM_SOPClassUID, kEncapsulatedPdfStorage);
    put(DCM_SOPInstanceUID, instanceUid);
    if (c.good())
        c = PutPatientAndStudy(set, record, card, statements, date, time, order);
    put(DCM_Modality, "DOC");
    put(DCM_SeriesInstanceUID, seriesUid);
    put(DCM_SeriesNumber, "2");
    put(DCM_ConversionType, "WSD"); // drawn by this workstation
    put(DCM_Manufacturer, RecordEquipment(record).m_strManufacturer);
    put(DCM_SoftwareVersions, "velmora");
    put(DCM_InstanceNumber, "1");
    put(DCM_ContentDate, date);
    put(DCM_ContentTime, time);
    put(DCM_AcquisitionDateTime, date + time);
    put(DCM_BurnedInAnnotation, "YES"); // the page names the patient
    put(DCM_DocumentTitle, "ЭКГ");
    if (c.good())
        c = set.insertEmptyElement(DCM_ConceptNameCodeSequence);
    // Drawn from the ECG object stored with it: a viewer can go from the page to the waveform.
    DcmItem* source = nullptr;
    if (c.good())
        c = set.findOrCreateSequenceItem(DCM_SourceInstanceSequence, source);
    if (c.good())
        c = source->putAndInsertString(DCM_ReferencedSOPClassUID, EcgSopClass(record));
    if (c.good())
        c = source->putAndInsertString(
            DCM_ReferencedSOPInstanceUID,
            UidOf("instance " + acquisition + ContentOf(record, card, statements)).c_str());
    put(DCM_MIMETypeOfEncapsulatedDocument, "application/pdf");
    if (c.good())
        c = set.putAndInsertUint32(DCM_EncapsulatedDocumentLength, Uint32(pdf.size()));
    if (c.bad())
        return c;
    std::vector<Uint8> bytes(pdf.begin(), pdf.end());
    if (bytes.size() % 2)
        bytes.push_back(0);
    return set.putAndInsertUint8Array(DCM_EncapsulatedDocument, bytes.data(),
                                      static_cast<unsigned long>(bytes.size()));
}

} // namespace

bool BuildEncapsulatedReport(const ECG_RECORD& record, const PATIENT_CARD& card,
                             const CFileStatements& statements, const std::vector<uint8_t>& pdf,
                             DcmFileFormat& file, std::string* error, const CRecordOrder& order) {
    OFCondition c = FillReport(*file.getDataset(), record, card, statements, pdf, order);
    if (c.good())
        c = file.validateMetaInfo(EXS_LittleEndianExplicit);
    if (c.bad()) {
        *error = std::string("cannot build the report's DICOM object: ") + c.text();
        return false;
    }
    file.removeInvalidGroups();
    return true;
}

bool BuildDicomEcg(const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, DcmFileFormat& file, std::string* error,
                   const CRecordOrder& order) {
    OFCondition c = Fill(*file.getDataset(), record, card, statements, order);
    if (c.good())
        c = file.validateMetaInfo(EXS_LittleEndianExplicit);
    if (c.bad()) {
        *error = std::string("cannot build the DICOM object: ") + c.text();
        return false;
    }
    file.removeInvalidGroups();
    return true;
}

bool DicomEcgBytes(const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, std::vector<uint8_t>& out, std::string* error,
                   const CRecordOrder& order) {
    DcmFileFormat file;
    if (!BuildDicomEcg(record, card, statements, file, error, order))
        return false;
    const Uint32 length = file.calcElementLength(EXS_LittleEndianExplicit, EET_ExplicitLength);
    out.assign(size_t(length) + 4096, 0);
    DcmOutputBufferStream stream(out.data(), offile_off_t(out.size()));
    file.transferInit();
    const OFCondition c = file.write(stream, EXS_LittleEndianExplicit, EET_ExplicitLength, nullptr);
    file.transferEnd();
    if (c.bad()) {
        *error = std::string("cannot encode the DICOM object: ") + c.text();
        return false;
    }
    void* buffer = nullptr;
    offile_off_t written = 0;
    stream.flushBuffer(buffer, written);
    out.resize(size_t(written));
    return true;
}

bool WriteDicomEcg(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, std::string* error,
                   const CRecordOrder& order) {
    std::vector<uint8_t> bytes;
    return DicomEcgBytes(record, card, statements, bytes, error, order) &&
           WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}
