#pragma once
// What the record commands ask the user, behind one interface: the program answers with its
// real dialogs (CDialogPrompts), a test with its own answers. The commands never know which.

#include "report/report_layout.h"

#include <QString>
#include <functional>

class CSettingsDialog;
class QPrinter;
class QWidget;

class IRecordPrompts {
public:
    virtual ~IRecordPrompts() = default;
    // The path to save to, starting from `proposed` (a full path); empty when cancelled.
    virtual QString ChooseSavePath(QWidget* parent, const QString& proposed,
                                   const QString& filter) = 0;
    // Recipient, subject and note of a send; false when cancelled.
    virtual bool RunSendDialog(QWidget* parent, QString& to, QString& subject, QString& note) = 0;
    // Runs the settings dialog already filled in; true for OK.
    virtual bool RunSettingsDialog(CSettingsDialog& dialog) = 0;
    // The report's layout, speed, gain and paper, starting from `options`; false when cancelled.
    virtual bool RunReportOptions(QWidget* parent, ReportOptions& options) = 0;
    // The system's print dialog for printer; false when cancelled.
    virtual bool RunPrintDialog(QWidget* parent, QPrinter& printer) = 0;
    // The print preview of what paint draws onto a printer.
    virtual void RunPrintPreview(QWidget* parent, QPrinter& printer,
                                 const std::function<void(QPrinter*)>& paint) = 0;
    // Whether to go ahead and lose what `question` names; false to stay.
    virtual bool ConfirmDiscard(QWidget* parent, const QString& question) = 0;
};

// The program's own dialogs.
class CDialogPrompts : public IRecordPrompts {
public:
    QString ChooseSavePath(QWidget* parent, const QString& proposed,
                           const QString& filter) override;
    bool RunSendDialog(QWidget* parent, QString& to, QString& subject, QString& note) override;
    bool RunSettingsDialog(CSettingsDialog& dialog) override;
    bool RunReportOptions(QWidget* parent, ReportOptions& options) override;
    bool RunPrintDialog(QWidget* parent, QPrinter& printer) override;
    void RunPrintPreview(QWidget* parent, QPrinter& printer,
                         const std::function<void(QPrinter*)>& paint) override;
    bool ConfirmDiscard(QWidget* parent, const QString& question) override;

    // The one instance the commands use unless given another.
    static CDialogPrompts& Instance();
};
