#include "record_io/record_files.h"

#include "platform/atomic_file.h"
#include "platform/bounded_file.h"
#include "record_io/fhir_bundle.h"
#include "record_io/interchange_helper.h"
#include "record_io/record_device.h"
#include "record_io/signal_record.h"
#include "record_model/record_date.h"
#include "storage/aecg_edf_files.h"
#include "storage/card_file.h"
#include "storage/export_import_file.h"
#include "storage/package_reader.h"
#include "storage/scp_export.h"
#include "storage/scp_reader.h"
#include "storage/scp_signal.h"
#include "storage/wfdb_reader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstring>

namespace {

bool ReadDat(const QString&, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
             std::string* error) {
    if (bytes.size() != sizeof(ECG_RECORD)) {
        *error = "a record file is exactly " + std::to_string(sizeof(ECG_RECORD)) +
                 " bytes, this one is " + std::to_string(bytes.size());
        return false;
    }
    std::memcpy(doc.pRecord.get(), bytes.data(), sizeof(ECG_RECORD));
    CardFromRecordTexts(*doc.pRecord, doc.card);
    return true;
}

bool ReadPackage(const QString&, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
                 std::string* error) {
    RECORD_DEFINITION def{};
    if (!ReadExportPackage(bytes.data(), bytes.size(), *doc.pRecord, def, error))
        return false;
    CardFromRecordTexts(*doc.pRecord, doc.card);
    return true;
}

constexpr double kRecordSeconds = kPoints / kPointsPerSecond;

// A start a file gives, else the file's last change.
SYSTEMTIME StartOrFileTime(const QString& path, const SYSTEMTIME& start) {
    if (start.wYear != 0)
        return start;
    const QDateTime t = QFileInfo(path).lastModified();
    return SYSTEMTIME{uint16_t(t.date().year()),          uint16_t(t.date().month()),
                      uint16_t(t.date().dayOfWeek() % 7), uint16_t(t.date().day()),
                      uint16_t(t.time().hour()),          uint16_t(t.time().minute()),
                      uint16_t(t.time().second()),        0};
}

// Whose the recording is: one of our cardiograph's (our own interchange file read back) gets its
// device and record number again; another system's is marked so, with the device its file names,
// so that no file we write of it names our cardiograph.
void TakeRecordDetails(const CFileDetails& details, ECG_RECORD& record) {
    if (details.m_bOurs) {
        record.device_id = details.m_nDeviceId;
        record.curve_id = details.m_nCurveId;
        RECORD_INFO info = ReadRecordInfo(record.curves_buf);
        info.serial = uint32_t(details.m_nDeviceId);
        info.serialHi = uint32_t(details.m_nDeviceId >> 32) & 0xFF;
        info.curveNo = details.m_nCurveId;
        WriteRecordInfo(record.curves_buf, info);
        return;
    }
    SetRecordEquipment(record, CRecordEquipment{.m_bOurs = false,
                                                .m_strManufacturer = details.m_strManufacturer,
                                                .m_strModel = details.m_strModel,
                                                .m_strSerial = details.m_strSerial});
}

bool ReadWfdb(const QString& path, const std::vector<uint8_t>&, CLoadedRecord& doc,
              std::string* error) {
    WfdbRecord r;
    if (!ReadWfdbRecord(QFile::encodeName(path).toStdString(), kRecordSeconds + 0.5, r, error))
        return false;
    if (!RecordFromSignal(r.signal, StartOrFileTime(path, r.header.start), *doc.pRecord, error,
                          &doc.absentLanes))
        return false;
    if (r.dTotalSeconds > kRecordSeconds + 0.01)
        doc.dSourceSeconds = r.dTotalSeconds;
    TakeRecordDetails(CFileDetails{}, *doc.pRecord); // a header names no device
    return true;
}

// Another system's file through the interchange helper: its first ten seconds as a record, its
// patient as the card.
bool ReadForeign(const QString& path, const std::vector<uint8_t>&, CLoadedRecord& doc,
                 std::string* error) {
    ForeignEcg ecg;
    CFileDetails details;
    const RecordFileType* type = RecordFileTypeOf(path);
    const HelperReader reader = type ? type->helper : HelperReader::Biosig;
    if (!ReadForeignFile(path, reader, kRecordSeconds + 0.5, ecg, error, &details) ||
        !RecordFromSignal(ecg.signal, StartOrFileTime(path, ecg.start), *doc.pRecord, error,
                          &doc.absentLanes))
        return false;
    CardFromForeign(ecg, doc.card, &details);
    TakeRecordDetails(details, *doc.pRecord);
    if (ecg.dTotalSeconds > kRecordSeconds + 0.01)
        doc.dSourceSeconds = ecg.dTotalSeconds;
    return true;
}

// Our own SCP files by our record reader (their samples as they are); every other writer's
// coding (Huffman, differences, bimodal compression, reference beats, 8 leads, any rate) by our
// signal reader, resampled to a record; libbiosig only for a coding that reader does not take.
// The patient and the time come from our reading of Section 1, which knows the file's language
// code and does not lose a second.
bool ReadScp(const QString& path, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
             std::string* error) {
    // The file's own findings, whoever wrote them; statements and measurements cut short by a
    // fault are kept as far as they are whole (the record stands without them).
    ReadScpStatements(bytes.data(), bytes.size(), doc.fileStatements, nullptr);
    CScpMeasurements measurements;
    ReadScpMeasurements(bytes.data(), bytes.size(), measurements, nullptr);
    doc.fileFindings = FindingsFromScp(measurements);
    bool otherCoding = false;
    if (ReadScpRecord(bytes.data(), bytes.size(), *doc.pRecord, doc.card, error, &otherCoding))
        return true;
    if (!otherCoding)
        return false;
    PATIENT_CARD card;
    SYSTEMTIME taken;
    CRecordEquipment device;
    const bool patient = ReadScpPatient(bytes.data(), bytes.size(), card, taken, nullptr, &device);
    CEcgSignal signal;
    bool unsupported = false;
    if (ReadScpSignal(bytes.data(), bytes.size(), signal, error, &unsupported)) {
        if (!RecordFromSignal(signal, StartOrFileTime(path, patient ? taken : SYSTEMTIME{}),
                              *doc.pRecord, error, &doc.absentLanes))
            return false;
        if (signal.Seconds() > kRecordSeconds + 0.01)
            doc.dSourceSeconds = signal.Seconds();
        if (patient)
            doc.card = card;
        TakeRecordDetails(CFileDetails{}, *doc.pRecord);
        if (patient && !device.m_bOurs)
            SetRecordEquipment(*doc.pRecord, device);
        return true;
    }
    if (!unsupported || !ReadForeign(path, bytes, doc, error))
        return false;
    if (patient) {
        doc.card = card;
        if (!device.m_bOurs) // tag 14 as the file has it, not as libbiosig bends it
            SetRecordEquipment(*doc.pRecord, device);
        const std::string date = FormatRecordDate(taken);
        std::memcpy(doc.pRecord->date, date.c_str(), date.size() + 1);
    }
    return true;
}

bool WriteDicom(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                const RECORD_DEFINITION&, const CFileStatements& statements,
                std::span<const uint8_t>, std::string* error, const CRecordOrder& order) {
    return WriteDicomFile(path, record, card, statements, error, order);
}

bool WriteAecg(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
               const RECORD_DEFINITION&, const CFileStatements& statements,
               std::span<const uint8_t>, std::string* error, const CRecordOrder&) {
    return WriteAecgFile(QFile::encodeName(path).toStdString(), record, card, statements, error);
}

// EDF+ has no place for statements: its annotations are events in time.
bool WriteEdf(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
              const RECORD_DEFINITION&, const CFileStatements&, std::span<const uint8_t>,
              std::string* error, const CRecordOrder&) {
    return WriteEdfFile(QFile::encodeName(path).toStdString(), record, card, error);
}

bool WriteDat(const QString& path, const ECG_RECORD& record, const PATIENT_CARD&,
              const RECORD_DEFINITION&, const CFileStatements&, std::span<const uint8_t>,
              std::string* error, const CRecordOrder&) {
    return WriteFileAtomically(QFile::encodeName(path).toStdString(), &record, sizeof record,
                               error);
}

bool WritePackage(const QString& path, const ECG_RECORD& record, const PATIENT_CARD&,
                  const RECORD_DEFINITION& def, const CFileStatements&, std::span<const uint8_t>,
                  std::string* error, const CRecordOrder&) {
    CExportImportFile file;
    if (file.ExportRecord(def, record, QFile::encodeName(path).toStdString()))
        return true;
    *error = file.LastErrorText();
    return false;
}

bool WriteScp(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
              const RECORD_DEFINITION&, const CFileStatements& statements, std::span<const uint8_t>,
              std::string* error, const CRecordOrder&) {
    const ScpSaveResult r = SaveScp(record, card, RecordDeviceValues(record),
                                    QFile::encodeName(path).toStdString(), nullptr, &statements);
    if (!r.bOk)
        *error = r.strError;
    return r.bOk;
}

bool WriteFhir(const QString& path, const ECG_RECORD& record, const PATIENT_CARD& card,
               const RECORD_DEFINITION&, const CFileStatements& statements,
               std::span<const uint8_t> reportPdf, std::string* error, const CRecordOrder&) {
    const QByteArray json = FhirBundleJson(record, card, statements, reportPdf);
    return WriteFileAtomically(QFile::encodeName(path).toStdString(), json.constData(),
                               size_t(json.size()), error);
}

// The whole signal of a WFDB record, every lead however long, at its own rate.
bool ReadWfdbSignal(const QString& path, CEcgSignal& signal, std::string* error) {
    WfdbRecord r;
    if (!ReadWfdbRecord(QFile::encodeName(path).toStdString(), 0, r, error))
        return false;
    signal = std::move(r.signal);
    return true;
}

const RecordFileType kTypes[] = {
    {.extension = ".dat",
     .name = "record block",
     .description = "the 112552-byte record block",
     .filter = "Записи (*.dat)",
     .read = ReadDat,
     .write = WriteDat},
    {.extension = ".ecg",
     .name = "export package",
     .description = "the export package; needs a card",
     .filter = "Пакеты экспорта (*.ecg)",
     .bNeedsCard = true,
     .read = ReadPackage,
     .write = WritePackage,
     .bOffersOthers = true},
    {.extension = ".scp",
     .name = "SCP-ECG file",
     .description = "an SCP-ECG file; needs a card",
     .filter = "Файлы SCP (*.scp)",
     .bNeedsCard = true,
     .use = CardUse::Scp,
     .read = ReadScp,
     .write = WriteScp,
     .bWritesStatements = true,
     .helper = HelperReader::Biosig},
    {.extension = ".hea",
     .name = "WFDB record",
     .description = "a PhysioNet WFDB record (its .hea header; opened only)",
     .filter = "Записи WFDB (*.hea)",
     .read = ReadWfdb,
     .readSignal = ReadWfdbSignal},
    {.extension = ".dcm",
     .name = "DICOM ECG",
     .description = "a DICOM 12-lead ECG waveform object (for the PACS)",
     .filter = "DICOM ЭКГ (*.dcm)",
     .read = ReadForeign,
     .write = WriteDicom,
     .bWritesStatements = true,
     .bCarriesCard = true,
     .helper = HelperReader::Dicom,
     .bOfferedBesideOthers = true},
    {.extension = ".xml",
     .name = "HL7 aECG",
     .description = "an HL7 annotated ECG (aECG) XML file",
     .filter = "HL7 aECG (*.xml)",
     .read = ReadForeign,
     .write = WriteAecg,
     .bWritesStatements = true,
     .bCarriesCard = true,
     .helper = HelperReader::Biosig,
     .bOfferedBesideOthers = true},
    {.extension = ".edf",
     .name = "EDF+ file",
     .description = "an EDF+ file (European Data Format)",
     .filter = "EDF+ (*.edf)",
     .read = ReadForeign,
     .write = WriteEdf,
     .bCarriesCard = true,
     .helper = HelperReader::Biosig,
     .bOfferedBesideOthers = true},
    // Saved only: a bundle is a report of the record, not a signal to read back.
    {.extension = ".json",
     .name = "FHIR R4 bundle",
     .description = "a FHIR R4 DiagnosticReport bundle (measurements, statements, the printed "
                    "report as PDF)",
     .filter = "FHIR R4 DiagnosticReport (*.json)",
     .write = WriteFhir,
     .bWritesStatements = true,
     .bWritesReport = true},
};

} // namespace

