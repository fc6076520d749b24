#include "app/main_frame.h"

#include "app/child_frame.h"
#include "archive/archive_keeper.h"
#include "config/app_profile.h"
#include "config/view_settings.h"
#include "dialogs/archive_dlg.h"
#include "dialogs/comparison_dlg.h"
#include "dialogs/his_outbox_dlg.h"
#include "dialogs/reading_dlg.h"
#include "dialogs/worklist_dlg.h"
#include "hl7/hl7_outbox.h"
#include "platform/printable_text.h"
#include "record_io/background_task.h"
#include "record_io/record_files.h"
#include "storage/card_fields.h"
#include "widgets/adv_toolbar.h"
#include "widgets/balloon_help.h"
#include "widgets/child_view.h"
#include "widgets/reading_commands.h"
#include "widgets/toolbar_pictures.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMimeData>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <atomic>

namespace {

// An open that ends sooner shows no progress at all.
constexpr int kOpenProgressDelayMs = 400;

QString Translated(const char* text) {
    return QCoreApplication::translate("CommandTable", text);
}

QString MenuText(const CommandInfo& c) {
    return Translated(c.menuText).section(QLatin1Char('\t'), 0, 0);
}

} // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent), m_pMdi(new QMdiArea(this)) {
    setWindowTitle(QStringLiteral("velmora"));
    m_pMdi->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(m_pMdi);
    connect(m_pMdi, &QMdiArea::subWindowActivated, this, [this] {
        m_previousOf.clear(); // asked again for the window now in front
        UpdateCommandStates();
        UpdateCaption();
    });
    m_pOpenTask = new CBackgroundTask(this);
    connect(m_pOpenTask, &CBackgroundTask::Finished, this, &CMainFrame::OnOpened);
}

void CMainFrame::ShowOpenProgress() {
    // Made when first needed: the program's start does not pay for it.
    if (!m_pOpenProgress) {
        // Not modal: the other windows go on (a live strip keeps running) while a file opens.
        m_pOpenProgress = new QProgressDialog(this);
        m_pOpenProgress->setObjectName(QStringLiteral("OpenProgress"));
        m_pOpenProgress->setWindowTitle(tr("Открытие записи"));
        m_pOpenProgress->setCancelButtonText(tr("Отмена"));
        m_pOpenProgress->setRange(0, 0); // how far a helper has read is not known: a busy bar
        m_pOpenProgress->setAutoReset(false);
        m_pOpenProgress->setAutoClose(false);
        m_pOpenProgress->setWindowModality(Qt::NonModal);
        m_pOpenProgress->reset(); // it would show itself after its minimum duration otherwise
        connect(m_pOpenProgress, &QProgressDialog::canceled, m_pOpenTask, &CBackgroundTask::Cancel);
    }
    m_pOpenProgress->reset(); // an earlier "Отмена" no longer holds
    m_pOpenProgress->setLabelText(
        tr("Открытие файла «%1»…").arg(PrintableName(QFileInfo(m_strOpening).fileName())));
    m_pOpenProgress->show();
}

CMainFrame::~CMainFrame() {
    // The record windows go before the actions their signals update.
    for (QMdiSubWindow* w : m_pMdi->subWindowList()) {
        w->disconnect(this);
        if (auto* f = qobject_cast<CChildFrame*>(w))
            f->View()->disconnect(this);
    }
    m_pMdi->disconnect(this);
    delete m_pMdi;
}

