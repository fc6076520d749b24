#pragma once
// The main window: menu, toolbar and status bar built from the command table, and the MDI area
// holding the record windows. Commands for a record reach the active window's view.

#include "app/command_table.h"

#include <QMainWindow>
#include <QMap>

class CAdvToolBar;
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
    // Opens each file in a record window of its own; a file that does not open is named in a
    // balloon and gets no window. The number of files opened.
    int OpenFiles(const QStringList& paths);
    // Recomputes every command's enabled state from the active window.
    void UpdateCommandStates();

protected:
    void dragEnterEvent(QDragEnterEvent* e) override;
    void dropEvent(QDropEvent* e) override;

private:
    void Execute(const CommandInfo& c);
    void AddRecentFile(const QString& path);
    void RebuildRecentFiles();
    void BuildMenus();
    void BuildStatusBar();
    void RebuildWindowMenu();
    void UpdateCaption();

    QMdiArea* m_pMdi;
    CAdvToolBar* m_wndToolBar = nullptr;
    QMap<int, QAction*> m_actions;
    QMenu* m_pWindowMenu = nullptr;
    QList<QAction*> m_windowListActions;
    QList<QAction*> m_recentActions; // the recent files in "Файл", kRecentFiles entries
    QAction* m_pRecentSeparator = nullptr;
    QLabel* m_pIndicators[3] = {};
};