std::span<const RecordFileType> RecordFileTypes() {
    return kTypes;
}

const RecordFileType* RecordFileTypeOf(const QString& path) {
    for (const RecordFileType& t : kTypes)
        if (path.endsWith(QLatin1String(t.extension), Qt::CaseInsensitive))
            return &t;
    return nullptr;
}

QString OpenDialogFilter() {
    QStringList patterns, filters;
    for (const RecordFileType& t : kTypes) {
        if (!t.read)
            continue;
        patterns << QStringLiteral("*") + QLatin1String(t.extension);
        filters << QString::fromUtf8(t.filter);
    }
    return QStringLiteral("Все записи (%1);;").arg(patterns.join(QLatin1Char(' '))) +
           filters.join(QStringLiteral(";;")) + QStringLiteral(";;Все файлы (*)");
}

bool CheckRecordBlock(const ECG_RECORD& record, std::string* error) {
    const RECORD_INFO info = ReadRecordInfo(record.curves_buf);
    if (info.magic != kRecordInfoMagic) {
        *error = "it holds no record: the record info block is missing";
        return false;
    }
    if (info.leadSystem < 1 || info.leadSystem > 3) {
        *error = "its lead system " + std::to_string(info.leadSystem) + " is none of 1, 2 or 3";
        return false;
    }
    if (info.points != uint32_t(kPoints)) {
        *error = "it says it has " + std::to_string(info.points) + " points, a record has " +
                 std::to_string(kPoints);
        return false;
    }
    SYSTEMTIME t;
    if (!ParseRecordDate(record.date, sizeof record.date, t)) {
        *error = "its date is not a date and time of the form YYYY-MM-DD HH:MM:SS";
        return false;
    }
    return true;
}