bool CMainFrame::OnCreate() {
    for (const CommandInfo& c : CommandTable()) {
        auto* a = new QAction(this);
        if (c.menuText)
            a->setText(MenuText(c));
        const QString prompt = Translated(c.prompt);
        a->setStatusTip(prompt.section(QLatin1Char('\n'), 0, 0));
        a->setToolTip(prompt.section(QLatin1Char('\n'), 1));
        QList<QKeySequence> keys;
        for (const char* k : c.keys)
            if (k)
                keys << QKeySequence(QString::fromLatin1(k));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::ApplicationShortcut);
        connect(a, &QAction::triggered, this, [this, &c] { Execute(c); });
        addAction(a); // shortcuts of key-only commands work too
        m_actions[c.id] = a;
    }
    Action(ID_VIEW_STATUS_BAR)->setCheckable(true);
    Action(ID_VIEW_STATUS_BAR)->setChecked(true);
    // The reading commands of "Вид": checkable, each applied to the active record window.
    for (const ReadingCommand& c : ReadingCommands()) {
        auto* a = new QAction(QCoreApplication::translate("ReadingCommands", c.menuText), this);
        a->setCheckable(true);
        connect(a, &QAction::triggered, this, [this, id = c.id] {
            if (CChildView* v = ActiveView())
                v->OnReadingCommand(id);
            UpdateCommandStates();
        });
        m_actions[c.id] = a;
    }

    BuildMenus();

    m_wndToolBar = new CAdvToolBar(this);
    m_wndToolBar->setObjectName(QStringLiteral("toolbar128"));
    m_wndToolBar->setWindowTitle(QStringLiteral("velmora"));
    std::vector<QAction*> buttons;
    for (int id : ToolbarLayout())
        buttons.push_back(id ? Action(id) : nullptr);
    if (!m_wndToolBar->CreateAdvToolBar(MakeToolbarStrip(), buttons))
        return false;
    m_wndToolBar->setAllowedAreas(Qt::AllToolBarAreas);
    addToolBar(Qt::TopToolBarArea, m_wndToolBar);

    BuildStatusBar();
    RebuildRecentFiles();
    UpdateCommandStates();

    setAcceptDrops(true);
    return true;
}

void CMainFrame::BuildMenus() {
    for (const char* popup : MenuPopups()) {
        QMenu* menu = menuBar()->addMenu(Translated(popup));
        for (const CommandInfo& c : CommandTable()) {
            if (!c.popup || QString::fromUtf8(c.popup) != QString::fromUtf8(popup))
                continue;
            menu->addAction(Action(c.id));
            if (c.separatorAfter)
                menu->addSeparator();
            if (c.id == ID_FILE_SAVE_PDF) {
                // The recent files, between the report commands and "Выход".
                for (int i = 0; i < kRecentFiles; ++i) {
                    QAction* a = menu->addAction(QString());
                    connect(a, &QAction::triggered, this,
                            [this, a] { OpenFiles({a->data().toString()}); });
                    m_recentActions << a;
                }
                m_pRecentSeparator = menu->addSeparator();
            }
        }
        if (QString::fromUtf8(popup) == QStringLiteral("&Вид")) {
            menu->addSeparator();
            for (const ReadingCommand& c : ReadingCommands()) {
                menu->addAction(Action(c.id));
                if (c.separatorAfter)
                    menu->addSeparator();
            }
        }
        if (QString::fromUtf8(popup) == QStringLiteral("&Окна")) {
            m_pWindowMenu = menu;
            connect(menu, &QMenu::aboutToShow, this, &CMainFrame::RebuildWindowMenu);
        }
        connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandStates);
    }
}

void CMainFrame::BuildStatusBar() {
    QStatusBar* bar = statusBar();
    // The idle text is said again whenever a prompt goes away.
    const QString ready = tr("Готово");
    bar->showMessage(ready);
    const QString names[3] = {tr("ПРОП", "Caps Lock indicator"), tr("ЦИФР", "Num Lock indicator"),
                              tr("ПРКР", "Scroll Lock indicator")};
    for (int i = 0; i < 3; ++i) {
        m_pIndicators[i] = new QLabel(names[i], bar);
        m_pIndicators[i]->setEnabled(false); // the lock states are not known to us
        bar->addPermanentWidget(m_pIndicators[i]);
    }
    connect(bar, &QStatusBar::messageChanged, this, [bar, ready](const QString& text) {
        if (text.isEmpty())
            bar->showMessage(ready);
    });
}

