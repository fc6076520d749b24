#include "cli/cli_common.h"

#include <QByteArray>
#include <QFile>
#include <algorithm>
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
    std::fprintf(stderr, "velmora-cli %s: %s\n", command, text.c_str());
}

bool ReadRecordFile(const char* command, const QString& path, ECG_RECORD* record) {
    QFile file(path);
    const auto failed = [&] {
        Message(command,
                "cannot read " + path.toStdString() + ": " + file.errorString().toStdString());
        return false;
    };
    if (!file.open(QIODevice::ReadOnly))
        return failed();
    // One byte more than a record tells a longer file from a record.
    const QByteArray bytes = file.read(qint64(sizeof(ECG_RECORD)) + 1);
    if (file.error() != QFileDevice::NoError)
        return failed();
    if (bytes.size() != qsizetype(sizeof(ECG_RECORD))) {
        Message(command, path.toStdString() + " is not a record file: a record is exactly " +
                             std::to_string(sizeof(ECG_RECORD)) + " bytes, this one is " +
                             std::to_string(std::max(file.size(), qint64(bytes.size()))));
        return false;
    }
    std::memcpy(record, bytes.constData(), sizeof(ECG_RECORD));
    return true;
}

void CatchInterrupts() {
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool Interrupted() {
    return g_bInterrupted != 0;
}
