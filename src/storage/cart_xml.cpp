#include "storage/cart_xml.h"

#include "platform/cp1251.h"
#include "record_model/lead_vocabulary.h"
#include "storage/cart_xml_tree.h"

#include <QByteArray>
#include <QXmlStreamReader>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <zlib.h>

namespace cartxml {

bool SameText(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(uint8_t(x)) == std::tolower(uint8_t(y));
           });
}

namespace {

// No cart nests this deep; a document that does is no ECG and must not exhaust the stack.
constexpr int kMaxDepth = 64;

// The encoding the declaration names, lower case ("" when none).
std::string DeclaredEncoding(const uint8_t* data, size_t size) {
    const std::string head(reinterpret_cast<const char*>(data), std::min<size_t>(size, 200));
    if (head.rfind("<?xml", 0) != 0)
        return {};
    const size_t end = head.find("?>");
    const size_t at = head.find("encoding", 0);
    if (at == std::string::npos || (end != std::string::npos && at > end))
        return {};
    size_t q = head.find_first_of("\"'", at);
    if (q == std::string::npos)
        return {};
    const size_t close = head.find(head[q], q + 1);
    if (close == std::string::npos)
        return {};
    std::string enc = head.substr(q + 1, close - q - 1);
    for (char& c : enc)
        c = char(std::tolower(uint8_t(c)));
    return enc;
}

} // namespace

const CXmlNode* CXmlNode::Child(std::string_view name) const {
    for (const auto& c : m_Children)
        if (SameText(c->m_strName, name))
            return c.get();
    return nullptr;
}

const CXmlNode* CXmlNode::Find(std::string_view name) const {
    for (const auto& c : m_Children) {
        if (SameText(c->m_strName, name))
            return c.get();
        if (const CXmlNode* n = c->Find(name))
            return n;
    }
    return nullptr;
}

const CXmlNode* CXmlNode::Path(std::string_view path) const {
    const CXmlNode* n = this;
    while (n && !path.empty()) {
        const size_t slash = path.find('/');
        n = n->Child(path.substr(0, slash));
        path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash + 1);
    }
    return n;
}

std::vector<const CXmlNode*> CXmlNode::Children(std::string_view name) const {
    std::vector<const CXmlNode*> out;
    for (const auto& c : m_Children)
        if (SameText(c->m_strName, name))
            out.push_back(c.get());
    return out;
}

std::string CXmlNode::Text() const {
    return m_strText.trimmed().toStdString();
}

std::string CXmlNode::Attribute(std::string_view name) const {
    for (const auto& [k, v] : m_Attributes)
        if (SameText(k, name))
            return v;
    return {};
}

bool ParseXml(const uint8_t* data, size_t size, CXmlNode& root, std::string* error) {
    // Qt reads UTF-8, UTF-16 and Latin-1 by the declaration itself; the Cyrillic code page of
    // Russian installations is decoded here, so that it does not depend on how Qt was built.
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const std::string enc = DeclaredEncoding(data, size);
    QXmlStreamReader xml;
    if (enc == "windows-1251" || enc == "cp1251" || enc == "x-cp1251")
        xml.addData(FromCp1251(bytes));
    else if (enc == "windows-1252" || enc == "cp1252")
        xml.addData(QString::fromLatin1(bytes));
    else
        xml.addData(bytes);
    xml.setNamespaceProcessing(true);
    std::vector<CXmlNode*> open;
    bool seenRoot = false;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::DTD:
            if (!xml.entityDeclarations().isEmpty() || xml.text().contains(u"<!ENTITY")) {
                *error = "it declares entities, which no ECG file does";
                return false;
            }
            break;
        case QXmlStreamReader::StartElement: {
            if (open.size() >= size_t(kMaxDepth)) {
                *error = "its elements nest deeper than " + std::to_string(kMaxDepth);
                return false;
            }
            CXmlNode* node = nullptr;
            if (open.empty()) {
                node = &root;
                seenRoot = true;
            } else {
                open.back()->m_Children.push_back(std::make_unique<CXmlNode>());
                node = open.back()->m_Children.back().get();
            }
            node->m_strName = xml.name().toString().toStdString();
            for (const QXmlStreamAttribute& a : xml.attributes())
                node->m_Attributes.emplace_back(a.name().toString().toStdString(),
                                                a.value().toString().trimmed().toStdString());
            open.push_back(node);
            break;
        }
        case QXmlStreamReader::EndElement:
            if (!open.empty())
                open.pop_back();
            break;
        case QXmlStreamReader::Characters:
            if (!open.empty())
                open.back()->m_strText += xml.text();
            break;
        default:
            break;
        }
    }
    if (xml.hasError()) {
        // Qt's own wording is not for the user: where it broke is.
        *error = xml.error() == QXmlStreamReader::PrematureEndOfDocumentError
                     ? "its XML ends early (line " + std::to_string(xml.lineNumber()) + ")"
                     : "it is not well-formed XML (line " + std::to_string(xml.lineNumber()) +
                           ", column " + std::to_string(xml.columnNumber()) + ")";
        return false;
    }
    if (!seenRoot) {
        *error = "it holds no XML element";
        return false;
    }
    return true;
}

