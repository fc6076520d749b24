// velmora-cli export: saves a record file with its patient card, as the record window's save
// command does.

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/record_output.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

const char kExportUsage[] =
    "usage: velmora-cli export RECORD.dat --card CARD --out FILE\n"
    "\n"
    "Saves a record file (the 112552-byte record block that 'receive' writes) with the\n"
    "patient card's texts. The output type follows the extension of FILE:\n"
    "%s"
    "An existing FILE is replaced only when the new one is complete.\n"
    "\n"
    "  --card CARD    the patient card: a UTF-8 file of 'key = value' lines (see README.md)\n"
    "  --out FILE     the file to write\n"
    "\n"
    "exit codes: 0 written, 1 bad usage or an incomplete card, 2 file failure\n";

void Message(const std::string& text) {
    ::Message("export", text);
}

} // namespace

int RunExport(const QStringList& args) {
    const char* cmd = "export";
    COptions opts({"card", "out"}, {"help"});
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 1) {
        Message(error.isEmpty() ? "give one record file" : error.toStdString());
        std::fprintf(stderr, kExportUsage, RecordOutputTypesHelp());
        return 1;
    }
    if (opts.Has("help")) {
        std::printf(kExportUsage, RecordOutputTypesHelp());
        return 0;
    }
    if (opts.Positional().isEmpty()) {
        Message("give the record file");
        return 1;
    }
    CRecordOutput output;
    if (const int code = PrepareRecordOutput(cmd, opts.Value("out"), opts.Value("card"), &output))
        return code;

    auto record = std::make_unique<ECG_RECORD>();
    if (!ReadRecordFile(cmd, opts.Positional().first(), record.get()))
        return 2;
    return SaveRecordOutput(cmd, output, *record) ? 0 : 2;
}
