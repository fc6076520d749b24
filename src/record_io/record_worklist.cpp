#include "record_io/record_worklist.h"

#include "platform/cp1251.h"
#include "record_io/interchange_helper.h"
#include "storage/field_escape.h"

#include <QCoreApplication>
#include <QList>
#include <algorithm>
#include <cstring>

namespace {

// The helper bounds its own waits; this is the last word should it not.
int HelperTimeoutMs(const CWorklistServer& server) {
    return (std::clamp(server.m_nTimeout, 1, 3600) * 3 + 5) * 1000;
}

bool ValidAeTitle(const QString& title) {
    if (title.trimmed().isEmpty() || title.size() > 16)
        return false;
    for (const QChar c : title)
        if (c.unicode() < 0x20 || c.unicode() > 0x7e || c == QLatin1Char('\\'))
            return false;
    return true;
}

// Digits only, of the given length.
bool AllDigits(const std::string& s, size_t from, size_t n) {
    if (s.size() < from + n)
        return false;
    return std::all_of(s.begin() + long(from), s.begin() + long(from + n),
                       [](char c) { return c >= '0' && c <= '9'; });
}

bool ParseBirthDate(const std::string& text, CWorklistEntry& entry) {
    if (text.empty())
        return true;
    if (text.size() != 8 || !AllDigits(text, 0, 8))
        return false;
    const QDate d(std::stoi(text.substr(0, 4)), std::stoi(text.substr(4, 2)),
                  std::stoi(text.substr(6, 2)));
    if (!d.isValid())
        return false;
    entry.m_nBirthYear = d.year();
    entry.m_nBirthMonth = d.month();
    entry.m_nBirthDay = d.day();
    return true;
}

bool ParseEntry(const QByteArray& line, CWorklistEntry& entry, std::string* error) {
    const QList<QByteArray> fields = line.split('\t');
    for (qsizetype i = 1; i < fields.size(); ++i) {
        const qsizetype eq = fields[i].indexOf('=');
        if (eq <= 0) {
            *error = "a worklist field without a name";
            return false;
        }
        const QByteArray key = fields[i].left(eq);
        std::string value;
        const QByteArray raw = fields[i].mid(eq + 1);
        if (!UnescapeField(std::string_view(raw.constData(), size_t(raw.size())), value)) {
            *error = "a broken escape in the worklist field " + key.toStdString();
            return false;
        }
        CRecordOrder& o = entry.m_Order;
        std::string* text = key == "last"           ? &entry.m_strLastName
                            : key == "first"        ? &entry.m_strFirstName
                            : key == "middle"       ? &entry.m_strMiddleName
                            : key == "id"           ? &entry.m_strPatientId
                            : key == "accession"    ? &o.m_strAccession
                            : key == "study"        ? &o.m_strStudyUid
                            : key == "procedure_id" ? &o.m_strRequestedProcedureId
                            : key == "procedure"    ? &o.m_strProcedureDescription
                            : key == "step_id"      ? &o.m_strScheduledStepId
                            : key == "start"        ? &o.m_strScheduledStart
                            : key == "station"      ? &o.m_strStationAeTitle
                            : key == "referring"    ? &o.m_strReferringPhysician
                                                    : nullptr;
        if (text) {
            *text = std::move(value);
        } else if (key == "birth") {
            // A date the server got wrong is no reason to drop the order: the card says none.
            if (!ParseBirthDate(value, entry))
                entry.m_nBirthYear = entry.m_nBirthMonth = entry.m_nBirthDay = 0;
        } else if (key == "sex") {
            entry.m_nSex = value == "M" ? 1 : value == "F" ? 0 : kSexNotGiven;
        }
        // A key of a later helper is skipped: the rest of the entry still holds.
    }
    return true;
}

void SetText(char* field, size_t size, const std::string& utf8) {
    const QByteArray coded = ToCp1251(QString::fromStdString(utf8).simplified());
    const size_t n = std::min(size - 1, size_t(coded.size()));
    std::memset(field, 0, size);
    std::memcpy(field, coded.constData(), n);
}

} // namespace

CWorklistServer WorklistServerOf(const CViewSettings& s) {
    CWorklistServer server;
    server.m_strHost = s.m_szWorklistHost.trimmed();
    server.m_nPort = s.m_nWorklistPort;
    server.m_strAETitle = s.m_szWorklistAETitle;
    server.m_strOwnAETitle = s.m_szOwnAETitle;
    server.m_nTimeout = s.m_nPacsTimeout;
    return server;
}

