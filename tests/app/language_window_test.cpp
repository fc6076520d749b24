// The window in the language of the locale it starts under (two runs: en_US.UTF-8 and
// ru_RU.UTF-8): the menus' titles, and no text of the other language in the menus, the status
// bar, the dialogs, Qt's own dialogs or a balloon.

#include "app/command_table.h"
#include "app/main_frame.h"
#include "app/velmora_app.h"
#include "config/ini.h"
#include "platform/systemtime.h"
#include "platform/ui_language.h"
#include "support/run_until.h"
#include "widgets/balloon_help.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPrintDialog>
#include <QPrinter>
#include <QRegularExpression>
#include <QSet>
#include <QStatusBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>

namespace {

QTemporaryDir& Folder() {
    static QTemporaryDir dir;
    return dir;
}

// The settings file of the run; `language` is its m_nLanguage (0: follow the system).
QString WriteSettings(int language) {
    const QString path = Folder().filePath(QStringLiteral("velmora.ini"));
    QFile ini(path);
    EXPECT_TRUE(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    // COM9 maps to a device that does not exist: reception runs without a port.
    ini.write("[settings]\r\nm_nCom=9\r\nm_nLanguage=" + QByteArray::number(language) + "\r\n");
    ini.close();
    SetIniFileOverride(path);
    return path;
}

QApplication* App() {
    static int argc = 1;
    static char name[] = "language_window_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        auto* a = new QApplication(argc, argv);
        WriteSettings(0);
        return a;
    }();
    return app;
}

UiLanguage LocaleLanguage() {
    return LanguageOfLocale(QLocale::system().name());
}

// Every text a user can read in `w` and its children (hidden pages too).
QStringList TextsOf(QWidget* w) {
    QStringList texts{w->windowTitle(), w->toolTip()};
    for (QWidget* c : w->findChildren<QWidget*>()) {
        texts << c->toolTip();
        if (auto* l = qobject_cast<QLabel*>(c))
            texts << l->text().remove(QRegularExpression(QStringLiteral("<[^>]*>")));
        if (auto* b = qobject_cast<QAbstractButton*>(c))
            texts << b->text();
        if (auto* g = qobject_cast<QGroupBox*>(c))
            texts << g->title();
        if (auto* e = qobject_cast<QLineEdit*>(c))
            texts << e->placeholderText();
        if (auto* t = qobject_cast<QTabWidget*>(c))
            for (int i = 0; i < t->count(); ++i)
                texts << t->tabText(i);
        if (auto* box = qobject_cast<QComboBox*>(c); box && !box->isEditable())
            for (int i = 0; i < box->count(); ++i)
                texts << box->itemText(i);
        if (auto* h = qobject_cast<QHeaderView*>(c); h && h->model())
            for (int i = 0; i < h->count(); ++i)
                texts << h->model()->headerData(i, h->orientation()).toString();
        if (auto* tree = qobject_cast<QTreeWidget*>(c))
            for (int i = 0; i < tree->topLevelItemCount(); ++i)
                texts << tree->topLevelItem(i)->text(0);
    }
    for (QAction* a : w->findChildren<QAction*>())
        texts << a->text() << a->toolTip() << a->statusTip();
    texts.removeAll(QString());
    return texts;
}

void MenuTexts(QMenu* menu, QStringList& texts) {
    texts << menu->title();
    for (QAction* a : menu->actions()) {
        texts << a->text() << a->statusTip() << a->toolTip();
        if (a->menu())
            MenuTexts(a->menu(), texts);
    }
}

// The texts of the dialog `open` brings up, which is closed once read.
QStringList DialogTexts(const std::function<void()>& open) {
    QStringList texts;
    bool read = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog)
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w->isVisible() && qobject_cast<QDialog*>(w))
                    dialog = w;
        if (!dialog || read)
            return;
        read = true;
        texts = TextsOf(dialog);
        if (auto* d = qobject_cast<QDialog*>(dialog))
            d->reject();
        else
            dialog->close();
    });
    poll.start(20);
    open();
    EXPECT_TRUE(RunUntil([&] { return read; }, 10000)) << "no dialog came up";
    return texts;
}

