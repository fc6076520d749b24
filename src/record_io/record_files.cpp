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
#include "storage/cart_xml.h"
#include "storage/export_import_file.h"
#include "storage/ishne_reader.h"
#include "storage/package_reader.h"
#include "storage/scp_export.h"
#include "storage/scp_file.h"
#include "storage/scp_reader.h"
#include "storage/scp_signal.h"
#include "storage/wfdb_reader.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstring>
#include <sstream>
#include <string_view>

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

// The record whose header is at headerPath (path: the file opened, for its time).
bool ReadWfdbAt(const QString& path, const std::string& headerPath, CLoadedRecord& doc,
                std::string* error) {
    WfdbRecord r;
    if (!ReadWfdbRecord(headerPath, kRecordSeconds + 0.5, r, error))
        return false;
    if (!RecordFromSignal(r.signal, StartOrFileTime(path, r.header.start), *doc.pRecord, error,
                          &doc.absentLanes))
        return false;
    if (r.dTotalSeconds > kRecordSeconds + 0.01)
        doc.dSourceSeconds = r.dTotalSeconds;
    TakeRecordDetails(CFileDetails{}, *doc.pRecord); // a header names no device
    return true;
}

bool ReadWfdb(const QString& path, const std::vector<uint8_t>&, CLoadedRecord& doc,
              std::string* error) {
    return ReadWfdbAt(path, QFile::encodeName(path).toStdString(), doc, error);
}

// A .mat signal file opens the record whose header beside it names it.
bool ReadWfdbMat(const QString& path, const std::vector<uint8_t>&, CLoadedRecord& doc,
                 std::string* error) {
    std::string header;
    return FindWfdbHeaderOf(QFile::encodeName(path).toStdString(), header, error) &&
           ReadWfdbAt(path, header, doc, error);
}

// An ISHNE Holter file's first ten seconds, read from its path; its patient as the card, its
// recorder as the device.
bool ReadIshne(const QString& path, const std::vector<uint8_t>&, CLoadedRecord& doc,
               std::string* error) {
    CIshneReader reader;
    ForeignEcg ecg;
    if (!reader.Open(QFile::encodeName(path).toStdString(), error) ||
        !reader.ReadStart(kRecordSeconds + 0.5, ecg, error) ||
        !RecordFromSignal(ecg.signal, StartOrFileTime(path, ecg.start), *doc.pRecord, error,
                          &doc.absentLanes))
        return false;
    CardFromForeign(ecg, doc.card);
    CFileDetails details;
    details.m_strModel = reader.Header().m_strRecorder;
    TakeRecordDetails(details, *doc.pRecord);
    if (ecg.dTotalSeconds > kRecordSeconds + 0.01)
        doc.dSourceSeconds = ecg.dTotalSeconds;
    return true;
}

// Another system's file through the interchange helper: its first ten seconds as a record, its
// patient as the card.
bool ReadForeignWith(HelperReader reader, const QString& path, CLoadedRecord& doc,
                     std::string* error) {
    ForeignEcg ecg;
    CFileDetails details;
    if (!ReadForeignFile(path, reader, kRecordSeconds + 0.5, ecg, error, &details) ||
        !RecordFromSignal(ecg.signal, StartOrFileTime(path, ecg.start), *doc.pRecord, error,
                          &doc.absentLanes))
        return false;
    CardFromForeign(ecg, doc.card, &details);
    TakeRecordDetails(details, *doc.pRecord);
    if (ecg.dTotalSeconds > kRecordSeconds + 0.01)
        doc.dSourceSeconds = ecg.dTotalSeconds;
    // What the file's writer found (a DICOM object's annotations), kept apart from velmora's own.
    // A helper that found none leaves what the caller read already (an SCP file's sections).
    if (!details.m_Findings.Empty() || !details.m_Statements.m_Statements.empty()) {
        doc.fileFindings = std::move(details.m_Findings);
        doc.fileStatements = std::move(details.m_Statements);
        doc.fileStatements.m_stMade = StartOrFileTime(path, ecg.start);
    }
    return true;
}

// The helper's reader is the content's type's, not the extension's: a renamed file is read as
// what it is.
bool ReadForeign(const QString& path, const std::vector<uint8_t>&, CLoadedRecord& doc,
                 std::string* error) {
    return ReadForeignWith(HelperReader::Biosig, path, doc, error);
}

