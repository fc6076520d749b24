// Philips' XML ECGs: the "Sierra ECG" documents 1.03 (PageWriter, HeartStart MRx) and the
// "PhilipsECG" documents 1.04 and 1.04.01 (PageWriter TC, TraceMasterVue), waveforms as plain
// base64 int16 or XLI-compressed.
//
// XLI is not published by Philips. What we decode follows the public description of the format
// on the sierra-ecg-tools project's wiki (its "XLI Compression in Detail" page and Christopher
// Watford's blog post of 2011-12-26 on reverse-engineering it), checked against the shared
// PageWriter and MRx files: per lead an 8-byte header (packed size, a word that is always 1, a
// 16-bit seed), then LZW with fixed 10-bit codes, most significant bit first, a dictionary of 256
// single bytes growing to 1024 entries and never reset; the unpacked bytes are the samples' high
// bytes followed by their low bytes; the samples are second differences, each one's prediction
// 2y - x less the previous code's value offset by 64. The limb leads III, aVR, aVL and aVF are
// stored as what remains after predicting them from I and II (Einthoven and Goldberger), which
// is why their stored values must be small: a damaged stream shows there first.

#include "storage/cart_xml.h"
#include "storage/cart_xml_tree.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cmath>
#include <cstring>

using namespace cartxml;

