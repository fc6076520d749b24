#include "storage/scp_export.h"

#include "platform/atomic_file.h"
#include "platform/cp1251.h"
#include "platform/private_folder.h"
#include "record_model/lead_vocabulary.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <biosig.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

// What libbiosig 2.5.0 (Debian 12) does with an SCP header, and what we do about it:
// - Writing N blocks of one sample each overflows its heap; one block of N samples per channel
//   (NRec 1) gives the same file. The data size must be set before sopen, and the uncalibrated
//   flag on, or the samples come out halved.
// - constructHDR sets the anonymous flag (names dropped) and stores the login name of the user
//   as the technician (tag 22), which must not reach a file sent by e-mail.
// - destructHDR leaves the SCP-specific block; we free it.
// - sopen can return NULL, and sclose returns 0 after a failed write: only the header's error
//   number tells, and not even that on a full disk. We check it and then check the written file.
// - Its Section 1 takes tag 14 from its own constants, writes names without their zero, "00000000"
//   as the patient ID, the acquisition time shifted by the time zone and often a second early, one
//   uninitialised byte in tag 34, and no tags 4 and 200-206. So Section 1 is encoded here and
//   replaces the library's; Sections 0, 3 and 6 stay the library's.

namespace {

// SCP-ECG sex: 1 male, 2 female, 0 not known.
uint8_t ScpSex(const PATIENT_CARD& card) {
    return card.sex == 1 ? 1 : card.sex == 0 ? 2 : 0;
}

constexpr double kScpSampleRate = 400.0;
constexpr double kMicrovoltsPerCount = 2.0;
constexpr uint16_t kMicrovoltCode = 4275; // libbiosig's physical dimension code of the µV
constexpr double kScpVersion = 2.0;       // version 3 of this build stores 409 in place of the rate

// The maker's model code in tag 14 (ORMIK).
constexpr char kModelCode[] = "OR";
constexpr char kAnalysingProgram[] = "ORMIK300 v.1.1";
constexpr char kScpSoftware[] = "OSCP v.1.02";
constexpr char kManufacturer[] = "QELT";

constexpr char kEmptyText[] = "";

template <size_t N> std::string CardText(const char (&field)[N]) {
    return std::string(field, strnlen(field, N - 1));
}

ScpSaveResult Failure(std::string why) {
    return ScpSaveResult{false, std::move(why)};
}

// Releases a header in the way this build needs: the sample matrix and the SCP block are ours.
struct HeaderRelease {
    void operator()(HDRTYPE* hdr) const {
        if (hdr->FILE.OPEN)
            sclose(hdr);
        hdr->data.block = nullptr;
        std::free(hdr->aECG);
        hdr->aECG = nullptr;
        destructHDR(hdr);
    }
};
using HeaderPtr = std::unique_ptr<HDRTYPE, HeaderRelease>;

std::string LibraryError(const HDRTYPE* hdr, const char* step) {
    std::string text = std::string("libbiosig could not ") + step;
    if (hdr->AS.B4C_ERRMSG && *hdr->AS.B4C_ERRMSG)
        text += std::string(": ") + hdr->AS.B4C_ERRMSG;
    return text;
}

gdf_time LibraryTime(int year, int month, int day, int hour, int minute, int second) {
    tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1; // daylight saving as the system decides
    return tm_time2gdf_time(&t);
}

bool BirthDateKnown(const PATIENT_CARD& card) {
    // 0: not given; 65535: the dialog held no valid date.
    return card.birth_year != 0 && card.birth_year != 0xFFFF && card.birth_month >= 1 &&
           card.birth_month <= 12 && card.birth_day >= 1 && card.birth_day <= 31;
}

// Sections 0, 3 and 6 through libbiosig into `path`; empty on success, else the reason.
std::string EncodeWithLibrary(const ECG_RECORD& record, const PATIENT_CARD& card,
                              const ScpDeviceValues& device, const SCP_TAG14& tag14,
                              const char* path) {
    const std::span<const CLeadEntry> leads = LeadSystemLeads(uint32_t(device.m_nLeadSystem));
    const int channels = int(leads.size());
    const unsigned samples = ScpSamplesPerChannel(unsigned(channels));

    HeaderPtr hdr(constructHDR(unsigned(channels), 0));
    if (!hdr)
        return "libbiosig could not make a header";
    hdr->TYPE = SCP_ECG;
    hdr->VERSION = kScpVersion;
    // Freed here and left null: destructHDR frees whatever is there.
    std::free(hdr->ID.Technician);
    hdr->ID.Technician = nullptr;

    auto* block = static_cast<aecg*>(std::calloc(1, sizeof(aECG_TYPE)));
    if (!block)
        return "out of memory";
    init_ECG_impl(hdr.get(), block, tag14);
    block->systolicBloodPressure = 0;
    block->diastolicBloodPressure = 0;

    hdr->FLAG.OVERFLOWDETECTION = 0;
    hdr->FLAG.UCAL = 1;
    hdr->FLAG.ROW_BASED_CHANNELS = 0;
    hdr->FLAG.ANONYMOUS = 0;
    const std::string name = CardText(card.last_name) + '\x1F' + CardText(card.first_name) +
                             '\x1F' + CardText(card.patronymic);
    std::snprintf(hdr->Patient.Name, sizeof hdr->Patient.Name, "%s", name.c_str());
    hdr->Patient.Height = uint8_t(card.height); // 8-bit fields; Section 1 carries the full values
    hdr->Patient.Weight = uint8_t(card.weight);
    hdr->Patient.Sex = ScpSex(card);

    const SYSTEMTIME& st = device.m_stDevice;
    hdr->T0 = LibraryTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
    if (BirthDateKnown(card))
        hdr->Patient.Birthday =
            LibraryTime(card.birth_year, card.birth_month, card.birth_day, 0, 0, 0);

    for (int k = 0; k < channels; ++k) {
        CHANNEL_TYPE& ch = hdr->CHANNEL[k];
        ch.OnOff = 1;
        ch.LeadIdCode = leads[size_t(k)].m_nScpCode;
        ch.PhysDimCode = kMicrovoltCode;
        ch.Cal = kMicrovoltsPerCount;
        ch.Off = 0.0;
        ch.SPR = samples;
    }
    hdr->SampleRate = kScpSampleRate;

    // Column-wise: all samples of channel 0, then channel 1, ...
    std::vector<double> matrix(size_t(samples) * size_t(channels));
    for (int k = 0; k < channels; ++k)
        for (unsigned j = 0; j < samples; ++j)
            matrix[size_t(k) * samples + j] = Sample(record, int(j), k);
    hdr->data.size[0] = samples;
    hdr->data.size[1] = size_t(channels);
    hdr->data.block = matrix.data();
    hdr->NRec = 1;
    hdr->SPR = samples;

    if (!sopen(path, "wb", hdr.get()) || hdr->AS.B4C_ERRNUM != B4C_NO_ERROR)
        return LibraryError(hdr.get(), "open the SCP file for writing");
    if (swrite(matrix.data(), 1, hdr.get()) != 1 || hdr->AS.B4C_ERRNUM != B4C_NO_ERROR)
        return LibraryError(hdr.get(), "write the samples");
    if (sclose(hdr.get()) != 0 || hdr->AS.B4C_ERRNUM != B4C_NO_ERROR)
        return LibraryError(hdr.get(), "finish the SCP file");
    return {};
}

bool ReadWholeFile(const QString& path, std::vector<uint8_t>& bytes) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray all = f.readAll();
    bytes.assign(all.begin(), all.end());
    return f.error() == QFile::NoError;
}