void CMainFrame::RebuildWindowMenu() {
    for (QAction* a : m_windowListActions) {
        m_pWindowMenu->removeAction(a);
        delete a;
    }
    m_windowListActions.clear();
    const QList<QMdiSubWindow*> windows = m_pMdi->subWindowList();
    if (windows.isEmpty())
        return;
    m_windowListActions << m_pWindowMenu->addSeparator();
    int n = 1;
    for (QMdiSubWindow* w : windows) {
        const QString title =
            w->windowTitle().isEmpty() ? QStringLiteral("velmora") : w->windowTitle();
        QAction* a = m_pWindowMenu->addAction(QStringLiteral("&%1 %2").arg(n++).arg(title));
        a->setCheckable(true);
        a->setChecked(w == m_pMdi->activeSubWindow());
        connect(a, &QAction::triggered, this, [this, w] { m_pMdi->setActiveSubWindow(w); });
        m_windowListActions << a;
    }
}

CChildFrame* CMainFrame::ActiveFrame() const {
    // The current one even while the main window itself is not active (a balloon or a dialog
    // just closed): the commands stay with the record window the user was working in.
    return qobject_cast<CChildFrame*>(m_pMdi->currentSubWindow());
}

CChildView* CMainFrame::ActiveView() const {
    CChildFrame* f = ActiveFrame();
    return f ? f->View() : nullptr;
}

CChildFrame* CMainFrame::OnFileNew() {
    auto* frame = new CChildFrame;
    m_pMdi->addSubWindow(frame);
    connect(frame->View(), &CChildView::StateChanged, this, &CMainFrame::UpdateCommandStates);
    connect(&frame->View()->Document(), &CEcgDocument::FileChanged, this,
            &CMainFrame::AddRecentFile);
    connect(frame, &QMdiSubWindow::windowTitleChanged, this, &CMainFrame::UpdateCaption);
    KeepInArchive(frame);
    // Cascaded inside the area: each new window a step right and down from the last, back to
    // the corner when the next step would leave the area.
    const QSize area = m_pMdi->viewport()->size();
    const QSize size = area * 0.8;
    const int step = 24;
    const int steps = std::max(
        1, std::min(area.width() - size.width(), area.height() - size.height()) / step + 1);
    const int k = int(m_pMdi->subWindowList().size() - 1) % steps;
    frame->setGeometry(QRect(QPoint(k * step, k * step), size));
    frame->show();
    m_pMdi->setActiveSubWindow(frame);
    UpdateCommandStates();
    return frame;
}

void CMainFrame::UpdateCaption() {
    CChildFrame* f = ActiveFrame();
    const QString title = f ? f->windowTitle() : QString();
    setWindowTitle(title.isEmpty() ? QStringLiteral("velmora")
                                   : QStringLiteral("velmora - ") + title);
}

void CMainFrame::UpdateCommandStates() {
    CommandContext ctx;
    if (CChildView* v = ActiveView()) {
        ctx.hasWindow = true;
        ctx.loaded = v->Loaded();
        ctx.sending = v->Sending();
        ctx.archived = v->Document().ArchiveId() != 0;
    }
    QString archiveError;
    if (ctx.archived && ctx.loaded) {
        const PreviousLookup& p = PreviousOf(ActiveView()->Document().ArchiveId());
        ctx.hasPrevious = p.previous != 0;
        archiveError = p.error;
    }
    for (const CommandInfo& c : CommandTable()) {
        QAction* a = Action(c.id);
        if (!a)
            continue;
        a->setEnabled(IsCommandEnabled(c, ctx));
        // A command that is disabled for a reason says it where its prompt would be.
        const QString prompt = Translated(c.prompt);
        QString tip = prompt.section(QLatin1Char('\n'), 1),
                status = prompt.section(QLatin1Char('\n'), 0, 0);
        if (const char* reason = DisabledReason(c, ctx))
            tip = status = archiveError.isEmpty() ? Translated(reason) : archiveError;
        a->setToolTip(tip);
        a->setStatusTip(status);
    }
    Action(ID_VIEW_STATUS_BAR)->setChecked(!statusBar()->isHidden());
    const CChildView* view = ActiveView();
    for (const ReadingCommand& c : ReadingCommands()) {
        QAction* a = Action(c.id);
        a->setEnabled(view != nullptr);
        a->setChecked(view && c.isOn(view->Reading()));
    }
}