// Abbreviations (QRS, PACS, DICOM, AE) and these names are the same in either language.
const QSet<QString>& SharedWords() {
    static const QSet<QString> words{
        QStringLiteral("velmora"), QStringLiteral("QTc"), QStringLiteral("aVR"),
        QStringLiteral("aVL"), QStringLiteral("aVF"), QStringLiteral("Ctrl"),
        QStringLiteral("Shift"), QStringLiteral("Alt"), QStringLiteral("Del"),
        QStringLiteral("Esc"), QStringLiteral("Enter"), QStringLiteral("PostgreSQL"),
        QStringLiteral("SQLite"), QStringLiteral("Orthanc"), QStringLiteral("aECG"),
        // The command texts' own "E-Mail" and "Com - порт", and the language list, where each
        // language is named in itself.
        QStringLiteral("Mail"), QStringLiteral("Com"), QStringLiteral("English")};
    return words;
}

// What in `text` belongs to the other language than `language`; empty when nothing does.
QString Foreign(const QString& text, UiLanguage language) {
    static const QRegularExpression cyrillic(QStringLiteral("[\\x{0400}-\\x{04FF}]+"));
    if (language == UiLanguage::English) {
        if (text == QStringLiteral("Русский"))
            return {};
        // A path names a file in the user's letters.
        const QString words =
            QString(text).remove(QRegularExpression(QStringLiteral("(^|\\s)/[^:]*")));
        const QRegularExpressionMatch m = cyrillic.match(words);
        return m.hasMatch() ? m.captured() : QString();
    }
    // File types (*.dcm), addresses and keys carry Latin letters in any language.
    QString words = text;
    words.remove(QRegularExpression(QStringLiteral("\\*?\\.[A-Za-z0-9]+\\b")));
    words.remove(QRegularExpression(QStringLiteral("\\b[A-Za-z]+(://|@)\\S*")));
    words.remove(QRegularExpression(QStringLiteral("(^|\\s)/\\S*")));
    static const QRegularExpression latin(QStringLiteral("\\b[A-Za-z][A-Za-z]+\\b"));
    for (auto it = latin.globalMatch(words); it.hasNext();) {
        const QString word = it.next().captured();
        if (word == word.toUpper() || SharedWords().contains(word))
            continue;
        return word;
    }
    return {};
}

void ExpectOneLanguage(const QStringList& texts, UiLanguage language, const char* where) {
    for (const QString& t : texts) {
        const QString foreign = Foreign(t, language);
        EXPECT_TRUE(foreign.isEmpty())
            << where << ": \"" << t.toStdString() << "\" has \"" << foreign.toStdString() << "\"";
    }
}

struct AppFirst {
    AppFirst() { App(); }
};

struct Window : AppFirst {
    Window() {
        language = CvelmoraApp::StartLanguage();
        EXPECT_TRUE(CvelmoraApp::InstallLanguage(*App(), language));
        EXPECT_TRUE(CvelmoraApp::LoadQtTranslation(*App()));
        EXPECT_TRUE(frame.OnCreate());
        frame.resize(1000, 700);
        frame.show();
    }
    UiLanguage language = UiLanguage::Russian;
    CMainFrame frame;
};

} // namespace