bool ParseRoot(const uint8_t* data, size_t size, std::string_view rootName, CXmlNode& root,
               std::string* error) {
    // The root is checked before the document is read, so that another file is named as such
    // and not by the first fault the XML reader meets in it.
    if (!SameText(XmlRootElement(std::span(data, std::min<size_t>(size, 64 * 1024))), rootName)) {
        *error = kNotKnownEcgXml;
        return false;
    }
    return ParseXml(data, size, root, error);
}

bool ParseInt(const std::string& text, long lo, long hi, long& value) {
    if (text.empty() || text.size() > 18)
        return false;
    size_t i = text[0] == '-' || text[0] == '+' ? 1 : 0;
    if (i == text.size())
        return false;
    long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        v = v * 10 + (text[i] - '0');
    }
    if (text[0] == '-')
        v = -v;
    if (v < lo || v > hi)
        return false;
    value = v;
    return true;
}

bool ParseNumber(const std::string& text, double& value) {
    bool ok = false;
    const double v = QString::fromStdString(text).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    value = v;
    return true;
}

int Finding(const CXmlNode* node, std::string_view child, long lo, long hi) {
    const CXmlNode* c = node ? node->Child(child) : nullptr;
    long v = 0;
    return c && ParseInt(c->Text(), lo, hi, v) ? int(v) : kNotInFile;
}

bool DecodeBase64(const QString& text, const std::string& what, std::vector<uint8_t>& bytes,
                  std::string* error) {
    QByteArray compact;
    compact.reserve(text.size());
    for (QChar c : text) {
        if (c.isSpace())
            continue;
        if (c.unicode() > 0x7F) {
            *error = what + " is not base64";
            return false;
        }
        compact.append(char(c.unicode()));
    }
    const auto r = QByteArray::fromBase64Encoding(compact, QByteArray::AbortOnBase64DecodingErrors);
    if (!r) {
        *error = what + " is not base64";
        return false;
    }
    bytes.assign(r.decoded.begin(), r.decoded.end());
    return true;
}

std::string LeadLabel(const std::string& name) {
    const CLeadEntry* lead = LeadOfName(name);
    return lead ? lead->m_szLabel : name;
}

bool CheckLeadLengths(const CEcgSignal& s, std::string* error) {
    if (s.leads.empty()) {
        *error = "it holds no leads";
        return false;
    }
    for (size_t k = 1; k < s.leads.size(); ++k)
        if (s.leads[k].size() != s.leads[0].size()) {
            *error = "lead " + s.names[k] + " has " + std::to_string(s.leads[k].size()) +
                     " samples, lead " + s.names[0] + " " + std::to_string(s.leads[0].size());
            return false;
        }
    if (s.leads[0].empty()) {
        *error = "its leads hold no samples";
        return false;
    }
    return true;
}

void SetCardText(char* field, size_t size, const std::string& utf8) {
    const QByteArray coded = ToCp1251(QString::fromStdString(utf8).simplified());
    const size_t n = std::min(size - 1, size_t(coded.size()));
    std::memcpy(field, coded.constData(), n);
    field[n] = 0;
}

