#include "hl7/hl7_outbox.h"

#include "platform/atomic_file.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>

namespace {

const char kSuffix[] = ".hl7";

// A control id names a file: only what cannot reach outside the folder.
bool SafeId(const std::string& id) {
    if (id.empty() || id.size() > 64)
        return false;
    return std::all_of(id.begin(), id.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
               c == '-' || c == '_';
    });
}

} // namespace

CHl7Outbox::CHl7Outbox(QString folder) : m_strFolder(std::move(folder)) {}

QString CHl7Outbox::DefaultFolder() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("velmora/hl7-outbox"));
}

QString CHl7Outbox::PathOf(const std::string& controlId) const {
    return QDir(m_strFolder).filePath(QString::fromStdString(controlId) + QLatin1String(kSuffix));
}

bool CHl7Outbox::Put(const std::string& controlId, const std::string& message, std::string* error) {
    if (!SafeId(controlId)) {
        *error = "the message's control id '" + controlId + "' cannot name an outbox file";
        return false;
    }
    // Patient data: the folder is the user's alone, as the files are.
    if (!QDir().mkpath(m_strFolder)) {
        *error = "cannot create the outbox folder " + m_strFolder.toStdString();
        return false;
    }
    QFile::setPermissions(m_strFolder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return WriteFileAtomically(QFile::encodeName(PathOf(controlId)).toStdString(), message.data(),
                               message.size(), error);
}

std::vector<CHl7Pending> CHl7Outbox::List() const {
    std::vector<CHl7Pending> out;
    const QFileInfoList files =
        QDir(m_strFolder)
            .entryInfoList({QStringLiteral("*") + QLatin1String(kSuffix)}, QDir::Files, QDir::Name);
    for (const QFileInfo& f : files) {
        const std::string id = f.completeBaseName().toStdString();
        // The atomic writer's unfinished files start with a dot and never match SafeId.
        if (!SafeId(id))
            continue;
        out.push_back({id, f.filePath(), f.size(), f.lastModified().toString(Qt::ISODate)});
    }
    // Control ids begin with the time, so the name order is the order they were made in.
    return out;
}

bool CHl7Outbox::Read(const CHl7Pending& pending, std::string* message, std::string* error) const {
    QFile f(pending.path);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = "cannot read " + pending.path.toStdString() + ": " + f.errorString().toStdString();
        return false;
    }
    *message = f.readAll().toStdString();
    return true;
}

bool CHl7Outbox::Remove(const std::string& controlId, std::string* error) {
    QFile f(PathOf(controlId));
    if (f.exists() && !f.remove()) {
        *error = "cannot remove " + f.fileName().toStdString() +
                 " from the outbox: " + f.errorString().toStdString();
        return false;
    }
    return true;
}

bool CHl7Outbox::Flush(const CMllpLink& link, std::vector<CHl7Outcome>* outcomes) {
    for (const CHl7Pending& p : List()) {
        CHl7Outcome o{p.controlId, false, {}};
        std::string message;
        CHl7Ack ack;
        if (Read(p, &message, &o.error)) {
            o.bDelivered = SendHl7(link, message, p.controlId, &ack, &o.error);
            if (o.bDelivered && !Remove(p.controlId, &o.error))
                o.bDelivered = false;
        }
        outcomes->push_back(o);
        // Only an answer (even a refusal) shows the system is there to take the next one.
        if (!o.bDelivered && ack.code.empty())
            break;
    }
    return List().empty();
}
