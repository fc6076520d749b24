// The ORU^R01 message: no text can break its structure, the status follows the doctor's
// confirmation, and every measurement goes under its LOINC code.

#include "hl7/hl7_message.h"
#include "hl7/mllp.h"

#include <QByteArray>
#include <QList>
#include <cstring>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> Split(const std::string& s, char c) {
    std::vector<std::string> out(1);
    for (char ch : s)
        if (ch == c)
            out.emplace_back();
        else
            out.back().push_back(ch);
    return out;
}

std::vector<std::vector<std::string>> Segments(const std::string& msg) {
    std::vector<std::vector<std::string>> out;
    EXPECT_EQ(msg.back(), '\r');
    for (const std::string& s : Split(msg.substr(0, msg.size() - 1), '\r'))
        out.push_back(Split(s, '|'));
    return out;
}

std::vector<std::vector<std::string>> Named(const std::string& msg, const std::string& name) {
    std::vector<std::vector<std::string>> out;
    for (auto& s : Segments(msg))
        if (s[0] == name)
            out.push_back(s);
    return out;
}

std::string Field(const std::vector<std::string>& seg, size_t i) {
    return i < seg.size() ? seg[i] : std::string();
}

CHl7Result Result() {
    CHl7Result r;
    std::strcpy(r.card.last_name, "Ivanov");
    std::strcpy(r.card.first_name, "Ivan");
    r.card.sex = 1;
    r.card.birth_year = 1950;
    r.recordedAt = "2026-12-08 23:18:57";
    r.measurements.heartRateBpm = 72.4;
    r.measurements.qrsMs = 98.6;
    r.measurements.axisQrsDeg = -0.3;
    r.measurements.rrMeanMs = 830; // no LOINC code here: not sent
    r.statements = {{"SR", "Синусовый ритм", "Sinus rhythm"}, {"LAD", "Отклонение ЭОС влево", ""}};
    return r;
}

CHl7Envelope Envelope() {
    CHl7Envelope e;
    e.controlId = "VLM1";
    e.receivingApplication = "HIS";
    e.createdAt = QDateTime(QDate(2026, 12, 9), QTime(10, 0), Qt::OffsetFromUTC, 3 * 3600);
    return e;
}

} // namespace

TEST(Hl7Message, NoTextBreaksTheStructure) {
    const std::string nasty = "A|B^C&D~E\\F";
    for (const std::string& s : {nasty, std::string("\\F\\"), std::string("Ёж\r\nи\nуж")})
        EXPECT_EQ(Hl7Unescape(Hl7Escape(s)), [&] {
            std::string t = s;
            for (size_t p; (p = t.find("\r\n")) != std::string::npos;)
                t.erase(p, 1);
            return t;
        }()) << s;
    EXPECT_EQ(Hl7Escape(nasty), "A\\F\\B\\S\\C\\T\\D\\R\\E\\E\\F");

    CHl7Result r = Result();
    std::strcpy(r.card.last_name, nasty.c_str());
    std::strcpy(r.card.patient_id, "12|3");
    r.accession = "A^1";
    r.reading.version = 1;
    r.reading.doctorLogin = "petrova";
    r.reading.doctorName = "Петрова & Co";
    r.reading.conclusion = "Норма.\nКонтроль | через год";
    r.reading.statements = {{"", "Свой ~ текст", ""}};
    CHl7Envelope e = Envelope();
    e.sendingFacility = "ГБУЗ «Поликлиника №3» | филиал";
    const std::string msg = BuildOruR01(r, e);

    std::vector<std::string> names;
    for (auto& s : Segments(msg))
        names.push_back(s[0]);
    EXPECT_EQ(names, (std::vector<std::string>{"MSH", "PID", "PV1", "ORC", "OBR", "OBX", "OBX",
                                               "OBX", "OBX", "OBX"}));
    const auto msh = Named(msg, "MSH")[0];
    EXPECT_EQ(Field(msh, 1), "^~\\&");
    EXPECT_EQ(Hl7Unescape(Field(msh, 3)), e.sendingFacility);
    // Split at '|', MSH-n is field n - 1: MSH-1 is the separator itself.
    EXPECT_EQ(Field(msh, 8), "ORU^R01^ORU_R01");
    EXPECT_EQ(Field(msh, 9), "VLM1");
    EXPECT_EQ(Field(msh, 11), "2.5.1");
    EXPECT_EQ(Field(msh, 17), "UNICODE UTF-8");
    EXPECT_EQ(Field(msh, 6), "20261209100000+0300");

    const auto pid = Named(msg, "PID")[0];
    ASSERT_EQ(pid.size(), 9u);
    EXPECT_EQ(Hl7Unescape(Split(pid[3], '^')[0]), "12|3");
    const auto name = Split(pid[5], '^');
    ASSERT_EQ(name.size(), 3u);
    EXPECT_EQ(Hl7Unescape(name[0]), nasty);
    EXPECT_EQ(name[1], "Ivan");
    EXPECT_EQ(pid[7], "1950");
    EXPECT_EQ(pid[8], "M");

    const auto obr = Named(msg, "OBR")[0];
    ASSERT_EQ(obr.size(), 33u);
    EXPECT_EQ(Hl7Unescape(obr[3]), "A^1");
    EXPECT_EQ(obr[4], "11524-6^EKG study^LN") << "no worklist procedure: the LOINC code";
    // A worklist order names its procedure in OBR-4, a local code with its text, escaped.
    CHl7Result ordered = r;
    ordered.procedureId = "RP|7";
    ordered.procedureName = "ЭКГ ^ покоя";
    const auto service = Split(Named(BuildOruR01(ordered, e), "OBR")[0][4], '^');
    ASSERT_EQ(service.size(), 3u);
    EXPECT_EQ(Hl7Unescape(service[0]), "RP|7");
    EXPECT_EQ(Hl7Unescape(service[1]), "ЭКГ ^ покоя");
    EXPECT_EQ(service[2], "L");
    const auto interpreter = Split(obr[32], '&');
    ASSERT_EQ(interpreter.size(), 2u);
    EXPECT_EQ(Hl7Unescape(interpreter[1]), "Петрова & Co");
    const auto obx = Named(msg, "OBX");
    EXPECT_EQ(Hl7Unescape(obx[3][5]), "Свой ~ текст");
    EXPECT_EQ(obx[4][2], "FT");
    EXPECT_EQ(Hl7Unescape(obx[4][5]), "Норма.\nКонтроль | через год");
    for (const auto& s : obx)
        EXPECT_EQ(s.size(), 15u) << s[0] << s[1];
}