QString WorklistServerFault(const CWorklistServer& server) {
    if (server.m_strHost.trimmed().isEmpty())
        return QCoreApplication::translate("RecordWorklist",
                                           "не задан адрес сервера рабочего списка");
    if (server.m_nPort < 1 || server.m_nPort > 65535)
        return QCoreApplication::translate("RecordWorklist",
                                           "неверный порт сервера рабочего списка: %1")
            .arg(server.m_nPort);
    if (!ValidAeTitle(server.m_strAETitle))
        return QCoreApplication::translate("RecordWorklist",
                                           "неверный AE-титул сервера рабочего списка: \"%1\"")
            .arg(server.m_strAETitle);
    if (!ValidAeTitle(server.m_strOwnAETitle))
        return QCoreApplication::translate("RecordWorklist",
                                           "неверный собственный AE-титул: \"%1\"")
            .arg(server.m_strOwnAETitle);
    return {};
}

bool ParseWorklistAnswer(const QByteArray& answer, std::vector<CWorklistEntry>* entries,
                         std::string* error) {
    QList<QByteArray> lines = answer.split('\n');
    if (lines.size() < 3 || lines.first() != "velmora-worklist 1" || !lines.last().isEmpty()) {
        *error = "the worklist answer is not in the helper's form";
        return false;
    }
    lines.removeLast(); // after the final line feed
    std::vector<CWorklistEntry> found;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        if (!lines[i].startsWith("entry\t") && lines[i] != "entry") {
            *error = "an unknown line in the worklist answer";
            return false;
        }
        CWorklistEntry entry;
        if (!ParseEntry(lines[i], entry, error))
            return false;
        found.push_back(std::move(entry));
    }
    const QByteArray& end = lines.last();
    bool ok = false;
    const qulonglong count = end.startsWith("end\t") ? end.mid(4).toULongLong(&ok) : 0;
    if (!ok || count != found.size()) {
        *error = "the worklist answer was cut short";
        return false;
    }
    *entries = std::move(found);
    return true;
}

bool QueryWorklist(const CWorklistServer& server, const QDate& day,
                   std::vector<CWorklistEntry>* entries, std::string* error) {
    if (const QString fault = WorklistServerFault(server); !fault.isEmpty()) {
        *error = fault.toStdString();
        return false;
    }
    QStringList args{QStringLiteral("worklist"),
                     QStringLiteral("--host"),
                     server.m_strHost.trimmed(),
                     QStringLiteral("--port"),
                     QString::number(server.m_nPort),
                     QStringLiteral("--called"),
                     server.m_strAETitle,
                     QStringLiteral("--calling"),
                     server.m_strOwnAETitle,
                     QStringLiteral("--timeout"),
                     QString::number(std::clamp(server.m_nTimeout, 1, 3600))};
    if (day.isValid())
        args << QStringLiteral("--date") << day.toString(QStringLiteral("yyyyMMdd"));
    QByteArray answer;
    if (!RunInterchangeHelper(args, {}, HelperTimeoutMs(server), &answer, error))
        return false;
    return ParseWorklistAnswer(answer, entries, error);
}

void ApplyWorklistPatient(const CWorklistEntry& entry, PATIENT_CARD& card) {
    SetText(card.last_name, sizeof card.last_name, entry.m_strLastName);
    SetText(card.first_name, sizeof card.first_name, entry.m_strFirstName);
    SetText(card.patronymic, sizeof card.patronymic, entry.m_strMiddleName);
    SetText(card.patient_id, sizeof card.patient_id, entry.m_strPatientId);
    if (entry.m_nBirthYear != 0) {
        card.birth_year = uint16_t(entry.m_nBirthYear);
        card.birth_month = uint16_t(entry.m_nBirthMonth);
        card.birth_day = uint16_t(entry.m_nBirthDay);
    }
    if (entry.m_nSex != kSexNotGiven)
        card.sex = entry.m_nSex;
}

const CWorklistEntry* FindWorklistEntry(const std::vector<CWorklistEntry>& entries,
                                        const std::string& accession) {
    for (const CWorklistEntry& e : entries)
        if (!accession.empty() && e.m_Order.m_strAccession == accession)
            return &e;
    return nullptr;
}
