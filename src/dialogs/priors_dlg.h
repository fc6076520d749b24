#pragma once
// "Прежние ЭКГ из PACS": the studies with an ECG the hospital's archive keeps of one patient,
// found by the patient ID on a thread of its own (the helper's C-FIND), and the chosen ones
// fetched into our archive (C-GET, then the normal import), so that the comparison with the
// previous ECG finds them. Nothing waits on the window's thread; "Отмена" kills the helper.

#include "archive/archive_store.h"
#include "config/view_settings.h"
#include "record_io/record_priors.h"

#include <QDialog>
#include <memory>

class CBackgroundTask;
class QLabel;
class QPushButton;
class QTableWidget;

class CPriorsDlg : public QDialog {
    Q_OBJECT
public:
    // The PACS of `pacs`, our archive at `where`, the patient of `card`.
    CPriorsDlg(const CViewSettings& pacs, const CArchiveLocation& where, const PATIENT_CARD& card,
               QWidget* parent = nullptr);
    ~CPriorsDlg() override;

    // Searches the PACS (the dialog does so once when it is shown).
    void StartFind();
    // Fetches the chosen studies (all of them when none is chosen) into the archive.
    void FetchChosen();
    bool IsBusy() const;
    const std::vector<CPriorStudy>& Studies() const { return m_studies; }

signals:
    // The archive gained records (or was asked again for what it has): the report shown.
    void Fetched(const QString& report);
    // A search or fetch failed (or was cancelled): its reason, as the status line shows it.
    void Failed(const QString& why);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowStudies();
    void Busy(bool busy, const QString& what);
    void Cancel();

    CViewSettings m_pacs;
    CArchiveLocation m_where;
    QString m_strPatientId;
    std::vector<CPriorStudy> m_studies;
    bool m_bSearched = false;

    QTableWidget* m_pStudies;
    QLabel* m_pStatus;
    QPushButton* m_pFind;
    QPushButton* m_pFetch;
    QPushButton* m_pCancel;
    CBackgroundTask* m_pTask;
    struct CWork;
    std::shared_ptr<CWork> m_pWork;
};
