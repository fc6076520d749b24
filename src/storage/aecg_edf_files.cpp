#include "storage/aecg_edf_files.h"

#include "platform/atomic_file.h"
#include "record_model/ecg_signal.h"
#include "record_model/lead_vocabulary.h"
#include "record_model/record_date.h"
#include "storage/card_fields.h"
#include "storage/scp_export.h"

#include <QString>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kEdfSamplesPerRecord = 256;
constexpr int kEdfRecords = kPoints / kEdfSamplesPerRecord; // 16
constexpr int kEdfAnnotationSamples = 32;                   // 64 bytes: one time-keeping TAL
constexpr char kMonths[12][4] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                 "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

bool HasPatient(const PATIENT_CARD& c) {
    return c.last_name[0] || c.first_name[0];
}

SYSTEMTIME Taken(const ECG_RECORD& record) {
    SYSTEMTIME t;
    if (!ParseRecordDate(record.date, sizeof record.date, t))
        t = SYSTEMTIME{2000, 1, 6, 1, 0, 0, 0, 0};
    return t;
}

std::string XmlEscaped(const std::string& s) {
    std::string out;
    for (const char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return out;
}

std::string Format(const char* format, auto... values) {
    char buf[256];
    std::snprintf(buf, sizeof buf, format, values...);
    return buf;
}

std::string Ts(const SYSTEMTIME& t) {
    return Format("%04u%02u%02u%02u%02u%02u", unsigned(t.wYear), unsigned(t.wMonth),
                  unsigned(t.wDay), unsigned(t.wHour), unsigned(t.wMinute), unsigned(t.wSecond));
}

SYSTEMTIME TenSecondsLater(SYSTEMTIME t) {
    FILETIME ft;
    if (SystemTimeToFileTime(t, ft))
        FileTimeToSystemTime(FileTimeFromTicks(FileTimeTicks(ft) + 10 * kTicksPerSecond), t);
    return t;
}

// A fixed-width ASCII field of an EDF header, left-aligned, blank-padded, cut to fit.
void Field(std::string& header, const std::string& text, size_t width) {
    std::string f = text.substr(0, width);
    f.resize(width, ' ');
    header += f;
}

std::string EdfName(const std::string& utf8) {
    std::string s = Transliterated(utf8);
    for (char& c : s)
        if (c == ' ')
            c = '_';
    return s.empty() ? "X" : s;
}

} // namespace

std::string OurEdfEquipment(const std::string& serial) {
    const SCP_TAG14 ours = MakeScpTag14(0, 0, 0);
    return ours.strManufacturer + "_" + ours.strModel + "_" + serial;
}

