#pragma once
// "Рабочий список": the ECGs the hospital ordered for a day, from its modality worklist (the
// settings' server, through the interchange helper on a thread of its own: the window never
// waits). A table of the patients and their orders, "Обновить" (and again every five minutes
// while the window is open), a status line that says what went wrong; "Выбрать" hands the
// chosen entry to whoever opened the window, which fills a record window's card and binds its
// record to the order.

#include "config/view_settings.h"
#include "record_io/record_worklist.h"

#include <QDate>
#include <QDialog>
#include <memory>
#include <vector>

class CBackgroundTask;
class QDateEdit;
class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;

class CWorklistDlg : public QDialog {
    Q_OBJECT
public:
    explicit CWorklistDlg(const CViewSettings& settings, QWidget* parent = nullptr);
    ~CWorklistDlg() override;

    // Asks the server again (nothing when a query is under way).
    void Refresh();
    bool IsQuerying() const;
    const std::vector<CWorklistEntry>& Entries() const { return m_entries; }
    // Chooses the entry in row `row` as "Выбрать" does; false when there is none.
    bool ChooseRow(int row);

    // How often the list is asked for again while the window is open.
    static constexpr int kRefreshMs = 5 * 60 * 1000;

signals:
    void Chosen(const CWorklistEntry& entry);

private:
    void OnFinished(bool bOk, const QString& reason);
    void ShowEntries();

    CWorklistServer m_server;
    std::vector<CWorklistEntry> m_entries;
    // The answer of the query under way, written by its thread only until it ends.
    std::shared_ptr<std::vector<CWorklistEntry>> m_pAnswer;
    QDate m_queriedDay;
    CBackgroundTask* m_pTask = nullptr;
    QDateEdit* m_pDay = nullptr;
    QTableWidget* m_pTable = nullptr;
    QLabel* m_pStatus = nullptr;
    QPushButton* m_pRefresh = nullptr;
    QPushButton* m_pChoose = nullptr;
    QTimer* m_pTimer = nullptr;
};