bool OpenRecordFile(const QString& path, CLoadedRecord& doc, std::string* error,
                    const RecordFileType** pType) {
    const std::string file = path.toStdString();
    auto fail = [&](const std::string& why) {
        *error = "cannot open " + file + ": " + why;
        return false;
    };
    const RecordFileType* type = RecordFileTypeOf(path);
    if (!type || !type->read) {
        std::string known;
        for (const RecordFileType& t : kTypes)
            if (t.read)
                known += std::string(known.empty() ? "" : ", ") + t.extension;
        return fail("not a record file type (the types that open are " + known + ")");
    }
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadWholeFile(QFile::encodeName(path).toStdString(), kMaxRecordFileSize, bytes, &why))
        return fail(why);
    CLoadedRecord read;
    if (!type->read(path, bytes, read, &why) || !CheckRecordBlock(*read.pRecord, &why))
        return fail(why);
    doc = std::move(read);
    if (pType)
        *pType = type;
    return true;
}

std::vector<std::string> MissingForType(const RecordFileType& type, const PATIENT_CARD& card) {
    if (!type.bNeedsCard)
        return {};
    return MissingCardFields(card, type.use);
}

bool PrepareRecordForType(const RecordFileType& type, const ECG_RECORD& record,
                          const PATIENT_CARD* card, CPreparedRecord& prepared, std::string* error) {
    if (type.bNeedsCard) {
        if (!card) {
            *error = std::string("a ") + type.extension + " file needs the patient card";
            return false;
        }
        const std::vector<std::string> missing = MissingForType(type, *card);
        if (!missing.empty()) {
            const std::string names = JoinFieldNames(missing);
            *error = std::string("the card is incomplete for a ") + type.extension +
                     " file: missing " + names;
            return false;
        }
    }
    if (card) {
        // Nobody is born after their record was taken.
        SYSTEMTIME taken;
        const int year = ParseRecordDate(record.date, sizeof record.date, taken)
                             ? taken.wYear
                             : GetLocalTime().wYear;
        std::string why;
        if (BirthDateFault(*card, year, &why)) {
            *error = "the card's date of birth cannot be: " + why;
            return false;
        }
    }
    *prepared.m_pRecord = record;
    prepared.m_Card = card ? *card : PATIENT_CARD{};
    prepared.m_Def = RECORD_DEFINITION{};
    if (card) // the card's texts go into source and notes
        ParseRecordDefinition(prepared.m_Card, *prepared.m_pRecord, prepared.m_Def);
    return true;
}