bool ReadDicomEcg(const QString& path, const std::vector<uint8_t>&, CLoadedRecord& doc,
                  std::string* error) {
    return ReadForeignWith(HelperReader::Dicom, path, doc, error);
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
    doc.fileFindings.m_strWriter = "SCP-ECG";
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

// A cart's XML: its first ten seconds as a record, its patient as the card, its own
// interpretation and measurements beside them.
bool ReadCartXml(bool (*reader)(const uint8_t*, size_t, CCartXmlEcg&, std::string*),
                 const QString& path, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
                 std::string* error) {
    CCartXmlEcg ecg;
    if (!reader(bytes.data(), bytes.size(), ecg, error) ||
        !RecordFromSignal(ecg.signal, StartOrFileTime(path, ecg.start), *doc.pRecord, error,
                          &doc.absentLanes))
        return false;
    if (ecg.signal.Seconds() > kRecordSeconds + 0.01)
        doc.dSourceSeconds = ecg.signal.Seconds();
    doc.card = ecg.card;
    TakeRecordDetails(CFileDetails{}, *doc.pRecord);
    SetRecordEquipment(*doc.pRecord, ecg.device);
    doc.fileStatements = std::move(ecg.statements);
    doc.fileFindings = std::move(ecg.findings);
    return true;
}

bool CartXmlSignal(bool (*reader)(const uint8_t*, size_t, CCartXmlEcg&, std::string*),
                   const QString& path, CEcgSignal& signal, std::string* error) {
    std::vector<uint8_t> bytes;
    CCartXmlEcg ecg;
    if (!ReadWholeFile(QFile::encodeName(path).toStdString(), kMaxRecordFileSize, bytes, error) ||
        !reader(bytes.data(), bytes.size(), ecg, error))
        return false;
    signal = std::move(ecg.signal);
    return true;
}

bool ReadPhilips(const QString& path, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
                 std::string* error) {
    return ReadCartXml(ReadPhilipsXml, path, bytes, doc, error);
}
bool ReadMuse(const QString& path, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
              std::string* error) {
    return ReadCartXml(ReadMuseXml, path, bytes, doc, error);
}
bool ReadCardioSoft(const QString& path, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
                    std::string* error) {
    return ReadCartXml(ReadCardioSoftXml, path, bytes, doc, error);
}
bool ReadPhilipsSignal(const QString& path, CEcgSignal& signal, std::string* error) {
    return CartXmlSignal(ReadPhilipsXml, path, signal, error);
}
bool ReadMuseSignal(const QString& path, CEcgSignal& signal, std::string* error) {
    return CartXmlSignal(ReadMuseXml, path, signal, error);
}
bool ReadCardioSoftSignal(const QString& path, CEcgSignal& signal, std::string* error) {
    return CartXmlSignal(ReadCardioSoftXml, path, signal, error);
}
bool ClaimsPhilips(std::span<const uint8_t> head) {
    return XmlRootElement(head) == "restingecgdata";
}
bool ClaimsMuse(std::span<const uint8_t> head) {
    return XmlRootElement(head) == "RestingECG";
}
bool ClaimsCardioSoft(std::span<const uint8_t> head) {
    return XmlRootElement(head) == "CardiologyXML";
}

// The aECG row takes the .xml files no cart claims: an XML of another kind is said to be none of
// the formats we read before the helper is started for it.
bool ReadAecg(const QString& path, const std::vector<uint8_t>& bytes, CLoadedRecord& doc,
              std::string* error) {
    if (XmlRootElement(std::span(bytes.data(), std::min<size_t>(bytes.size(), 64 * 1024))) !=
        "AnnotatedECG") {
        *error = kNotKnownEcgXml;
        return false;
    }
    return ReadForeign(path, bytes, doc, error);
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

bool ReadWfdbMatSignal(const QString& path, CEcgSignal& signal, std::string* error) {
    std::string header;
    return FindWfdbHeaderOf(QFile::encodeName(path).toStdString(), header, error) &&
           ReadWfdbSignal(QFile::decodeName(header.c_str()), signal, error);
}

bool OpenWfdbPiecesAt(const std::string& header, CSignalPieces& pieces, std::string* error) {
    auto reader = std::make_shared<CWfdbSignalReader>();
    if (!reader->Open(header, error))
        return false;
    pieces.dRate = reader->Header().rate;
    pieces.nFrames = size_t(reader->Frames());
    pieces.nLeads = reader->Header().channels.size();
    pieces.read = [reader](size_t first, size_t count, CEcgSignal& out, std::string* why) {
        return reader->Read(long(first), long(count), out, why);
    };
    return true;
}

bool OpenWfdbPieces(const QString& path, CSignalPieces& pieces, std::string* error) {
    return OpenWfdbPiecesAt(QFile::encodeName(path).toStdString(), pieces, error);
}

bool OpenWfdbMatPieces(const QString& path, CSignalPieces& pieces, std::string* error) {
    std::string header;
    return FindWfdbHeaderOf(QFile::encodeName(path).toStdString(), header, error) &&
           OpenWfdbPiecesAt(header, pieces, error);
}

bool OpenIshnePieces(const QString& path, CSignalPieces& pieces, std::string* error) {
    auto reader = std::make_shared<CIshneReader>();
    if (!reader->Open(QFile::encodeName(path).toStdString(), error))
        return false;
    pieces.dRate = reader->Rate();
    pieces.nFrames = size_t(reader->Frames());
    pieces.nLeads = size_t(reader->Header().m_nLeads);
    pieces.read = [reader](size_t first, size_t count, CEcgSignal& out, std::string* why) {
        return reader->Read(long(first), long(count), out, why);
    };
    return true;
}

// As a WFDB record: the whole of it, unless it is too large to hold (its beats are found a piece
// at a time instead).
bool ReadIshneSignal(const QString& path, CEcgSignal& signal, std::string* error) {
    constexpr double kMaxValues = 200e6; // 800 MB as floats
    CIshneReader reader;
    if (!reader.Open(QFile::encodeName(path).toStdString(), error))
        return false;
    if (double(reader.Frames()) * reader.Header().m_nLeads > kMaxValues)
        return *error = "the recording is too large to read whole (" +
                        std::to_string(reader.Frames()) + " samples per lead)",
               false;
    return reader.Read(0, reader.Frames(), signal, error);
}

// What each type's file begins with; a claim looks, it does not read: the type's reader still
// judges the whole file.

uint16_t Le16(std::span<const uint8_t> b, size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}

uint32_t Le32(std::span<const uint8_t> b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// Exactly one record block, with its info block.
bool ClaimsRecordBlock(std::span<const uint8_t> head) {
    constexpr size_t kInfoAt = offsetof(ECG_RECORD, curves_buf) + kSamplesSize;
    return head.size() == sizeof(ECG_RECORD) && Le32(head, kInfoAt) == kRecordInfoMagic;
}

// A zip whose entries (their local headers, as far as the start shows them) include the
// package's structure.txt.
bool ClaimsPackage(std::span<const uint8_t> head) {
    constexpr size_t kLocal = 30;
    const std::string_view wanted = CExportImportFile::kStructureName;
    for (size_t at = 0; at + kLocal <= head.size();) {
        if (Le32(head, at) != 0x04034b50u)
            return false;
        const size_t nameSize = Le16(head, at + 26), extra = Le16(head, at + 28);
        if (at + kLocal + nameSize > head.size())
            return false;
        const std::string_view name(reinterpret_cast<const char*>(&head[at + kLocal]), nameSize);
        if (name == wanted)
            return true;
        if (Le16(head, at + 6) & 0x08)
            return false; // sizes after the data: the next header cannot be found from here
        at += kLocal + nameSize + extra + Le32(head, at + 18);
    }
    return false;
}

// Section 0 first, whole and with a right CRC, its table starting with itself.
bool ClaimsScp(std::span<const uint8_t> head) {
    constexpr size_t kAt = 6, kHeader = 16, kPointer = 10;
    if (head.size() < kAt + kHeader + kPointer)
        return false;
    const uint32_t fileSize = Le32(head, 2);
    const uint32_t length = Le32(head, kAt + 4);
    if (Le16(head, kAt + 2) != 0 || length < kHeader + kPointer || length > fileSize - kAt ||
        fileSize < kAt + kHeader || kAt + length > head.size())
        return false;
    return ScpCrc(&head[kAt + 2], length - 2) == Le16(head, kAt) && Le16(head, kAt + kHeader) == 0;
}

// Text whose first line that is no comment is "name nsig ...".
bool ClaimsWfdbHeader(std::span<const uint8_t> head) {
    if (head.empty() || std::memchr(head.data(), 0, head.size()))
        return false;
    const std::string text(head.begin(), head.end());
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const std::string line = text.substr(at, end - at);
        at = end + 1;
        const size_t first = line.find_first_not_of(" \t\r");
        if (first == std::string::npos || line[first] == '#')
            continue;
        std::istringstream in(line);
        std::string name, count;
        in >> name >> count;
        if (name.empty() || count.empty())
            return false;
        for (char c : name)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '/' &&
                c != '.')
                return false;
        return std::all_of(count.begin(), count.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }) &&
               count.size() < 4;
    }
    return false;
}

