#pragma once
// The one QApplication a test program of widgets, dialogs or commands shares, made on first use.

#include <QApplication>

inline void EnsureApp() {
    static int argc = 1;
    static char name[] = "velmora_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}
