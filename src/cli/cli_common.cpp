#include "cli/cli_common.h"

#include "cli/options.h"
#include "config/ini.h"
#include "platform/cp1251.h"
#include "platform/printable_text.h"

#include <QByteArray>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace {

volatile std::sig_atomic_t g_bInterrupted = 0;

extern "C" void OnInterrupt(int) {
    g_bInterrupted = 1;
}

} // namespace

void Message(const char* command, const std::string& text) {
    // Messages carry file names, paths and texts from files: shown escaped, never raw.
    std::fprintf(stderr, "velmora-cli %s: %s\n", command, PrintableName(text).c_str());
}

bool OpenRecord(const char* command, const QString& path, CLoadedRecord* doc,
                const RecordFileType** pType) {
    std::string error;
    if (OpenRecordFile(path, *doc, &error, pType))
        return true;
    Message(command, error);
    return false;
}

std::string PrintableText(const char* text, size_t size) {
    return PrintableName(FromCp1251(QByteArray(text, qsizetype(strnlen(text, size)))))
        .toStdString();
}

bool UseSettingsFile(const char* command, const QString& path) {
    QString why;
    if (!CheckSettingsFile(path, &why)) {
        Message(command, why.toStdString());
        return false;
    }
    SetIniFileOverride(path);
    return true;
}

void CatchInterrupts() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool Interrupted() {
    return g_bInterrupted != 0;
}

int ParseRecordCommand(const char* command, const char* usage, const QStringList& args,
                       COptions& opts) {
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 1) {
        Message(command,
                error.isEmpty() ? std::string("give one record file") : error.toStdString());
        std::fputs(usage, stderr);
        return 1;
    }
    if (opts.Has("help")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (opts.Positional().isEmpty()) {
        Message(command, "give the record file");
        return 1;
    }
    return -1;
}
