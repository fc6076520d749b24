#include "commands/record_prompts.h"

#include "dialogs/report_options_dlg.h"
#include "dialogs/send_email_dlg.h"
#include "dialogs/settings_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

QString CDialogPrompts::ChooseSavePath(QWidget* parent, const QString& proposed,
                                       const QString& filter) {
    QFileDialog dlg(parent, QString(), proposed, filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QFileInfo(proposed).suffix());
    // A name typed without a suffix takes the type chosen in the filter list ("DICOM ЭКГ (*.dcm)").
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&dlg](const QString& chosen) {
        const int star = chosen.indexOf(QLatin1String("(*."));
        if (star >= 0)
            dlg.setDefaultSuffix(chosen.mid(star + 3)
                                     .section(QLatin1Char(')'), 0, 0)
                                     .section(QLatin1Char(' '), 0, 0));
    });
    // The proposed name is the device's record number, the same for every record of one
    // cardiograph: replacing a file without asking would lose another patient's record.
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

bool CDialogPrompts::RunSendDialog(QWidget* parent, QString& to, QString& subject, QString& note) {
    CSendEmailDlg dlg(parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    to = dlg.m_strRecipient;
    subject = dlg.m_strSubject;
    note = dlg.m_strNote;
    return true;
}

bool CDialogPrompts::RunSettingsDialog(CSettingsDialog& dialog) {
    return dialog.exec() == QDialog::Accepted;
}

bool CDialogPrompts::RunReportOptions(QWidget* parent, ReportOptions& options) {
    CReportOptionsDlg dlg(parent, options);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    options = dlg.Options();
    return true;
}

bool CDialogPrompts::RunPrintDialog(QWidget* parent, QPrinter& printer) {
    QPrintDialog dlg(&printer, parent);
    return dlg.exec() == QDialog::Accepted;
}

void CDialogPrompts::RunPrintPreview(QWidget* parent, QPrinter& printer,
                                     const std::function<void(QPrinter*)>& paint) {
    QPrintPreviewDialog dlg(&printer, parent);
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, paint);
    dlg.exec();
}

bool CDialogPrompts::ConfirmDiscard(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, QStringLiteral("velmora"), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

CDialogPrompts& CDialogPrompts::Instance() {
    static CDialogPrompts prompts;
    return prompts;
}
