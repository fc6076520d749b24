// velmora-cli store: a record sent to the hospital's archive (a PACS) as the record window's
// "Отправить в PACS" sends it: as a DICOM ECG object with its printed report beside it (an
// encapsulated PDF in the same study), by C-STORE. A DICOM file goes as it stands.

#include "cli/cli_common.h"
#include "cli/cli_report.h"
#include "cli/cli_worklist.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/record_output.h"
#include "config/view_settings.h"
#include "record_io/record_pacs.h"

#include <cstdio>
#include <string>

namespace {

const char kStoreUsage[] =
    "usage: velmora-cli store RECORD [--card CARD] [--no-report] [--pacs HOST:PORT]\n"
    "                         [--aet TITLE] [--our-aet TITLE] [--config INI]\n"
    "                         [--accession NUMBER [--worklist [AET@]HOST:PORT]]\n"
    "       velmora-cli store --echo [--pacs HOST:PORT] [--aet TITLE] [--config INI]\n"
    "\n"
    "Sends a record file to the PACS (C-STORE). A DICOM file (.dcm) is sent as it stands, with\n"
    "its own UIDs, once the helper has found it a DICOM ECG object it can read (nothing is sent\n"
    "otherwise). Any other type that opens is sent as a DICOM 12-lead ECG object, with the\n"
    "patient card of --card or else the one the file holds, and its printed report (as\n"
    "'velmora-cli report' prints it) as an encapsulated PDF in the same study, for viewers that\n"
    "draw no waveform; --no-report sends the ECG alone. A .dcm file with --card is written\n"
    "anew from its record with that card, as any other type (a new object: new UIDs). The PACS\n"
    "is the one of the settings file's section [PACS] (m_szPacsHost, m_nPacsPort,\n"
    "m_szPacsAETitle, m_szOwnAETitle, m_nPacsTimeout); the options override it. --echo only\n"
    "checks the link (C-ECHO).\n"
    "\n"
    "  --card CARD      the patient card: a UTF-8 file of 'key = value' lines (see README.md)\n"
    "  --no-report      send the ECG without its printed report\n"
    "  --pacs HOST:PORT the PACS's host and DICOM port\n"
    "  --aet TITLE      the PACS's AE title\n"
    "  --our-aet TITLE  our own AE title\n"
    "  --config INI     the settings file to use\n"
    "  --echo           check the link only\n" VELMORA_ORDER_OPTIONS_HELP
    "                   (a .dcm file bound to an order is written anew with it)\n"
    "\n"
    "A record whose card has no surname is not sent (exit code 1): the PACS files what it keeps\n"
    "by the patient.\n"
    "\n"
    "exit codes: 0 stored (or answered), 1 bad usage or a card without the patient's surname,\n"
    "            2 file, settings or PACS failure\n";

void Message(const std::string& text) {
    ::Message("store", text);
}

} // namespace

int RunStore(const QStringList& args) {
    COptions opts({"card", "pacs", "aet", "our-aet", "config", "accession", "worklist"},
                  {"echo", "no-report", "help"});
    QString error;
    const bool bEcho = opts.Parse(args, &error) && opts.Has("echo");
    if (!error.isEmpty() || opts.Positional().size() > (bEcho ? 0 : 1)) {
        Message(error.isEmpty()
                    ? std::string(bEcho ? "--echo takes no record file" : "give one record file")
                    : error.toStdString());
        std::fputs(kStoreUsage, stderr);
        return 1;
    }
    if (opts.Has("help")) {
        std::fputs(kStoreUsage, stdout);
        return 0;
    }
    if (!bEcho && opts.Positional().isEmpty()) {
        Message("give the record file");
        return 1;
    }
    if (opts.Has("config") && !UseSettingsFile("store", opts.Value("config")))
        return 2;
    CViewSettings settings;
    settings.UpdateIni(true);
    if (opts.Has("pacs")) {
        const QString pacs = opts.Value("pacs");
        const int colon = pacs.lastIndexOf(QLatin1Char(':'));
        bool ok = colon > 0;
        const int port = ok ? pacs.mid(colon + 1).toInt(&ok) : 0;
        if (!ok) {
            Message("--pacs takes HOST:PORT, not '" + pacs.toStdString() + "'");
            return 1;
        }
        settings.m_szPacsHost = pacs.left(colon);
        settings.m_nPacsPort = port;
    }
    if (opts.Has("aet"))
        settings.m_szPacsAETitle = opts.Value("aet");
    if (opts.Has("our-aet"))
        settings.m_szOwnAETitle = opts.Value("our-aet");
    if (const QString fault = PacsSettingsFault(settings); !fault.isEmpty()) {
        Message(fault.toStdString());
        return 1;
    }

    CPacsJob job;
    std::string why;
    const std::string where = settings.m_szPacsAETitle.toStdString() + "@" +
                              settings.m_szPacsHost.toStdString() + ":" +
                              std::to_string(settings.m_nPacsPort);
    if (bEcho) {
        if (!job.StartEcho(settings, &why) || !job.Wait(&why)) {
            Message(why);
            return 2;
        }
        Message("the PACS " + where + " answers");
        return 0;
    }
    const QString path = opts.Positional().first();
    // A DICOM object goes as it stands, whatever its name; a .dcm that is nothing else too, so
    // that the helper's check says what is wrong with it.
    const RecordFileType* dicom = RecordFileTypeOf(QStringLiteral(".dcm"));
    const RecordFileType* type = RecordFileTypeOfFile(path, &why);
    const bool bAsItStands = !opts.Has("card") && !opts.Has("accession") &&
                             (type ? type == dicom : RecordFileTypeOf(path) == dicom);
    if (!bAsItStands && !opts.Has("no-report") && !CliDrawsReports())
        return RunThisInFull("store");
    CWorklistEntry ordered;
    const int bound = FindOrderedEntry("store", opts, &ordered);
    if (bound > 0)
        return bound;
    std::string what;
    if (bAsItStands) {
        if (!job.StartStoreFile(settings, path, &why) || !job.Wait(&why)) {
            Message(why);
            return 2;
        }
        what = path.toStdString();
    } else {
        CLoadedRecord doc;
        if (!OpenRecord("store", path, &doc))
            return 2;
        CRecordOutput output;
        if (const int code =
                PrepareRecordOutput("store", QStringLiteral("record.dcm"), opts.Value("card"),
                                    &output, &doc.card, bound == 0 ? &ordered : nullptr))
            return code;
        if (const std::string fault = PacsCardFault(output.m_Card); !fault.empty()) {
            Message(fault);
            return 1;
        }
        CStatementSettings how;
        how.m_Order = output.m_Order;
        if (!opts.Has("no-report"))
            how.m_MakeReportPdf = CliReportPdfMaker(how, doc.absentLanes);
        if (!job.StartStore(settings, *doc.pRecord, output.m_Card, &why, how) || !job.Wait(&why)) {
            Message(why);
            return 2;
        }
        what = "record " + PrintableText(doc.pRecord->date, sizeof doc.pRecord->date);
    }
    const std::string report =
        job.StoredReportInstance().isEmpty()
            ? std::string()
            : ", its report as instance " + job.StoredReportInstance().toStdString();
    Message(what + " stored in the PACS " + where + " as instance " +
            job.StoredInstance().toStdString() + report);
    return 0;
}
