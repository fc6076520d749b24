#pragma once
// The one QApplication the widget tests share, made on first use.

#include <QApplication>

inline void EnsureApp() {
    static int argc = 1;
    static char name[] = "widgets_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}