// Where libbiosig writes its file, which only needs a name: a memory file, so that nothing of
// the patient's reaches a disk but the target itself (and no disk time is spent on it); a file
// in a private temporary folder where the system has no memory files to name.
class CEncoderOutput {
public:
    CEncoderOutput() = default;
    CEncoderOutput(const CEncoderOutput&) = delete;
    CEncoderOutput& operator=(const CEncoderOutput&) = delete;
    ~CEncoderOutput() {
        if (m_fd >= 0)
            close(m_fd);
    }

    bool Open(std::string* error) {
        m_fd = memfd_create("velmora-scp", MFD_CLOEXEC);
        if (m_fd >= 0) {
            m_path = QStringLiteral("/proc/self/fd/%1").arg(m_fd);
            const int probe = open(QFile::encodeName(m_path).constData(), O_WRONLY | O_CLOEXEC);
            if (probe >= 0) {
                close(probe);
                return true;
            }
            close(m_fd);
            m_fd = -1;
        }
        m_dir = std::make_unique<CPrivateFolder>("velmora-scp");
        if (!m_dir->IsValid()) {
            *error = m_dir->ErrorText();
            return false;
        }
        m_path = QFile::decodeName(m_dir->FilePath("encoded.scp").c_str());
        return true;
    }
    QByteArray Path() const { return QFile::encodeName(m_path); }
    bool ReadAll(std::vector<uint8_t>& bytes) const { return ReadWholeFile(m_path, bytes); }

private:
    int m_fd = -1;
    QString m_path;
    std::unique_ptr<CPrivateFolder> m_dir;
};

} // namespace