uint8_t SexOf(const std::string& text) {
    const QString s = QString::fromStdString(text).trimmed().toLower();
    if (s == u"male" || s == u"m" || s == u"м" || s == u"мужской")
        return 1;
    if (s == u"female" || s == u"f" || s == u"ж" || s == u"женский")
        return 0;
    return kSexNotGiven;
}

bool MakeTime(long year, long month, long day, long hour, long minute, long second,
              SYSTEMTIME& out) {
    if (year < 1900 || year > 9999 || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    SYSTEMTIME t{uint16_t(year),   uint16_t(month),  0, uint16_t(day), uint16_t(hour),
                 uint16_t(minute), uint16_t(second), 0};
    FILETIME ft;
    if (!SystemTimeToFileTime(t, ft) || !FileTimeToSystemTime(ft, t) || t.wDay != day)
        return false;
    out = t;
    return true;
}

void SetBirth(PATIENT_CARD& card, long year, long month, long day, long ageYears,
              const SYSTEMTIME& start) {
    SYSTEMTIME born;
    if (MakeTime(year, month, day, 0, 0, 0, born) &&
        (start.wYear == 0 || born.wYear <= start.wYear)) {
        card.birth_year = born.wYear;
        card.birth_month = born.wMonth;
        card.birth_day = born.wDay;
    } else if (ageYears >= 0 && ageYears < 150 && start.wYear != 0) {
        // Only the age: the year of birth is as near as the card can keep it.
        card.birth_year = uint16_t(start.wYear - ageYears);
    }
}

} // namespace cartxml

using namespace cartxml;

std::string XmlRootElement(std::span<const uint8_t> head) {
    // Into 8-bit text: UTF-16 by its byte order mark or by the zero bytes of "<?" or "<r".
    std::string text;
    size_t start = 0, step = 1, lowByte = 0;
    if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0xFE)
        start = 2, step = 2, lowByte = 0;
    else if (head.size() >= 2 && head[0] == 0xFE && head[1] == 0xFF)
        start = 2, step = 2, lowByte = 1;
    else if (head.size() >= 3 && head[0] == 0xEF && head[1] == 0xBB && head[2] == 0xBF)
        start = 3;
    else if (head.size() >= 2 && head[0] == '<' && head[1] == 0)
        step = 2, lowByte = 0;
    else if (head.size() >= 2 && head[0] == 0 && head[1] == '<')
        step = 2, lowByte = 1;
    for (size_t i = start; i + step <= head.size(); i += step) {
        if (step == 2 && head[i + 1 - lowByte] != 0) {
            text.push_back('\x7F'); // a character beyond Latin-1: part of no markup we look for
            continue;
        }
        text.push_back(char(head[i + lowByte]));
    }
    size_t at = 0;
    auto skipTo = [&](const char* end) {
        const size_t e = text.find(end, at);
        at = e == std::string::npos ? std::string::npos : e + std::strlen(end);
        return at != std::string::npos;
    };
    while (at < text.size()) {
        const char c = text[at];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++at;
            continue;
        }
        if (c != '<')
            return {};
        if (text.compare(at, 2, "<?") == 0) {
            if (!skipTo("?>"))
                return {};
        } else if (text.compare(at, 4, "<!--") == 0) {
            if (!skipTo("-->"))
                return {};
        } else if (text.compare(at, 9, "<!DOCTYPE") == 0) {
            const size_t bracket = text.find('[', at), close = text.find('>', at);
            if (bracket != std::string::npos && bracket < close)
                at = bracket;
            if (!skipTo(at == bracket ? "]" : ">") || (at != close + 1 && !skipTo(">")))
                return {};
        } else {
            size_t e = at + 1;
            while (e < text.size() && !std::strchr(" \t\r\n/>", text[e]))
                ++e;
            if (e == text.size())
                return {};
            std::string name = text.substr(at + 1, e - at - 1);
            if (const size_t colon = name.find(':'); colon != std::string::npos)
                name = name.substr(colon + 1);
            return name;
        }
    }
    return {};
}

