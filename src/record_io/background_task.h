#pragma once
// One piece of slow work (a file opened or written through the helper process) run on a thread
// of its own, so that the window's thread never waits on it: the result arrives as a signal on the
// thread that started it, and Cancel stops the helper run under way at once.

#include <QObject>
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

class CBackgroundTask : public QObject {
    Q_OBJECT
public:
    // The work: true when done, else false with the reason. It must not touch what the starting
    // thread may change meanwhile: give it copies.
    using Work = std::function<bool(std::string* error)>;

    explicit CBackgroundTask(QObject* parent = nullptr);
    // A task under way is cancelled and waited for (its helper is killed; work of our own ends
    // by itself), and its result is not reported.
    ~CBackgroundTask() override;

    // False when a task runs already.
    bool Start(Work work);
    void Cancel();
    bool IsRunning() const { return m_thread.joinable(); }

signals:
    // reason: the work's, or "cancelled" after Cancel.
    void Finished(bool bOk, const QString& reason);

private:
    struct Outcome {
        bool ok = false;
        std::string why;
    };
    void OnDone(const std::shared_ptr<Outcome>& outcome);

    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
};
