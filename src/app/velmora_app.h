#pragma once
// The application object: profile names, the main frame, start-up and shutdown.

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

    // Qt's own Russian texts for the standard dialogs and buttons (Debian's
    // qt6-translations-l10n); false when the file is not there, and they stay English.
    static bool LoadQtTranslation(QCoreApplication& app);

private:
    std::unique_ptr<CMainFrame> m_pMainFrame;
};
