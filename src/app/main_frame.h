#pragma once
// The main window: menu, toolbar and status bar built from the command table, and the MDI area
// holding the record windows. Commands for a record reach the active window's view.

#include "app/command_table.h"
#include "dialogs/archive_dlg.h"

#include <QMainWindow>
#include <QMap>
#include <QPointer>
#include <QStringList>
#include <memory>

class CAdvToolBar;
class CArchiveDlg;
class CHisOutboxDlg;
class CArchiveKeeper;
class CWorklistDlg;
struct CWorklistEntry;
class CComparisonDlg;
struct CComparisonOptions;
class CEcgDocument;
class CBackgroundTask;
class CBalloonHelp;
class QProgressDialog;
struct CLoadedRecord;
class CChildFrame;
class CChildView;
class QAction;
class QLabel;
class QMdiArea;
class QMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    explicit CMainFrame(QWidget* parent = nullptr);
    ~CMainFrame() override;

    // False when the toolbar or status bar could not be built.
    bool OnCreate();

    QAction* Action(int id) const { return m_actions.value(id); }
    QMdiArea* MdiArea() const { return m_pMdi; }
    CChildFrame* ActiveFrame() const;
    CChildView* ActiveView() const;
    CAdvToolBar* ToolBar() const { return m_wndToolBar; }

    // Opens a new record window (command 57600).
    CChildFrame* OnFileNew();
    // Asks for record files in the record folder and opens each (command 57601).
    void OnFileOpen();
    // Opens each file in a record window of its own, one after the other on a thread of their
    // own (a file read through the helper may take long): the window's thread never waits. An
    // open that takes long shows its progress with "Отмена". The files that do not open are named
    // in one balloon and get no window.
    void OpenFiles(const QStringList& paths);
    bool IsOpening() const;
    // "Архив": the patient list, made at the first use (command ID_ARCHIVE).
    void OnArchive();
    // "Импорт папки...": asks for a folder and imports it in the patient list.
    void OnArchiveImport();
    CArchiveDlg* ArchiveDialog() const { return m_pArchiveDlg; }
    // Opens a record of the archive in a record window of its own.
    // "Заключение": the doctor's over-read of the active window's archived record.
    void OnReading();
    // "Рабочий список...": the hospital's ECG orders (made at the first use, command
    // ID_WORKLIST); the entry chosen fills the active record window's card (a new window's when
    // none is open) and binds its record to the order.
    void OnWorklist();
    CWorklistDlg* WorklistDialog() const;
    // "Новый врач...": a doctor's account in the archive of the settings.
    void OnNewDoctor();
    // The HL7 outbox: what the hospital system has not acknowledged yet.
    void OnHisOutbox();
    // At the program's first start with an archive that has no doctor's account: a button in
    // the status bar offers to make one (once; the settings remember it).
    void OfferDoctorAccount();
    bool OpenArchived(qint64 id);
    // "Сравнить с предыдущей ЭКГ": the active window's archived record against the patient's
    // record before it, read as that window reads it (command ID_COMPARE_PREVIOUS).
    void OnComparePrevious();
    // The comparison window of an archived record and the patient's record before it; null
    // (and a balloon says why) when there is none or the archive does not open.
    CComparisonDlg* OpenComparison(qint64 id, const CComparisonOptions& options);
    // The options of a comparison asked for from the patient list: the reading settings new
    // windows start with.
    CComparisonOptions ComparisonOptionsOfSettings() const;
    // Recomputes every command's enabled state from the active window.
    void UpdateCommandStates();

signals:
    // The files asked for have all been tried: how many opened.
    void OpeningFinished(int opened);
    // A record window's record went into the archive (id) or did not (error).
    void Archived(qint64 id, const QString& error);

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;
    // Quitting closes every record window first; one whose user keeps it open keeps the program.
    void closeEvent(QCloseEvent* e) override;

private:
    void Execute(const CommandInfo& c);
    void AddRecentFile(const QString& path);
    void RebuildRecentFiles();
    void BuildMenus();
    void BuildStatusBar();
    void RebuildWindowMenu();
    void UpdateCaption();
    void OpenNext();
    void ShowOpenProgress();
    void OnOpened(bool ok, const QString& reason);
    // Every record a window receives, opens or saves goes into the archive the settings name,
    // unless they turn that off; a card changed there follows.
    void KeepInArchive(CChildFrame* frame);
    CArchiveKeeper* Keeper();
    void ArchiveFile(CChildFrame* frame, const QString& path, bool withCard);
    void ArchiveCard(CChildFrame* frame);
    void OnArchived(quint64 ticket, qint64 id, const QString& error);

    QMdiArea* m_pMdi;
    CAdvToolBar* m_wndToolBar = nullptr;
    QMap<int, QAction*> m_actions;
    QMenu* m_pWindowMenu = nullptr;
    QList<QAction*> m_windowListActions;
    QList<QAction*> m_recentActions; // the recent files in "Файл", kRecentFiles entries
    QAction* m_pRecentSeparator = nullptr;
    QLabel* m_pIndicators[3] = {};

    // The files waiting to open, the one opening and what it gives, what failed so far.
    QStringList m_openQueue;
    QString m_strOpening;
    std::shared_ptr<CLoadedRecord> m_pOpened;
    CBackgroundTask* m_pOpenTask = nullptr;
    QProgressDialog* m_pOpenProgress = nullptr;
    QStringList m_openFailures;
    int m_nOpened = 0;
    QPointer<CBalloonHelp> m_pOpenBalloon; // what the last opening said of its failures

    // The record before each archived record, as the comparison command's state needs it:
    // asked of the archive once per record and forgotten whenever the archive changes.
    struct PreviousLookup {
        qint64 previous = 0;
        QString error;
    };
    const PreviousLookup& PreviousOf(qint64 id);
    QMap<qint64, PreviousLookup> m_previousOf;

    QPointer<CArchiveDlg> m_pArchiveDlg;
    QPointer<CHisOutboxDlg> m_pHisOutboxDlg;
    QPointer<CWorklistDlg> m_pWorklistDlg;
    CArchiveKeeper* m_pKeeper = nullptr;
    QString m_strKeeperWhere; // the archive the keeper writes to, as the settings named it
    struct PendingArchive {
        QPointer<CChildFrame> frame;
        bool cardChangedSince = false;
    };
    QMap<quint64, PendingArchive> m_archiving;
};