void CMainFrame::Execute(const CommandInfo& c) {
    if (c.handler)
        c.handler(*this);
    UpdateCommandStates();
}

void CMainFrame::closeEvent(QCloseEvent* e) {
    m_pMdi->closeAllSubWindows();
    if (!m_pMdi->subWindowList().isEmpty()) {
        e->ignore();
        return;
    }
    QMainWindow::closeEvent(e);
}

void CMainFrame::OnFileOpen() {
    const QStringList paths = QFileDialog::getOpenFileNames(
        this, QString(), CAppProfile().GetEcgFolder(), OpenDialogFilter());
    OpenFiles(paths);
}

void CMainFrame::OpenFiles(const QStringList& paths) {
    if (paths.isEmpty())
        return;
    // What an earlier opening said no longer holds once the user opens something else.
    if (m_pOpenBalloon)
        m_pOpenBalloon->CloseBalloon();
    const bool idle = !IsOpening();
    m_openQueue += paths;
    if (idle) {
        m_nOpened = 0;
        m_openFailures.clear();
        OpenNext();
    }
}

bool CMainFrame::IsOpening() const {
    return !m_strOpening.isEmpty();
}

void CMainFrame::OpenNext() {
    if (m_openQueue.isEmpty()) {
        m_strOpening.clear();
        if (m_pOpenProgress)
            m_pOpenProgress->hide();
        if (!m_openFailures.isEmpty())
            m_pOpenBalloon = ShowErrorBalloon(m_openFailures.join(QLatin1Char('\n')),
                                              mapToGlobal(rect().center()), this);
        emit OpeningFinished(m_nOpened);
        return;
    }
    m_strOpening = m_openQueue.takeFirst();
    m_pOpened = std::make_shared<CLoadedRecord>();
    // The thread gets its own copies: the path and the record it fills.
    m_pOpenTask->Start([path = m_strOpening, loaded = m_pOpened](std::string* why) {
        return OpenRecordFile(path, *loaded, why);
    });
    if (m_pOpenProgress && m_pOpenProgress->isVisible())
        ShowOpenProgress(); // the next of several slow files
    // A quick open shows nothing; a slow one shows what it opens and offers to stop.
    QTimer::singleShot(kOpenProgressDelayMs, this, [this, path = m_strOpening] {
        if (m_strOpening == path && !(m_pOpenProgress && m_pOpenProgress->isVisible()))
            ShowOpenProgress();
    });
}

void CMainFrame::OnOpened(bool ok, const QString& reason) {
    const QString path = m_strOpening;
    std::shared_ptr<CLoadedRecord> loaded = std::exchange(m_pOpened, nullptr);
    if (ok) {
        OnFileNew()->View()->ShowRecordFile(*loaded, path);
        ++m_nOpened;
    } else if (reason == QLatin1String("cancelled")) {
        m_openQueue.clear(); // "Отмена" stops the files still waiting as well
    } else {
        m_openFailures << tr("Не удалось открыть %1: %2").arg(QFileInfo(path).fileName(), reason);
    }
    OpenNext();
}

void CMainFrame::AddRecentFile(const QString& path) {
    if (path.isEmpty())
        return; // a record opened from the archive is no file
    CAppProfile().AddRecentFile(path, kRecentFiles);
    RebuildRecentFiles();
}