namespace {

// "MM-DD-YYYY" (MUSE's dates), else false.
bool MuseDate(const std::string& text, long& year, long& month, long& day) {
    if (text.size() != 10 || text[2] != '-' || text[5] != '-')
        return false;
    return ParseInt(text.substr(0, 2), 1, 12, month) && ParseInt(text.substr(3, 2), 1, 31, day) &&
           ParseInt(text.substr(6, 4), 1, 9999, year);
}

bool HmsTime(const std::string& text, long& h, long& m, long& s) {
    if (text.size() < 5 || text[2] != ':')
        return false;
    s = 0;
    return ParseInt(text.substr(0, 2), 0, 23, h) && ParseInt(text.substr(3, 2), 0, 59, m) &&
           (text.size() < 8 || (text[5] == ':' && ParseInt(text.substr(6, 2), 0, 59, s)));
}

// The most samples any reader takes per lead: ten minutes at 1 kHz, far above a resting ECG.
constexpr long kMaxSamples = 600000;

bool MuseSignal(const CXmlNode& root, CEcgSignal& signal, std::string* error) {
    const CXmlNode* rhythm = nullptr;
    for (const CXmlNode* w : root.Children("Waveform"))
        if (const CXmlNode* t = w->Child("WaveformType"); t && SameText(t->Text(), "Rhythm"))
            rhythm = w;
    if (!rhythm) {
        *error = "it holds no rhythm waveform";
        return false;
    }
    long base = 0, exponent = 0;
    const CXmlNode* baseNode = rhythm->Child("SampleBase");
    if (!baseNode || !ParseInt(baseNode->Text(), 1, 100000, base)) {
        *error = "its rhythm waveform gives no sample rate";
        return false;
    }
    if (const CXmlNode* e = rhythm->Child("SampleExponent");
        e && !e->Text().empty() && !ParseInt(e->Text(), -3, 3, exponent)) {
        *error = "its sample rate's exponent is not a number from -3 to 3";
        return false;
    }
    signal.dRate = double(base) * std::pow(10.0, double(exponent));
    if (signal.dRate < 50 || signal.dRate > 20000) {
        *error = "its sample rate " + std::to_string(signal.dRate) + " Hz is no ECG's";
        return false;
    }
    for (const CXmlNode* lead : rhythm->Children("LeadData")) {
        const CXmlNode* id = lead->Child("LeadID");
        const std::string name = id ? LeadLabel(id->Text()) : "";
        if (name.empty()) {
            *error = "a lead of its rhythm waveform has no name";
            return false;
        }
        const std::string what = "lead " + name + "'s data";
        const CXmlNode* data = lead->Child("WaveFormData");
        std::vector<uint8_t> bytes;
        if (!data) {
            *error = "lead " + name + " has no data";
            return false;
        }
        if (!DecodeBase64(data->m_strText, what, bytes, error))
            return false;
        long count = 0, sampleSize = 2;
        if (const CXmlNode* n = lead->Child("LeadSampleSize");
            n && (!ParseInt(n->Text(), 1, 8, sampleSize) || sampleSize != 2)) {
            *error = "lead " + name + " has samples of " + n->Text() + " bytes; only 2 are read";
            return false;
        }
        const CXmlNode* countNode = lead->Child("LeadSampleCountTotal");
        if (!countNode || !ParseInt(countNode->Text(), 1, kMaxSamples, count)) {
            *error = "lead " + name + " does not say how many samples it has";
            return false;
        }
        if (bytes.size() != size_t(count) * 2) {
            *error = what + " holds " + std::to_string(bytes.size()) + " bytes, " +
                     std::to_string(count) + " samples need " + std::to_string(count * 2);
            return false;
        }
        long crc = 0;
        if (const CXmlNode* c = lead->Child("LeadDataCRC32");
            c && ParseInt(c->Text(), 0, 0xFFFFFFFFL, crc) &&
            uint32_t(crc) != uint32_t(crc32(0, bytes.data(), uInt(bytes.size())))) {
            *error = what + " fails its CRC";
            return false;
        }
        double gain = 0;
        const CXmlNode* g = lead->Child("LeadAmplitudeUnitsPerBit");
        if (!g || !ParseNumber(g->Text(), gain) || gain <= 0 || gain > 1000) {
            *error = "lead " + name + " gives no amplitude per unit";
            return false;
        }
        if (const CXmlNode* u = lead->Child("LeadAmplitudeUnits"); u && !u->Text().empty()) {
            if (SameText(u->Text(), "MILLIVOLTS"))
                gain *= 1000;
            else if (!SameText(u->Text(), "MICROVOLTS")) {
                *error = "lead " + name + "'s amplitude unit " + u->Text() + " is not a voltage";
                return false;
            }
        }
        std::vector<float> samples(static_cast<size_t>(count));
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = float(int16_t(uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8)) * gain);
        signal.names.push_back(name);
        signal.leads.push_back(std::move(samples));
        signal.present.push_back(true);
    }
    if (!CheckLeadLengths(signal, error))
        return false;
    DeriveLimbLeads(signal);
    return true;
}