TEST(Language, TheWindowSpeaksTheLocalesLanguageEverywhere) {
    Window w;
    const UiLanguage language = w.language;
    ASSERT_EQ(language, LocaleLanguage()) << QLocale::system().name().toStdString();
    const bool english = language == UiLanguage::English;

    QStringList titles;
    for (QAction* a : w.frame.menuBar()->actions())
        titles << a->text();
    const QStringList expected =
        english ? QStringList{QStringLiteral("&File"), QStringLiteral("&View"),
                              QStringLiteral("&Window"), QStringLiteral("&Help")}
                : QStringList{QStringLiteral("&Файл"), QStringLiteral("&Вид"),
                              QStringLiteral("&Окна"), QStringLiteral("&Помощь")};
    for (const QString& title : expected)
        EXPECT_TRUE(titles.contains(title))
            << title.toStdString() << " in " << titles.join(QLatin1Char(' ')).toStdString();

    w.frame.OnFileNew(); // a record window: its commands and status texts too
    QStringList menus;
    for (QAction* a : w.frame.menuBar()->actions())
        if (a->menu())
            MenuTexts(a->menu(), menus);
    ExpectOneLanguage(menus, language, "menus");
    QStringList bar{w.frame.statusBar()->currentMessage()};
    for (QLabel* l : w.frame.statusBar()->findChildren<QLabel*>())
        bar << l->text();
    bar.removeAll(QString());
    EXPECT_FALSE(bar.isEmpty());
    ExpectOneLanguage(bar, language, "status bar");
    ExpectOneLanguage(TextsOf(&w.frame), language, "window");

    for (int command : {ID_CONFIG, ID_DEFINE_CURVES, ID_APP_ABOUT, ID_WORKLIST, ID_ARCHIVE,
                        ID_HIS_OUTBOX, ID_NEW_DOCTOR}) {
        QAction* action = w.frame.Action(command);
        ASSERT_NE(action, nullptr) << command;
        w.frame.UpdateCommandStates();
        ExpectOneLanguage(DialogTexts([&] { action->trigger(); }), language,
                          action->text().toStdString().c_str());
    }

    // Qt's own dialogs and the file dialog's types, in the same language.
    ExpectOneLanguage(DialogTexts([] {
                          QMessageBox::question(nullptr, QStringLiteral("velmora"), QString(),
                                                QMessageBox::Yes | QMessageBox::No);
                      }),
                      language, "a question");
    ExpectOneLanguage(DialogTexts([] {
                          QFileDialog dlg(nullptr);
                          dlg.setOption(QFileDialog::DontUseNativeDialog);
                          dlg.exec();
                      }),
                      language, "the file dialog");
    ExpectOneLanguage(DialogTexts([] {
                          QPrinter printer;
                          QPrintDialog dlg(&printer);
                          dlg.exec();
                      }),
                      language, "the print dialog");
    QFileSystemModel files;
    const QModelIndex folder = files.setRootPath(Folder().path());
    ExpectOneLanguage({files.type(folder),
                       QMimeDatabase().mimeTypeForName("application/zip").comment(),
                       QString::fromStdString(FormatLocalDate(GetLocalTime(), "d MMMM yyyy"))},
                      language, "types and dates");

    // A failure's balloon, the system's reason included.
    // Its file's name is the user's, in whatever letters: not counted.
    const QString name = QStringLiteral("нет такой записи.dat");
    w.frame.OpenFiles({Folder().filePath(name)});
    QStringList balloons;
    EXPECT_TRUE(RunUntil(
        [&] {
            balloons.clear();
            for (QWidget* c : w.frame.findChildren<QWidget*>())
                if (auto* b = dynamic_cast<CBalloonHelp*>(c)) // the balloon has no meta-object
                    balloons << b->Title() << QString(b->Text()).remove(name);
            return !balloons.isEmpty();
        },
        5000));
    ExpectOneLanguage(balloons, language, "balloon");
}

// The setting in "Основные настройки" wins over the locale, either way.
TEST(Language, TheSettingOverridesTheLocale) {
    App();
    WriteSettings(1);
    EXPECT_EQ(CvelmoraApp::StartLanguage(), UiLanguage::Russian);
    WriteSettings(2);
    EXPECT_EQ(CvelmoraApp::StartLanguage(), UiLanguage::English);
    WriteSettings(0);
    EXPECT_EQ(CvelmoraApp::StartLanguage(), LocaleLanguage());
}
