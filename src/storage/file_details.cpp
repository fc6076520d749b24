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

constexpr std::string_view kHead = "velmora-details 1 ";
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
    return std::string(kHead) + std::to_string(lines.size()) + "\n" + lines;
}

bool ReadFileDetails(const uint8_t* data, size_t size, CFileDetails& details, size_t* used,
                     std::string* error) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t eol = all.find('\n');
    uint64_t length = 0;
    if (!all.starts_with(kHead) || eol == std::string_view::npos ||
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
        if (key == "ours")
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