bool ClaimsMat(std::span<const uint8_t> head) {
    CMatV4Header m;
    std::string why;
    return ParseMatV4Header(head, m, &why);
}

bool ClaimsDicom(std::span<const uint8_t> head) {
    return head.size() >= 132 && std::memcmp(&head[128], "DICM", 4) == 0;
}

// The root element is AnnotatedECG (with or without a namespace prefix).
bool ClaimsAecg(std::span<const uint8_t> head) {
    return XmlRootElement(head) == "AnnotatedECG";
}

// "0       ", then a header of 256 bytes and 256 per signal, as its own fields say.
bool ClaimsEdf(std::span<const uint8_t> head) {
    if (head.size() < 256 || std::memcmp(head.data(), "0       ", 8) != 0)
        return false;
    const auto number = [&](size_t at, size_t size, long& v) {
        const std::string field(reinterpret_cast<const char*>(&head[at]), size);
        char* end = nullptr;
        v = std::strtol(field.c_str(), &end, 10);
        const char* rest = end;
        return rest != field.c_str() &&
               std::all_of(rest, field.c_str() + field.size(), [](char c) { return c == ' '; });
    };
    long headerBytes = 0, count = 0;
    return number(184, 8, headerBytes) && number(252, 4, count) && count >= 1 &&
           headerBytes == 256 * (count + 1);
}