std::string Transliterated(const std::string& utf8) {
    static const char* const kLower[] = {
        "a", "b", "v", "g", "d", "e",  "zh", "z",  "i",  "y",    "k", "l", "m", "n", "o",  "p",
        "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "",  "y", "",  "e", "yu", "ya"};
    std::string out;
    for (const QChar c : QString::fromStdString(utf8)) {
        const char16_t u = c.unicode();
        if (u < 0x80) {
            out += char(u);
        } else if (u >= 0x410 && u <= 0x44F) {
            std::string t = kLower[(u - 0x410) % 32];
            if (u < 0x430 && !t.empty())
                t[0] = char(t[0] - 'a' + 'A');
            out += t;
        } else if (u == 0x401 || u == 0x451) {
            out += u == 0x401 ? "E" : "e";
        } else {
            out += '_';
        }
    }
    return out;
}

namespace {

// The interpretation in the series' annotation set: one statement annotation each (a doctor's
// conclusion the last), and the heading as the interpretation's comment: the one that says they
// are unconfirmed, or the one that names the confirming doctor and the time, with an amendment's
// reason after it. A confirmed reading's set is the doctor's: authored by that person, made at the
// confirmation.
std::string AecgInterpretation(const CFileStatements& statements) {
    constexpr char kMdc[] = "\" codeSystem=\"2.16.840.1.113883.6.24\" codeSystemName=\"MDC\"/>\n";
    auto text = [&](const char* code, const std::string& value) {
        return std::string("        <component><annotation>\n          <code code=\"") + code +
               kMdc + "          <value xsi:type=\"ST\">" + XmlEscaped(value) +
               "</value>\n        </annotation></component>\n";
    };
    std::string x;
    x += "    <subjectOf><annotationSet>\n";
    x += "      <activityTime value=\"" + Ts(statements.m_stMade) + "\"/>\n";
    if (statements.m_bConfirmed && !statements.m_strPhysician.empty())
        x += "      <author><assignedEntity><assignedAuthorType><assignedPerson><name>" +
             XmlEscaped(statements.m_strPhysician) +
             "</name></assignedPerson></assignedAuthorType></assignedEntity></author>\n";
    x += "      <component><annotation>\n";
    x += std::string("        <code code=\"MDC_ECG_INTERPRETATION") + kMdc;
    for (const std::string& s : StatementTexts(statements))
        x += text("MDC_ECG_INTERPRETATION_STATEMENT", s);
    if (!statements.m_strHeading.empty())
        x += text("MDC_ECG_INTERPRETATION_COMMENT", statements.m_strHeading);
    if (statements.m_bConfirmed && !statements.m_strAmendReason.empty())
        x += text("MDC_ECG_INTERPRETATION_COMMENT", AmendmentLine(statements.m_strAmendReason));
    x += "      </annotation></component>\n";
    x += "    </annotationSet></subjectOf>\n";
    return x;
}

} // namespace

std::string AecgXml(const ECG_RECORD& record, const PATIENT_CARD& card,
                    const CFileStatements* pStatements) {
    const CEcgSignal s = SignalFromRecord(record);
    const std::span<const CLeadEntry> leads =
        LeadSystemLeads(ReadRecordInfo(record.curves_buf).leadSystem);
    const SYSTEMTIME start = Taken(record);
    const std::string from = Ts(start), to = Ts(TenSecondsLater(start));
    std::string x;
    x += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    x += "<AnnotatedECG xmlns=\"urn:hl7-org:v3\" xmlns:voc=\"urn:hl7-org:v3/voc\" "
         "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" type=\"Observation\">\n";
    // The id is the record's: device, record number and time.
    x += Format("  <id root=\"2.25\" extension=\"%llu-%u-%s\"/>\n",
                static_cast<unsigned long long>(record.device_id), record.curve_id, from.c_str());
    x +=
        "  <code code=\"93000\" codeSystem=\"2.16.840.1.113883.6.12\" codeSystemName=\"CPT-4\"/>\n";
    x += "  <effectiveTime><center value=\"" + from + "\"/></effectiveTime>\n";
    // The patient, in the subject assignment the schema puts every ECG under.
    x += "  <componentOf><timepointEvent><componentOf><subjectAssignment><subject><trialSubject>\n";
    // Ids with an extension: libbiosig reads it whether or not the id has one. The subject is
    // the card's medical record number, else the id derived from the names (read back as no
    // number of the card's); only a record without a patient keeps its own number there.
    std::string subject = CardPatientId(card);
    if (subject.empty())
        subject = DerivedPatientId(card);
    if (subject.empty())
        subject = ScpSerialNumber(record.device_id) + "-" + std::to_string(record.curve_id);
    x += "    <id root=\"2.25\" extension=\"" + XmlEscaped(subject) + "\"/>\n";
    if (HasPatient(card) || CardBirthDateValid(card)) {
        x += "    <subjectDemographicPerson>\n";
        // The name as plain text, family name first (libbiosig reads no name parts: it crashes
        // on a <name> of <family> and <given> elements). Blanks within a part are no-break
        // spaces, so that our reader splits the parts back where they were.
        auto part = [](const char* field, size_t size) {
            return QString::fromStdString(CardTextUtf8(field, size))
                .replace(QLatin1Char(' '), QChar(0xA0))
                .toStdString();
        };
        std::string name = part(card.last_name, sizeof card.last_name);
        const std::string given[] = {part(card.first_name, sizeof card.first_name),
                                     part(card.patronymic, sizeof card.patronymic)};
        if (!name.empty() || !given[0].empty()) {
            for (const std::string& g : given)
                if (!g.empty())
                    name += (name.empty() ? "" : " ") + g;
            x += "      <name>" + XmlEscaped(name) + "</name>\n";
            x += std::string("      <administrativeGenderCode code=\"") +
                 (card.sex == 1   ? "M"
                  : card.sex == 0 ? "F"
                                  : "UN") +
                 "\" codeSystem=\"2.16.840.1.113883.5.1\"/>\n";
        }
        if (CardBirthDateValid(card))
            x += Format("      <birthTime value=\"%04u%02u%02u\"/>\n", unsigned(card.birth_year),
                        unsigned(card.birth_month), unsigned(card.birth_day));
        x += "    </subjectDemographicPerson>\n";
    }
    x += "  </trialSubject></subject>\n";
    x += "  <componentOf><clinicalTrial><id root=\"2.25\" extension=\"velmora\"/></clinicalTrial>"
         "</componentOf>\n";
    x += "  </subjectAssignment></componentOf></timepointEvent></componentOf>\n";
    x += "  <component><series>\n";
    x += "    <code code=\"RHYTHM\" codeSystem=\"2.16.840.1.113883.5.4\"/>\n";
    x += "    <effectiveTime><low value=\"" + from + "\"/><high value=\"" + to +
         "\"/></effectiveTime>\n";
    // The device that recorded it: our cardiograph, as the SCP-ECG file of the same record names
    // it, or another system's as its file did (no author when it named none).
    const CRecordEquipment device = RecordEquipment(record);
    if (device.m_bOurs || !device.m_strModel.empty() || !device.m_strManufacturer.empty() ||
        !device.m_strSerial.empty()) {
        x += "    <author><seriesAuthor><manufacturedSeriesDevice>\n";
        if (!device.m_strSerial.empty())
            x += "      <id extension=\"" + XmlEscaped(device.m_strSerial) + "\"/>\n";
        if (!device.m_strModel.empty())
            x += "      <manufacturerModelName>" + XmlEscaped(device.m_strModel) +
                 "</manufacturerModelName>\n";
        x += "    </manufacturedSeriesDevice>";
        if (!device.m_strManufacturer.empty())
            x += "<manufacturerOrganization><name>" + XmlEscaped(device.m_strManufacturer) +
                 "</name></manufacturerOrganization>";
        x += "\n    </seriesAuthor></author>\n";
    }
    x += "    <component><sequenceSet>\n";
    x += "      <component><sequence>\n";
    x += "        <code code=\"TIME_ABSOLUTE\" codeSystem=\"2.16.840.1.113883.5.4\"/>\n";
    x += "        <value xsi:type=\"GLIST_TS\"><head value=\"" + from +
         "\"/><increment value=\"0.00244140625\" unit=\"s\"/></value>\n";
    x += "      </sequence></component>\n";
    for (int lane = 0; lane < kLeads && size_t(lane) < s.leads.size(); ++lane) {
        if (!s.present[size_t(lane)])
            continue;
        x += "      <component><sequence>\n";
        x += std::string("        <code code=\"") + leads[size_t(lane)].m_szMdc +
             "\" codeSystem=\"2.16.840.1.113883.6.24\"/>\n";
        x += "        <value xsi:type=\"SLIST_PQ\"><origin value=\"0\" unit=\"uV\"/>"
             "<scale value=\"2\" unit=\"uV\"/><digits>";
        for (int p = 0; p < kPoints; ++p) {
            if (p)
                x += ' ';
            x += std::to_string(Sample(record, p, lane));
        }
        x += "</digits></value>\n      </sequence></component>\n";
    }
    x += "    </sequenceSet></component>\n";
    if (pStatements && !StatementTexts(*pStatements).empty())
        x += AecgInterpretation(*pStatements);
    x += "  </series></component>\n";
    x += "</AnnotatedECG>\n";
    return x;
}

bool WriteAecgFile(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                   std::string* error) {
    const std::string xml = AecgXml(record, card);
    return WriteFileAtomically(path, xml.data(), xml.size(), error);
}

bool WriteAecgFile(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                   const CFileStatements& statements, std::string* error) {
    const std::string xml = AecgXml(record, card, &statements);
    return WriteFileAtomically(path, xml.data(), xml.size(), error);
}

std::vector<uint8_t> EdfBytes(const ECG_RECORD& record, const PATIENT_CARD& card) {
    const CEcgSignal s = SignalFromRecord(record);
    const RECORD_INFO info = ReadRecordInfo(record.curves_buf);
    const std::span<const CLeadEntry> leads = LeadSystemLeads(info.leadSystem);
    std::vector<int> lanes;
    for (size_t lane = 0; lane < s.leads.size() && lane < size_t(kLeads); ++lane)
        if (s.present[lane])
            lanes.push_back(int(lane));
    const size_t channels = lanes.size() + 1; // and the annotations
    const SYSTEMTIME t = Taken(record);

    std::string h;
    Field(h, "0", 8);
    // EDF+ patient: code (the medical record number), sex, birth date, name (X where unknown).
    const std::string birth = CardBirthDateValid(card)
                                  ? Format("%02u-%s-%04u", unsigned(card.birth_day),
                                           kMonths[card.birth_month - 1], unsigned(card.birth_year))
                                  : "X";
    const std::string name =
        HasPatient(card) ? EdfName(CardTextUtf8(card.last_name, sizeof card.last_name) + " " +
                                   CardTextUtf8(card.first_name, sizeof card.first_name) + " " +
                                   CardTextUtf8(card.patronymic, sizeof card.patronymic))
                         : "X";
    Field(h,
          (CardPatientId(card).empty() ? std::string("X") : EdfName(CardPatientId(card))) + " " +
              (HasPatient(card) && card.sex <= 1 ? (card.sex == 1 ? "M" : "F") : "X") + " " +
              birth + " " + name,
          80);
    // EDF+ recording: start date, admin code (the record's number), technician (the card's
    // doctor), equipment (the device that recorded it), "X" for each one unknown.
    const CRecordEquipment device = RecordEquipment(record);
    const std::string doctor = CardTextUtf8(card.doctor_name, sizeof card.doctor_name);
    std::string equipment = device.m_bOurs ? OurEdfEquipment(device.m_strSerial)
                                           : device.m_strManufacturer + " " + device.m_strModel +
                                                 " " + device.m_strSerial;
    equipment = QString::fromStdString(equipment).simplified().toStdString();
    Field(h,
          Format("Startdate %02u-%s-%04u %s %s %s", unsigned(t.wDay), kMonths[(t.wMonth + 11) % 12],
                 unsigned(t.wYear), device.m_bOurs ? std::to_string(record.curve_id).c_str() : "X",
                 doctor.empty() ? "X" : EdfName(doctor).c_str(),
                 equipment.empty() ? "X" : EdfName(equipment).c_str()),
          80);
    Field(h,
          Format("%02u.%02u.%02u", unsigned(t.wDay), unsigned(t.wMonth), unsigned(t.wYear % 100)),
          8);
    Field(h, Format("%02u.%02u.%02u", unsigned(t.wHour), unsigned(t.wMinute), unsigned(t.wSecond)),
          8);
    Field(h, std::to_string(256 * (channels + 1)), 8);
    Field(h, "EDF+C", 44);
    Field(h, std::to_string(kEdfRecords), 8);
    Field(h, "0.625", 8);
    Field(h, std::to_string(channels), 4);
    auto each = [&](auto text, size_t width) {
        for (const int lane : lanes)
            Field(h, text(lane), width);
    };
    const std::string filters = std::string(info.filter & 2 ? "LP:35Hz" : "") +
                                (info.filter & 3 ? " " : "") + (info.filter & 1 ? "N:50Hz" : "");
    each([&](int lane) { return std::string(leads[size_t(lane)].m_szEdf); }, 16);
    Field(h, "EDF Annotations", 16);
    each([](int) { return std::string("AgAgCl electrode"); }, 80);
    Field(h, "", 80);
    each([](int) { return std::string("uV"); }, 8);
    Field(h, "", 8);
    // -32768..32767 as -65536..65534 µV: exactly 2 µV a unit.
    each([](int) { return std::string("-65536"); }, 8);
    Field(h, "-1", 8);
    each([](int) { return std::string("65534"); }, 8);
    Field(h, "1", 8);
    each([](int) { return std::string("-32768"); }, 8);
    Field(h, "-32768", 8);
    each([](int) { return std::string("32767"); }, 8);
    Field(h, "32767", 8);
    each([&](int) { return filters; }, 80);
    Field(h, "", 80);
    each([](int) { return std::to_string(kEdfSamplesPerRecord); }, 8);
    Field(h, std::to_string(kEdfAnnotationSamples), 8);
    each([](int) { return std::string(); }, 32);
    Field(h, "", 32);

    std::vector<uint8_t> out(h.begin(), h.end());
    out.reserve(out.size() +
                kEdfRecords * (lanes.size() * kEdfSamplesPerRecord + kEdfAnnotationSamples) * 2);
    for (int r = 0; r < kEdfRecords; ++r) {
        for (const int lane : lanes)
            for (int i = 0; i < kEdfSamplesPerRecord; ++i) {
                const auto v = uint16_t(Sample(record, r * kEdfSamplesPerRecord + i, lane));
                out.push_back(uint8_t(v & 0xFF));
                out.push_back(uint8_t(v >> 8));
            }
        // The record's time-keeping TAL: "+onset", 20, 20, 0; zeros after it.
        std::string tal = Format("+%g", r * 0.625) + "\x14\x14";
        tal.push_back('\0');
        tal.resize(kEdfAnnotationSamples * 2, '\0');
        out.insert(out.end(), tal.begin(), tal.end());
    }
    return out;
}

bool WriteEdfFile(const std::string& path, const ECG_RECORD& record, const PATIENT_CARD& card,
                  std::string* error) {
    const std::vector<uint8_t> bytes = EdfBytes(record, card);
    return WriteFileAtomically(path, bytes.data(), bytes.size(), error);
}
