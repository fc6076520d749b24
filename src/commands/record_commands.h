#pragma once
// The record window's commands on its document: the patient card, the window's settings, save
// (package, SCP-ECG and the hospital's formats), mail, send to the PACS, print, print preview
// and PDF, with their jobs, the card prompting and the file names they propose. They act on the
// document and ask the user through the prompts; what the window should show they report by
// signals. They never see the view.

#include "commands/record_prompts.h"
#include "config/view_settings.h"
#include "document/ecg_document.h"
#include "record_io/background_task.h"
#include "storage/card_fields.h"

#include <QObject>
#include <QString>
#include <functional>

class CPacsJob;
class CRecordMail;
class CSmtpSender;
class QPrinter;
struct ReportInput;

// Where a failure is shown: at the window's centre, or at the screen's (a save that failed: the
// file dialog has just closed there).
enum class FailurePlace { Window, ScreenCentre };

class CRecordCommands : public QObject {
    Q_OBJECT
public:
    // settings: the window's own copy; dialogParent: the window the dialogs belong to.
    CRecordCommands(CEcgDocument& document, CViewSettings& settings, QWidget* dialogParent,
                    QObject* parent = nullptr);
    ~CRecordCommands() override;

    // Where the questions go (the program's dialogs unless set); not owned.
    void SetPrompts(IRecordPrompts* prompts) { m_pPrompts = prompts; }
    CEcgDocument& Document() { return m_document; }

    void OnConfig();
    void OnDefineCurves();
    void OnExport();
    void OnExportScp();
    void OnSendEmail();
    void OnSendEmailScp();
    void OnSendEmailDicom();
    // The record to the hospital's archive (C-STORE of its DICOM object), in the background.
    void OnSendPacs();
    // The record's result to the hospital information system (HL7 ORU over MLLP), in the
    // background: kept in the outbox first, so that a system out of reach loses nothing.
    void OnSendHis();
    // The report on a printer, in Qt's print preview, into a PDF file. Each asks for the
    // layout, speed, gain and paper first (the last choice is remembered).
    void OnPrint();
    void OnPrintPreview();
    void OnSavePdf();

    // A file is being written or prepared for sending.
    bool Busy() const { return m_pTask->IsRunning(); }

    // Stops a send to the PACS or to the hospital system under way (Esc); false when none runs.
    bool CancelSend();

    // Opens the patient card; 0 when confirmed, 1 when cancelled.
    int DefineCurves(bool bRequireAll, CardUse use = CardUse::Export);
    // Whether `action` ("Закрыть окно") may go ahead: yes when the record and its card are in a
    // file; otherwise the user is asked.
    bool ConfirmDiscard(const QString& action);
    // Asks for the card until it is complete for `use`; false when the user cancels.
    bool EnsureCardComplete(CardUse use);
    // Where the save dialogs open: the record folder of the per-user profile.
    static QString RecordFolder();

signals:
    // A command starts: what the window said of earlier ones no longer holds.
    void Started();
    // A file is being written (on): the window says "Обработка данных"; off: the chart returns.
    void Processing(bool bOn);
    void Failed(const QString& message, FailurePlace place);
    // Something the user should know that is no failure (a send to the PACS ended or stopped).
    void Informed(const QString& message);
    // What the commands' states depend on may have changed (the settings).
    void StateChanged();

private:
    void SaveRecord(const char* extension);
    void SendRecord(const char* extension);
    void SendPrepared(CRecordMail& mail);
    // Slow work (a file written, perhaps by the helper) off the window's thread, "Обработка
    // данных" meanwhile; `then` gets its outcome on this thread. One at a time: false, and said,
    // while another runs.
    bool RunInBackground(CBackgroundTask::Work work,
                         std::function<void(bool ok, const QString& why)> then);
    // A report command starts: the options are asked for (false when cancelled) and
    // remembered, and the printer, when given, takes the paper.
    bool StartReport(ReportOptions& options, QPrinter* printer);
    // How the window's saves and sends make the statements a file carries; `reading` must
    // outlive their use.
    CStatementSettings StatementSettings(const CDoctorReading* reading) const;
    ReportInput ReportOfRecord() const;
    void Fail(const QString& message, FailurePlace place = FailurePlace::Window);

    CEcgDocument& m_document;
    // The archive of the send under way, as it was when the send began.
    QString m_strPacsTitle, m_strPacsHost;
    int m_nPacsPort = 0;
    CViewSettings& m_settings;
    QWidget* m_pDialogParent;
    IRecordPrompts* m_pPrompts;
    CSmtpSender* m_pSender;
    CPacsJob* m_pPacs;
    CBackgroundTask* m_pTask;
    bool m_bSendingHis = false; // the background task is a send to the hospital system
    std::function<void(bool, const QString&)> m_then;
};