const RecordFileType kTypes[] = {
    {.extension = ".dat",
     .name = "record block",
     .description = "the 112552-byte record block",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "Записи (*.dat)"),
     .read = ReadDat,
     .claims = ClaimsRecordBlock,
     .write = WriteDat},
    {.extension = ".ecg",
     .name = "export package",
     .description = "the export package; needs a card",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "Пакеты экспорта (*.ecg)"),
     .bNeedsCard = true,
     .read = ReadPackage,
     .claims = ClaimsPackage,
     .write = WritePackage,
     .bOffersOthers = true},
    {.extension = ".scp",
     .name = "SCP-ECG file",
     .description = "an SCP-ECG file; needs a card",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "Файлы SCP (*.scp)"),
     .bNeedsCard = true,
     .use = CardUse::Scp,
     .read = ReadScp,
     .claims = ClaimsScp,
     .write = WriteScp,
     .bWritesStatements = true,
     .helper = HelperReader::Biosig},
    // Opened only, as a package's .ecg is saved: a Holter file is another system's recording.
    {.extension = ".ecg",
     .name = "ISHNE Holter file",
     .description = "an ISHNE 1.0 Holter file (opened only)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "Холтер ISHNE (*.ecg)"),
     .read = ReadIshne,
     .claims = IshneClaims,
     .bReadsPath = true,
     .readSignal = ReadIshneSignal,
     .openPieces = OpenIshnePieces},
    {.extension = ".hea",
     .name = "WFDB record",
     .description = "a PhysioNet WFDB record (its .hea header; opened only)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "Записи WFDB (*.hea)"),
     .read = ReadWfdb,
     .claims = ClaimsWfdbHeader,
     .readSignal = ReadWfdbSignal,
     .openPieces = OpenWfdbPieces},
    {.extension = ".mat",
     .name = "WFDB record's MATLAB signal file",
     .description = "the .mat signal file of a PhysioNet WFDB record, its .hea beside it "
                    "(opened only)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "Записи WFDB в MATLAB (*.mat)"),
     .read = ReadWfdbMat,
     .claims = ClaimsMat,
     .bReadsPath = true,
     .readSignal = ReadWfdbMatSignal,
     .openPieces = OpenWfdbMatPieces},
    {.extension = ".dcm",
     .name = "DICOM ECG",
     .description = "a DICOM 12-lead ECG waveform object (for the PACS)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "DICOM ЭКГ (*.dcm)"),
     .read = ReadDicomEcg,
     .claims = ClaimsDicom,
     .write = WriteDicom,
     .bWritesStatements = true,
     .bCarriesCard = true,
     .helper = HelperReader::Dicom,
     .bOfferedBesideOthers = true},
    // The carts' XML files share ".xml" with our aECG: each is claimed by its root element.
    {.extension = ".xml",
     .name = "Philips XML",
     .description = "a Philips XML ECG (Sierra ECG 1.03, 1.04; opened only)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "Philips XML (*.xml)"),
     .read = ReadPhilips,
     .claims = ClaimsPhilips,
     .readSignal = ReadPhilipsSignal},
    {.extension = ".xml",
     .name = "GE MUSE XML",
     .description = "a GE MUSE resting ECG XML file (opened only)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "GE MUSE XML (*.xml)"),
     .read = ReadMuse,
     .claims = ClaimsMuse,
     .readSignal = ReadMuseSignal},
    {.extension = ".xml",
     .name = "GE CardioSoft XML",
     .description = "a GE CardioSoft ECG XML file (opened only)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "GE CardioSoft XML (*.xml)"),
     .read = ReadCardioSoft,
     .claims = ClaimsCardioSoft,
     .readSignal = ReadCardioSoftSignal},
    {.extension = ".xml",
     .name = "HL7 aECG",
     .description = "an HL7 annotated ECG (aECG) XML file",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "HL7 aECG (*.xml)"),
     .read = ReadAecg,
     .claims = ClaimsAecg,
     .write = WriteAecg,
     .bWritesStatements = true,
     .bCarriesCard = true,
     .helper = HelperReader::Biosig,
     .bOfferedBesideOthers = true},
    {.extension = ".edf",
     .name = "EDF+ file",
     .description = "an EDF+ file (European Data Format)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "EDF+ (*.edf)"),
     .read = ReadForeign,
     .claims = ClaimsEdf,
     .write = WriteEdf,
     .bCarriesCard = true,
     .helper = HelperReader::Biosig,
     .bOfferedBesideOthers = true},
    // Saved only: a bundle is a report of the record, not a signal to read back.
    {.extension = ".json",
     .name = "FHIR R4 bundle",
     .description = "a FHIR R4 DiagnosticReport bundle (measurements, statements, the printed "
                    "report as PDF)",
     .filter = QT_TRANSLATE_NOOP("RecordFiles", "FHIR R4 DiagnosticReport (*.json)"),
     .write = WriteFhir,
     .bWritesStatements = true,
     .bWritesReport = true},
};

} // namespace

