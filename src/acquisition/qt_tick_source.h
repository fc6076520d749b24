#pragma once
// The acquisition timer of the programs: a QTimer on the thread's event loop that calls the
// session's timer handler with the timer id.

#include "acquisition/acquisition_session.h"

#include <QTimer>
#include <functional>

class CQtTickSource : public ITickSource {
public:
    // onTick runs on every timeout with the timer id.
    explicit CQtTickSource(std::function<void(int)> onTick) : m_onTick(std::move(onTick)) {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { m_onTick(kTimerId); });
    }
    int StartTimer(int periodMs) override {
        m_timer.start(periodMs);
        return kTimerId;
    }
    void StopTimer() override { m_timer.stop(); }
    bool IsRunning() const { return m_timer.isActive(); }

private:
    QTimer m_timer;
    std::function<void(int)> m_onTick;
};
