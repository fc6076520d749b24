#include "app/velmora_app.h"

#include "app/main_frame.h"

#include "config/view_settings.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
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

namespace {

// Texts of Qt's that Debian's Russian translation of Qt 6.4 does not have (they moved to a new
// context): the file dialog's type column would say "Folder" in the Russian interface.
class CQtGapsTranslator : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char* /*disambiguation*/,
                      int /*n*/) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        if (qstrcmp(source, "Folder") == 0)
            return QStringLiteral("Папка");
        if (qstrcmp(source, "Drive") == 0)
            return QStringLiteral("Диск");
        return {};
    }
};

} // namespace

UiLanguage CvelmoraApp::StartLanguage() {
    CViewSettings settings;
    settings.UpdateIni(true, nullptr); // a file that cannot be read keeps the default: the system's
    return ChosenLanguage(LanguageChoiceOf(settings.m_nLanguage), QLocale::system().name());
}

bool CvelmoraApp::InstallLanguage(QCoreApplication& app, UiLanguage language) {
    const UiLanguage requested = language;
    if (language == UiLanguage::English) {
        auto* translator = new QTranslator(&app);
        if (!translator->load(QStringLiteral(":/i18n/velmora_en.qm"))) {
            delete translator;
            language = UiLanguage::Russian;
        } else {
            QCoreApplication::installTranslator(translator);
        }
    }
    SetCurrentUiLanguage(language);
    // The system's own locale where it speaks the same language (its date order, say), else the
    // language's usual one: a Russian interface never shows "9 Dec 2026".
    const QLocale system = QLocale::system();
    const bool english = language == UiLanguage::English;
    const QLocale::Language wanted = english ? QLocale::English : QLocale::Russian;
    QLocale::setDefault(system.language() == wanted
                            ? system
                            : QLocale(wanted, english ? QLocale::UnitedStates : QLocale::Russia));
    return language == requested;
}

bool CvelmoraApp::LoadQtTranslation(QCoreApplication& app) {
    auto* translator = new QTranslator(&app);
    const QString name = CurrentUiLanguage() == UiLanguage::English ? QStringLiteral("qtbase_en")
                                                                    : QStringLiteral("qtbase_ru");
    if (CurrentUiLanguage() == UiLanguage::Russian)
        QCoreApplication::installTranslator(new CQtGapsTranslator(&app));
    if (!translator->load(name, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}

CvelmoraApp::~CvelmoraApp() = default;

bool CvelmoraApp::InitInstance() {
    // Before the first window: its menus are built in the interface's language.
    InstallLanguage(*this, StartLanguage());
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
