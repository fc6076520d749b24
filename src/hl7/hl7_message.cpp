#include "hl7/hl7_message.h"

#include "platform/cp1251.h"

#include <QRandomGenerator>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// A card's fixed Windows-1251 field as UTF-8, up to its first zero.
std::string CardText(const char* field, size_t size) {
    const size_t n = strnlen(field, size);
    return FromCp1251(QByteArray(field, qsizetype(n))).trimmed().toStdString();
}
template <size_t N> std::string CardText(const char (&field)[N]) {
    return CardText(field, N);
}

// "2026-12-08 23:18:57" as HL7's DTM: 20261208231857 (the digits only; a short text stays
// short: a date alone is a valid, less precise time).
std::string DtmOf(const std::string& text) {
    std::string digits;
    for (char c : text)
        if (c >= '0' && c <= '9')
            digits += c;
    return digits.size() > 14 ? digits.substr(0, 14) : digits;
}

std::string DtmOf(const SYSTEMTIME& t) {
    if (t.wYear == 0)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04u%02u%02u%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour,
                  t.wMinute, t.wSecond);
    return text;
}

std::string DtmOf(const QDateTime& t) {
    if (!t.isValid())
        return {};
    // With the offset: the receiver may keep another time zone than the workstation.
    const int secs = t.offsetFromUtc();
    char zone[16];
    std::snprintf(zone, sizeof zone, "%c%02d%02d", secs < 0 ? '-' : '+', std::abs(secs) / 3600,
                  std::abs(secs) % 3600 / 60);
    return t.toString(QStringLiteral("yyyyMMddHHmmss")).toStdString() + zone;
}

std::string BirthDate(const PATIENT_CARD& c) {
    if (c.birth_year == 0 || c.birth_year == 65535)
        return {};
    char text[16];
    if (c.birth_month >= 1 && c.birth_month <= 12 && c.birth_day >= 1 && c.birth_day <= 31)
        std::snprintf(text, sizeof text, "%04u%02u%02u", c.birth_year, c.birth_month, c.birth_day);
    else
        std::snprintf(text, sizeof text, "%04u", c.birth_year);
    return text;
}

const char* SexCode(const PATIENT_CARD& c) {
    return c.sex == 1 ? "M" : c.sex == 0 ? "F" : "U";
}

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f", std::round(v));
    return std::string(text) == "-0" ? "0" : text;
}

// Fields joined by '|', empty ones at the end dropped.
std::string Segment(std::vector<std::string> fields) {
    while (fields.size() > 1 && fields.back().empty())
        fields.pop_back();
    std::string s;
    for (size_t i = 0; i < fields.size(); ++i)
        s += (i ? "|" : "") + fields[i];
    return s + '\r';
}

} // namespace

std::string NewHl7ControlId() {
    char tail[8];
    std::snprintf(tail, sizeof tail, "%04X",
                  unsigned(QRandomGenerator::global()->bounded(0x10000)));
    return "VLM" +
           QDateTime::currentDateTimeUtc()
               .toString(QStringLiteral("yyyyMMddHHmmsszzz"))
               .toStdString() +
           tail;
}

