#pragma once
// The one QApplication the command tests share, made on first use: the commands' dialogs and
// printers need one, nothing is painted on a screen.

#include <QApplication>

inline void EnsureApp() {
    static int argc = 1;
    static char name[] = "commands_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);
}