TEST(Hl7Message, TheStatusFollowsTheDoctorsConfirmation) {
    CHl7Result r = Result();
    std::string msg = BuildOruR01(r, Envelope());
    EXPECT_EQ(Named(msg, "ORC").size(), 0u); // no order
    auto obr = Named(msg, "OBR")[0];
    EXPECT_EQ(Field(obr, 25), "P");
    EXPECT_EQ(Field(obr, 32), "");
    EXPECT_EQ(Field(obr, 7), "20261208231857");
    std::vector<std::string> texts;
    for (const auto& s : Named(msg, "OBX")) {
        EXPECT_EQ(s[11], "P") << s[3];
        if (s[2] == "TX")
            texts.push_back(s[5]);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Синусовый ритм", "Отклонение ЭОС влево"}));

    r.reading.version = 2;
    r.reading.doctorLogin = "petrova";
    r.reading.doctorName = "Петрова А. И.";
    r.reading.confirmedAt = {2026, 12, 0, 9, 10, 15, 0, 0};
    r.reading.statements = {{"SR", "Синусовый ритм", ""}};
    msg = BuildOruR01(r, Envelope());
    obr = Named(msg, "OBR")[0];
    EXPECT_EQ(obr[25], "F");
    EXPECT_EQ(obr[32], "petrova&Петрова А. И.");
    EXPECT_EQ(obr[22], "20261209101500");
    texts.clear();
    for (const auto& s : Named(msg, "OBX")) {
        EXPECT_EQ(s[11], "F") << s[3];
        if (s[2] == "TX")
            texts.push_back(s[5]);
    }
    // The doctor's reading replaces the automatic statements; no conclusion, no FT.
    EXPECT_EQ(texts, (std::vector<std::string>{"Синусовый ритм"}));
    EXPECT_EQ(msg.find("|FT|"), std::string::npos);
}

TEST(Hl7Message, MeasurementsGoUnderTheirLoincCodesAndTheReportIsEmbedded) {
    CHl7Result r = Result();
    static const char kPdf[] = "%PDF-1.4\n\x01\x02\xff binary|^&~\\ %%EOF";
    r.pdf = QByteArray(kPdf, sizeof kPdf - 1);
    const auto obx = Named(BuildOruR01(r, Envelope()), "OBX");
    std::vector<std::string> nm;
    for (const auto& s : obx)
        if (s[2] == "NM")
            nm.push_back(s[3] + " = " + s[5] + " " + s[6]);
    EXPECT_EQ(nm, (std::vector<std::string>{"8867-4^Heart rate^LN = 72 /min^/min^UCUM",
                                            "8633-0^QRS duration^LN = 99 ms^ms^UCUM",
                                            "8632-2^QRS axis^LN = 0 deg^deg^UCUM"}));
    for (size_t i = 0; i < obx.size(); ++i)
        EXPECT_EQ(obx[i][1], std::to_string(i + 1)); // OBX-1 counts them
    const auto& ed = obx.back();
    ASSERT_EQ(ed[2], "ED");
    const auto parts = Split(ed[5], '^');
    ASSERT_EQ(parts.size(), 5u);
    EXPECT_EQ(parts[1] + parts[2] + parts[3], "APPDFBase64");
    EXPECT_EQ(QByteArray::fromBase64(QByteArray::fromStdString(parts[4])), r.pdf);

    // Every measurement with a code is there, in the order the codes are listed.
    std::vector<std::string> codes;
    for (const CHl7Observation& o : Hl7Observations({}))
        codes.push_back(o.loinc);
    EXPECT_EQ(codes, (std::vector<std::string>{"8867-4", "8625-6", "8633-0", "8634-8", "8636-3",
                                               "8626-4", "8632-2", "8638-9"}));
}
