#include "interchange/dicom_import.h"

#include "interchange/foreign_texts.h"
#include "record_model/lead_vocabulary.h"
#include "storage/scp_export.h"
#include "storage/scp_reader.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcfilefo.h>
#include <dcmtk/dcmdata/dcistrmb.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <dcmtk/dcmdata/dcsequen.h>

#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

namespace {

std::string Text(DcmItem* item, const DcmTagKey& tag) {
    OFString value;
    if (item && item->findAndGetOFString(tag, value).good())
        return std::string(value.c_str(), value.length());
    return {};
}

// The code after the scheme's last '-' or ':' ("5.6.3-9-61" is 61), 0 when there is none.
unsigned TrailingCode(const std::string& value) {
    const size_t at = value.find_last_of("-:");
    if (at == std::string::npos || at + 1 >= value.size() || value.size() - at > 4)
        return 0;
    unsigned code = 0;
    for (size_t i = at + 1; i < value.size(); ++i) {
        if (value[i] < '0' || value[i] > '9')
            return 0;
        code = code * 10 + unsigned(value[i] - '0');
    }
    return code;
}

// "Lead I (Einthoven)", "Lead aVR" and the like, when the code is unknown.
std::string NameOfMeaning(std::string meaning) {
    if (meaning.rfind("Lead ", 0) == 0)
        meaning.erase(0, 5);
    const size_t paren = meaning.find(" (");
    if (paren != std::string::npos)
        meaning.erase(paren);
    return meaning;
}

double Number(DcmItem* item, const DcmTagKey& tag, double otherwise) {
    Float64 v = 0;
    if (item && item->findAndGetFloat64(tag, v).good() && std::isfinite(v))
        return v;
    return otherwise;
}

double MicrovoltsPerUnitOf(DcmItem* channel) {
    DcmItem* unit = nullptr;
    if (channel->findAndGetSequenceItem(DCM_ChannelSensitivityUnitsSequence, unit).bad())
        return 1.0; // none given: µV, as every ECG object we know says
    const std::string code = Text(unit, DCM_CodeValue);
    if (code == "mV")
        return 1000.0;
    if (code == "V")
        return 1e6;
    if (code == "nV")
        return 1e-3;
    return 1.0;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool ParseDate(const std::string& da, uint16_t& y, uint16_t& m, uint16_t& d) {
    if (da.size() < 8 || !std::all_of(da.begin(), da.begin() + 8, IsDigit))
        return false;
    const int year = std::atoi(da.substr(0, 4).c_str()), month = std::atoi(da.substr(4, 2).c_str()),
              day = std::atoi(da.substr(6, 2).c_str());
    if (year < 1 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    y = uint16_t(year);
    m = uint16_t(month);
    d = uint16_t(day);
    return true;
}

// DT "YYYYMMDDHHMMSS[.F][&ZZXX]", or DA with TM.
bool ParseDateTime(const std::string& dt, SYSTEMTIME& t) {
    SYSTEMTIME s;
    if (!ParseDate(dt, s.wYear, s.wMonth, s.wDay))
        return false;
    const std::string time = dt.substr(8);
    auto two = [&](size_t at) {
        return time.size() >= at + 2 && IsDigit(time[at]) && IsDigit(time[at + 1])
                   ? std::atoi(time.substr(at, 2).c_str())
                   : 0;
    };
    const int h = two(0), mi = two(2), sec = two(4);
    if (h > 23 || mi > 59 || sec > 60)
        return false;
    s.wHour = uint16_t(h);
    s.wMinute = uint16_t(mi);
    s.wSecond = uint16_t(std::min(sec, 59));
    t = s;
    return true;
}

// A person name's parts as one text ("Петров^П.П." as "Петров П.П.").
std::string PersonText(const std::string& pn) {
    std::string text = pn.substr(0, pn.find('='));
    std::replace(text.begin(), text.end(), '^', ' ');
    std::string out;
    for (const char c : text)
        if (c != ' ' || (!out.empty() && out.back() != ' '))
            out += c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// A decimal string as a whole number of `factor` units (metres as centimetres), empty when it is
// none or out of the card's range.
std::string Scaled(const std::string& ds, double factor) {
    char* end = nullptr;
    const double v = std::strtod(ds.c_str(), &end);
    if (ds.empty() || end == ds.c_str() || !std::isfinite(v) || v <= 0 || v * factor > 65535)
        return {};
    return std::to_string(long(std::lround(v * factor)));
}

// Which of the writer's global measurements a concept name is, by its code: LOINC's, the SCPECG
// codes of the DICOM ECG objects (our writer's too) and the MDC ones of newer carts.
enum class Finding { None, Rate, Rr, Pr, Qrs, Qt, Qtc, PAxis, QrsAxis, TAxis };

Finding FindingOfCode(const std::string& scheme, std::string code) {
    struct Known {
        const char* scheme;
        const char* code;
        Finding finding;
    };
    static constexpr Known kKnown[] = {
        {"LN", "8867-4", Finding::Rate},
        {"LN", "8625-6", Finding::Pr},
        {"LN", "8633-0", Finding::Qrs},
        {"LN", "8634-8", Finding::Qt},
        {"LN", "8636-3", Finding::Qtc},
        {"LN", "8626-4", Finding::PAxis},
        {"LN", "8632-2", Finding::QrsAxis},
        {"LN", "8638-9", Finding::TAxis},
        {"SCPECG", "5.10.2.1-3", Finding::Rr},
        {"SCPECG", "5.13.5-7", Finding::Pr},
        {"SCPECG", "5.13.5-9", Finding::Qrs},
        {"SCPECG", "5.13.5-11", Finding::Qt},
        {"SCPECG", "5.10.2.5-5", Finding::Qtc},
        {"SCPECG", "5.10.3-11", Finding::PAxis},
        {"SCPECG", "5.10.3-13", Finding::QrsAxis},
        {"SCPECG", "5.10.3-15", Finding::TAxis},
        {"MDC", "2:16770", Finding::Rate},
        {"MDC", "2:16168", Finding::Rr},
        {"MDC", "2:16156", Finding::Qrs},
        {"MDC", "2:16160", Finding::Qt},
        // Carts that write MDC's reference names instead of its numbers.
        {"MDC", "MDC_ECG_HEART_RATE", Finding::Rate},
        {"MDC", "MDC_ECG_TIME_PD_RR_GL", Finding::Rr},
        {"MDC", "MDC_ECG_TIME_PD_PR_GL", Finding::Pr},
        {"MDC", "MDC_ECG_TIME_PD_QRS_GL", Finding::Qrs},
        {"MDC", "MDC_ECG_TIME_PD_QT_GL", Finding::Qt},
        {"MDC", "MDC_ECG_TIME_PD_QTc_GL", Finding::Qtc},
        {"MDC", "MDC_ECG_TIME_PD_QTc", Finding::Qtc},
        {"MDC", "MDC_ECG_ANGLE_P_FRONT_GL", Finding::PAxis},
        {"MDC", "MDC_ECG_ANGLE_QRS_FRONT_GL", Finding::QrsAxis},
        {"MDC", "MDC_ECG_ANGLE_T_FRONT_GL", Finding::TAxis},
    };
    // MDC's full code number (partition 2 is the ECG's: 147842 is 2:16770).
    if (scheme == "MDC" && !code.empty() && code.size() <= 9 &&
        std::all_of(code.begin(), code.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        const unsigned long full = std::strtoul(code.c_str(), nullptr, 10);
        if (full >> 16 == 2)
            code = "2:" + std::to_string(full & 0xFFFF);
    }
    for (const Known& k : kKnown)
        if (scheme == k.scheme && code == k.code)
            return k.finding;
    return Finding::None;
}

// The value in the finding's own unit (ms, beats per minute, degrees), nullopt when its unit is
// not one of that quantity's. A missing unit is the quantity's usual one.
std::optional<double> InFindingUnit(Finding finding, const std::string& unit, double value) {
    switch (finding) {
    case Finding::None:
        return std::nullopt;
    case Finding::Rate:
        if (unit.empty() || unit == "/min" || unit == "1/min" || unit == "{beats}/min" ||
            unit == "{beat}/min" || unit == "bpm")
            return value;
        if (unit == "/s" || unit == "1/s" || unit == "Hz")
            return value * 60;
        return std::nullopt;
    case Finding::PAxis:
    case Finding::QrsAxis:
    case Finding::TAxis:
        if (unit == "rad")
            return value * 180 / M_PI;
        // An axis is an angle whatever the unit says: some converters label every measurement
        // "ms", axes too.
        return value;
    default:
        if (unit.empty() || unit == "ms")
            return value;
        if (unit == "s")
            return value * 1000;
        if (unit == "us")
            return value / 1000;
        return std::nullopt;
    }
}

// Tied to particular channels ("M\\C" pairs whose channel C is not 0, which means all of group
// M): a lead's own measurement, not a global one.
bool OfOneLead(DcmItem* annotation) {
    const Uint16* pairs = nullptr;
    unsigned long count = 0;
    if (annotation->findAndGetUint16Array(DCM_ReferencedWaveformChannels, pairs, &count).bad() ||
        !pairs)
        return false;
    for (unsigned long i = 1; i < count; i += 2)
        if (pairs[i] != 0)
            return true;
    return false;
}

std::string Trimmed(std::string text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.pop_back();
    return text;
}

// The object's Waveform Annotation Sequence: the global measurements among its numeric
// annotations (the first of each), its text annotations in order as the statements.
void ReadAnnotations(DcmDataset* set, bool utf8, CFileFindings& findings,
                     std::vector<std::string>& statements) {
    std::vector<Finding> seen;
    for (unsigned long k = 0;; ++k) {
        DcmItem* a = nullptr;
        if (set->findAndGetSequenceItem(DCM_WaveformAnnotationSequence, a, long(k)).bad() || !a)
            break;
        if (std::string text = Trimmed(Text(a, DCM_UnformattedTextValue)); !text.empty()) {
            statements.push_back(utf8 ? text : TextAsUtf8(text));
            continue;
        }
        DcmItem* name = nullptr;
        if (a->findAndGetSequenceItem(DCM_ConceptNameCodeSequence, name).bad() || !name)
            continue;
        // A code longer than 16 characters (an MDC reference name) is a Long Code Value.
        std::string code = Trimmed(Text(name, DCM_CodeValue));
        if (code.empty())
            code = Trimmed(Text(name, DCM_LongCodeValue));
        const Finding finding = FindingOfCode(Text(name, DCM_CodingSchemeDesignator), code);
        if (finding == Finding::None || OfOneLead(a) ||
            std::find(seen.begin(), seen.end(), finding) != seen.end())
            continue;
        const std::string number = Text(a, DCM_NumericValue);
        char* end = nullptr;
        const double raw = std::strtod(number.c_str(), &end);
        if (number.empty() || end == number.c_str() || !std::isfinite(raw))
            continue;
        DcmItem* unitItem = nullptr;
        std::string unit;
        if (a->findAndGetSequenceItem(DCM_MeasurementUnitsCodeSequence, unitItem).good())
            unit = Trimmed(Text(unitItem, DCM_CodeValue));
        const std::optional<double> value = InFindingUnit(finding, unit, raw);
        if (!value || !(std::fabs(*value) < 1e6))
            continue;
        const long v = std::lround(*value);
        const bool angle =
            finding == Finding::PAxis || finding == Finding::QrsAxis || finding == Finding::TAxis;
        // 0 and less is what carts write for a wave they did not measure (a PP of 0).
        if (angle ? (v < -360 || v > 360) : (v <= 0 || v > 10000))
            continue;
        seen.push_back(finding);
        int* field = finding == Finding::Rate      ? &findings.m_nHeartRate
                     : finding == Finding::Rr      ? &findings.m_nRrMs
                     : finding == Finding::Pr      ? &findings.m_nPrMs
                     : finding == Finding::Qrs     ? &findings.m_nQrsMs
                     : finding == Finding::Qt      ? &findings.m_nQtMs
                     : finding == Finding::Qtc     ? &findings.m_nQtcMs
                     : finding == Finding::PAxis   ? &findings.m_nPAxis
                     : finding == Finding::QrsAxis ? &findings.m_nQrsAxis
                                                   : &findings.m_nTAxis;
        *field = int(v);
    }
    // The rate from the average RR when the writer gives only that, as the SCP-ECG files' is.
    if (findings.m_nHeartRate == kNotInFile && findings.m_nRrMs != kNotInFile)
        findings.m_nHeartRate = int(std::lround(60000.0 / findings.m_nRrMs));
}

// Who made the findings: the equipment as the object names it ("Unknown" is no name), else DICOM.
std::string WriterOf(const CFileDetails& d) {
    std::string writer;
    for (const std::string& part : {d.m_strManufacturer, d.m_strModel}) {
        const std::string t = Trimmed(part);
        if (t.empty() ||
            QString::fromStdString(t).compare(QLatin1String("unknown"), Qt::CaseInsensitive) == 0)
            continue;
        writer += (writer.empty() ? "" : " ") + t;
    }
    return writer.empty() ? "DICOM" : writer;
}

CFileDetails DetailsOf(DcmDataset* set, bool utf8) {
    auto text = [&](const DcmTagKey& tag) {
        const std::string t = Text(set, tag);
        return utf8 ? t : TextAsUtf8(t);
    };
    CFileDetails d;
    d.m_strManufacturer = text(DCM_Manufacturer);
    d.m_strModel = text(DCM_ManufacturerModelName);
    d.m_strSerial = text(DCM_DeviceSerialNumber);
    if (IsOurDevice(d.m_strManufacturer, d.m_strModel)) {
        d.m_bOurs = true;
        d.m_nDeviceId = DeviceIdFromSerial(d.m_strSerial);
        d.m_nCurveId = uint32_t(std::strtoul(Text(set, DCM_StudyID).c_str(), nullptr, 10));
    }
    d.SetCard("doctor_name", PersonText(text(DCM_ReferringPhysicianName)));
    d.SetCard("doctor_phone", text(DCM_ReferringPhysicianTelephoneNumbers));
    d.SetCard("height", Scaled(Text(set, DCM_PatientSize), 100));
    d.SetCard("weight", Scaled(Text(set, DCM_PatientWeight), 1));

    // The interpretation counts as confirmed when a doctor is named as its reader or the object
    // says it was verified.
    const std::string reader = PersonText(text(DCM_NameOfPhysiciansReadingStudy));
    const bool confirmed =
        !reader.empty() || Trimmed(Text(set, DCM_VerificationFlag)) == "VERIFIED";
    CFileFindings findings;
    std::vector<std::string> statements;
    ReadAnnotations(set, utf8, findings, statements);
    // Our own objects carry velmora's own automatic measurements and statements: shown as "the
    // file's" they would pass for a second opinion that is only our analysis again (and the window
    // measures the record afresh anyway). A doctor's confirmed reading is worth showing, though.
    // Our writer marks every object it writes, another system's record saved again too.
    const bool writtenByUs = d.m_bOurs || Trimmed(Text(set, DCM_SoftwareVersions)) == "velmora";
    if (writtenByUs) {
        if (!confirmed)
            return d;
        findings = CFileFindings{};
    }
    if (!findings.Empty() || !statements.empty())
        findings.m_strWriter = WriterOf(d);
    d.m_Findings = std::move(findings);
    d.m_Statements.m_Statements = std::move(statements);
    d.m_Statements.m_bConfirmed = confirmed && !d.m_Statements.m_Statements.empty();
    d.m_Statements.m_strPhysician = d.m_Statements.m_bConfirmed ? reader : std::string();
    return d;
}

} // namespace

bool ImportDicom(const uint8_t* data, size_t size, double maxSeconds, ForeignEcg& ecg,
                 std::string* error, CFileDetails* details) {
    DcmInputBufferStream in;
    in.setBuffer(data, offile_off_t(size));
    in.setEos();
    DcmFileFormat file;
    file.transferInit();
    const OFCondition read = file.read(in, EXS_Unknown, EGL_noChange, DCM_MaxReadLength);
    file.transferEnd();
    if (read.bad()) {
        *error = std::string("not a DICOM object DCMTK can read: ") + read.text();
        return false;
    }
    DcmDataset* set = file.getDataset();
    // Names in UTF-8 whatever the object's character set (needs DCMTK's character set support).
    const bool utf8 = set->convertToUTF8().good();

    // The longest multiplex group: the rhythm, not the median beat an object may carry too.
    DcmItem* group = nullptr;
    double longest = -1;
    bool rateless = false; // a group whose sampling rate is none
    std::string badRate;
    for (unsigned long k = 0;; ++k) {
        DcmItem* g = nullptr;
        if (set->findAndGetSequenceItem(DCM_WaveformSequence, g, long(k)).bad() || !g)
            break;
        Uint32 samples = 0;
        const double rate = Number(g, DCM_SamplingFrequency, 0);
        if (!(rate > 0) && !rateless) {
            rateless = true;
            badRate = Text(g, DCM_SamplingFrequency);
        }
        if (g->findAndGetUint32(DCM_NumberOfWaveformSamples, samples).bad() || !(rate > 0))
            continue;
        if (double(samples) / rate > longest) {
            longest = double(samples) / rate;
            group = g;
        }
    }
    if (!group && rateless) {
        *error = "the waveform's sampling rate is zero or invalid (" +
                 (badRate.empty() ? std::string("none given") : "\"" + badRate + "\"") + ")";
        return false;
    }
    if (!group) {
        *error = "the DICOM object holds no waveform";
        return false;
    }
    Uint16 channels = 0, bits = 0;
    Uint32 samples = 0;
    const double rate = Number(group, DCM_SamplingFrequency, 0);
    group->findAndGetUint16(DCM_NumberOfWaveformChannels, channels);
    group->findAndGetUint32(DCM_NumberOfWaveformSamples, samples);
    group->findAndGetUint16(DCM_WaveformBitsAllocated, bits);
    const std::string interpretation = Text(group, DCM_WaveformSampleInterpretation);
    if (channels == 0 || channels > kMaxStreamLeads) {
        *error = "the waveform's channel count " + std::to_string(channels) + " is not from 1 to " +
                 std::to_string(kMaxStreamLeads);
        return false;
    }
    if (samples == 0 || samples > kMaxStreamSamples) {
        *error = "the waveform's sample count " + std::to_string(samples) + " is not from 1 to " +
                 std::to_string(kMaxStreamSamples);
        return false;
    }
    if (!(rate >= 1 && rate <= 100000)) {
        *error = "the waveform's sampling rate " + Text(group, DCM_SamplingFrequency) +
                 " Hz is not from 1 to 100000 Hz";
        return false;
    }
    const bool is16 = bits == 16 && (interpretation == "SS" || interpretation == "US");
    const bool is8 = bits == 8 && (interpretation == "SB" || interpretation == "UB");
    if (!is16 && !is8) {
        *error = "the waveform's samples are " + std::to_string(bits) + "-bit " + interpretation +
                 ", which this reader does not take";
        return false;
    }
    const size_t count = size_t(channels) * samples;
    const Uint16* words = nullptr;
    const Uint8* bytes = nullptr;
    unsigned long have = 0;
    if (is16 ? group->findAndGetUint16Array(DCM_WaveformData, words, &have).bad()
             : group->findAndGetUint8Array(DCM_WaveformData, bytes, &have).bad()) {
        *error = "the waveform has no sample data";
        return false;
    }
    if (have < count) {
        *error = "the waveform's data holds " + std::to_string(have) + " samples, not " +
                 std::to_string(count);
        return false;
    }

    ForeignEcg out;
    out.signal.dRate = rate;
    out.dTotalSeconds = double(samples) / rate;
    const size_t keep =
        maxSeconds > 0 ? std::min<size_t>(samples, size_t(std::ceil(maxSeconds * rate))) : samples;
    for (Uint16 c = 0; c < channels; ++c) {
        DcmItem* def = nullptr;
        if (group->findAndGetSequenceItem(DCM_ChannelDefinitionSequence, def, long(c)).bad() ||
            !def) {
            *error = "channel " + std::to_string(c + 1) + " has no definition";
            return false;
        }
        DcmItem* source = nullptr;
        std::string name;
        if (def->findAndGetSequenceItem(DCM_ChannelSourceSequence, source).good()) {
            // The SCPECG scheme ("5.6.3-9-N") and MDC's ECG leads ("2:N") both number the
            // leads by their SCP-ECG codes.
            if (const CLeadEntry* lead = LeadOfScpCode(TrailingCode(Text(source, DCM_CodeValue))))
                name = lead->m_szLabel;
            else
                name = NameOfMeaning(TextAsUtf8(Text(source, DCM_CodeMeaning)));
        }
        const double scale = Number(def, DCM_ChannelSensitivity, 1.0) *
                             Number(def, DCM_ChannelSensitivityCorrectionFactor, 1.0) *
                             MicrovoltsPerUnitOf(def);
        const double baseline = Number(def, DCM_ChannelBaseline, 0.0) * MicrovoltsPerUnitOf(def);
        std::vector<float> lead(keep);
        for (size_t i = 0; i < keep; ++i) {
            const size_t at = i * channels + c;
            double raw;
            if (is16)
                raw = interpretation == "SS" ? double(int16_t(words[at])) : double(words[at]);
            else
                raw = interpretation == "SB" ? double(int8_t(bytes[at])) : double(bytes[at]);
            lead[i] = float(raw * scale + baseline);
        }
        out.signal.names.push_back(name);
        out.signal.leads.push_back(std::move(lead));
        out.signal.present.push_back(true);
    }

    SYSTEMTIME start;
    if (ParseDateTime(Text(set, DCM_AcquisitionDateTime), start) ||
        ParseDateTime(Text(set, DCM_ContentDate) + Text(set, DCM_ContentTime), start) ||
        ParseDateTime(Text(set, DCM_StudyDate) + Text(set, DCM_StudyTime), start))
        out.start = start;
    const std::string name = Text(set, DCM_PatientName);
    SplitPatientName(utf8 ? name : TextAsUtf8(name), out, '^');
    out.patientId = TextAsUtf8(Text(set, DCM_PatientID));
    ParseDate(Text(set, DCM_PatientBirthDate), out.birthYear, out.birthMonth, out.birthDay);
    const std::string sex = Text(set, DCM_PatientSex);
    out.sex = sex == "M" ? 1 : sex == "F" ? 0 : -1;
    if (details)
        *details = DetailsOf(set, utf8);
    ecg = std::move(out);
    return true;
}