CFileStatements RecordStatements(const ECG_RECORD& record, const PATIENT_CARD* card,
                                 const CStatementSettings& how) {
    CFileStatements out;
    if (const CDoctorReading* r = how.m_pReading; r && r->Confirmed()) {
        out.m_bConfirmed = true;
        out.m_stMade = r->confirmedAt;
        out.m_strPhysician = r->doctorName;
        out.m_strHeading = ConfirmationLine(r->doctorName, r->confirmedAt);
        for (const CReadStatement& s : r->statements) {
            out.m_Statements.push_back(s.text);
            out.m_Codes.push_back(s.code);
        }
        out.m_strConclusion = r->conclusion;
        if (r->version > 1)
            out.m_strAmendReason = r->amendReason;
        return out;
    }
    const analysis::RecordAnalysis a =
        analysis::AnalyseRecord(record, card, how.m_Filters, how.m_Settings);
    if (!ParseRecordDate(record.date, sizeof record.date, out.m_stMade))
        out.m_stMade = SYSTEMTIME{};
    out.m_strHeading = analysis::kUnconfirmedHeading;
    for (const analysis::Statement& s : a.interpretation.statements) {
        out.m_Statements.push_back(s.text);
        out.m_Codes.push_back(s.code);
    }
    return out;
}

