#include "app/velmora_app.h"

#include "app/main_frame.h"

#include <QIcon>

CvelmoraApp::CvelmoraApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The per-user profile (record folder, combo histories, COM numbers) lives under this name.
    setOrganizationName(QStringLiteral("velmora"));
    setApplicationName(QStringLiteral("velmora"));
    setApplicationDisplayName(QString());
    setDesktopFileName(QStringLiteral("velmora"));
    setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
}

CvelmoraApp::~CvelmoraApp() = default;

bool CvelmoraApp::InitInstance() {
    m_pMainFrame = std::make_unique<CMainFrame>();
    if (!m_pMainFrame->OnCreate())
        return false;
    m_pMainFrame->resize(1200, 800);
    m_pMainFrame->show();
    return true;
}

int CvelmoraApp::ExitInstance() {
    m_pMainFrame.reset();
    return 0;
}
