#pragma once
// The results the hospital system has not acknowledged yet: one file per message (its control id
// as the name, ".hl7"), written atomically before the first attempt, so that nothing is lost
// while the system is down or the program is stopped. Every send tries the waiting ones first,
// oldest first; a message leaves the outbox only once acknowledged with AA.

#include "hl7/mllp.h"

#include <QString>
#include <string>
#include <vector>

struct CHl7Pending {
    std::string controlId;
    QString path;
    qint64 bytes = 0;
    QString keptAt; // when the file was written, local ISO
};

// What a flush did with one message.
struct CHl7Outcome {
    std::string controlId;
    bool bDelivered = false;
    std::string error; // why it stays, when it does
};

class CHl7Outbox {
public:
    // The folder it keeps its files in (created on the first Put).
    explicit CHl7Outbox(QString folder);
    // The user's own: ~/.local/share/velmora/hl7-outbox.
    static QString DefaultFolder();
    const QString& Folder() const { return m_strFolder; }

    // Keeps a message until acknowledged; false with *error when it cannot be written.
    bool Put(const std::string& controlId, const std::string& message, std::string* error);
    // The waiting messages, oldest first.
    std::vector<CHl7Pending> List() const;
    bool Read(const CHl7Pending& pending, std::string* message, std::string* error) const;
    bool Remove(const std::string& controlId, std::string* error);

    // Sends every waiting message, oldest first, and removes the acknowledged ones. A system out
    // of reach (no connection, silence, a connection closed) stops the round: the rest would only
    // wait for the same time-out; a refusal (AE/AR) goes on with the next. True when the outbox
    // is empty afterwards.
    bool Flush(const CMllpLink& link, std::vector<CHl7Outcome>* outcomes);

private:
    QString PathOf(const std::string& controlId) const;

    QString m_strFolder;
};