std::span<const RecordFileType> RecordFileTypes() {
    return kTypes;
}

const RecordFileType* RecordFileTypeOf(const QString& path) {
    // The row that saves the extension (".xml" is our aECG, not a cart's), else the first.
    const RecordFileType* first = nullptr;
    for (const RecordFileType& t : kTypes) {
        if (!path.endsWith(QLatin1String(t.extension), Qt::CaseInsensitive))
            continue;
        if (t.write)
            return &t;
        if (!first)
            first = &t;
    }
    return first;
}

namespace {

bool HasExtensionOf(const QString& path, const RecordFileType& t) {
    return path.endsWith(QLatin1String(t.extension), Qt::CaseInsensitive);
}

// First the types of the file's extension that claim its start (or whose extension alone decides),
// then any type that claims it.
const RecordFileType* ClaimedType(const QString& path, std::span<const uint8_t> head) {
    for (const RecordFileType& t : kTypes)
        if (t.read && HasExtensionOf(path, t) && (!t.claims || t.claims(head)))
            return &t;
    for (const RecordFileType& t : kTypes)
        if (t.read && t.claims && t.claims(head))
            return &t;
    return nullptr;
}

std::string TypesThatOpen() {
    std::string known;
    for (const RecordFileType& t : kTypes)
        if (t.read && known.find(t.extension) == std::string::npos)
            known += std::string(known.empty() ? "" : ", ") + t.extension;
    return known;
}

// What a file no type claims is not: the types its extension names, else any.
std::string NotAnyType(const QString& path) {
    std::string named;
    for (const RecordFileType& t : kTypes)
        if (t.read && HasExtensionOf(path, t))
            named += std::string(named.empty() ? "" : " or ") + "an " + t.name;
    if (named.empty())
        return "not a record file type by its extension or its content (the types that open "
               "are " +
               TypesThatOpen() + ")";
    return "it is not " + named + ", and its content is no other record file type";
}

bool ReadHead(const QString& path, std::vector<uint8_t>& head, uint64_t& size, std::string* error) {
    return ReadFilePart(QFile::encodeName(path).toStdString(), 0, kClaimHeadBytes, head, error,
                        &size);
}

} // namespace