void CMainFrame::RebuildRecentFiles() {
    const QStringList files = CAppProfile().GetRecentFiles(kRecentFiles);
    for (int i = 0; i < m_recentActions.size(); ++i) {
        QAction* a = m_recentActions[i];
        a->setVisible(i < files.size());
        if (i < files.size()) {
            a->setText(QStringLiteral("&%1 %2").arg(i + 1).arg(QFileInfo(files[i]).fileName()));
            a->setData(files[i]);
            a->setStatusTip(files[i]);
        }
    }
    if (m_pRecentSeparator)
        m_pRecentSeparator->setVisible(!files.isEmpty());
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* e) {
    for (const QUrl& url : e->mimeData()->urls()) {
        if (url.isLocalFile()) {
            e->acceptProposedAction();
            return;
        }
    }
}

void CMainFrame::dropEvent(QDropEvent* e) {
    QStringList paths;
    for (const QUrl& url : e->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    if (paths.isEmpty())
        return;
    e->acceptProposedAction();
    // After the drop has ended: a balloon or a window opened inside the drag would fight it.
    QTimer::singleShot(0, this, [this, paths] { OpenFiles(paths); });
}

namespace {

// The archive the settings name, or why they name none; null location when archiving is off.
bool ArchiveOfSettings(CArchiveLocation& where, bool* enabled, QString* error) {
    CViewSettings settings;
    settings.UpdateIni(true);
    *enabled = settings.m_bArchiveEnabled;
    return CArchiveLocation::FromSettings(settings, where, error);
}

QString Describe(const CArchiveLocation& l) {
    return l.kind == CArchiveLocation::Kind::Sqlite
               ? l.file
               : QStringLiteral("%1@%2:%3/%4").arg(l.user, l.host).arg(l.port).arg(l.database);
}

} // namespace

CArchiveKeeper* CMainFrame::Keeper() {
    CArchiveLocation where;
    bool enabled = false;
    QString why;
    if (!ArchiveOfSettings(where, &enabled, &why)) {
        statusBar()->showMessage(tr("Архив: %1").arg(why));
        return nullptr;
    }
    if (!enabled)
        return nullptr;
    // The settings may have named another archive since the last record.
    const QString place = Describe(where) + QLatin1Char('\n') + where.password;
    if (m_pKeeper && place != m_strKeeperWhere) {
        delete m_pKeeper; // what it still had to do is dropped: that archive is no longer ours
        m_pKeeper = nullptr;
        m_archiving.clear();
    }
    if (!m_pKeeper) {
        m_pKeeper = new CArchiveKeeper(where, this);
        m_strKeeperWhere = place;
        connect(m_pKeeper, &CArchiveKeeper::Done, this, &CMainFrame::OnArchived);
    }
    return m_pKeeper;
}

void CMainFrame::KeepInArchive(CChildFrame* frame) {
    CEcgDocument& document = frame->View()->Document();
    // Opened: the file's card as it came; saved or received: the window's card is the newer.
    connect(&document, &CEcgDocument::Opened, this,
            [this, frame](const QString& path) { ArchiveFile(frame, path, false); });
    connect(&document, &CEcgDocument::Saved, this, [this, frame, &document](const QString& path) {
        if (document.ArchiveId())
            ArchiveCard(frame);
        else
            ArchiveFile(frame, path, true);
    });
    connect(frame->View(), &CChildView::RecordKept, this,
            [this, frame](const QString& path) { ArchiveFile(frame, path, true); });
    connect(&document, &CEcgDocument::CardChanged, this, [this, frame, &document] {
        for (PendingArchive& p : m_archiving)
            if (p.frame == frame)
                p.cardChangedSince = true; // sent again when its record's id is known
        if (document.ArchiveId())
            ArchiveCard(frame);
    });
}

void CMainFrame::ArchiveFile(CChildFrame* frame, const QString& path, bool withCard) {
    CArchiveKeeper* keeper = Keeper();
    if (!keeper || path.isEmpty())
        return;
    const CEcgDocument& document = frame->View()->Document();
    const PATIENT_CARD card = withCard ? document.Card() : PATIENT_CARD{};
    m_archiving.insert(keeper->Import(path, card, withCard ? document.Order() : CRecordOrder{}),
                       {frame, false});
}

void CMainFrame::ArchiveCard(CChildFrame* frame) {
    CEcgDocument& document = frame->View()->Document();
    if (CArchiveKeeper* keeper = Keeper())
        m_archiving.insert(
            keeper->UpdateCard(document.ArchiveId(), document.Card(), document.Order()),
            {frame, false});
}

void CMainFrame::OnArchived(quint64 ticket, qint64 id, const QString& error) {
    const PendingArchive pending = m_archiving.take(ticket);
    CChildFrame* frame = pending.frame;
    if (frame && error.isEmpty()) {
        CEcgDocument& document = frame->View()->Document();
        document.SetArchiveId(id);
        if (pending.cardChangedSince)
            ArchiveCard(frame);
    } else if (frame) {
        frame->View()->Error(tr("Запись не добавлена в архив: %1").arg(error));
    }
    if (m_pArchiveDlg && m_pArchiveDlg->isVisible() && error.isEmpty())
        m_pArchiveDlg->Refresh();
    // A record taken in (or moved to another patient) may be another record's previous one.
    m_previousOf.clear();
    UpdateCommandStates();
    emit Archived(error.isEmpty() ? id : 0, error);
}

void CMainFrame::OnArchive() {
    if (!m_pArchiveDlg) {
        CArchiveLocation where;
        bool enabled = false;
        QString why;
        if (!ArchiveOfSettings(where, &enabled, &why)) {
            ShowErrorBalloon(tr("Архив не открыт: %1").arg(why), mapToGlobal(rect().center()),
                             this);
            return;
        }
        m_pArchiveDlg = new CArchiveDlg(where, this);
        connect(m_pArchiveDlg, &CArchiveDlg::OpenRecord, this, &CMainFrame::OpenArchived);
        connect(m_pArchiveDlg, &CArchiveDlg::CompareRecord, this,
                [this](qint64 id) { OpenComparison(id, ComparisonOptionsOfSettings()); });
        connect(m_pArchiveDlg, &CArchiveDlg::ImportFinished, this, [this] {
            m_previousOf.clear();
            UpdateCommandStates();
        });
    } else {
        m_pArchiveDlg->Refresh();
    }
    m_pArchiveDlg->show();
    m_pArchiveDlg->raise();
    m_pArchiveDlg->activateWindow();
}

CWorklistDlg* CMainFrame::WorklistDialog() const {
    return m_pWorklistDlg;
}

void CMainFrame::OnWorklist() {
    if (!m_pWorklistDlg) {
        CViewSettings settings;
        settings.UpdateIni(true);
        m_pWorklistDlg = new CWorklistDlg(settings, this);
        m_pWorklistDlg->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_pWorklistDlg, &CWorklistDlg::Chosen, this, [this](const CWorklistEntry& entry) {
            CChildFrame* frame = ActiveFrame();
            if (!frame)
                frame = OnFileNew();
            CEcgDocument& document = frame->View()->Document();
            ApplyWorklistPatient(entry, document.Card());
            // Bound first, so that the card's way into the archive takes the order with it.
            document.BindOrder(entry.m_Order);
            document.CardEdited();
            m_pMdi->setActiveSubWindow(frame);
        });
    }
    m_pWorklistDlg->show();
    m_pWorklistDlg->raise();
    m_pWorklistDlg->activateWindow();
}

