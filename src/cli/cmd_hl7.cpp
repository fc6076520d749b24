// velmora-cli hl7: a record's result sent to the hospital information system as an HL7 ORU^R01
// message over MLLP, through the outbox that keeps it until the system acknowledges it.

#include "archive/archive_store.h"
#include "cli/cli_common.h"
#include "cli/cli_worklist.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "config/view_settings.h"
#include "record_io/record_hl7.h"
#include "report/report_file.h"
#include "storage/card_file.h"

#include <QFile>
#include <cstdio>
#include <string>

namespace {

const char kHl7Usage[] =
    "usage: velmora-cli hl7 RECORD [--to HOST:PORT] [--card CARD] [--accession NUMBER]\n"
    "                       [--worklist [AET@]HOST:PORT] [--timeout S] [--config INI]\n"
    "       velmora-cli hl7 --archive-id ID [--archive FILE] [--to HOST:PORT] ...\n"
    "       velmora-cli hl7 --outbox\n"
    "       velmora-cli hl7 --retry [--to HOST:PORT] [--timeout S] [--config INI]\n"
    "\n"
    "Sends a record's result to the hospital information system as an HL7 v2.5.1 ORU^R01\n"
    "message over MLLP: the patient of the card, the measurements under their LOINC codes, the\n"
    "statements, and the report as `velmora-cli report` prints it (PDF). The automatic statements\n"
    "go as preliminary (P); an archived record a doctor has confirmed goes with that reading as\n"
    "final (F). The message is kept in the outbox (~/.local/share/velmora/hl7-outbox) first and\n"
    "leaves it only once the system acknowledges it (AA); every send tries the waiting ones\n"
    "first. The system is the one of the settings file's section [HIS] (m_szHisHost,\n"
    "m_nHisPort, m_szHisApplication, m_szHisFacility, m_szHisOwnFacility, m_nHisTimeout).\n"
    "\n"
    "  --to HOST:PORT     the system's host and MLLP port\n"
    "  --card CARD        the patient card (see README.md) instead of the one the record has\n"
    "  --accession NUMBER the order's accession number (ORC, OBR-2/3); when a worklist server is\n"
    "                     known (--worklist, or [PACS] m_szWorklistHost), the result is bound to\n"
    "                     that worklist entry: its patient fills the card and OBR-4 names its\n"
    "                     procedure; no such entry: nothing is sent (exit code 2)\n"
    "  --worklist [AET@]HOST:PORT the worklist server\n"
    "  --archive-id ID    the archived record ID, with its doctor's reading when confirmed\n"
    "  --archive FILE     the archive (SQLite file) of --archive-id; default: the settings'\n"
    "  --timeout S        seconds to wait for the connection and for the answer (default 30)\n"
    "  --config INI       the settings file to use\n"
    "  --outbox           list the messages waiting in the outbox\n"
    "  --retry            send the waiting messages again\n"
    "\n"
    "A record whose card has neither the patient's surname nor the medical record number\n"
    "is not sent.\n"
    "\n"
    "exit codes: 0 acknowledged (or the outbox listed, or emptied), 1 bad usage or no patient,\n"
    "            2 a file failure, a refusal or no acknowledgement (the message stays in the\n"
    "            outbox)\n";

void Message(const std::string& text) {
    ::Message("hl7", text);
}

// Sends what waits in the outbox, saying what became of each; true when `mine` (if any) was
// delivered, else when the outbox is empty.
bool FlushOutbox(CHl7Outbox& outbox, const CMllpLink& link, const std::string& mine) {
    const CHl7SendReport sent = SendHl7Outbox(outbox, link, mine);
    for (const CHl7Outcome& o : sent.outcomes) {
        if (o.bDelivered)
            Message("message " + o.controlId + " acknowledged by " + link.host + ":" +
                    std::to_string(link.port));
        else
            Message("message " + o.controlId + " not delivered: " + o.error);
    }
    if (!mine.empty() && !sent.bMineTried)
        Message("message " + mine + " not tried: the earlier ones were not delivered");
    if (sent.nLeft)
        Message(std::to_string(sent.nLeft) + " message(s) wait in the outbox " +
                outbox.Folder().toStdString());
    return sent.bDone;
}

bool LoadFromArchive(const QString& file, const QString& idText, const CViewSettings& settings,
                     CLoadedRecord* doc, CDoctorReading* reading) {
    bool ok = false;
    const qint64 id = idText.toLongLong(&ok);
    if (!ok || id <= 0) {
        Message("--archive-id takes a record's number, not '" + idText.toStdString() + "'");
        return false;
    }
    CArchiveLocation where;
    QString error;
    if (file.isEmpty()) {
        if (!CArchiveLocation::FromSettings(settings, where, &error)) {
            Message(error.toStdString());
            return false;
        }
    } else {
        where.file = file;
    }
    CArchive archive;
    QString type;
    if (!archive.Open(where, &error) || !archive.Load(id, *doc, &type, &error) ||
        !archive.CurrentReading(id, *reading, &error)) {
        Message(error.toStdString());
        return false;
    }
    return true;
}

} // namespace

