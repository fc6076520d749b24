#pragma once
// "Очередь результатов для МИС": the results the hospital information system has not
// acknowledged yet (the HL7 outbox), oldest first, with when each was kept. "Отправить сейчас"
// sends them again in the background ("Остановить" ends that), "Удалить" drops the chosen one
// after a question; the status line says what became of each.

#include "config/view_settings.h"

#include <QDialog>

class CBackgroundTask;
class QLabel;
class QPushButton;
class QTableWidget;

class CHisOutboxDlg : public QDialog {
    Q_OBJECT
public:
    // folder: the outbox's (CHl7Outbox::DefaultFolder unless a test says otherwise).
    CHisOutboxDlg(const CViewSettings& settings, const QString& folder, QWidget* parent = nullptr);
    ~CHisOutboxDlg() override;

    // Lists what waits now.
    void Refresh();
    // Sends what waits, in the background; false, said in the status line, when it cannot start.
    bool SendNow();
    // Drops the chosen message without asking (the button asks first).
    bool RemoveChosen();
    bool IsSending() const;
    int Waiting() const;
    QString Status() const;

signals:
    // A send ended (the list already shows what is left).
    void SendFinished();

private:
    void OnRemove();
    void UpdateButtons();

    CViewSettings m_settings;
    QString m_strFolder;
    QTableWidget* m_pTable;
    QLabel* m_pStatus;
    QPushButton* m_pSend;
    QPushButton* m_pStop;
    QPushButton* m_pRemove;
    CBackgroundTask* m_pTask;
};
