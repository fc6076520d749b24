#pragma once
// "Архив": the patient list. A search field (surname or card number, as you type), a date range,
// the patients found and the chosen patient's records with their measurements; a record opens
// in a record window, is exported to any type the record layer writes, or deleted after a
// question into the recycle list. "Импорт папки..." takes every record file under a folder on a
// thread of its own, with its progress and "Отмена". "Прежние ЭКГ из PACS..." fetches the
// chosen record's patient's ECGs recorded elsewhere into the archive.

#include "archive/archive_store.h"

#include <QDialog>
#include <atomic>
#include <memory>

class CBackgroundTask;
class CPriorsDlg;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QProgressDialog;
class QPushButton;
class QTableWidget;
class QTimer;

class CArchiveDlg : public QDialog {
    Q_OBJECT
public:
    explicit CArchiveDlg(const CArchiveLocation& where, QWidget* parent = nullptr);
    ~CArchiveDlg() override;

    // Shows what the archive holds now (an import or a record window changed it).
    void Refresh();
    // Asks for a folder and imports it.
    void ImportFolder();
    // The same, without asking: the folder given.
    void ImportFolderAt(const QString& folder);
    bool IsImporting() const;
    // What the buttons do once their questions are answered: the chosen record exported as
    // path's type, or moved to the recycle list (or back from it). False, said in the status
    // line, when it fails.
    bool ExportChosen(const QString& path);
    bool DeleteChosen();
    // "Прежние ЭКГ из PACS...": the chosen record's patient's studies in the settings' PACS, in a
    // window of their own (it searches at once, in the background); null without a record.
    CPriorsDlg* ShowPriors();

signals:
    // A record to show in a record window: the main window opens it.
    void OpenRecord(qint64 id);
    // The record to compare with the patient's record before it.
    void CompareRecord(qint64 id);
    // An import ended: its report, as the dialog shows it.
    void ImportFinished(const QString& report);

private:
    void Search();
    void ShowRecords();
    qint64 ChosenRecord() const;
    void OnExport();
    void OnDelete();
    void Failed(const QString& why);
    CFindCriteria Criteria() const;

    CArchiveLocation m_where;
    std::unique_ptr<CArchive> m_pArchive;
    QLineEdit* m_pSearch;
    QDateEdit* m_pFrom;
    QDateEdit* m_pTo;
    QCheckBox* m_pUnconfirmed;
    QCheckBox* m_pRecycled;
    QTableWidget* m_pPatients;
    QTableWidget* m_pRecords;
    QLabel* m_pStatus;
    QPushButton* m_pOpen;
    QPushButton* m_pExport;
    QPushButton* m_pDelete;
    QTimer* m_pTyping;
    std::vector<CArchivedPatient> m_patients;
    std::vector<CArchivedRecord> m_records;

    CBackgroundTask* m_pImport;
    QProgressDialog* m_pProgress = nullptr;
    struct ImportState;
    std::shared_ptr<ImportState> m_pImportState;
};