// MUSE's statements: pieces of one line until the piece that ends it.
void MuseStatements(const CXmlNode& root, CFileStatements& out) {
    const CXmlNode* diagnosis = root.Child("Diagnosis");
    if (!diagnosis || diagnosis->Children("DiagnosisStatement").empty())
        diagnosis = root.Child("OriginalDiagnosis");
    if (!diagnosis)
        return;
    std::string line;
    for (const CXmlNode* s : diagnosis->Children("DiagnosisStatement")) {
        const CXmlNode* text = s->Child("StmtText");
        const std::string piece = text ? text->Text() : "";
        if (!piece.empty())
            line += (line.empty() ? "" : " ") + piece;
        bool ends = false;
        for (const CXmlNode* f : s->Children("StmtFlag"))
            ends = ends || SameText(f->Text(), "ENDSLINE");
        if (ends && !line.empty()) {
            out.m_Statements.push_back(line);
            line.clear();
        }
    }
    if (!line.empty())
        out.m_Statements.push_back(line);
}

} // namespace

bool ReadMuseXml(const uint8_t* data, size_t size, CCartXmlEcg& ecg, std::string* error) {
    CXmlNode root;
    if (!ParseRoot(data, size, "RestingECG", root, error))
        return false;
    CCartXmlEcg out;
    if (!MuseSignal(root, out.signal, error))
        return false;
    const CXmlNode* test = root.Child("TestDemographics");
    long y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (test && test->Child("AcquisitionDate") &&
        MuseDate(test->Child("AcquisitionDate")->Text(), y, mo, d)) {
        if (const CXmlNode* t = test->Child("AcquisitionTime"); !t || !HmsTime(t->Text(), h, mi, s))
            h = mi = s = 0;
        MakeTime(y, mo, d, h, mi, s, out.start);
    }
    std::memset(&out.card, 0, sizeof out.card);
    out.card.sex = kSexNotGiven;
    if (const CXmlNode* p = root.Child("PatientDemographics")) {
        auto text = [&](const char* name) {
            const CXmlNode* n = p->Child(name);
            return n ? n->Text() : std::string();
        };
        SetCardText(out.card.last_name, sizeof out.card.last_name, text("PatientLastName"));
        SetCardText(out.card.first_name, sizeof out.card.first_name, text("PatientFirstName"));
        SetCardText(out.card.patronymic, sizeof out.card.patronymic, text("PatientMiddleName"));
        SetCardText(out.card.patient_id, sizeof out.card.patient_id, text("PatientID"));
        out.card.sex = SexOf(text("Gender"));
        long age = -1;
        if (!SameText(text("AgeUnits"), "YEARS") || !ParseInt(text("PatientAge"), 0, 149, age))
            age = -1;
        long by = 0, bm = 0, bd = 0;
        MuseDate(text("DateofBirth"), by, bm, bd);
        SetBirth(out.card, by, bm, bd, age, out.start);
    }
    if (test) {
        std::string model =
            test->Child("AcquisitionDevice") ? test->Child("AcquisitionDevice")->Text() : "";
        out.device.m_strManufacturer = "GE";
        out.device.m_strModel = model;
    }
    const CXmlNode* m = root.Child("RestingECGMeasurements");
    if (!m)
        m = root.Child("OriginalRestingECGMeasurements");
    CFileFindings& f = out.findings;
    f.m_strWriter = "GE MUSE XML";
    f.m_nHeartRate = Finding(m, "VentricularRate", 1, 500);
    f.m_nPrMs = Finding(m, "PRInterval", 1, 2000);
    f.m_nQrsMs = Finding(m, "QRSDuration", 1, 2000);
    f.m_nQtMs = Finding(m, "QTInterval", 1, 2000);
    f.m_nQtcMs = Finding(m, "QTCorrected", 1, 2000);
    f.m_nPAxis = Finding(m, "PAxis", -360, 360);
    f.m_nQrsAxis = Finding(m, "RAxis", -360, 360);
    f.m_nTAxis = Finding(m, "TAxis", -360, 360);
    f.m_nRrMs = Finding(root.Child("QRSTimesTypes"), "GlobalRR", 100, 10000);
    MuseStatements(root, out.statements);
    if (test && test->Child("EditListStatus") &&
        SameText(test->Child("EditListStatus")->Text(), "Confirmed")) {
        out.statements.m_bConfirmed = true;
        const std::string last =
            test->Child("OverreaderLastName") ? test->Child("OverreaderLastName")->Text() : "";
        const std::string first =
            test->Child("OverreaderFirstName") ? test->Child("OverreaderFirstName")->Text() : "";
        out.statements.m_strPhysician = last + (first.empty() ? "" : " " + first);
    }
    out.statements.m_stMade = out.start;
    ecg = std::move(out);
    return true;
}

