#pragma once
// "Заключение": a doctor's over-read of an archived record. The proposed statements (each kept or
// removed), statements added from the full list (searched by their code or their text in the
// interface's language), a conclusion in the doctor's words, and "Подтвердить" in the name of a
// doctor of the archive, who gives the password. A confirmed reading is locked: a change is an
// amendment with its reason, and every earlier version stays readable below.

#include "archive/archive_store.h"

#include <QDialog>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTextBrowser;

// Asks for a new doctor's account (login, name, position, the password twice) and makes it in
// the archive; true with its login in *login once made, false when the user gave up.
bool AskNewDoctor(CArchive& archive, QWidget* parent, QString* login);

class CReadingDlg : public QDialog {
    Q_OBJECT
public:
    // `how` makes the proposal as the record window reads the record (its filters and rate
    // practice).
    CReadingDlg(const CArchiveLocation& where, qint64 recordId, const CStatementSettings& how,
                QWidget* parent = nullptr);
    ~CReadingDlg() override;

signals:
    void Confirmed(const CDoctorReading& reading);

private:
    void Load();
    void ShowStatements(const std::vector<CReadStatement>& statements);
    void FilterCatalogue();
    void AddChosen();
    CDoctorReading Edited() const;
    void OnConfirm();
    void OnSaveDraft();
    void OnNewDoctor();
    void Say(const QString& text, bool bError);

    std::unique_ptr<CArchive> m_pArchive;
    qint64 m_nRecord;
    CStatementSettings m_how;
    CDoctorReading m_current; // the version in force (version 0: none)
    QLabel* m_pState;
    QListWidget* m_pStatements;
    QLineEdit* m_pFind;
    QListWidget* m_pCatalogue;
    QPlainTextEdit* m_pConclusion;
    QComboBox* m_pDoctor;
    QLineEdit* m_pPassword;
    QLabel* m_pReasonLabel;
    QLineEdit* m_pReason;
    QPushButton* m_pConfirm;
    QTextBrowser* m_pVersions;
    QLabel* m_pStatus;
};