std::string Hl7Escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        switch (c) {
        case '|':
            out += "\\F\\";
            break;
        case '^':
            out += "\\S\\";
            break;
        case '&':
            out += "\\T\\";
            break;
        case '~':
            out += "\\R\\";
            break;
        case '\\':
            out += "\\E\\";
            break;
        case '\r':
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\\.br\\";
            break;
        case '\n':
            out += "\\.br\\";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::vector<CHl7Observation> Hl7Observations(const analysis::Measurements& m) {
    return {
        {"8867-4", "Heart rate", "/min", m.heartRateBpm},
        {"8625-6", "P-R Interval", "ms", m.prMs},
        {"8633-0", "QRS duration", "ms", m.qrsMs},
        {"8634-8", "Q-T interval", "ms", m.qtMs},
        {"8636-3", "Q-T interval corrected", "ms", m.qtcBazettMs},
        {"8626-4", "P wave axis", "deg", m.axisPDeg},
        {"8632-2", "QRS axis", "deg", m.axisQrsDeg},
        {"8638-9", "T wave axis", "deg", m.axisTDeg},
    };
}

std::string BuildOruR01(const CHl7Result& r, const CHl7Envelope& e) {
    const bool bFinal = r.reading.Confirmed();
    const std::string status = bFinal ? "F" : "P";
    const std::string observed = DtmOf(r.recordedAt);
    const PATIENT_CARD& c = r.card;
    std::string msg;

    msg += Segment({"MSH", "^~\\&", Hl7Escape(e.sendingApplication), Hl7Escape(e.sendingFacility),
                    Hl7Escape(e.receivingApplication), Hl7Escape(e.receivingFacility),
                    DtmOf(e.createdAt), "", "ORU^R01^ORU_R01", Hl7Escape(e.controlId), "P", "2.5.1",
                    "", "", "AL", "NE", "", "UNICODE UTF-8"});
    const std::string id = CardText(c.patient_id);
    msg += Segment({"PID", "1", "", id.empty() ? "" : Hl7Escape(id) + "^^^^MR", "",
                    Hl7Escape(CardText(c.last_name)) + "^" + Hl7Escape(CardText(c.first_name)) +
                        "^" + Hl7Escape(CardText(c.patronymic)),
                    "", BirthDate(c), SexCode(c)});
    msg += Segment({"PV1", "1", "O"});

    const std::string order = Hl7Escape(r.accession);
    if (!r.accession.empty())
        msg += Segment({"ORC", "RE", order, order, "", "CM"});
    std::string interpreter;
    if (bFinal)
        // NDL: the doctor's login as the id, the name as it is written in the account.
        interpreter = Hl7Escape(r.reading.doctorLogin) + "&" + Hl7Escape(r.reading.doctorName);
    std::vector<std::string> obr(33);
    obr[0] = "OBR";
    obr[1] = "1";
    obr[2] = order;
    obr[3] = order;
    // The service the hospital ordered, as its worklist named it (a local code), so that the
    // result answers that order; without one, the resting ECG by its LOINC code.
    obr[4] = !r.accession.empty() && !r.procedureId.empty()
                 ? Hl7Escape(r.procedureId) + "^" + Hl7Escape(r.procedureName) + "^L"
                 : "11524-6^EKG study^LN";
    obr[7] = observed;
    obr[22] = bFinal ? DtmOf(r.reading.confirmedAt) : "";
    obr[24] = "EC";
    obr[25] = status;
    obr[32] = interpreter;
    msg += Segment(obr);

    int n = 0;
    auto obx = [&](const std::string& type, const std::string& code, const std::string& sub,
                   const std::string& value, const std::string& units) {
        msg += Segment({"OBX", std::to_string(++n), type, code, sub, value, units, "", "", "", "",
                        status, "", "", observed});
    };
    for (const CHl7Observation& o : Hl7Observations(r.measurements))
        if (o.value)
            obx("NM", std::string(o.loinc) + "^" + o.name + "^LN", "", Number(*o.value),
                std::string(o.ucum) + "^" + o.ucum + "^UCUM");

    const std::vector<CReadStatement>& statements = bFinal ? r.reading.statements : r.statements;
    int sub = 0;
    for (const CReadStatement& s : statements)
        obx("TX", "18844-1^EKG impression^LN", std::to_string(++sub), Hl7Escape(s.text), "");
    if (bFinal && !r.reading.conclusion.empty())
        obx("FT", "18844-1^EKG impression^LN", "conclusion", Hl7Escape(r.reading.conclusion), "");
    if (!r.pdf.isEmpty())
        obx("ED", "11524-6^EKG study^LN", "report",
            "^AP^PDF^Base64^" + r.pdf.toBase64().toStdString(), "");
    return msg;
}
