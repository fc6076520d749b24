// velmora-cli worklist: the ECGs the hospital has ordered for a day, from its modality worklist
// (DICOM C-FIND through the interchange helper), as a table or as JSON.

#include "cli/cli_common.h"
#include "cli/cli_worklist.h"
#include "cli/commands.h"
#include "cli/options.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>

namespace {

const char kWorklistUsage[] =
    "usage: velmora-cli worklist [--worklist [AET@]HOST:PORT] [--aet TITLE] [--date YYYY-MM-DD]\n"
    "                            [--json] [--config INI]\n"
    "\n"
    "Lists the ECGs scheduled on a day (today without --date) in the hospital's modality\n"
    "worklist: the patient, the accession number, the procedure and the scheduled time. The\n"
    "server is the settings file's (section [PACS]: m_szWorklistHost, m_nWorklistPort,\n"
    "m_szWorklistAETitle, asked as m_szOwnAETitle); the options override it.\n"
    "\n"
    "  --worklist [AET@]HOST:PORT the worklist server\n"
    "  --aet TITLE      the worklist server's AE title\n"
    "  --date DAY       the day (YYYY-MM-DD), or 'any' for every day\n"
    "  --json           one JSON array: per entry `patient` (the card's keys as 'info --json'\n"
    "                   gives them), `accession`, `study_uid`, `procedure` {id, description},\n"
    "                   `scheduled` {step_id, start, station}, `referring`\n"
    "  --config INI     the settings file to use\n"
    "\n"
    "exit codes: 0 listed, 1 bad usage or settings, 2 the server failed (its reason on stderr)\n";

// "20261210093000" as "2026-12-10 09:30" (as much as is given).
QString StartText(const std::string& start) {
    const QString s = QString::fromStdString(start);
    if (s.size() < 8)
        return s;
    QString text = s.left(4) + QLatin1Char('-') + s.mid(4, 2) + QLatin1Char('-') + s.mid(6, 2);
    if (s.size() >= 12)
        text += QLatin1Char(' ') + s.mid(8, 2) + QLatin1Char(':') + s.mid(10, 2);
    return text;
}

QJsonObject EntryObject(const CWorklistEntry& e) {
    PATIENT_CARD card{};
    card.sex = kSexNotGiven;
    ApplyWorklistPatient(e, card);
    const CRecordOrder& o = e.m_Order;
    auto text = [](const std::string& s) { return QString::fromStdString(s); };
    QJsonObject entry;
    entry[QStringLiteral("patient")] = CardObject(card);
    entry[QStringLiteral("accession")] = text(o.m_strAccession);
    entry[QStringLiteral("study_uid")] = text(o.m_strStudyUid);
    entry[QStringLiteral("procedure")] =
        QJsonObject{{QStringLiteral("id"), text(o.m_strRequestedProcedureId)},
                    {QStringLiteral("description"), text(o.m_strProcedureDescription)}};
    entry[QStringLiteral("scheduled")] =
        QJsonObject{{QStringLiteral("step_id"), text(o.m_strScheduledStepId)},
                    {QStringLiteral("start"), StartText(o.m_strScheduledStart)},
                    {QStringLiteral("station"), text(o.m_strStationAeTitle)}};
    entry[QStringLiteral("referring")] = text(o.m_strReferringPhysician);
    return entry;
}

// Pads to a width in characters (not bytes: the names are Cyrillic).
std::string Cell(const QString& text, int width) {
    return PrintableName(text.leftJustified(width)).toUtf8().toStdString();
}

} // namespace

int RunWorklist(const QStringList& args) {
    const char* cmd = "worklist";
    COptions opts({"worklist", "aet", "date", "config"}, {"json", "help"});
    QString error;
    if (!opts.Parse(args, &error) || !opts.Positional().isEmpty()) {
        Message(cmd, error.isEmpty()
                         ? "unexpected argument " + opts.Positional().first().toStdString()
                         : error.toStdString());
        std::fputs(kWorklistUsage, stderr);
        return 1;
    }
    if (opts.Has("help")) {
        std::fputs(kWorklistUsage, stdout);
        return 0;
    }
    QDate day = QDate::currentDate();
    if (opts.Has("date")) {
        day = opts.Value("date") == QLatin1String("any")
                  ? QDate()
                  : QDate::fromString(opts.Value("date"), QStringLiteral("yyyy-MM-dd"));
        if (opts.Value("date") != QLatin1String("any") && !day.isValid()) {
            Message(cmd, "--date takes YYYY-MM-DD, not '" + opts.Value("date").toStdString() + "'");
            return 1;
        }
    }
    if (opts.Has("config") && !UseSettingsFile(cmd, opts.Value("config")))
        return 2;
    CWorklistServer server;
    if (const int code = WorklistServerFromOptions(cmd, opts, "aet", &server))
        return code;
    std::vector<CWorklistEntry> entries;
    std::string why;
    if (!QueryWorklist(server, day, &entries, &why)) {
        Message(cmd, why);
        return 2;
    }
    if (opts.Has("json")) {
        QJsonArray list;
        for (const CWorklistEntry& e : entries)
            list.append(EntryObject(e));
        std::fputs(QJsonDocument(list).toJson(QJsonDocument::Indented).constData(), stdout);
        return 0;
    }
    std::printf("%s%s%s%s%s%s\n", Cell(QStringLiteral("time"), 17).c_str(),
                Cell(QStringLiteral("accession"), 14).c_str(),
                Cell(QStringLiteral("patient"), 36).c_str(),
                Cell(QStringLiteral("born"), 11).c_str(), Cell(QStringLiteral("sex"), 4).c_str(),
                "procedure");
    for (const CWorklistEntry& e : entries) {
        const QString name = QString::fromStdString(e.m_strLastName + " " + e.m_strFirstName + " " +
                                                    e.m_strMiddleName)
                                 .simplified();
        const QString born = e.m_nBirthYear ? QDate(e.m_nBirthYear, e.m_nBirthMonth, e.m_nBirthDay)
                                                  .toString(QStringLiteral("yyyy-MM-dd"))
                                            : QString();
        const QString sex = e.m_nSex == 1   ? QStringLiteral("M")
                            : e.m_nSex == 0 ? QStringLiteral("F")
                                            : QString();
        std::printf("%s%s%s%s%s%s\n", Cell(StartText(e.m_Order.m_strScheduledStart), 17).c_str(),
                    Cell(QString::fromStdString(e.m_Order.m_strAccession), 14).c_str(),
                    Cell(name, 36).c_str(), Cell(born, 11).c_str(), Cell(sex, 4).c_str(),
                    PrintableName(QString::fromStdString(e.m_Order.m_strProcedureDescription))
                        .toUtf8()
                        .constData());
    }
    std::fprintf(stderr, "velmora-cli worklist: %zu ECG(s) ordered%s\n", entries.size(),
                 day.isValid() ? (" for " + day.toString(Qt::ISODate).toStdString()).c_str() : "");
    return 0;
}