int ScpChannels(int nLeadSystem) {
    return int(LeadSystemLeads(uint32_t(nLeadSystem)).size());
}

unsigned ScpSamplesPerChannel(unsigned channels) {
    const unsigned formula = ((204u - channels) * 512u / 2u) / channels;
    return std::min(formula, unsigned(kPoints));
}

std::string ScpSerialNumber(uint64_t device_id) {
    if (device_id == 0)
        return {};
    const uint32_t low = uint32_t(device_id);
    char text[128];
    std::snprintf(text, sizeof text, "K.10%i.%05i.%04i", int(device_id >> 32),
                  int((low >> 14) & 0x1FFFF), int(low & 0x3FFF));
    return text;
}

std::string ScpSystemSoftware(uint8_t nProgVersion, uint8_t nProgRevision) {
    if (nProgVersion == 0)
        return {};
    char text[128];
    std::snprintf(text, sizeof text, "V %02u R %02u", unsigned(nProgVersion),
                  unsigned(nProgRevision));
    return text;
}

SCP_TAG14 MakeScpTag14(uint64_t device_id, uint8_t nProgVersion, uint8_t nProgRevision) {
    SCP_TAG14 t;
    t.strModel = kModelCode;
    t.strAnalysingProgram = kAnalysingProgram;
    t.strSerialNumber = ScpSerialNumber(device_id);
    t.strSystemSoftware = ScpSystemSoftware(nProgVersion, nProgRevision);
    t.strScpSoftware = kScpSoftware;
    t.strManufacturer = kManufacturer;
    return t;
}

CRecordEquipment RecordEquipment(const ECG_RECORD& record) {
    CRecordEquipment e;
    RECORD_SOURCE source;
    if (ReadRecordSource(record.curves_buf, source)) {
        e.m_bOurs = false;
        e.m_strManufacturer = source.manufacturer;
        e.m_strModel = source.model;
        e.m_strSerial = source.serial;
        return e;
    }
    const SCP_TAG14 t = MakeScpTag14(record.device_id, 0, 0);
    e.m_strManufacturer = t.strManufacturer;
    e.m_strModel = t.strModel;
    e.m_strSerial = t.strSerialNumber;
    return e;
}

void SetRecordEquipment(ECG_RECORD& record, const CRecordEquipment& device) {
    if (device.m_bOurs)
        return;
    // Other writers leave padding and stray bytes in these fields.
    auto copy = [](char* to, size_t size, const std::string& utf8) {
        QString text = QString::fromStdString(utf8);
        text.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
        const QByteArray t = text.trimmed().toUtf8();
        qsizetype n = std::min<qsizetype>(qsizetype(size) - 1, t.size());
        while (n > 0 && n < t.size() && (uint8_t(t[n]) & 0xC0) == 0x80)
            --n; // never inside a character
        std::memset(to, 0, size);
        std::memcpy(to, t.constData(), size_t(n));
    };
    RECORD_SOURCE source;
    copy(source.manufacturer, sizeof source.manufacturer, device.m_strManufacturer);
    copy(source.model, sizeof source.model, device.m_strModel);
    copy(source.serial, sizeof source.serial, device.m_strSerial);
    WriteRecordSource(record.curves_buf, source);
}