int RunHl7(const QStringList& args) {
    COptions opts(
        {"to", "card", "accession", "worklist", "archive", "archive-id", "timeout", "config"},
        {"outbox", "retry", "help"});
    QString error;
    if (!opts.Parse(args, &error)) {
        Message(error.toStdString());
        std::fputs(kHl7Usage, stderr);
        return 1;
    }
    if (opts.Has("help")) {
        std::fputs(kHl7Usage, stdout);
        return 0;
    }
    const bool bList = opts.Has("outbox"), bRetry = opts.Has("retry");
    const bool bArchived = opts.Has("archive-id");
    const qsizetype nFiles = opts.Positional().size();
    if ((bList || bRetry) ? nFiles != 0 || bArchived || (bList && bRetry)
                          : nFiles != (bArchived ? 0 : 1)) {
        Message(bList || bRetry ? "--outbox and --retry take no record"
                                : "give one record file or --archive-id");
        std::fputs(kHl7Usage, stderr);
        return 1;
    }
    CHl7Outbox outbox(CHl7Outbox::DefaultFolder());
    if (bList) {
        const std::vector<CHl7Pending> pending = outbox.List();
        for (const CHl7Pending& p : pending)
            std::printf("%s\t%lld bytes\t%s\n", p.controlId.c_str(), (long long)p.bytes,
                        p.keptAt.toUtf8().constData());
        Message(std::to_string(pending.size()) + " message(s) in the outbox " +
                outbox.Folder().toStdString());
        return 0;
    }

    if (opts.Has("config") && !UseSettingsFile("hl7", opts.Value("config")))
        return 2;
    CViewSettings settings;
    settings.UpdateIni(true);
    CMllpLink link = HisLinkOf(settings);
    if (opts.Has("to")) {
        const QString to = opts.Value("to");
        const int colon = to.lastIndexOf(QLatin1Char(':'));
        bool ok = colon > 0;
        const int port = ok ? to.mid(colon + 1).toInt(&ok) : 0;
        if (!ok || port <= 0 || port > 65535) {
            Message("--to takes HOST:PORT, not '" + to.toStdString() + "'");
            return 1;
        }
        link.host = to.left(colon).toStdString();
        link.port = port;
    }
    if (opts.Has("timeout") && !opts.Int("timeout", 1, 3600, &link.timeoutSeconds, &error)) {
        Message(error.toStdString());
        return 1;
    }
    if (link.host.empty()) {
        Message("no hospital system: give --to HOST:PORT or set m_szHisHost in [HIS]");
        return 1;
    }
    if (bRetry)
        return FlushOutbox(outbox, link, {}) ? 0 : 2;

    // With a worklist to ask, the accession number binds the result to that order (its patient
    // and procedure); without one it is taken as given.
    CWorklistEntry ordered;
    const bool bAskWorklist =
        opts.Has("accession") && (opts.Has("worklist") || !settings.m_szWorklistHost.isEmpty());
    if (bAskWorklist) {
        if (const int code = FindOrderedEntry("hl7", opts, &ordered); code > 0)
            return code;
    } else if (opts.Has("worklist")) {
        Message("--worklist goes with --accession");
        return 1;
    }
    CLoadedRecord doc;
    CDoctorReading reading;
    if (bArchived) {
        if (!LoadFromArchive(opts.Value("archive"), opts.Value("archive-id"), settings, &doc,
                             &reading))
            return 2;
    } else if (!OpenRecord("hl7", opts.Positional().first(), &doc)) {
        return 2;
    }
    if (opts.Has("card")) {
        std::string why;
        if (!LoadCardFile(QFile::encodeName(opts.Value("card")).toStdString(), &doc.card, &why)) {
            Message(why);
            return 1;
        }
    }
    if (bAskWorklist)
        ApplyWorklistPatient(ordered, doc.card);
    if (const std::string fault = Hl7CardFault(doc.card); !fault.empty()) {
        Message(fault + ": give --card");
        return 1;
    }
    // The report as `velmora-cli report` makes it, its measurements and statements the
    // message's, so that both say the same.
    CStatementSettings how;
    how.m_Settings.practice = analysis::RatePracticeOf(settings.m_szRatePractice.toStdString());
    how.m_pReading = &reading;
    // The order: the worklist's for --accession, else the number as given, else the one the
    // archive keeps with the record.
    if (bAskWorklist)
        how.m_Order = ordered.m_Order;
    else if (const std::string given = opts.Value("accession").trimmed().toStdString();
             !given.empty())
        how.m_Order.m_strAccession = given;
    else
        how.m_Order = doc.order;
    how.m_MakeReportPdf = ReportPdfMakerFor(settings.m_attrOrg, how, doc.absentLanes);
    std::string controlId, why;
    bool bFinal = false;
    if (!KeepHl7Result(outbox, settings, *doc.pRecord, doc.card, how, &controlId, &bFinal, &why)) {
        Message(why);
        return 2;
    }
    Message(std::string(bFinal ? "final" : "preliminary") + " result " + controlId +
            " kept in the outbox until acknowledged");
    return FlushOutbox(outbox, link, controlId) ? 0 : 2;
}
