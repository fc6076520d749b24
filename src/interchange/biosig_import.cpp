#include "interchange/biosig_import.h"

#include "interchange/foreign_texts.h"
#include "record_model/lead_vocabulary.h"
#include "storage/aecg_edf_files.h"
#include "storage/scp_export.h"
#include "storage/scp_reader.h"

#include <biosig.h>

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>

// After <cmath>: biosig.h defines isfinite as a macro, which <cmath> takes back.
#include <QString>
#include <QXmlStreamReader>

namespace {

struct HeaderCloser {
    void operator()(HDRTYPE* h) const {
        sclose(h);
        destructHDR(h);
    }
};

// libbiosig's times are days since year 0 in 32.32 fixed point; its own conversion truncates,
// which puts most starts a second early. Rounded to the nearest second here.
bool GdfTimeAsTm(gdf_time t, std::tm& out) {
    constexpr double kDaysTo1970 = 719529.0;
    const double days = std::ldexp(double(t), -32);
    const double seconds = std::round((days - kDaysTo1970) * 86400.0);
    if (!(seconds > -1e11 && seconds < 1e11))
        return false;
    const std::time_t when = std::time_t(seconds);
    return gmtime_r(&when, &out) != nullptr; // wall-clock values, kept as the file gives them
}

SYSTEMTIME FromTm(const std::tm& t) {
    SYSTEMTIME s;
    s.wYear = uint16_t(std::clamp(t.tm_year + 1900, 0, 9999));
    s.wMonth = uint16_t(t.tm_mon + 1);
    s.wDay = uint16_t(t.tm_mday);
    s.wHour = uint16_t(t.tm_hour);
    s.wMinute = uint16_t(t.tm_min);
    s.wSecond = uint16_t(std::min(t.tm_sec, 59));
    return s;
}

// A lead's name: ours when libbiosig gives it a lead code (SCP-ECG numbering) the vocabulary
// knows, else libbiosig's label without its trailing blanks ("ECG V1" of an EDF+ file).
std::string LeadName(const CHANNEL_TYPE& c) {
    if (const CLeadEntry* lead = LeadOfScpCode(c.LeadIdCode))
        return lead->m_szLabel;
    std::string label(c.Label, strnlen(c.Label, sizeof c.Label));
    while (!label.empty() && label.back() == ' ')
        label.pop_back();
    return label;
}

bool ReadWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg, std::string* error,
                    CFileDetails* details);

bool EndsWith(const std::string& path, const char* ext) {
    const size_t n = std::strlen(ext);
    return path.size() >= n && strcasecmp(path.c_str() + path.size() - n, ext) == 0;
}

// The first `limit` bytes of a file (less when it is shorter; empty when it cannot be read).
std::string FileText(const std::string& path, size_t limit) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    const std::streamoff size = in ? std::streamoff(in.tellg()) : 0;
    std::string text(size_t(std::clamp<std::streamoff>(size, 0, std::streamoff(limit))), '\0');
    in.seekg(0);
    in.read(text.data(), std::streamsize(text.size()));
    text.resize(size_t(std::max<std::streamsize>(in.gcount(), 0)));
    return text;
}

// Our aECG writes the name as one text (libbiosig crashes on name parts), the parts separated
// by blanks and blanks within a part written as no-break spaces; read back only from our files.
void SplitOurAecgName(const QString& name, CFileDetails& d) {
    const QStringList parts = name.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const char* fields[] = {"last_name", "first_name", "patronymic"};
    for (int i = 0; i < 3; ++i) {
        QString part = i < 2 ? parts.value(i) : parts.mid(2).join(QLatin1Char(' '));
        part.replace(QChar(0xA0), QLatin1Char(' '));
        d.m_Card.emplace_back(fields[i], part.toStdString());
    }
}