bool IsOurDevice(const std::string& manufacturer, const std::string& model) {
    return manufacturer == kManufacturer && model == kModelCode;
}

SCP_TAG14 RecordScpTag14(const ECG_RECORD& record, uint8_t nProgVersion, uint8_t nProgRevision) {
    const CRecordEquipment e = RecordEquipment(record);
    if (e.m_bOurs)
        return MakeScpTag14(record.device_id, nProgVersion, nProgRevision);
    auto cp = [](const std::string& utf8) {
        return ToCp1251(QString::fromStdString(utf8)).toStdString();
    };
    SCP_TAG14 t;
    t.strModel = cp(e.m_strModel).substr(0, 5);
    t.strSerialNumber = cp(e.m_strSerial);
    t.strManufacturer = cp(e.m_strManufacturer);
    t.strScpSoftware = kScpSoftware; // the file is still ours
    return t;
}

SCP_SECTION1 MakeScpSection1(const PATIENT_CARD& card, const ScpDeviceValues& device,
                             uint64_t device_id, const SYSTEMTIME& now) {
    SCP_SECTION1 s;
    s.strLastName = CardText(card.last_name);
    s.strFirstName = CardText(card.first_name);
    s.strPatientId = CardText(card.patient_id);
    s.strSecondLastName = CardText(card.patronymic);
    if (BirthDateKnown(card)) {
        if (card.birth_year <= now.wYear)
            s.nAgeYears = uint16_t(now.wYear - card.birth_year);
        s.dateOfBirth =
            ScpDate{card.birth_year, uint8_t(card.birth_month), uint8_t(card.birth_day)};
    }
    s.nHeight = card.height;
    s.nWeight = card.weight;
    s.nSex = ScpSex(card);
    s.tag14 = MakeScpTag14(device_id, device.m_nProgVersion, device.m_nProgRevision);
    s.stAcquisition = device.m_stDevice;
    s.address = {CardText(card.postal_code), CardText(card.region), CardText(card.district),
                 CardText(card.locality),    CardText(card.street), CardText(card.house)};
    if (card.years_of_residence != -1)
        s.nYearsOfResidence = card.years_of_residence;
    return s;
}

void init_ECG_impl(HDR_STRUCT* hdr, aecg* pECG, const SCP_TAG14& tag14) {
    auto text = [](const std::string& s) { return const_cast<char*>(s.c_str()); };
    auto& t = pECG->Section1.Tag14;
    t.INST_NUMBER = tag14.nInstitution;
    t.DEPT_NUMBER = tag14.nDepartment;
    t.DEVICE_ID = tag14.nDeviceId;
    t.DeviceType = tag14.nDeviceType;
    t.MANUF_CODE = tag14.nManufacturerCode;
    t.MOD_DESC = text(tag14.strModel);
    t.VERSION = tag14.nProtocolRevision;
    t.PROT_COMP_LEVEL = tag14.nCompatibilityLevel;
    t.LANG_SUPP_CODE = tag14.nLanguageSupport;
    t.ECG_CAP_DEV = tag14.nCapabilities;
    t.MAINS_FREQ = tag14.nMainsFrequency;
    t.ANAL_PROG_REV_NUM = text(tag14.strAnalysingProgram);
    t.SERIAL_NUMBER_ACQ_DEV = text(tag14.strSerialNumber);
    t.ACQ_DEV_SYS_SW_ID = text(tag14.strSystemSoftware);
    t.ACQ_DEV_SCP_SW = text(tag14.strScpSoftware);
    t.ACQ_DEV_MANUF = text(tag14.strManufacturer);

    pECG->FLAG.HUFFMAN = 0;
    pECG->FLAG.REF_BEAT = 0;
    pECG->FLAG.DIFF = 0;
    pECG->FLAG.BIMODAL = 0;
    char* empty = const_cast<char*>(kEmptyText);
    pECG->ReferringPhysician = empty;
    pECG->LatestConfirmingPhysician = empty;
    pECG->MedicationDrugs = empty;
    pECG->Diagnosis = empty;
    pECG->EmergencyLevel = 0;
    pECG->Section5 = {};
    pECG->Section6 = {};
    pECG->Section7 = {};
    pECG->Section8.NumberOfStatements = 0;
    pECG->Section8.Statements = nullptr;
    pECG->Section9 = {};
    pECG->Section10 = {};
    pECG->Section11.NumberOfStatements = 0;
    pECG->Section11.Statements = nullptr;
    pECG->Section12 = {};
    hdr->aECG = pECG;
}