bool SaveRecordFile(const QString& path, const RecordFileType& type, const ECG_RECORD& record,
                    const PATIENT_CARD* card, std::string* error, const CStatementSettings& how) {
    if (!type.write) {
        *error = std::string("a ") + type.name + " cannot be saved";
        return false;
    }
    CPreparedRecord prepared;
    if (!PrepareRecordForType(type, record, card, prepared, error))
        return false;
    std::vector<uint8_t> pdf;
    if (type.bWritesReport) {
        if (!how.m_MakeReportPdf) {
            *error = std::string("a ") + type.name +
                     " carries the printed report, and nothing was given to print it";
            return false;
        }
        std::string why;
        if (!how.m_MakeReportPdf(*prepared.m_pRecord, prepared.m_Card, pdf, &why)) {
            *error = "cannot write " + path.toStdString() + ": the report: " + why;
            return false;
        }
    }
    const CFileStatements statements =
        type.bWritesStatements
            ? RecordStatements(*prepared.m_pRecord, card ? &prepared.m_Card : nullptr, how)
            : CFileStatements{};
    return type.write(path, *prepared.m_pRecord, prepared.m_Card, prepared.m_Def, statements, pdf,
                      error, how.m_Order);
}

bool KeepReceivedRecord(const ECG_RECORD& record, const QString& recordFolder, QString* path,
                        std::string* error) {
    const QString folder = QDir(recordFolder).filePath(QStringLiteral("received"));
    if (!QDir().mkpath(folder)) {
        *error = "cannot create the folder " + folder.toStdString();
        return false;
    }
    // The date text as a file name: no ':' (other systems refuse it), nothing a file name
    // cannot hold.
    QString stem = QString::fromLatin1(record.date, int(strnlen(record.date, sizeof record.date)));
    for (QChar& c : stem)
        if (c == QLatin1Char(':') || c == QLatin1Char('/') || c.unicode() < 0x20)
            c = QLatin1Char('-');
    stem += QLatin1Char(' ') + RecordNumberText(record);
    QString target = QDir(folder).filePath(stem + QStringLiteral(".dat"));
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = QDir(folder).filePath(stem + QStringLiteral("-%1.dat").arg(n));
    if (!WriteFileAtomically(QFile::encodeName(target).toStdString(), &record, sizeof record,
                             error))
        return false;
    *path = target;
    return true;
}

bool OpenRecordSignal(const QString& path, CEcgSignal& signal, std::string* error) {
    if (const RecordFileType* type = RecordFileTypeOf(path); type && type->readSignal) {
        if (!type->readSignal(path, signal, error)) {
            *error = "cannot open " + path.toStdString() + ": " + *error;
            return false;
        }
        return true;
    }
    CLoadedRecord doc;
    if (!OpenRecordFile(path, doc, error))
        return false;
    signal = SignalFromRecord(*doc.pRecord);
    return true;
}
