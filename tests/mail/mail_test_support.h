#pragma once
// Shared pieces of the mail tests: an application object for the event loops, polling with a
// deadline, and Python's email package as the independent reader of what we write.

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QTimer>
#include <functional>

inline QCoreApplication& TestApp() {
    static int argc = 1;
    static char name[] = "mail_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return *app;
}

inline QString MailTestDir() {
    return QStringLiteral(VELMORA_SOURCE_DIR "/tests/mail");
}

// Runs the caller's event loop until cond holds or ms have passed; the result of cond.
inline bool WaitUntil(const std::function<bool()>& cond, int ms = 30000) {
    TestApp();
    QElapsedTimer clock;
    clock.start();
    while (!cond()) {
        if (clock.elapsed() > ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// parse_message.py's view of a message file.
inline QJsonObject ParseWithPython(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {MailTestDir() + QStringLiteral("/parse_message.py"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}
