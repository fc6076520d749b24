#include "interchange/biosig_import.h"

#include "interchange/foreign_texts.h"
#include "record_model/lead_vocabulary.h"

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

bool ReadWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg,
                    std::string* error);

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

bool ImportWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg,
                      std::string* error) {
    // libbiosig knows an aECG only by a leading XML declaration, which XML does not require (the
    // FDA's own minimal example starts with a comment): such a file is read from a copy with one.
    if (const std::string copy = WithXmlDeclaration(path); !copy.empty()) {
        const bool ok = ReadWithBiosig(copy, maxSeconds, ecg, error);
        std::remove(copy.c_str());
        return ok;
    }
    return ReadWithBiosig(path, maxSeconds, ecg, error);
}

namespace {

bool ReadWithBiosig(const std::string& path, double maxSeconds, ForeignEcg& ecg,
                    std::string* error) {
    std::unique_ptr<HDRTYPE, HeaderCloser> h(constructHDR(0, 0));
    h->FLAG.UCAL = 0;               // calibrated values
    h->FLAG.ROW_BASED_CHANNELS = 0; // each channel one column
    h->FLAG.OVERFLOWDETECTION = 0;
    h->FLAG.ANONYMOUS = 0; // the patient's name is wanted
    if (!sopen(path.c_str(), "r", h.get()) || h->AS.B4C_ERRNUM != B4C_NO_ERROR) {
        *error = h->AS.B4C_ERRMSG && *h->AS.B4C_ERRMSG ? h->AS.B4C_ERRMSG
                                                       : "libbiosig cannot read the file";
        return false;
    }
    if (h->TYPE == noFile || h->TYPE == unknown) {
        *error = "the file's format is not one libbiosig knows";
        return false;
    }
    if (!(h->SampleRate > 0) || h->NS == 0 || h->NRec <= 0 || h->SPR == 0) {
        *error = "the file holds no samples";
        return false;
    }
    const size_t got = sread(nullptr, 0, size_t(h->NRec), h.get());
    if (h->AS.B4C_ERRNUM != B4C_NO_ERROR || got == 0 || !h->data.block) {
        *error = h->AS.B4C_ERRMSG && *h->AS.B4C_ERRMSG ? h->AS.B4C_ERRMSG
                                                       : "libbiosig cannot read the samples";
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
    std::tm b{};
    if (h->Patient.Birthday != 0 && GdfTimeAsTm(h->Patient.Birthday, b) &&
        b.tm_year + 1900 > 1850) {
        out.birthYear = uint16_t(b.tm_year + 1900);
        out.birthMonth = uint16_t(b.tm_mon + 1);
        out.birthDay = uint16_t(b.tm_mday);
    }
    out.sex = h->Patient.Sex == 1 ? 1 : h->Patient.Sex == 2 ? 0 : -1;
    ecg = std::move(out);
    return true;
}

} // namespace
