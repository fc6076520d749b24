// The worklist answer the interchange helper prints: what the program parses of another
// process's output about another system's data, so any bytes.
//
// Invariants:
// - an answer that parses has exactly as many entries as its end line counts;
// - its dates of birth are real days (or none) and its sex one of the card's values;
// - the entries written back by the helper's writer parse again to the same entries (no text
//   is changed by the escapes on the way, whatever characters it has).

#include "fuzz_check.h"
#include "interchange/worklist_client.h"
#include "record_io/record_worklist.h"

#include <QDate>
#include <cstdint>
#include <cstdio>

namespace {

CWorklistItem ItemOf(const CWorklistEntry& e) {
    CWorklistItem item;
    item.m_strLastName = e.m_strLastName;
    item.m_strFirstName = e.m_strFirstName;
    item.m_strMiddleName = e.m_strMiddleName;
    item.m_strPatientId = e.m_strPatientId;
    if (e.m_nBirthYear) {
        char date[16];
        std::snprintf(date, sizeof date, "%04d%02d%02d", e.m_nBirthYear, e.m_nBirthMonth,
                      e.m_nBirthDay);
        item.m_strBirthDate = date;
    }
    item.m_strSex = e.m_nSex == 1 ? "M" : e.m_nSex == 0 ? "F" : "";
    item.m_Order = e.m_Order;
    return item;
}

bool Same(const CWorklistEntry& a, const CWorklistEntry& b) {
    return a.m_strLastName == b.m_strLastName && a.m_strFirstName == b.m_strFirstName &&
           a.m_strMiddleName == b.m_strMiddleName && a.m_strPatientId == b.m_strPatientId &&
           a.m_nBirthYear == b.m_nBirthYear && a.m_nBirthMonth == b.m_nBirthMonth &&
           a.m_nBirthDay == b.m_nBirthDay && a.m_nSex == b.m_nSex && a.m_Order == b.m_Order;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray in(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<CWorklistEntry> entries;
    std::string error;
    if (!ParseWorklistAnswer(in, &entries, &error)) {
        Check(!error.empty());
        return 0;
    }
    const qsizetype end = in.lastIndexOf("\nend\t");
    Check(end >= 0 && in.mid(end + 5).trimmed().toULongLong() == entries.size());
    std::vector<CWorklistItem> items;
    for (const CWorklistEntry& e : entries) {
        Check(e.m_nBirthYear == 0 ||
              QDate(e.m_nBirthYear, e.m_nBirthMonth, e.m_nBirthDay).isValid());
        Check(e.m_nSex <= 1 || e.m_nSex == kSexNotGiven);
        items.push_back(ItemOf(e));
    }
    std::vector<CWorklistEntry> again;
    Check(
        ParseWorklistAnswer(QByteArray::fromStdString(WorklistAnswerText(items)), &again, &error));
    Check(again.size() == entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        Check(Same(entries[i], again[i]));
    return 0;
}
