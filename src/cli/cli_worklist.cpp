#include "cli/cli_worklist.h"

#include "cli/cli_common.h"
#include "cli/options.h"
#include "config/view_settings.h"

#include <QDate>

int WorklistServerFromOptions(const char* command, const COptions& opts, const char* aetOption,
                              CWorklistServer* server) {
    CViewSettings settings;
    settings.UpdateIni(true);
    *server = WorklistServerOf(settings);
    if (opts.Has("worklist")) {
        QString where = opts.Value("worklist");
        if (const qsizetype at = where.indexOf(QLatin1Char('@')); at >= 0) {
            server->m_strAETitle = where.left(at);
            where = where.mid(at + 1);
        }
        const qsizetype colon = where.lastIndexOf(QLatin1Char(':'));
        bool ok = colon > 0;
        const int port = ok ? where.mid(colon + 1).toInt(&ok) : 0;
        if (!ok) {
            Message(command, "--worklist takes [AET@]HOST:PORT, not '" +
                                 opts.Value("worklist").toStdString() + "'");
            return 1;
        }
        server->m_strHost = where.left(colon);
        server->m_nPort = port;
    }
    if (aetOption && opts.Has(QLatin1String(aetOption)))
        server->m_strAETitle = opts.Value(QLatin1String(aetOption));
    if (const QString fault = WorklistServerFault(*server); !fault.isEmpty()) {
        Message(command,
                fault.toStdString() + (server->m_strHost.isEmpty()
                                           ? " (give --worklist HOST:PORT or set m_szWorklistHost)"
                                           : ""));
        return 1;
    }
    return 0;
}

int FindOrderedEntry(const char* command, const COptions& opts, CWorklistEntry* entry) {
    if (!opts.Has("accession")) {
        if (opts.Has("worklist")) {
            Message(command, "--worklist goes with --accession");
            return 1;
        }
        return -1;
    }
    const std::string accession = opts.Value("accession").trimmed().toStdString();
    if (accession.empty()) {
        Message(command, "--accession takes the order's number");
        return 1;
    }
    CWorklistServer server;
    if (const int code = WorklistServerFromOptions(command, opts, nullptr, &server))
        return code;
    std::vector<CWorklistEntry> entries;
    std::string why;
    if (!QueryWorklist(server, QDate(), &entries, &why)) {
        Message(command, why);
        return 2;
    }
    const CWorklistEntry* found = FindWorklistEntry(entries, accession);
    if (!found) {
        Message(command, "the worklist at " + server.m_strHost.toStdString() + ":" +
                             std::to_string(server.m_nPort) + " has no ECG ordered under the " +
                             "accession number " + accession + "; nothing written");
        return 2;
    }
    *entry = *found;
    return 0;
}
