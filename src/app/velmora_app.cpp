#include "app/velmora_app.h"

#include "app/main_frame.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

CvelmoraApp::CvelmoraApp(int& argc, char** argv) : QApplication(argc, argv) {
    // The per-user profile (record folder, combo histories, COM numbers) lives under this name.
    setOrganizationName(QStringLiteral("velmora"));
    setApplicationName(QStringLiteral("velmora"));
    setApplicationDisplayName(QString());
    setDesktopFileName(QStringLiteral("velmora"));
    setWindowIcon(QIcon(QStringLiteral(":/velmora/velmora.png")));
}

bool CvelmoraApp::LoadQtTranslation(QCoreApplication& app) {
    // The program speaks Russian whatever the system's locale, its standard dialogs too.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QStringLiteral("qtbase_ru"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

CvelmoraApp::~CvelmoraApp() = default;

bool CvelmoraApp::InitInstance() {
    m_pMainFrame = std::make_unique<CMainFrame>();
    if (!m_pMainFrame->OnCreate())
        return false;
    m_pMainFrame->resize(1200, 800);
    m_pMainFrame->show();
    // Qt's texts are first needed by a dialog, never by the window itself: loaded once the
    // window is up, so that they do not delay it.
    QTimer::singleShot(0, this, [this] { LoadQtTranslation(*this); });
    QTimer::singleShot(0, m_pMainFrame.get(), &CMainFrame::OfferDoctorAccount);
    return true;
}

int CvelmoraApp::ExitInstance() {
    m_pMainFrame.reset();
    return 0;
}