namespace {

// The LZW stream of one lead into `want` bytes; false with *error when its codes run out first
// or name an entry the dictionary does not have yet.
bool Lzw10(std::span<const uint8_t> in, size_t want, const std::string& lead,
           std::vector<uint8_t>& out, std::string* error) {
    constexpr int kEntries = 1024;
    std::array<uint16_t, kEntries> prefix{};
    std::array<uint8_t, kEntries> last{}, first{};
    for (int i = 0; i < 256; ++i) {
        prefix[size_t(i)] = 0xFFFF;
        last[size_t(i)] = first[size_t(i)] = uint8_t(i);
    }
    int next = 256, previous = -1;
    uint32_t bits = 0;
    int nBits = 0;
    size_t pos = 0;
    std::array<uint8_t, kEntries + 1> entry{};
    // No code stands for more than the dictionary's longest entry: a stream too short for the
    // samples is refused before they are made room for.
    if (want / kEntries > in.size() * 8 / 10) {
        *error = "lead " + lead + "'s compressed data ends early";
        return false;
    }
    out.clear();
    out.reserve(want);
    while (out.size() < want) {
        while (nBits < 10 && pos < in.size()) {
            bits = (bits << 8) | in[pos++];
            nBits += 8;
        }
        if (nBits < 10) {
            *error = "lead " + lead + "'s compressed data ends early";
            return false;
        }
        const int code = int(bits >> (nBits - 10)) & 0x3FF;
        nBits -= 10;
        bits &= (1u << nBits) - 1;
        int n = 0;
        if (code < next) {
            for (int c = code; c != 0xFFFF && n <= kEntries; c = prefix[size_t(c)])
                entry[size_t(n++)] = last[size_t(c)];
        } else if (code == next && previous >= 0) {
            // The entry being defined by this very code: the previous one and its first byte.
            entry[size_t(n++)] = first[size_t(previous)];
            for (int c = previous; c != 0xFFFF && n <= kEntries; c = prefix[size_t(c)])
                entry[size_t(n++)] = last[size_t(c)];
        } else {
            *error = "lead " + lead + "'s compressed data is damaged (a code before its entry)";
            return false;
        }
        for (int i = n - 1; i >= 0 && out.size() < want; --i)
            out.push_back(entry[size_t(i)]);
        if (previous >= 0 && next < kEntries) {
            prefix[size_t(next)] = uint16_t(previous);
            last[size_t(next)] = entry[size_t(n - 1)];
            first[size_t(next)] = first[size_t(previous)];
            ++next;
        }
        previous = code;
    }
    return true;
}

// The share of a stored limb lead that is small enough for a remainder after prediction:
// Philips' leads leave 0, ±1 or ±2 units nearly everywhere (the calibration pulse is the rest).
double SmallShare(const std::vector<int>& v, int limit) {
    size_t small = 0;
    for (int x : v)
        small += x >= -limit && x <= limit;
    return v.empty() ? 0 : double(small) / double(v.size());
}

constexpr double kSmallShare = 0.9;

int Index(const std::vector<std::string>& names, const char* name) {
    for (size_t k = 0; k < names.size(); ++k)
        if (names[k] == name)
            return int(k);
    return -1;
}

// The limb leads back from what Philips stores of them (integer arithmetic, as its carts do).
// False with *error when a stored remainder is too large to be one: damaged data.
bool RebuildLimbLeads(const std::vector<std::string>& names, std::vector<std::vector<int>>& leads,
                      std::string* error) {
    const int I = Index(names, "I"), II = Index(names, "II"), III = Index(names, "III"),
              aVR = Index(names, "aVR"), aVL = Index(names, "aVL"), aVF = Index(names, "aVF");
    if (I < 0 || II < 0)
        return true;
    for (int k : {III, aVR, aVL, aVF})
        if (k >= 0 && SmallShare(leads[size_t(k)], 2) < kSmallShare) {
            *error = "lead " + names[size_t(k)] +
                     "'s decoded data does not agree with leads I and II (damaged data)";
            return false;
        }
    const std::vector<int>& a = leads[size_t(I)];
    const std::vector<int>& b = leads[size_t(II)];
    for (size_t i = 0; i < a.size(); ++i) {
        int iii = b[i] - a[i];
        if (III >= 0)
            iii = leads[size_t(III)][i] = b[i] - a[i] - leads[size_t(III)][i];
        if (aVR >= 0)
            leads[size_t(aVR)][i] = -leads[size_t(aVR)][i] - (a[i] + b[i]) / 2;
        if (aVL >= 0)
            leads[size_t(aVL)][i] = (a[i] - iii) / 2 - leads[size_t(aVL)][i];
        if (aVF >= 0)
            leads[size_t(aVF)][i] = (b[i] + iii) / 2 - leads[size_t(aVF)][i];
    }
    return true;
}

bool XliLeads(std::span<const uint8_t> stream, const std::vector<std::string>& names,
              size_t samples, std::vector<std::vector<int>>& leads, std::string* error) {
    leads.assign(names.size(), {});
    size_t at = 0;
    std::vector<uint8_t> bytes;
    for (size_t k = 0; k < names.size(); ++k) {
        const std::string& lead = names[k];
        if (stream.size() - at < 8) {
            *error = "lead " + lead + "'s compressed data is missing";
            return false;
        }
        const uint8_t* h = stream.data() + at;
        const uint32_t packed = uint32_t(h[0] | h[1] << 8 | h[2] << 16) | uint32_t(h[3]) << 24;
        const int seed = int16_t(uint16_t(h[6] | h[7] << 8));
        at += 8;
        if (packed > stream.size() - at) {
            *error = "lead " + lead + "'s compressed data ends early";
            return false;
        }
        if (!Lzw10(stream.subspan(at, packed), samples * 2, lead, bytes, error))
            return false;
        at += packed;
        std::vector<int> v(samples);
        for (size_t i = 0; i < samples; ++i)
            v[i] = int16_t(uint16_t(bytes[i] << 8 | bytes[samples + i]));
        if (samples >= 2) {
            int x = v[0], y = v[1], prev = seed;
            for (size_t i = 2; i < samples; ++i) {
                const int z = 2 * y - x - prev;
                prev = v[i] - 64;
                v[i] = z;
                x = y;
                y = z;
                if (z < -32768 || z > 32767) {
                    *error = "lead " + lead + "'s decoded samples run out of range (damaged data)";
                    return false;
                }
            }
        }
        leads[k] = std::move(v);
    }
    return true;
}

const char* const kStandardLeads[] = {"I",  "II", "III", "aVR", "aVL", "aVF",
                                      "V1", "V2", "V3",  "V4",  "V5",  "V6"};

std::string Texts(const CXmlNode* n, const char* path) {
    const CXmlNode* c = n ? n->Path(path) : nullptr;
    return c ? c->Text() : std::string();
}

// "YYYY-MM-DD" into its parts.
bool IsoDate(const std::string& t, long& y, long& m, long& d) {
    return t.size() == 10 && t[4] == '-' && t[7] == '-' && ParseInt(t.substr(0, 4), 1, 9999, y) &&
           ParseInt(t.substr(5, 2), 1, 12, m) && ParseInt(t.substr(8, 2), 1, 31, d);
}

// The first of the children that gives a value.
int FirstFinding(std::initializer_list<std::pair<const CXmlNode*, const char*>> where, long lo,
                 long hi) {
    for (const auto& [node, child] : where)
        if (const int v = Finding(node, child, lo, hi); v != kNotInFile)
            return v;
    return kNotInFile;
}

} // namespace

