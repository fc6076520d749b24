#pragma once
// The application object: profile names, the main frame, start-up and shutdown.

#include "platform/ui_language.h"

#include <QApplication>
#include <memory>

class CMainFrame;

class CvelmoraApp : public QApplication {
public:
    CvelmoraApp(int& argc, char** argv);
    ~CvelmoraApp() override;

    // Builds and shows the main window; false stops the program.
    bool InitInstance();
    int ExitInstance();
    CMainFrame* MainFrame() const { return m_pMainFrame.get(); }

    // The interface language the settings and the system's locale choose.
    static UiLanguage StartLanguage();
    // Makes `language` the interface's: the program's texts (the English translation carried
    // inside the program), the default locale (dates, numbers, the file dialog's types) and the
    // language the statements are shown in. False when the translation cannot be loaded; the
    // interface then stays Russian.
    static bool InstallLanguage(QCoreApplication& app, UiLanguage language);
    // Qt's own texts for the standard dialogs and buttons in the interface's language (Debian's
    // qt6-translations-l10n); false when the file is not there, and they stay English.
    static bool LoadQtTranslation(QCoreApplication& app);

private:
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
