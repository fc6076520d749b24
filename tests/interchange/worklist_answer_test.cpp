// The worklist's way from a server's answer to the card: an answer data set in ISO_IR 144 bytes
// decoded as DCMTK gives it, our own ISO 8859-5 table against the C library's converter, the
// helper's answer written and parsed back, the parser refusing what is cut or broken, and an
// entry's patient put into a card.

#include "interchange/worklist_client.h"
#include "record_io/record_worklist.h"
#include "storage/card_fields.h"

#include <dcmtk/config/osconfig.h>
#include <dcmtk/dcmdata/dcdeftag.h>
#include <dcmtk/dcmdata/dcitem.h>
#include <gtest/gtest.h>
#include <iconv.h>

namespace {

std::string IconvUtf8(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "ISO-8859-5");
    EXPECT_NE(cd, iconv_t(-1));
    std::string in = bytes, out(bytes.size() * 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t left = in.size(), room = out.size();
    EXPECT_NE(iconv(cd, &src, &left, &dst, &room), size_t(-1));
    iconv_close(cd);
    out.resize(out.size() - room);
    return out;
}

// "Ёлкина^Алёна^Юрьевна" and "№5 §2" in ISO 8859-5.
const std::string kName =
    "\xA1\xDB\xDA\xD8\xDD\xD0^\xB0\xDB\xF1\xDD\xD0^\xCE\xE0\xEC\xD5\xD2\xDD\xD0";

} // namespace

TEST(WorklistAnswer, CyrillicArrivesWholeByDcmtkAndByOurOwnTable) {
    std::string every;
    for (int b = 1; b < 256; ++b)
        every += char(b);
    EXPECT_EQ(Iso8859_5ToUtf8(every), IconvUtf8(every));

    DcmItem answer;
    answer.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 144");
    answer.putAndInsertString(DCM_PatientName, kName.c_str());
    answer.putAndInsertString(DCM_AccessionNumber, "A-1");
    answer.putAndInsertString(DCM_RequestedProcedureDescription, "\xCD\xBA\xB3 \xF0"
                                                                 "5");
    DcmItem* step = nullptr;
    answer.findOrCreateSequenceItem(DCM_ScheduledProcedureStepSequence, step);
    step->putAndInsertString(DCM_ScheduledProcedureStepStartDate, "20261210");
    step->putAndInsertString(DCM_ScheduledProcedureStepStartTime, "093000.123");
    CWorklistItem item;
    std::string error;
    ASSERT_TRUE(WorklistItemOf(answer, item, &error)) << error;
    EXPECT_EQ(item.m_strLastName, "Ёлкина");
    EXPECT_EQ(item.m_strFirstName, "Алёна");
    EXPECT_EQ(item.m_strMiddleName, "Юрьевна");
    EXPECT_EQ(item.m_Order.m_strProcedureDescription, "ЭКГ №5");
    EXPECT_EQ(item.m_Order.m_strScheduledStart, "20261210093000");

    DcmItem strange;
    strange.putAndInsertString(DCM_SpecificCharacterSet, "ISO_IR 999");
    strange.putAndInsertString(DCM_PatientName, "X");
    EXPECT_FALSE(WorklistItemOf(strange, item, &error));
    EXPECT_NE(error.find("ISO_IR 999"), std::string::npos) << error;
}

TEST(WorklistAnswer, WrittenAndParsedBackAndWhatIsRefused) {
    CWorklistItem a;
    a.m_strLastName = "Ёлкина\tс табуляцией";
    a.m_strFirstName = "back\\slash\nи строка";
    a.m_strPatientId = "MRN=7";
    a.m_strBirthDate = "19451231";
    a.m_strSex = "F";
    a.m_Order.m_strAccession = "ACC 1";
    a.m_Order.m_strStudyUid = "1.2.3";
    a.m_Order.m_strScheduledStart = "20261210093000";
    CWorklistItem b;
    b.m_strLastName = "Без даты";
    b.m_strBirthDate = "19450230"; // no such day
    b.m_strSex = "O";
    b.m_Order.m_strAccession = "ACC2";
    const std::string text = WorklistAnswerText({a, b});
    std::vector<CWorklistEntry> entries;
    std::string error;
    ASSERT_TRUE(ParseWorklistAnswer(QByteArray::fromStdString(text), &entries, &error)) << error;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].m_strLastName, a.m_strLastName);
    EXPECT_EQ(entries[0].m_strFirstName, a.m_strFirstName);
    EXPECT_EQ(entries[0].m_strPatientId, "MRN=7");
    EXPECT_EQ(entries[0].m_nBirthYear, 1945);
    EXPECT_EQ(entries[0].m_nBirthDay, 31);
    EXPECT_EQ(entries[0].m_nSex, 0);
    EXPECT_EQ(entries[0].m_Order, a.m_Order);
    EXPECT_EQ(entries[1].m_nBirthYear, 0) << "a day that is none is no date of birth";
    EXPECT_EQ(entries[1].m_nSex, kSexNotGiven);
    EXPECT_EQ(FindWorklistEntry(entries, "ACC2"), &entries[1]);
    EXPECT_EQ(FindWorklistEntry(entries, "ACC"), nullptr);

    const QByteArray whole = QByteArray::fromStdString(text);
    const QByteArray broken[] = {
        whole.left(whole.lastIndexOf("end")),          // cut before its end line
        QByteArray(whole).replace("end\t2", "end\t3"), // a count that differs
        QByteArray(whole).replace("\\t", "\\q"),       // an escape that is none
        QByteArray(whole).replace("velmora-worklist 1", "velmora-worklist 2"),
        QByteArray(whole).replace("entry\t", "junk\t"),
        whole.left(whole.size() - 1), // no final line feed
        QByteArray()};
    for (const QByteArray& answer : broken) {
        EXPECT_FALSE(ParseWorklistAnswer(answer, &entries, &error)) << answer.toStdString();
        EXPECT_FALSE(error.empty());
    }
}

TEST(WorklistAnswer, TheEntryFillsTheCardAndLeavesWhatItDoesNotGive) {
    CWorklistEntry e;
    e.m_strLastName = "Константинопольская-Сидоренкова"; // longer than the card holds
    e.m_strFirstName = "Алёна";
    e.m_strPatientId = "PID-7";
    e.m_nBirthYear = 1945;
    e.m_nBirthMonth = 12;
    e.m_nBirthDay = 31;
    e.m_nSex = 0;
    PATIENT_CARD card{};
    card.height = 170;
    card.sex = kSexNotGiven;
    ApplyWorklistPatient(e, card);
    EXPECT_EQ(CardTextUtf8(card.last_name, sizeof card.last_name), "Константинопольская-Сидоренко");
    EXPECT_EQ(CardTextUtf8(card.first_name, sizeof card.first_name), "Алёна");
    EXPECT_EQ(CardPatientId(card), "PID-7");
    EXPECT_EQ(card.birth_year, 1945);
    EXPECT_EQ(card.sex, 0);
    EXPECT_EQ(card.height, 170);

    CWorklistEntry bare;
    bare.m_strLastName = "Петров";
    ApplyWorklistPatient(bare, card);
    EXPECT_EQ(card.birth_year, 1945) << "a worklist without a birth date leaves the card's";
    EXPECT_EQ(card.sex, 0);
}
