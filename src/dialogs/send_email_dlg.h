#pragma once
// The send dialog: recipient and subject with their histories, and a note. Proposes the subject
// "Карточка пациента".

#include <QCoreApplication>
#include <QDialog>

class CHistoryCombo;
class QPlainTextEdit;

class CSendEmailDlg : public QDialog {
    Q_DECLARE_TR_FUNCTIONS(CSendEmailDlg)
public:
    explicit CSendEmailDlg(QWidget* parent = nullptr);

    QString m_strRecipient;
    QString m_strSubject;
    QString m_strNote;

    CHistoryCombo* RecipientBox() const { return m_pRecipient; }
    CHistoryCombo* SubjectBox() const { return m_pSubject; }
    QPlainTextEdit* NoteEdit() const { return m_pNote; }

    void accept() override;

private:
    CHistoryCombo* m_pRecipient;
    CHistoryCombo* m_pSubject;
    QPlainTextEdit* m_pNote;
};