std::string ConfirmationLine(const std::string& physician, const SYSTEMTIME& at) {
    char when[32];
    std::snprintf(when, sizeof when, "%02u.%02u.%04u %02u:%02u", unsigned(at.wDay),
                  unsigned(at.wMonth), unsigned(at.wYear), unsigned(at.wHour),
                  unsigned(at.wMinute));
    return "Подтверждено: " + physician + ", " + when;
}

std::string AmendmentLine(const std::string& reason) {
    return "Изменено: " + reason;
}

std::vector<std::string> StatementTexts(const CFileStatements& statements) {
    std::vector<std::string> texts = statements.m_Statements;
    if (!statements.m_strConclusion.empty())
        texts.push_back(kConclusionPrefix + statements.m_strConclusion);
    return texts;
}

namespace {

// A text as Section 1 and 8 carry it: Windows-1251 as the language code says, the axis angle's
// alpha (which it lacks) as the word.
std::string ScpText(const std::string& utf8) {
    QString t = QString::fromStdString(utf8);
    t.replace(QChar(0x3B1), QStringLiteral("альфа"));
    return ToCp1251(t).toStdString();
}

} // namespace

SCP_SECTION8 MakeScpSection8(const CFileStatements& statements) {
    SCP_SECTION8 s;
    s.nConfirmed = statements.m_bConfirmed ? 1 : 0;
    s.stInterpreted = statements.m_stMade;
    for (const std::string& text : StatementTexts(statements))
        s.statements.push_back(ScpText(text));
    return s;
}

ScpSaveResult SaveScp(const ECG_RECORD& record, const PATIENT_CARD& card,
                      const ScpDeviceValues& device, const std::string& path,
                      const SYSTEMTIME* pNow, const CFileStatements* pStatements) {
    const SYSTEMTIME now = pNow ? *pNow : GetLocalTime();
    SCP_SECTION1 section1 = MakeScpSection1(card, device, record.device_id, now);
    section1.tag14 = RecordScpTag14(record, device.m_nProgVersion, device.m_nProgRevision);
    if (pStatements && pStatements->m_bConfirmed)
        section1.strConfirmingPhysician = ScpText(pStatements->m_strPhysician);

    CEncoderOutput encoded;
    std::string why;
    if (!encoded.Open(&why))
        return Failure(why);
    const std::string libraryError =
        EncodeWithLibrary(record, card, device, section1.tag14, encoded.Path().constData());
    if (!libraryError.empty())
        return Failure(libraryError);

    std::vector<uint8_t> bytes;
    std::vector<ScpSectionPointer> table;
    if (!encoded.ReadAll(bytes) || !ReadScpSectionTable(bytes, table, &why) || !ScpCrcsOk(bytes))
        return Failure("libbiosig wrote an incomplete SCP file" + (why.empty() ? "" : ": " + why));
    for (const ScpSectionPointer& p : table) {
        if (p.nId == 1 && p.nLength > 16)
            section1.filterTags =
                CopyScpTags(&bytes[p.nIndex - 1 + 16], p.nLength - 16, {27, 28, 29});
    }
    if (!ReplaceScpSection(bytes, 1, EncodeScpSection1Tags(section1), &why))
        return Failure(why);
    // No statements, no Section 8: an empty one would read as an interpretation that found
    // nothing.
    if (pStatements && !StatementTexts(*pStatements).empty() &&
        !AppendScpSection(bytes, 8, EncodeScpSection8(MakeScpSection8(*pStatements)), &why))
        return Failure(why);

    if (!WriteFileAtomically(path, bytes.data(), bytes.size(), &why))
        return Failure(why);
    return ScpSaveResult{true, {}};
}