namespace {

// CardioSoft's samples: whole numbers separated by commas (and line breaks between chunks).
bool CommaSamples(const QString& text, const std::string& lead, double gain, long expected,
                  std::vector<float>& out, std::string* error) {
    out.clear();
    out.reserve(size_t(expected));
    const QByteArray latin = text.toLatin1();
    const char* p = latin.constData();
    const char* end = p + latin.size();
    while (p < end) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n' || *p == ','))
            ++p;
        if (p == end)
            break;
        const char* s = p;
        if (*p == '-' || *p == '+')
            ++p;
        long v = 0;
        int digits = 0;
        while (p < end && *p >= '0' && *p <= '9' && digits < 7) {
            v = v * 10 + (*p++ - '0');
            ++digits;
        }
        if (digits == 0 ||
            (p < end && *p != ',' && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n')) {
            *error = "lead " + lead + "'s samples are not whole numbers (sample " +
                     std::to_string(out.size() + 1) + ")";
            return false;
        }
        if (long(out.size()) >= expected) {
            *error = "lead " + lead + " holds more than the " + std::to_string(expected) +
                     " samples its file says";
            return false;
        }
        out.push_back(float(double(*s == '-' ? -v : v) * gain));
    }
    if (long(out.size()) != expected) {
        *error = "lead " + lead + " holds " + std::to_string(out.size()) +
                 " samples, its file says " + std::to_string(expected);
        return false;
    }
    return true;
}

} // namespace