// What an aECG says beside the patient libbiosig reads: the recording device, and in our own
// files the record's number and the name's parts.
void AecgDetails(const std::string& text, CFileDetails& d) {
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    QStringList path;
    QString name, recordId;
    bool ourTrial = false;
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType t = xml.readNext();
        if (t == QXmlStreamReader::DTD)
            return; // refused before libbiosig saw it; never read here
        if (t == QXmlStreamReader::EndElement) {
            if (!path.isEmpty())
                path.removeLast();
            continue;
        }
        if (t != QXmlStreamReader::StartElement)
            continue;
        const QString parent = path.value(path.size() - 1);
        const QString element = xml.name().toString();
        const QString extension = xml.attributes().value(QStringLiteral("extension")).toString();
        // An element's text, read to its end (whose end tag the loop then does not see).
        auto content = [&] {
            return xml.readElementText(QXmlStreamReader::IncludeChildElements).trimmed();
        };
        if (element == QLatin1String("manufacturerModelName")) {
            d.m_strModel = content().toStdString();
            continue;
        }
        if (element == QLatin1String("name") &&
            parent == QLatin1String("manufacturerOrganization")) {
            d.m_strManufacturer = content().toStdString();
            continue;
        }
        if (element == QLatin1String("name") &&
            parent == QLatin1String("subjectDemographicPerson")) {
            name = content();
            continue;
        }
        path << element;
        if (element == QLatin1String("id") && path.size() == 2)
            recordId = extension;
        else if (element == QLatin1String("id") && parent == QLatin1String("clinicalTrial"))
            ourTrial = extension == QLatin1String("velmora");
        else if (element == QLatin1String("id") &&
                 parent == QLatin1String("manufacturedSeriesDevice"))
            d.m_strSerial = extension.trimmed().toStdString();
    }
    if (!ourTrial)
        return;
    if (!name.isEmpty())
        SplitOurAecgName(name, d);
    if (IsOurDevice(d.m_strManufacturer, d.m_strModel)) {
        // The document's id: "<device number>-<record number>-<start>".
        const QStringList parts = recordId.split(QLatin1Char('-'));
        d.m_bOurs = true;
        d.m_nDeviceId = parts.value(0).toULongLong();
        d.m_nCurveId = parts.value(1).toUInt();
    }
}

// The blank-separated words of header[from, to).
std::vector<std::string> HeaderWords(const std::string& header, size_t from, size_t to) {
    std::vector<std::string> words;
    for (size_t at = from; at < to;) {
        while (at < to && header[at] == ' ')
            ++at;
        const size_t start = at;
        while (at < to && header[at] != ' ')
            ++at;
        if (at > start)
            words.push_back(header.substr(start, at - start));
    }
    return words;
}

// An EDF+ header's subfields: the patient field "code sex birthdate name ...", the recording
// field "Startdate date admincode technician equipment ...". Our files name the doctor as the
// technician, the record's number as the admin code and the cardiograph as the equipment
// ("QELT_OR_K.107.00011.5434"); another system's equipment is taken as it is ("_" as blanks).
void EdfDetails(const std::string& header, CFileDetails& d) {
    if (header.size() < 168 || header.compare(88, 10, "Startdate ") != 0)
        return;
    const std::vector<std::string> words = HeaderWords(header, 88, 168);
    auto field = [&](size_t i) {
        std::string w = i < words.size() && words[i] != "X" ? words[i] : std::string();
        std::replace(w.begin(), w.end(), '_', ' ');
        return w;
    };
    // The patient's name, EDF+'s "Surname_Given_Middle": the parts back at the underscores.
    const std::vector<std::string> patient = HeaderWords(header, 8, 88);
    if (patient.size() > 3 && patient[3] != "X") {
        const std::string& name = patient[3];
        const size_t first = name.find('_');
        const size_t second = first == std::string::npos ? first : name.find('_', first + 1);
        auto part = [&](size_t from, size_t to) {
            if (from == std::string::npos || from >= name.size())
                return std::string();
            std::string p = name.substr(from, to == std::string::npos ? to : to - from);
            std::replace(p.begin(), p.end(), '_', ' ');
            return p;
        };
        d.m_Card.emplace_back("last_name", part(0, first));
        d.m_Card.emplace_back("first_name",
                              part(first == std::string::npos ? first : first + 1, second));
        d.m_Card.emplace_back("patronymic", part(second == std::string::npos ? second : second + 1,
                                                 std::string::npos));
    }
    const std::string equipment = words.size() > 4 ? words[4] : std::string();
    d.SetCard("doctor_name", field(3));
    const std::string ours = OurEdfEquipment("");
    if (equipment.size() > ours.size() && equipment.rfind(ours, 0) == 0) {
        const SCP_TAG14 tag = MakeScpTag14(0, 0, 0);
        d.m_bOurs = true;
        d.m_strManufacturer = tag.strManufacturer;
        d.m_strModel = tag.strModel;
        d.m_strSerial = equipment.substr(ours.size());
        d.m_nDeviceId = DeviceIdFromSerial(d.m_strSerial);
        d.m_nCurveId = uint32_t(std::strtoul(field(2).c_str(), nullptr, 10));
    } else if (!field(4).empty() && d.m_strManufacturer.empty() && d.m_strModel.empty()) {
        d.m_strModel = field(4); // one code: the model is the nearest of the three
    }
}