const RecordFileType* RecordFileTypeOfFile(const QString& path, std::string* error) {
    std::vector<uint8_t> head;
    uint64_t size = 0;
    std::string why;
    if (!ReadHead(path, head, size, &why)) {
        *error = why;
        return nullptr;
    }
    if (const RecordFileType* type = ClaimedType(path, head))
        return type;
    *error = NotAnyType(path);
    return nullptr;
}

QString OpenDialogFilter() {
    QStringList patterns, filters;
    for (const RecordFileType& t : kTypes) {
        if (!t.read)
            continue;
        const QString pattern = QStringLiteral("*") + QLatin1String(t.extension);
        if (!patterns.contains(pattern))
            patterns << pattern;
        filters << DialogFilter(t);
    }
    return QCoreApplication::translate("RecordFiles", "Все записи (%1)")
               .arg(patterns.join(QLatin1Char(' '))) +
           QStringLiteral(";;") + filters.join(QStringLiteral(";;")) + QStringLiteral(";;") +
           QCoreApplication::translate("RecordFiles", "Все файлы (*)");
}

QString DialogFilter(const RecordFileType& type) {
    return type.filter ? QCoreApplication::translate("RecordFiles", type.filter) : QString();
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
    std::vector<uint8_t> head;
    uint64_t size = 0;
    std::string why;
    if (!ReadHead(path, head, size, &why))
        return fail(why);
    if (size == 0)
        return fail("the file is empty");
    std::vector<uint8_t> whole;
    bool haveWhole = false;
    // The bytes a type's reader is handed: the start alone for one that reads from the path, else
    // the whole file (the start already is, for a small one).
    const auto bytesFor = [&](const RecordFileType& t) -> const std::vector<uint8_t>* {
        if (t.bReadsPath || size == head.size())
            return &head;
        if (!haveWhole &&
            !ReadWholeFile(QFile::encodeName(path).toStdString(), kMaxRecordFileSize, whole, &why))
            return nullptr;
        haveWhole = true;
        return &whole;
    };
    const auto take = [&](const RecordFileType& t, CLoadedRecord& read) {
        const std::vector<uint8_t>* bytes = bytesFor(t);
        return bytes && t.read(path, *bytes, read, &why) && CheckRecordBlock(*read.pRecord, &why);
    };
    CLoadedRecord read;
    const RecordFileType* type = ClaimedType(path, head);
    if (type) {
        if (!take(*type, read))
            return fail(why);
    } else {
        // No type claims it: the readers of its extension, if any, have the last word (a claim
        // only looks at the start), and say what is wrong when they refuse it.
        std::string reasons;
        for (const RecordFileType& t : kTypes) {
            if (!t.read || !HasExtensionOf(path, t))
                continue;
            if (take(t, read)) {
                type = &t;
                break;
            }
            if (reasons.find(why) == std::string::npos) // the carts' rows say the same
                reasons += (reasons.empty() ? "" : "; ") + why;
            read = CLoadedRecord{};
        }
        if (!type)
            return fail(reasons.empty() ? NotAnyType(path) : reasons);
    }
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
    std::string why;
    if (const RecordFileType* type = RecordFileTypeOfFile(path, &why); type && type->readSignal) {
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
