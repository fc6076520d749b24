#pragma once
// The record commands' questions answered by the test: each answer is a function the test sets;
// an unset one answers "cancel".

#include "commands/record_prompts.h"

#include <functional>

class CFakePrompts : public IRecordPrompts {
public:
    std::function<QString(const QString& proposed, const QString& filter)> savePath;
    std::function<bool(QString& to, QString& subject, QString& note)> sendDialog;
    std::function<bool(CSettingsDialog&)> settingsDialog;
    std::function<bool(ReportOptions&)> reportOptions;
    std::function<bool(QPrinter&)> printDialog;
    std::function<void(QPrinter&, const std::function<void(QPrinter*)>&)> printPreview;
    std::function<bool(const QString& question)> confirmDiscard;

    QString ChooseSavePath(QWidget*, const QString& proposed, const QString& filter) override {
        return savePath ? savePath(proposed, filter) : QString();
    }
    bool RunSendDialog(QWidget*, QString& to, QString& subject, QString& note) override {
        return sendDialog && sendDialog(to, subject, note);
    }
    bool RunSettingsDialog(CSettingsDialog& dialog) override {
        return settingsDialog && settingsDialog(dialog);
    }
    bool RunReportOptions(QWidget*, ReportOptions& options) override {
        return reportOptions && reportOptions(options);
    }
    bool RunPrintDialog(QWidget*, QPrinter& printer) override {
        return printDialog && printDialog(printer);
    }
    bool ConfirmDiscard(QWidget*, const QString& question) override {
        return confirmDiscard && confirmDiscard(question);
    }
    void RunPrintPreview(QWidget*, QPrinter& printer,
                         const std::function<void(QPrinter*)>& paint) override {
        if (printPreview)
            printPreview(printer, paint);
    }
};