// A private copy of an .xml file that lacks the XML declaration, with one; empty when the file
// needs none (or is no .xml file, or cannot be read: libbiosig then says why).
std::string WithXmlDeclaration(const std::string& path) {
    if (path.size() < 4 || strcasecmp(path.c_str() + path.size() - 4, ".xml") != 0)
        return {};
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.eof() && in.fail())
        return {};
    size_t at = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])))
        ++at;
    if (text.compare(at, 5, "<?xml") == 0 || text.compare(at, 1, "<") != 0)
        return {};
    const char* tmp = std::getenv("TMPDIR");
    std::string name = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-aecg-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0)
        return {};
    const std::string declared = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n" + text.substr(at);
    const bool ok = ::write(fd, declared.data(), declared.size()) == ssize_t(declared.size());
    ::close(fd);
    if (!ok) {
        std::remove(name.c_str());
        return {};
    }
    return name;
}

} // namespace

std::string XmlRefusal(const std::string& text) {
    // A document type may name outside files or define entities that expand without end: an ECG
    // needs none, so none is parsed.
    QXmlStreamReader xml(QByteArray::fromStdString(text));
    while (!xml.atEnd()) {
        const QXmlStreamReader::TokenType t = xml.readNext();
        if (t == QXmlStreamReader::DTD)
            return "the file declares a DOCTYPE, which is refused for safety (a document type can "
                   "pull in other files or expand entities without end)";
        if (t == QXmlStreamReader::StartElement || t == QXmlStreamReader::Invalid)
            break;
    }
    return {};
}

bool ImportWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg,
                      std::string* error, CFileDetails* details) {
    std::string text;
    if (EndsWith(path, ".xml")) {
        text = FileText(path, size_t(64) << 20);
        if (std::string why = XmlRefusal(text); !why.empty()) {
            *error = std::move(why);
            return false;
        }
    }
    // libbiosig knows an aECG only by a leading XML declaration, which XML does not require (the
    // FDA's own minimal example starts with a comment): such a file is read from a copy with one.
    bool ok;
    if (const std::string copy = WithXmlDeclaration(path); !copy.empty()) {
        ok = ReadWithBiosig(copy, maxSeconds, ecg, error, details);
        std::remove(copy.c_str());
    } else {
        ok = ReadWithBiosig(path, maxSeconds, ecg, error, details);
    }
    if (!ok || !details)
        return ok;
    if (!text.empty())
        AecgDetails(text, *details);
    else if (EndsWith(path, ".edf"))
        EdfDetails(FileText(path, 256), *details);
    return true;
}

