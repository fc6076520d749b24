#include "dialogs/send_email_dlg.h"

#include "dialogs/history_combo.h"

#include "dialogs/dialog_buttons.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace {

const QString kSection = QStringLiteral("HistoryCombos");

} // namespace

CSendEmailDlg::CSendEmailDlg(QWidget* parent)
    : QDialog(parent), m_pRecipient(new CHistoryCombo(this)), m_pSubject(new CHistoryCombo(this)),
      m_pNote(new QPlainTextEdit(this)) {
    setWindowTitle(tr("отослать карточку по E-Mail"));
    auto* form = new QFormLayout(this);
    form->addRow(tr("Кому:"), m_pRecipient);
    form->addRow(tr("Тема:"), m_pSubject);
    form->addRow(tr("Примечание:"), m_pNote);
    m_pRecipient->setMinimumWidth(320);

    form->addRow(MakeApplyCancelButtons(this));

    m_pSubject->LoadHistory(kSection, QStringLiteral("Subject"), true);
    m_pRecipient->LoadHistory(kSection, QStringLiteral("Recipent"), true);
    if (m_pNote->toPlainText().isEmpty())
        m_pSubject->setEditText(tr("Карточка пациента"));
}

void CSendEmailDlg::accept() {
    m_strNote = m_pNote->toPlainText();
    m_strSubject = m_pSubject->currentText();
    m_pSubject->SaveHistory(true);
    m_strRecipient = m_pRecipient->currentText();
    m_pRecipient->SaveHistory(true);
    QDialog::accept();
}