void CMainFrame::OnArchiveImport() {
    OnArchive();
    if (m_pArchiveDlg)
        m_pArchiveDlg->ImportFolder();
}

bool CMainFrame::OpenArchived(qint64 id) {
    CArchiveLocation where;
    bool enabled = false;
    QString why;
    CArchive archive;
    CLoadedRecord loaded;
    QString type;
    if (!ArchiveOfSettings(where, &enabled, &why) || !archive.Open(where, &why) ||
        !archive.Load(id, loaded, &type, &why)) {
        ShowErrorBalloon(tr("Запись из архива не открыта: %1").arg(why),
                         mapToGlobal(rect().center()), this);
        return false;
    }
    const QString name =
        QString::fromStdString(CardTextUtf8(loaded.card.last_name, sizeof loaded.card.last_name));
    const QString date = QString::fromLatin1(
        loaded.pRecord->date, int(strnlen(loaded.pRecord->date, sizeof loaded.pRecord->date)));
    const QString title =
        tr("Архив: %1 %2").arg(name.isEmpty() ? tr("без карточки") : name, date).simplified();
    CChildFrame* frame = OnFileNew();
    frame->View()->ShowArchivedRecord(loaded, id, title);
    CDoctorReading reading;
    if (archive.CurrentReading(id, reading, &why))
        frame->View()->Document().SetReading(reading);
    return true;
}