namespace {

bool ReadWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg, std::string* error,
                    CFileDetails* details) {
    std::unique_ptr<HDRTYPE, HeaderCloser> h(constructHDR(0, 0));
    h->FLAG.UCAL = 0;               // calibrated values
    h->FLAG.ROW_BASED_CHANNELS = 0; // each channel one column
    h->FLAG.OVERFLOWDETECTION = 0;
    h->FLAG.ANONYMOUS = 0; // the patient's name is wanted
    if (!sopen(path.c_str(), "r", h.get()) || h->AS.B4C_ERRNUM != B4C_NO_ERROR) {
        // libbiosig's own texts speak of its internals; the user needs what it means.
        *error = "the file is damaged or not in a form velmora reads";
        return false;
    }
    if (h->TYPE == noFile || h->TYPE == unknown) {
        *error = "not an ECG file in a known format";
        return false;
    }
    if (!(h->SampleRate > 0) || !std::isfinite(h->SampleRate)) {
        char rate[32];
        std::snprintf(rate, sizeof rate, "%g", h->SampleRate);
        *error = std::string("the file's sampling rate is zero or invalid (") + rate + " Hz)";
        return false;
    }
    if (h->NS == 0 || h->NRec <= 0 || h->SPR == 0) {
        *error = "the file holds no samples";
        return false;
    }
    const size_t got = sread(nullptr, 0, size_t(h->NRec), h.get());
    if (h->AS.B4C_ERRNUM != B4C_NO_ERROR || got == 0 || !h->data.block) {
        *error = "the file's samples are damaged or cut short";
        return false;
    }
    const size_t rows = h->data.size[0], columns = h->data.size[1];
    ForeignEcg out;
    out.signal.dRate = h->SampleRate;
    out.dTotalSeconds = double(rows) / h->SampleRate;
    const size_t keep =
        maxSeconds > 0 ? std::min(rows, size_t(std::ceil(maxSeconds * h->SampleRate))) : rows;
    for (size_t k = 0, column = 0; k < h->NS && column < columns; ++k) {
        const CHANNEL_TYPE& c = h->CHANNEL[k];
        if (!c.OnOff)
            continue;
        const double scale = PhysDimScale(c.PhysDimCode);
        // An amplitude without a voltage unit is taken as µV (aECG files may leave it out).
        const double toMicrovolts =
            std::isfinite(scale) && scale > 0 && (c.PhysDimCode & 0xffe0) == 4256 ? scale * 1e6
                                                                                  : 1.0;
        std::vector<float> lead(keep);
        const double* from = h->data.block + column * rows;
        for (size_t i = 0; i < keep; ++i) {
            const double v = from[i] * toMicrovolts;
            lead[i] = std::isfinite(v) ? float(v) : 0.f; // gaps read as NaN
        }
        out.signal.names.push_back(LeadName(c));
        out.signal.leads.push_back(std::move(lead));
        out.signal.present.push_back(true);
        ++column;
    }
    if (out.signal.leads.empty()) {
        *error = "the file holds no channel";
        return false;
    }
    std::tm t{};
    if (h->T0 != 0 && GdfTimeAsTm(h->T0, t) && t.tm_year + 1900 > 1900)
        out.start = FromTm(t);
    SplitPatientName(h->Patient.Name, out);
    out.patientId =
        TextAsUtf8(std::string(h->Patient.Id, strnlen(h->Patient.Id, sizeof h->Patient.Id)));
    if (out.patientId == "X") // EDF+'s word for a code not known
        out.patientId.clear();
    std::tm b{};
    if (h->Patient.Birthday != 0 && GdfTimeAsTm(h->Patient.Birthday, b) &&
        b.tm_year + 1900 > 1850) {
        out.birthYear = uint16_t(b.tm_year + 1900);
        out.birthMonth = uint16_t(b.tm_mon + 1);
        out.birthDay = uint16_t(b.tm_mday);
    }
    out.sex = h->Patient.Sex == 1 ? 1 : h->Patient.Sex == 2 ? 0 : -1;
    if (details) {
        auto text = [](const char* v) { return v ? TextAsUtf8(v) : std::string(); };
        *details = CFileDetails{};
        details->m_strManufacturer = text(h->ID.Manufacturer.Name);
        details->m_strModel = text(h->ID.Manufacturer.Model);
        details->m_strSerial = text(h->ID.Manufacturer.SerialNumber);
    }
    ecg = std::move(out);
    return true;
}

} // namespace
