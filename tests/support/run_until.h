#pragma once
// Runs the event loop until a condition holds or a deadline passes: for work that ends on its own
// time (a file written off the window's thread, a send), never a fixed sleep.

#include <QElapsedTimer>
#include <QtTest/QTest>
#include <functional>

// True when done() held before ms had passed.
inline bool RunUntil(const std::function<bool()>& done, int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(10);
    return done();
}