bool ReadCardioSoftXml(const uint8_t* data, size_t size, CCartXmlEcg& ecg, std::string* error) {
    CXmlNode root;
    if (!ParseRoot(data, size, "CardiologyXML", root, error))
        return false;
    CCartXmlEcg out;
    const CXmlNode* strip = root.Child("StripData");
    if (!strip) {
        *error = "it holds no rhythm strip (StripData)";
        return false;
    }
    double rate = 0;
    if (const CXmlNode* r = strip->Child("SampleRate");
        !r || !ParseNumber(r->Text(), rate) || rate < 50 || rate > 20000) {
        *error = "its rhythm strip gives no sample rate";
        return false;
    }
    double gain = 0;
    if (const CXmlNode* r = strip->Child("Resolution");
        !r || !ParseNumber(r->Text(), gain) || gain <= 0 || gain > 1000) {
        *error = "its rhythm strip gives no resolution (µV per unit)";
        return false;
    }
    long count = 0;
    if (const CXmlNode* c = strip->Child("ChannelSampleCountTotal");
        !c || !ParseInt(c->Text(), 1, kMaxSamples, count)) {
        *error = "its rhythm strip does not say how many samples each lead has";
        return false;
    }
    out.signal.dRate = rate;
    for (const CXmlNode* w : strip->Children("WaveformData")) {
        const std::string name = LeadLabel(w->Attribute("lead"));
        if (name.empty()) {
            *error = "a lead of its rhythm strip has no name";
            return false;
        }
        std::vector<float> samples;
        if (!CommaSamples(w->m_strText, name, gain, count, samples, error))
            return false;
        out.signal.names.push_back(name);
        out.signal.leads.push_back(std::move(samples));
        out.signal.present.push_back(true);
    }
    if (!CheckLeadLengths(out.signal, error))
        return false;
    DeriveLimbLeads(out.signal);

    auto num = [](const CXmlNode* n, const char* child, long lo, long hi) {
        long v = -1;
        const CXmlNode* c = n ? n->Child(child) : nullptr;
        return c && ParseInt(c->Text(), lo, hi, v) ? v : -1;
    };
    if (const CXmlNode* t = root.Child("ObservationDateTime"))
        MakeTime(num(t, "Year", 0, 9999), num(t, "Month", 0, 12), num(t, "Day", 0, 31),
                 num(t, "Hour", 0, 23), num(t, "Minute", 0, 59), num(t, "Second", 0, 59),
                 out.start);
    std::memset(&out.card, 0, sizeof out.card);
    out.card.sex = kSexNotGiven;
    if (const CXmlNode* p = root.Child("PatientInfo")) {
        auto text = [](const CXmlNode* n, const char* path) {
            const CXmlNode* c = n ? n->Path(path) : nullptr;
            return c ? c->Text() : std::string();
        };
        SetCardText(out.card.last_name, sizeof out.card.last_name, text(p, "Name/FamilyName"));
        SetCardText(out.card.first_name, sizeof out.card.first_name, text(p, "Name/GivenName"));
        SetCardText(out.card.patronymic, sizeof out.card.patronymic, text(p, "Name/MiddleName"));
        SetCardText(out.card.patient_id, sizeof out.card.patient_id, text(p, "PID"));
        out.card.sex = SexOf(text(p, "Gender"));
        long age = -1;
        if (const CXmlNode* a = p->Child("Age");
            !a || !SameText(a->Attribute("units"), "YEARS") || !ParseInt(a->Text(), 0, 149, age))
            age = -1;
        const CXmlNode* b = p->Child("BirthDateTime");
        SetBirth(out.card, num(b, "Year", 0, 9999), num(b, "Month", 0, 12), num(b, "Day", 0, 31),
                 age, out.start);
    }
    out.device.m_strManufacturer = "GE";
    if (const CXmlNode* d = root.Path("ClinicalInfo/DeviceInfo/Desc"))
        out.device.m_strModel = d->Text();
    const CXmlNode* m = root.Child("RestingECGMeasurements");
    CFileFindings& f = out.findings;
    f.m_strWriter = "GE CardioSoft XML";
    f.m_nHeartRate = Finding(m, "VentricularRate", 1, 500);
    f.m_nRrMs = Finding(m, "RRInterval", 100, 10000);
    f.m_nPrMs = Finding(m, "PQInterval", 1, 2000);
    f.m_nQrsMs = Finding(m, "QRSDuration", 1, 2000);
    f.m_nQtMs = Finding(m, "QTInterval", 1, 2000);
    f.m_nQtcMs = Finding(m, "QTCInterval", 1, 2000);
    f.m_nPAxis = Finding(m, "PAxis", -360, 360);
    f.m_nQrsAxis = Finding(m, "RAxis", -360, 360);
    f.m_nTAxis = Finding(m, "TAxis", -360, 360);
    // The statements: every text of the interpretation (its diagnosis lines, then its
    // conclusion), in the file's order.
    if (const CXmlNode* interp = root.Child("Interpretation")) {
        auto walk = [&](auto&& self, const CXmlNode* n) -> void {
            if (n->m_Children.empty()) {
                if (const std::string t = n->Text(); !t.empty() && n != interp)
                    out.statements.m_Statements.push_back(t);
                return;
            }
            for (const auto& c : n->m_Children)
                self(self, c.get());
        };
        walk(walk, interp);
    }
    out.statements.m_stMade = out.start;
    ecg = std::move(out);
    return true;
}
