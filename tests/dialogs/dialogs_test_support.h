#pragma once
// What the dialog tests share: the one QApplication of the program, and a clean history profile.

#include <QApplication>
#include <QSettings>
#include <gtest/gtest.h>

inline QApplication* App() {
    static int argc = 1;
    static char name[] = "dialogs_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

// The per-user profile the histories live in (the test main gives it a private folder).
inline QSettings Profile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmora"),
                     QStringLiteral("velmora"));
}

// Every test starts with an application and without any history.
class HistoryProfileTest : public testing::Test {
protected:
    void SetUp() override {
        App();
        QSettings profile = Profile();
        profile.remove(QStringLiteral("HistoryCombos"));
        profile.sync();
    }

    static QString Entry(const QString& key) {
        return Profile().value(QStringLiteral("HistoryCombos/") + key).toString();
    }
    static bool HasEntry(const QString& key) {
        return Profile().contains(QStringLiteral("HistoryCombos/") + key);
    }
    static void SetEntry(const QString& key, const QString& value) {
        QSettings profile = Profile();
        profile.setValue(QStringLiteral("HistoryCombos/") + key, value);
        profile.sync();
    }
};