const CMainFrame::PreviousLookup& CMainFrame::PreviousOf(qint64 id) {
    auto it = m_previousOf.find(id);
    if (it != m_previousOf.end())
        return *it;
    PreviousLookup found;
    CArchiveLocation where;
    bool enabled = false;
    CArchive archive;
    if (!ArchiveOfSettings(where, &enabled, &found.error) || !archive.Open(where, &found.error) ||
        !archive.PreviousRecord(id, &found.previous, &found.error)) {
        found.previous = 0;
        found.error = tr("Сравнение недоступно: архив не открыт: %1").arg(found.error);
    }
    return *m_previousOf.insert(id, found);
}

CComparisonOptions CMainFrame::ComparisonOptionsOfSettings() const {
    CViewSettings settings;
    settings.UpdateIni(true);
    CComparisonOptions o;
    o.reading = LoadReadingSettings(CAppProfile());
    o.interpretation.practice = analysis::RatePracticeOf(settings.m_szRatePractice.toStdString());
    o.organisation = settings.m_attrOrg;
    return o;
}

void CMainFrame::OnComparePrevious() {
    CChildView* v = ActiveView();
    if (!v || !v->Document().ArchiveId())
        return;
    // Both records as this window reads its own: its filters, speed, gain and rate limits.
    CComparisonOptions o;
    o.reading = v->Reading();
    o.interpretation.practice =
        analysis::RatePracticeOf(v->Settings().m_szRatePractice.toStdString());
    o.organisation = v->Settings().m_attrOrg;
    OpenComparison(v->Document().ArchiveId(), o);
}

CComparisonDlg* CMainFrame::OpenComparison(qint64 id, const CComparisonOptions& options) {
    CArchiveLocation where;
    bool enabled = false;
    QString why;
    if (!ArchiveOfSettings(where, &enabled, &why)) {
        ShowErrorBalloon(tr("Архив не открыт: %1").arg(why), mapToGlobal(rect().center()), this);
        return nullptr;
    }
    auto* dlg = new CComparisonDlg(where, options, this);
    dlg->setAttribute(Qt::WA_DeleteOnClose);
    if (!dlg->ComparePrevious(id, &why)) {
        delete dlg;
        ShowErrorBalloon(tr("Сравнение не открыто: %1").arg(why), mapToGlobal(rect().center()),
                         this);
        return nullptr;
    }
    dlg->show();
    dlg->raise();
    dlg->activateWindow();
    return dlg;
}

void CMainFrame::OnHisOutbox() {
    if (!m_pHisOutboxDlg) {
        CViewSettings settings;
        settings.UpdateIni(true);
        m_pHisOutboxDlg = new CHisOutboxDlg(settings, CHl7Outbox::DefaultFolder(), this);
    } else {
        m_pHisOutboxDlg->Refresh();
    }
    m_pHisOutboxDlg->show();
    m_pHisOutboxDlg->raise();
    m_pHisOutboxDlg->activateWindow();
}

