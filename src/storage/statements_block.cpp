#include "storage/statements_block.h"

#include "record_model/record_date.h"

#include <algorithm>
#include <cstdlib>
#include <string_view>

namespace {

constexpr std::string_view kHead = "velmora-statements 1 ";
// Far above 255 statements of a few lines, far below what would hurt.
constexpr uint64_t kMaxBlock = 1024 * 1024;

std::string Escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    return out;
}

bool Unescaped(std::string_view text, std::string& out) {
    out.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
            continue;
        }
        if (++i == text.size())
            return false;
        switch (text[i]) {
        case '\\':
            out += '\\';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

} // namespace

std::string WriteStatementsBlock(const CFileStatements& s) {
    std::string lines;
    auto line = [&](const char* key, const std::string& value) {
        lines += std::string(key) + " " + Escaped(value) + "\n";
    };
    if (s.m_bConfirmed)
        lines += "confirmed 1\n";
    if (s.m_stMade.wYear != 0) // a record without a date of its own has none to give
        line("made", FormatRecordDate(s.m_stMade));
    if (!s.m_strHeading.empty())
        line("heading", s.m_strHeading);
    if (!s.m_strPhysician.empty())
        line("physician", s.m_strPhysician);
    if (!s.m_strAmendReason.empty())
        line("amended", s.m_strAmendReason);
    for (const std::string& text : s.m_Statements)
        line("statement", text);
    if (!s.m_strConclusion.empty())
        line("conclusion", s.m_strConclusion);
    return std::string(kHead) + std::to_string(lines.size()) + "\n" + lines;
}

bool ReadStatementsBlock(const uint8_t* data, size_t size, CFileStatements& statements,
                         size_t* used, std::string* error) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t eol = all.find('\n');
    const std::string_view digits = eol == std::string_view::npos || !all.starts_with(kHead)
                                        ? std::string_view()
                                        : all.substr(kHead.size(), eol - kHead.size());
    if (digits.empty() || digits.size() > 7 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        *error = "the statements do not start with their block's head";
        return false;
    }
    const uint64_t length = std::strtoull(std::string(digits).c_str(), nullptr, 10);
    if (length > kMaxBlock || size - (eol + 1) < length) {
        *error = "the statements' block is cut or too long";
        return false;
    }
    CFileStatements s;
    const std::string_view lines = all.substr(eol + 1, size_t(length));
    for (size_t at = 0; at < lines.size();) {
        const size_t end = lines.find('\n', at);
        if (end == std::string_view::npos) {
            *error = "the statements' block ends in a cut line";
            return false;
        }
        const std::string_view line = lines.substr(at, end - at);
        at = end + 1;
        const size_t blank = line.find(' ');
        const std::string_view key = line.substr(0, blank);
        std::string value;
        if (blank == std::string_view::npos || !Unescaped(line.substr(blank + 1), value)) {
            *error = "the statements' line \"" + std::string(key) + "\" is malformed";
            return false;
        }
        if (key == "confirmed" && value == "1") {
            s.m_bConfirmed = true;
        } else if (key == "made") {
            if (!ParseRecordDate(value.c_str(), value.size(), s.m_stMade)) {
                *error = "the statements' time \"" + value + "\" is no date and time";
                return false;
            }
        } else if (key == "heading") {
            s.m_strHeading = std::move(value);
        } else if (key == "physician") {
            s.m_strPhysician = std::move(value);
        } else if (key == "amended") {
            s.m_strAmendReason = std::move(value);
        } else if (key == "statement") {
            s.m_Statements.push_back(std::move(value));
        } else if (key == "conclusion") {
            s.m_strConclusion = std::move(value);
        } else {
            *error = "the statements' block has an unknown line \"" + std::string(key) + "\"";
            return false;
        }
    }
    statements = std::move(s);
    *used = eol + 1 + size_t(length);
    return true;
}

namespace {
constexpr std::string_view kReportHead = "velmora-report-pdf ";
// A one-page report is a few hundred kilobytes; far above that, far below what would hurt.
constexpr uint64_t kMaxReportPdf = 32 * 1024 * 1024;
} // namespace

std::string WriteReportPdfBlock(const uint8_t* pdf, size_t size) {
    return std::string(kReportHead) + std::to_string(size) + "\n" +
           std::string(reinterpret_cast<const char*>(pdf), size);
}

bool ReadReportPdfBlock(const uint8_t* data, size_t size, std::vector<uint8_t>& pdf, size_t* used,
                        std::string* error) {
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    if (!in.starts_with(kReportHead)) {
        *error = "the report block does not start with its head";
        return false;
    }
    const size_t eol = in.find('\n', kReportHead.size());
    const std::string_view digits = in.substr(kReportHead.size(), eol - kReportHead.size());
    if (eol == std::string_view::npos || digits.empty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        *error = "the report block's length is not a number";
        return false;
    }
    const uint64_t length = std::strtoull(std::string(digits).c_str(), nullptr, 10);
    if (length > kMaxReportPdf || length > size - eol - 1) {
        *error = "the report block is cut short or too long";
        return false;
    }
    const std::string_view body = in.substr(eol + 1, length);
    if (!body.starts_with("%PDF-")) {
        *error = "the report block holds no PDF";
        return false;
    }
    pdf.assign(body.begin(), body.end());
    *used = eol + 1 + length;
    return true;
}