bool DecodeXli(std::span<const uint8_t> stream, const std::vector<std::string>& names,
               size_t samples, std::vector<std::vector<int16_t>>& leads, std::string* error) {
    std::vector<std::vector<int>> wide;
    if (!XliLeads(stream, names, samples, wide, error))
        return false;
    leads.assign(wide.size(), {});
    for (size_t k = 0; k < wide.size(); ++k)
        leads[k].assign(wide[k].begin(), wide[k].end());
    return true;
}

bool ReadPhilipsXml(const uint8_t* data, size_t size, CCartXmlEcg& ecg, std::string* error) {
    CXmlNode root;
    if (!ParseRoot(data, size, "restingecgdata", root, error))
        return false;
    CCartXmlEcg out;
    const CXmlNode* wave = root.Path("waveforms/parsedwaveforms");
    if (!wave) {
        *error = "it holds no waveforms (parsedwaveforms)";
        return false;
    }
    const CXmlNode* signal = root.Path("dataacquisition/signalcharacteristics");
    double rate = 0;
    std::string rateText = wave->Attribute("samplespersecond");
    if (rateText.empty())
        rateText = Texts(signal, "samplingrate");
    if (!ParseNumber(rateText, rate) || rate < 50 || rate > 20000) {
        *error = "its waveforms give no sample rate";
        return false;
    }
    double resolution = 0;
    std::string resText = wave->Attribute("resolution");
    if (resText.empty())
        resText = Texts(signal, "signalresolution");
    if (resText.empty())
        resText = Texts(signal, "resolution");
    if (!ParseNumber(resText, resolution) || resolution <= 0 || resolution > 1000) {
        *error = "its waveforms give no resolution (µV per unit)";
        return false;
    }
    double duration = 0;
    if (!ParseNumber(wave->Attribute("durationperchannel"), duration) || duration <= 0 ||
        duration > 600000) {
        *error = "its waveforms do not say how long they are";
        return false;
    }
    const size_t samples = size_t(std::lround(duration * rate / 1000));
    // Ten minutes at 1 kHz: far above any resting ECG, and what bounds the memory a file can ask.
    if (samples == 0 || samples > 600000) {
        *error = "its waveforms' length of " + std::to_string(samples) + " samples is no ECG's";
        return false;
    }
    std::vector<std::string> names;
    for (const QString& n :
         QString::fromStdString(wave->Attribute("leadlabels")).split(u' ', Qt::SkipEmptyParts))
        names.push_back(LeadLabel(n.toStdString()));
    if (names.empty()) {
        long count = 12;
        const std::string valid = Texts(signal, "numberchannelsvalid");
        if (!valid.empty() && !ParseInt(valid, 1, 12, count)) {
            *error = "its number of leads " + valid + " is none a 1.03 file can name";
            return false;
        }
        names.assign(kStandardLeads, kStandardLeads + count);
    }
    if (names.size() > 16) {
        *error = "it names " + std::to_string(names.size()) + " leads, a cart records 16 at most";
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!DecodeBase64(wave->m_strText, "its waveform data", bytes, error))
        return false;
    std::string method = wave->Attribute("compression");
    if (method.empty())
        method = wave->Attribute("compressmethod");
    if (SameText(wave->Attribute("compressflag"), "False"))
        method = "Uncompressed";
    std::vector<std::vector<int>> leads;
    if (SameText(method, "XLI")) {
        if (!XliLeads(bytes, names, samples, leads, error) ||
            !RebuildLimbLeads(names, leads, error))
            return false;
    } else if (SameText(method, "Uncompressed") || SameText(method, "None") || method.empty()) {
        if (bytes.size() != names.size() * samples * 2) {
            *error = "its waveform data holds " + std::to_string(bytes.size()) + " bytes, " +
                     std::to_string(names.size()) + " leads of " + std::to_string(samples) +
                     " samples need " + std::to_string(names.size() * samples * 2);
            return false;
        }
        leads.assign(names.size(), std::vector<int>(samples));
        for (size_t k = 0; k < names.size(); ++k)
            for (size_t i = 0; i < samples; ++i) {
                const size_t b = (k * samples + i) * 2;
                leads[k][i] = int16_t(uint16_t(bytes[b] | bytes[b + 1] << 8));
            }
        // Stored as recorded, III is II - I but for rounding; stored as remainders it is small.
        const int I = Index(names, "I"), II = Index(names, "II"), III = Index(names, "III");
        if (I >= 0 && II >= 0 && III >= 0) {
            std::vector<int> miss(samples);
            for (size_t i = 0; i < samples; ++i)
                miss[i] = leads[size_t(III)][i] - (leads[size_t(II)][i] - leads[size_t(I)][i]);
            if (SmallShare(miss, 1) < kSmallShare && !RebuildLimbLeads(names, leads, error)) {
                *error = "its limb leads disagree: III is not II - I";
                return false;
            }
        }
    } else {
        *error = "its waveforms are compressed as " + method + ", which is not read";
        return false;
    }
    out.signal.dRate = rate;
    for (size_t k = 0; k < names.size(); ++k) {
        std::vector<float> v(samples);
        for (size_t i = 0; i < samples; ++i)
            v[i] = float(double(leads[k][i]) * resolution);
        out.signal.names.push_back(names[k]);
        out.signal.leads.push_back(std::move(v));
        out.signal.present.push_back(true);
    }
    if (!CheckLeadLengths(out.signal, error))
        return false;
    DeriveLimbLeads(out.signal);

    long y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (const CXmlNode* acq = root.Child("dataacquisition");
        acq && IsoDate(acq->Attribute("date"), y, mo, d)) {
        const std::string t = acq->Attribute("time");
        if (t.size() != 8 || !ParseInt(t.substr(0, 2), 0, 23, h) ||
            !ParseInt(t.substr(3, 2), 0, 59, mi) || !ParseInt(t.substr(6, 2), 0, 59, s))
            h = mi = s = 0;
        MakeTime(y, mo, d, h, mi, s, out.start);
    }
    std::memset(&out.card, 0, sizeof out.card);
    out.card.sex = kSexNotGiven;
    if (const CXmlNode* p = root.Path("patient/generalpatientdata")) {
        SetCardText(out.card.last_name, sizeof out.card.last_name, Texts(p, "name/lastname"));
        SetCardText(out.card.first_name, sizeof out.card.first_name, Texts(p, "name/firstname"));
        SetCardText(out.card.patronymic, sizeof out.card.patronymic, Texts(p, "name/middlename"));
        SetCardText(out.card.patient_id, sizeof out.card.patient_id, Texts(p, "patientid"));
        out.card.sex = SexOf(Texts(p, "sex"));
        long age = -1, by = 0, bm = 0, bd = 0;
        if (!ParseInt(Texts(p, "age/years"), 0, 149, age))
            age = -1;
        IsoDate(Texts(p, "age/dateofbirth"), by, bm, bd);
        SetBirth(out.card, by, bm, bd, age, out.start);
    }
    if (const CXmlNode* m = root.Path("dataacquisition/machine")) {
        out.device.m_strManufacturer = "Philips";
        out.device.m_strModel = m->Text();
        out.device.m_strSerial = m->Attribute("machineid");
    }

    // The interpretation's own figures first (what the cart printed), then the measurements'.
    const CXmlNode* interp = root.Path("interpretations/interpretation");
    const CXmlNode* ig = interp ? interp->Child("globalmeasurements") : nullptr;
    const CXmlNode* im = interp ? interp->Child("interpretationmeasurements") : nullptr;
    const CXmlNode* mg = root.Path("measurements/globalmeasurements");
    if (!mg)
        mg = root.Path("internalmeasurements/crossleadmeasurements");
    const CXmlNode* group = root.Find("groupmeasurement");
    CFileFindings& f = out.findings;
    f.m_strWriter = "Philips XML";
    f.m_nHeartRate =
        FirstFinding({{ig, "heartrate"}, {im, "heartrate"}, {mg, "meanventrate"}}, 1, 500);
    f.m_nRrMs = FirstFinding({{ig, "rrint"}, {group, "meanrrint"}}, 100, 10000);
    f.m_nPrMs = FirstFinding({{ig, "print"}, {im, "meanprint"}, {mg, "meanprint"}}, 1, 2000);
    f.m_nQrsMs = FirstFinding({{ig, "qrsdur"}, {im, "meanqrsdur"}, {mg, "meanqrsdur"}}, 1, 2000);
    f.m_nQtMs = FirstFinding({{ig, "qtint"}, {im, "meanqtint"}, {mg, "meanqtint"}}, 1, 2000);
    f.m_nQtcMs = FirstFinding({{ig, "qtcb"}, {im, "meanqtc"}, {mg, "meanqtc"}}, 1, 2000);
    f.m_nPAxis =
        FirstFinding({{ig, "pfrontaxis"}, {im, "pfrontaxis"}, {mg, "pfrontaxis"}}, -360, 360);
    f.m_nQrsAxis =
        FirstFinding({{ig, "qrsfrontaxis"}, {im, "qrsfrontaxis"}, {mg, "qrsfrontaxis"}}, -360, 360);
    f.m_nTAxis =
        FirstFinding({{ig, "tfrontaxis"}, {im, "tfrontaxis"}, {mg, "tfrontaxis"}}, -360, 360);

    if (interp) {
        for (const CXmlNode* st : interp->Children("statement")) {
            const std::string left = Texts(st, "leftstatement");
            const std::string right = Texts(st, "rightstatement");
            if (!left.empty() || !right.empty())
                out.statements.m_Statements.push_back(left.empty()    ? right
                                                      : right.empty() ? left
                                                                      : left + " — " + right);
        }
        // The severity line closes the cart's interpretation ("- ABNORMAL ECG -").
        QString severity = QString::fromStdString(Texts(interp, "severity")).trimmed();
        while (severity.startsWith(u'-') || severity.endsWith(u'-')) {
            if (severity.startsWith(u'-'))
                severity.remove(0, 1);
            if (severity.endsWith(u'-'))
                severity.chop(1);
            severity = severity.trimmed();
        }
        if (!severity.isEmpty())
            out.statements.m_Statements.push_back(severity.toStdString());
    }
    out.statements.m_bConfirmed = SameText(root.Attribute("status"), "Confirmed");
    out.statements.m_stMade = out.start;
    ecg = std::move(out);
    return true;
}