void CMainFrame::OnNewDoctor() {
    CArchiveLocation where;
    bool enabled = false;
    QString why;
    CArchive archive;
    if (!ArchiveOfSettings(where, &enabled, &why) || !archive.Open(where, &why)) {
        ShowErrorBalloon(tr("Архив не открыт: %1").arg(why), mapToGlobal(rect().center()), this);
        return;
    }
    QString login;
    if (AskNewDoctor(archive, this, &login))
        statusBar()->showMessage(tr("Учётная запись %1 создана.").arg(login), 10000);
}

void CMainFrame::OfferDoctorAccount() {
    CViewSettings settings;
    settings.UpdateIni(true);
    CArchiveLocation where;
    bool enabled = false;
    QString why;
    if (settings.m_bDoctorAccountOffered || !ArchiveOfSettings(where, &enabled, &why) || !enabled)
        return;
    // Off the window's thread: a shared archive's server may be slow to answer.
    auto* task = new CBackgroundTask(this);
    auto none = std::make_shared<std::atomic<bool>>(false);
    connect(task, &CBackgroundTask::Finished, this, [this, task, none](bool ok, const QString&) {
        task->deleteLater();
        if (!ok || !*none)
            return;
        auto* offer = new QPushButton(tr("Создать учётную запись врача..."), statusBar());
        offer->setObjectName(QStringLiteral("OfferDoctorAccount"));
        offer->setToolTip(tr("В архиве ещё нет врачей: заключение подтверждает врач под своим "
                             "именем и паролем"));
        statusBar()->addPermanentWidget(offer);
        connect(offer, &QPushButton::clicked, this, [this, offer] {
            offer->deleteLater();
            OnNewDoctor();
        });
        CViewSettings remembered;
        remembered.UpdateIni(true);
        remembered.m_bDoctorAccountOffered = true;
        remembered.UpdateIni(false);
    });
    task->Start([where, none](std::string* error) {
        CArchive archive;
        QString failure;
        std::vector<CDoctorAccount> doctors;
        if (!archive.Open(where, &failure) || !archive.Doctors(doctors, &failure)) {
            *error = failure.toStdString();
            return false;
        }
        *none = doctors.empty();
        return true;
    });
}

void CMainFrame::OnReading() {
    CChildFrame* frame = ActiveFrame();
    if (!frame)
        return;
    CEcgDocument& document = frame->View()->Document();
    CArchiveLocation where;
    bool enabled = false;
    QString why;
    if (!ArchiveOfSettings(where, &enabled, &why)) {
        ShowErrorBalloon(tr("Архив не открыт: %1").arg(why), mapToGlobal(rect().center()), this);
        return;
    }
    if (!document.ArchiveId()) {
        ShowErrorBalloon(tr("Заключение подтверждается для записи в архиве; эта запись ещё не "
                            "в нём"),
                         mapToGlobal(rect().center()), this);
        return;
    }
    // The proposal as the window reads the record: its filters, the settings' rate limits.
    CViewSettings settings;
    settings.UpdateIni(true);
    CStatementSettings how;
    how.m_Filters = document.Filters();
    how.m_Settings.practice = analysis::RatePracticeOf(settings.m_szRatePractice.toStdString());
    CReadingDlg dlg(where, document.ArchiveId(), how, this);
    QPointer<CEcgDocument> target(&document);
    connect(&dlg, &CReadingDlg::Confirmed, this, [target](const CDoctorReading& reading) {
        if (target)
            target->SetReading(reading);
    });
    dlg.exec();
    if (m_pArchiveDlg && m_pArchiveDlg->isVisible())
        m_pArchiveDlg->Refresh();
}
