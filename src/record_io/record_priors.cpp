#include "record_io/record_priors.h"

#include "platform/cp1251.h"
#include "platform/private_folder.h"
#include "record_io/interchange_helper.h"
#include "record_io/record_pacs.h"
#include "storage/card_fields.h"
#include "storage/field_escape.h"

#include <QFile>
#include <algorithm>
#include <cstring>

namespace {

constexpr char kListHead[] = "velmora studies 1";
constexpr int kStudyFields = 9;

// The PACS of the settings as the helper takes it.
QStringList PacsArguments(const CViewSettings& s) {
    return {QStringLiteral("--host"),    s.m_szPacsHost.trimmed(),
            QStringLiteral("--port"),    QString::number(s.m_nPacsPort),
            QStringLiteral("--called"),  s.m_szPacsAETitle,
            QStringLiteral("--calling"), s.m_szOwnAETitle,
            QStringLiteral("--timeout"), QString::number(std::clamp(s.m_nPacsTimeout, 1, 3600))};
}

// The helper bounds each wait by the time-out; this is the last word should a PACS trickle.
int HelperLimitMs(const CViewSettings& s, int waits) {
    return (std::clamp(s.m_nPacsTimeout, 1, 3600) * waits + 10) * 1000;
}

void SetCardText(char* field, size_t size, const QString& text) {
    const QByteArray coded = ToCp1251(text.simplified());
    const size_t n = std::min(size - 1, size_t(coded.size()));
    std::memset(field, 0, size);
    std::memcpy(field, coded.constData(), n);
}

// DICOM DA "YYYYMMDD" as "YYYY-MM-DD"; false when it is something else.
bool DateText(const QByteArray& da, QString& out) {
    if (da.isEmpty()) {
        out.clear();
        return true;
    }
    if (da.size() != 8 ||
        !std::all_of(da.begin(), da.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out = QString::fromLatin1(da.left(4) + '-' + da.mid(4, 2) + '-' + da.mid(6, 2));
    return true;
}

// DICOM TM "HHMMSS.FFFFFF" (or "HHMM", "HH") as "hh:mm:ss".
bool TimeText(const QByteArray& tm, QString& out) {
    out.clear();
    const QByteArray whole = tm.left(tm.indexOf('.') < 0 ? tm.size() : tm.indexOf('.'));
    if (whole.isEmpty())
        return true;
    if ((whole.size() != 2 && whole.size() != 4 && whole.size() != 6) ||
        !std::all_of(whole.begin(), whole.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const QByteArray padded = whole + QByteArray(6 - whole.size(), '0');
    out = QString::fromLatin1(padded.left(2) + ':' + padded.mid(2, 2) + ':' + padded.mid(4, 2));
    return true;
}

} // namespace

QString PriorsPatientId(const PATIENT_CARD& card) {
    const std::string own = CardPatientId(card);
    return QString::fromStdString(own.empty() ? DerivedPatientId(card) : own);
}

bool ParsePriorStudies(const QByteArray& answer, std::vector<CPriorStudy>& result,
                       std::string* error) {
    result.clear();
    // Filled aside: a list broken further down gives no studies at all.
    std::vector<CPriorStudy> out;
    QList<QByteArray> lines = answer.split('\n');
    if (lines.isEmpty() || lines.takeFirst() != kListHead) {
        *error = "the helper's study list does not begin with its heading";
        return false;
    }
    if (lines.isEmpty() || !lines.takeLast().isEmpty()) {
        *error = "the helper's study list is cut off";
        return false;
    }
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QList<QByteArray> raw = lines[n].split('\t');
        const std::string where = "study " + std::to_string(n + 1) + " of the helper's list";
        if (raw.size() != kStudyFields) {
            *error = where + " has " + std::to_string(raw.size()) + " fields, not " +
                     std::to_string(kStudyFields);
            return false;
        }
        std::vector<QByteArray> f(kStudyFields);
        for (int i = 0; i < kStudyFields; ++i) {
            std::string field;
            if (!UnescapeField(std::string_view(raw[i].constData(), size_t(raw[i].size())),
                               field)) {
                *error = where + ": a broken escape in field " + std::to_string(i + 1);
                return false;
            }
            f[size_t(i)] = QByteArray::fromStdString(field);
        }
        CPriorStudy s;
        s.m_strStudyUid = QString::fromUtf8(f[0]);
        if (s.m_strStudyUid.isEmpty()) {
            *error = where + " has no study UID";
            return false;
        }
        QString birth;
        if (!DateText(f[1], s.m_strDate) || !TimeText(f[2], s.m_strTime) ||
            !DateText(f[5], birth)) {
            *error = where + ": a date or time that is none";
            return false;
        }
        bool counted = false;
        s.m_nEcgInstances = f[8].toInt(&counted);
        if (!counted || s.m_nEcgInstances < 0) {
            *error = where + ": no count of ECG objects";
            return false;
        }
        // The name's parts: family^given^middle, the first of its groups (an ideographic or
        // phonetic one after '=' is not ours to show).
        const QString name = QString::fromUtf8(f[3]).section(QLatin1Char('='), 0, 0);
        const QStringList parts = name.split(QLatin1Char('^'));
        s.m_strName = QStringList(parts.mid(0, 3)).join(QLatin1Char(' ')).simplified();
        SetCardText(s.m_Card.last_name, sizeof s.m_Card.last_name, parts.value(0));
        SetCardText(s.m_Card.first_name, sizeof s.m_Card.first_name, parts.value(1));
        SetCardText(s.m_Card.patronymic, sizeof s.m_Card.patronymic, parts.value(2));
        SetCardText(s.m_Card.patient_id, sizeof s.m_Card.patient_id, QString::fromUtf8(f[4]));
        if (!birth.isEmpty()) {
            s.m_Card.birth_year = uint16_t(birth.left(4).toUInt());
            s.m_Card.birth_month = uint16_t(birth.mid(5, 2).toUInt());
            s.m_Card.birth_day = uint16_t(birth.mid(8, 2).toUInt());
        }
        s.m_Card.sex = f[6] == "M" ? 1 : f[6] == "F" ? 0 : kSexNotGiven;
        s.m_strAccession = QString::fromUtf8(f[7]);
        out.push_back(std::move(s));
    }
    result = std::move(out);
    return true;
}

bool FindPriors(const CViewSettings& pacs, const QString& patientId, std::vector<CPriorStudy>& out,
                std::string* error) {
    out.clear();
    if (const QString fault = PacsSettingsFault(pacs); !fault.isEmpty()) {
        *error = fault.toStdString();
        return false;
    }
    if (patientId.trimmed().isEmpty()) {
        *error = "the card has no patient ID and no surname to search the PACS by";
        return false;
    }
    QByteArray answer;
    // The association, the study query, then a series and an instance query per study.
    if (!RunInterchangeHelper(QStringList{QStringLiteral("find"), QStringLiteral("--patient-id"),
                                          patientId.trimmed()} +
                                  PacsArguments(pacs),
                              {}, HelperLimitMs(pacs, 6), &answer, error))
        return false;
    return ParsePriorStudies(answer, out, error);
}

bool FetchPriors(const CViewSettings& pacs, const QStringList& studyUids, const PriorImport& import,
                 CFetchedPriors* fetched, std::string* error) {
    *fetched = {};
    if (const QString fault = PacsSettingsFault(pacs); !fault.isEmpty()) {
        *error = fault.toStdString();
        return false;
    }
    if (studyUids.isEmpty()) {
        *error = "no study to fetch";
        return false;
    }
    for (const QString& uid : studyUids)
        if (uid.isEmpty() || uid.startsWith(QLatin1String("--"))) {
            *error = "not a study UID: '" + uid.toStdString() + "'";
            return false;
        }
    const CPrivateFolder folder("velmora-priors");
    if (!folder.IsValid()) {
        *error = folder.ErrorText();
        return false;
    }
    QByteArray answer;
    const QString into = QString::fromStdString(folder.Path());
    if (!RunInterchangeHelper(
            QStringList{QStringLiteral("get"), into} + studyUids + PacsArguments(pacs), {},
            HelperLimitMs(pacs, 6 + 4 * int(studyUids.size())), &answer, error))
        return false;
    QStringList files;
    for (const QByteArray& line : answer.split('\n')) {
        const QString path = QString::fromUtf8(line.trimmed());
        // Only what the helper wrote into our folder is taken.
        if (!path.isEmpty() && path.startsWith(into + QLatin1Char('/')) && QFile::exists(path))
            files << path;
    }
    fetched->m_nFetched = int(files.size());
    if (files.isEmpty()) {
        *error = "the PACS sent no ECG object";
        return false;
    }
    return import(files, fetched, error);
}
