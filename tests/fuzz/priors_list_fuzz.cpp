// The interchange helper's list of a patient's studies in the PACS, as the records layer reads
// it: any bytes. The first byte chooses the mode.
//
// Invariants:
// - a list that parses has, for every study, a UID, a date that is empty or YYYY-MM-DD, a time
//   that is empty or hh:mm:ss, and a count of ECG objects that is not negative;
// - any nine fields (split at zero bytes; the date made a DICOM date) written by the helper's
//   writer read back with the same UID, accession and count, whatever bytes they hold.

#include "fuzz_check.h"
#include "interchange/pacs_query.h"
#include "record_io/record_priors.h"

#include <QRegularExpression>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const QByteArray in(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    std::vector<CPriorStudy> studies;
    std::string error;
    if (data[0] & 1) {
        if (ParsePriorStudies(in, studies, &error)) {
            static const QRegularExpression date(QStringLiteral("^\\d{4}-\\d{2}-\\d{2}$"));
            static const QRegularExpression time(QStringLiteral("^\\d{2}:\\d{2}:\\d{2}$"));
            for (const CPriorStudy& s : studies) {
                Check(!s.m_strStudyUid.isEmpty() && s.m_nEcgInstances >= 0);
                Check(s.m_strDate.isEmpty() || date.match(s.m_strDate).hasMatch());
                Check(s.m_strTime.isEmpty() || time.match(s.m_strTime).hasMatch());
            }
        } else {
            Check(!error.empty() && studies.empty());
        }
        return 0;
    }
    const QList<QByteArray> f = in.split('\0');
    CPacsStudy s;
    s.m_strStudyUid = f.value(0).toStdString();
    if (s.m_strStudyUid.empty())
        return 0;
    s.m_strDate = "20240229";
    s.m_strTime = "0930";
    s.m_strPatientName = f.value(1).toStdString();
    s.m_strPatientId = f.value(2).toStdString();
    s.m_strSex = f.value(3).toStdString();
    s.m_strAccession = f.value(4).toStdString();
    s.m_nEcgInstances = int(data[0] >> 1);
    Check(ParsePriorStudies(QByteArray::fromStdString(WriteStudyList({s, s})), studies, &error));
    Check(studies.size() == 2);
    Check(studies[1].m_strStudyUid == QString::fromUtf8(f.value(0)));
    Check(studies[1].m_strAccession == QString::fromUtf8(f.value(4)));
    Check(studies[1].m_strDate == QLatin1String("2024-02-29") &&
          studies[1].m_strTime == QLatin1String("09:30:00"));
    Check(studies[1].m_nEcgInstances == int(data[0] >> 1));
    return 0;
}
