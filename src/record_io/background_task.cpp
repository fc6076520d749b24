#include "record_io/background_task.h"

#include "record_io/interchange_helper.h"

#include <QMetaObject>

CBackgroundTask::CBackgroundTask(QObject* parent) : QObject(parent) {}

CBackgroundTask::~CBackgroundTask() {
    // The queued result dies with this object: Qt drops the events posted to it.
    Cancel();
    if (m_thread.joinable())
        m_thread.join();
}

bool CBackgroundTask::Start(Work work) {
    if (IsRunning())
        return false;
    m_cancel = false;
    m_thread = std::thread([this, work = std::move(work)] {
        auto outcome = std::make_shared<Outcome>();
        {
            CHelperCancelScope scope(m_cancel);
            outcome->ok = work(&outcome->why);
            if (!outcome->ok && m_cancel)
                outcome->why = "cancelled";
        }
        QMetaObject::invokeMethod(
            this, [this, outcome] { OnDone(outcome); }, Qt::QueuedConnection);
    });
    return true;
}

void CBackgroundTask::Cancel() {
    m_cancel = true;
}

void CBackgroundTask::OnDone(const std::shared_ptr<Outcome>& outcome) {
    if (m_thread.joinable())
        m_thread.join(); // it has posted its result: its last act
    emit Finished(outcome->ok, QString::fromStdString(outcome->why));
}
