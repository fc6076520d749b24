#pragma once
// python3-hl7's MLLP server (tests/hl7/hl7_server.py) for the tests: started on a free port of
// 127.0.0.1, answering as `answer` says, each message it read given back as parsed JSON.

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

class CHisServer {
public:
    explicit CHisServer(const char* answer) {
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments({QStringLiteral(VELMORA_SOURCE_DIR "/tests/hl7/hl7_server.py"),
                                QStringLiteral("--answer"), QLatin1String(answer)});
        m_process.start();
        const QByteArray ready = Line("ready ");
        m_nPort = ready.mid(6).trimmed().toInt();
    }
    ~CHisServer() {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
    int Port() const { return m_nPort; }
    // The next line starting with prefix, waiting up to ten seconds for it.
    QByteArray Line(const char* prefix) {
        QDeadlineTimer deadline(10000);
        for (;;) {
            while (m_process.canReadLine()) {
                const QByteArray line = m_process.readLine();
                if (line.startsWith(prefix))
                    return line;
            }
            if (deadline.hasExpired() || !m_process.waitForReadyRead(int(deadline.remainingTime())))
                return {};
        }
    }
    QJsonObject Message() {
        const QByteArray line = Line("message ");
        return QJsonDocument::fromJson(line.mid(8)).object();
    }

private:
    QProcess m_process;
    int m_nPort = 0;
};
