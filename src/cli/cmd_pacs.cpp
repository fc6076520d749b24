// velmora-cli pacs: the patient's earlier ECGs in the hospital's archive (a PACS): the studies
// that hold one (C-FIND), and a study's ECG objects fetched into our archive (C-GET), where
// `compare --archive-id` and the window's comparison find them as the previous record.

#include "archive/archive_priors.h"
#include "archive/archive_store.h"
#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "config/view_settings.h"
#include "record_io/record_pacs.h"
#include "record_io/record_priors.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <string>

namespace {

const char kPacsUsage[] =
    "usage: velmora-cli pacs find --id ID [--json] [--pacs HOST:PORT] [--aet TITLE]\n"
    "                             [--our-aet TITLE] [--config INI]\n"
    "       velmora-cli pacs get STUDY_UID... [--archive FILE | --db URL] [--pacs HOST:PORT]\n"
    "                             [--aet TITLE] [--our-aet TITLE] [--config INI]\n"
    "\n"
    "The patient's earlier ECGs in the PACS. find lists the studies of patient ID that hold an\n"
    "ECG (C-FIND), the newest first: study UID, date and time, the patient's name, birth date\n"
    "and sex, the accession number and the number of ECG objects; --json prints one JSON object\n"
    "per line (study_uid, date, time, patient (the card's fields as 'info --json' names them),\n"
    "accession, ecg_count). get fetches the studies' ECG waveform objects (C-GET) and imports\n"
    "them into the archive as 'archive import' imports a .dcm file; an object there already is\n"
    "not added again. The PACS is the one of the settings file's section [PACS], as for 'store';\n"
    "the options override it.\n"
    "\n"
    "  --id ID          the patient ID the PACS files the patient under\n"
    "  --json           JSON lines instead of the table\n"
    "  --pacs HOST:PORT the PACS's host and DICOM port\n"
    "  --aet TITLE      the PACS's AE title\n"
    "  --our-aet TITLE  our own AE title\n"
    "  --archive FILE   an SQLite archive\n"
    "  --db URL         a PostgreSQL archive, postgresql://USER@HOST:PORT/DB\n"
    "  --config INI     the settings file to use\n"
    "  without --archive and --db: the archive of the settings ([Archive])\n"
    "\n"
    "exit codes: 0 done, 1 bad usage or settings, 2 PACS, helper or archive failure\n";

int Usage(const std::string& why) {
    Message("pacs", why);
    std::fputs(kPacsUsage, stderr);
    return 1;
}

// The settings' PACS with the options over it; 0, else the exit code.
int PacsSettings(const COptions& opts, CViewSettings& settings) {
    settings.UpdateIni(true);
    if (opts.Has("pacs")) {
        const QString pacs = opts.Value("pacs");
        const int colon = int(pacs.lastIndexOf(QLatin1Char(':')));
        bool ok = colon > 0;
        const int port = ok ? pacs.mid(colon + 1).toInt(&ok) : 0;
        if (!ok)
            return Usage("--pacs takes HOST:PORT, not '" + pacs.toStdString() + "'");
        settings.m_szPacsHost = pacs.left(colon);
        settings.m_nPacsPort = port;
    }
    if (opts.Has("aet"))
        settings.m_szPacsAETitle = opts.Value("aet");
    if (opts.Has("our-aet"))
        settings.m_szOwnAETitle = opts.Value("our-aet");
    if (const QString fault = PacsSettingsFault(settings); !fault.isEmpty()) {
        Message("pacs", fault.toStdString());
        return 1;
    }
    return 0;
}

QString When(const CPriorStudy& s) {
    return (s.m_strDate + QLatin1Char(' ') + s.m_strTime).trimmed();
}

QString Birth(const PATIENT_CARD& card) {
    if (card.birth_year == 0)
        return {};
    return QStringLiteral("%1-%2-%3")
        .arg(card.birth_year, 4, 10, QLatin1Char('0'))
        .arg(card.birth_month, 2, 10, QLatin1Char('0'))
        .arg(card.birth_day, 2, 10, QLatin1Char('0'));
}

int RunFind(const COptions& opts, const CViewSettings& settings) {
    std::vector<CPriorStudy> studies;
    std::string why;
    if (!FindPriors(settings, opts.Value("id"), studies, &why)) {
        Message("pacs", why);
        return 2;
    }
    if (opts.Has("json")) {
        for (const CPriorStudy& s : studies) {
            QJsonObject o;
            o[QStringLiteral("study_uid")] = s.m_strStudyUid;
            o[QStringLiteral("date")] = s.m_strDate;
            o[QStringLiteral("time")] = s.m_strTime;
            o[QStringLiteral("patient")] = ArchiveCardJson(s.m_Card);
            o[QStringLiteral("name")] = s.m_strName;
            o[QStringLiteral("accession")] = s.m_strAccession;
            o[QStringLiteral("ecg_count")] = s.m_nEcgInstances;
            std::printf("%s\n", QJsonDocument(o).toJson(QJsonDocument::Compact).constData());
        }
        return 0;
    }
    std::printf("%-19s  %-28s  %-10s  %-3s  %-16s  %4s  %s\n", "date", "patient", "born", "sex",
                "accession", "ECGs", "study UID");
    for (const CPriorStudy& s : studies) {
        const char* sex = s.m_Card.sex == 1 ? "M" : s.m_Card.sex == 0 ? "F" : "";
        std::printf("%-19s  %-28s  %-10s  %-3s  %-16s  %4d  %s\n", qPrintable(When(s)),
                    s.m_strName.toUtf8().constData(), qPrintable(Birth(s.m_Card)), sex,
                    s.m_strAccession.toUtf8().constData(), s.m_nEcgInstances,
                    qPrintable(s.m_strStudyUid));
    }
    std::fprintf(stderr, "velmora-cli pacs: %d studies with an ECG of patient %s\n",
                 int(studies.size()), opts.Value("id").toUtf8().constData());
    return 0;
}

int RunGet(const COptions& opts, const CViewSettings& settings) {
    CArchive archive;
    QString error;
    if (!OpenArchive(opts, archive, &error)) {
        Message("pacs", error.toStdString());
        return 2;
    }
    CFetchedPriors fetched;
    std::string why;
    const bool ok =
        FetchPriorsIntoArchive(settings, opts.Positional().mid(1), archive, &fetched, &why);
    if (fetched.m_nFetched > 0)
        Message("pacs", std::to_string(fetched.m_nFetched) + " ECG objects fetched, " +
                            std::to_string(fetched.m_nImported) + " imported, " +
                            std::to_string(fetched.m_nAlreadyThere) + " already in the archive");
    if (!ok) {
        Message("pacs", why);
        return 2;
    }
    if (fetched.m_nImported == 0)
        Message("pacs", "nothing added: every ECG of the study is already in the archive");
    return 0;
}

} // namespace

int RunPacs(const QStringList& args) {
    COptions opts({"id", "pacs", "aet", "our-aet", "config", "archive", "db"}, {"json", "help"});
    QString error;
    if (!opts.Parse(args, &error))
        return Usage(error.toStdString());
    if (opts.Has("help")) {
        std::fputs(kPacsUsage, stdout);
        return 0;
    }
    const QStringList pos = opts.Positional();
    const QString verb = pos.value(0);
    if (verb == QLatin1String("find") && (pos.size() != 1 || opts.Value("id").trimmed().isEmpty()))
        return Usage("find takes --id ID and nothing else");
    if (verb == QLatin1String("get") && pos.size() < 2)
        return Usage("get takes the study UIDs");
    if (verb != QLatin1String("find") && verb != QLatin1String("get"))
        return Usage("give find or get");
    if (opts.Has("config") && !UseSettingsFile("pacs", opts.Value("config")))
        return 2;
    CViewSettings settings;
    if (const int code = PacsSettings(opts, settings))
        return code;
    return verb == QLatin1String("find") ? RunFind(opts, settings) : RunGet(opts, settings);
}
