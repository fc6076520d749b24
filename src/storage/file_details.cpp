#include "storage/file_details.h"

#include "platform/cp1251.h"
#include "storage/card_fields.h"

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace {

// Version 2 added the writer's findings; a version 1 block is the same without them.
constexpr std::string_view kHead = "velmora-details 2 ";
constexpr std::string_view kHeadV1 = "velmora-details 1 ";
constexpr size_t kMaxDetails = 64 * 1024;

std::string OneLine(std::string s) {
    for (char& c : s)
        if (c == '\n' || c == '\r')
            c = ' ';
    return s;
}

bool Number(const std::string& text, uint64_t max, uint64_t& out) {
    if (text.empty() || text.size() > 20 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out = std::strtoull(text.c_str(), nullptr, 10);
    return out <= max;
}

// A whole number with its sign, within the range a finding can take.
bool SignedNumber(const std::string& text, int& out) {
    const bool minus = !text.empty() && text[0] == '-';
    uint64_t n = 0;
    if (!Number(minus ? text.substr(1) : text, 100000, n))
        return false;
    out = minus ? -int(n) : int(n);
    return true;
}

// The finding a key names ("qrs_ms", as FileFindingRows keys them), null for another key.
int* FindingOf(CFileFindings& f, const std::string& key) {
    struct Field {
        const char* key;
        int CFileFindings::*member;
    };
    static constexpr Field kFields[] = {
        {"heart_rate_bpm", &CFileFindings::m_nHeartRate},
        {"rr_ms", &CFileFindings::m_nRrMs},
        {"pr_ms", &CFileFindings::m_nPrMs},
        {"qrs_ms", &CFileFindings::m_nQrsMs},
        {"qt_ms", &CFileFindings::m_nQtMs},
        {"qtc_ms", &CFileFindings::m_nQtcMs},
        {"axis_p_deg", &CFileFindings::m_nPAxis},
        {"axis_qrs_deg", &CFileFindings::m_nQrsAxis},
        {"axis_t_deg", &CFileFindings::m_nTAxis},
    };
    for (const Field& field : kFields)
        if (key == field.key)
            return &(f.*field.member);
    return nullptr;
}

} // namespace

std::string WriteFileDetails(const CFileDetails& d) {
    std::string lines;
    if (d.m_bOurs) {
        lines += "ours 1\n";
        lines += "device_id " + std::to_string(d.m_nDeviceId) + "\n";
        lines += "curve_id " + std::to_string(d.m_nCurveId) + "\n";
    }
    auto text = [&](const char* key, const std::string& value) {
        if (!value.empty())
            lines += std::string(key) + " " + OneLine(value) + "\n";
    };
    text("manufacturer", d.m_strManufacturer);
    text("model", d.m_strModel);
    text("serial", d.m_strSerial);
    for (const auto& [name, value] : d.m_Card)
        lines += "card " + OneLine(name) + " " + OneLine(value) + "\n";
    text("findings_by", d.m_Findings.m_strWriter);
    for (const CFileFindingRow& row : FileFindingRows(d.m_Findings))
        if (row.value != kNotInFile)
            lines += std::string("finding ") + row.key + " " + std::to_string(row.value) + "\n";
    for (const std::string& statement : d.m_Statements.m_Statements)
        lines += "statement " + OneLine(statement) + "\n";
    if (d.m_Statements.m_bConfirmed)
        lines += "confirmed 1\n";
    text("physician", d.m_Statements.m_strPhysician);
    return std::string(kHead) + std::to_string(lines.size()) + "\n" + lines;
}

bool ReadFileDetails(const uint8_t* data, size_t size, CFileDetails& details, size_t* used,
                     std::string* error) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t eol = all.find('\n');
    uint64_t length = 0;
    const bool v1 = all.starts_with(kHeadV1);
    if (!(v1 || all.starts_with(kHead)) || eol == std::string_view::npos ||
        !Number(std::string(all.substr(kHead.size(), eol - kHead.size())), kMaxDetails, length) ||
        size - (eol + 1) < length) {
        *error = "the helper's answer does not start with the file's details";
        return false;
    }
    CFileDetails d;
    const std::string_view lines = all.substr(eol + 1, size_t(length));
    for (size_t at = 0; at < lines.size();) {
        const size_t end = lines.find('\n', at);
        if (end == std::string_view::npos) {
            *error = "the file's details end in a cut line";
            return false;
        }
        const std::string line(lines.substr(at, end - at));
        at = end + 1;
        const size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value =
            blank == std::string::npos ? std::string() : line.substr(blank + 1);
        uint64_t n = 0;
        int finding = 0;
        if (!v1 && key == "findings_by")
            d.m_Findings.m_strWriter = value;
        else if (!v1 && key == "finding" && value.find(' ') != std::string::npos &&
                 FindingOf(d.m_Findings, value.substr(0, value.find(' '))) &&
                 SignedNumber(value.substr(value.find(' ') + 1), finding) && finding != kNotInFile)
            *FindingOf(d.m_Findings, value.substr(0, value.find(' '))) = finding;
        else if (!v1 && key == "statement")
            d.m_Statements.m_Statements.push_back(value);
        else if (!v1 && key == "confirmed")
            d.m_Statements.m_bConfirmed = value == "1";
        else if (!v1 && key == "physician")
            d.m_Statements.m_strPhysician = value;
        else if (key == "ours")
            d.m_bOurs = value == "1";
        else if (key == "device_id" && Number(value, UINT64_MAX, n))
            d.m_nDeviceId = n;
        else if (key == "curve_id" && Number(value, UINT32_MAX, n))
            d.m_nCurveId = uint32_t(n);
        else if (key == "manufacturer")
            d.m_strManufacturer = value;
        else if (key == "model")
            d.m_strModel = value;
        else if (key == "serial")
            d.m_strSerial = value;
        else if (key == "card" && value.find(' ') != std::string::npos)
            d.m_Card.emplace_back(value.substr(0, value.find(' ')),
                                  value.substr(value.find(' ') + 1));
        else {
            *error = "the file's details have a line the program does not know: " + key;
            return false;
        }
    }
    details = std::move(d);
    *used = eol + 1 + size_t(length);
    return true;
}

void ApplyCardDetails(const CFileDetails& details, PATIENT_CARD& card) {
    for (const auto& [name, value] : details.m_Card) {
        const CardField* f = FindCardField(name);
        if (!f)
            continue;
        if (f->kind == CardFieldKind::Text) {
            const QByteArray coded = ToCp1251(QString::fromStdString(value).simplified());
            char* field = CardFieldText(card, *f);
            const size_t n = std::min(f->size - 1, size_t(coded.size()));
            std::memset(field, 0, f->size);
            std::memcpy(field, coded.constData(), n);
            continue;
        }
        bool ok = false;
        const qlonglong v = QString::fromStdString(value).trimmed().toLongLong(&ok);
        if (ok && v >= CardNumberMin(f->kind) && v <= CardNumberMax(f->kind))
            SetCardNumber(card, *f, v);
    }
}
