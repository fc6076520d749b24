#include "commands/record_commands.h"

#include "config/app_profile.h"
#include "dialogs/curves_definition_dlg.h"
#include "dialogs/settings_dialog.h"
#include "mail/smtp_sender.h"
#include "record_io/interchange_helper.h"
#include "record_io/record_files.h"
#include "record_io/record_hl7.h"
#include "record_io/record_mail.h"
#include "record_io/record_pacs.h"
#include "report/report_file.h"
#include "report/report_renderer.h"
#include "report/report_settings.h"

#include <QDir>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// The report's paper, landscape, with the painter's origin at the paper's corner: the page is
// laid out in millimetres from there.
void PreparePrinter(QPrinter& printer, const ReportOptions& o) {
    printer.setFullPage(true);
    printer.setPageLayout(
        QPageLayout(QPageSize(o.paper == ReportPaper::Letter ? QPageSize::Letter : QPageSize::A4),
                    QPageLayout::Landscape, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

bool PaintReport(QPrinter* printer, const ReportInput& in, const ReportOptions& o) {
    QPainter p;
    if (!p.begin(printer))
        return false;
    DrawReport(p, printer->resolution() / 25.4, in, o);
    return p.end();
}

} // namespace

CRecordCommands::CRecordCommands(CEcgDocument& document, CViewSettings& settings,
                                 QWidget* dialogParent, QObject* parent)
    : QObject(parent), m_document(document), m_settings(settings), m_pDialogParent(dialogParent),
      m_pPrompts(&CDialogPrompts::Instance()), m_pSender(new CSmtpSender(this)),
      m_pPacs(new CPacsJob(this)), m_pTask(new CBackgroundTask(this)) {
    connect(m_pTask, &CBackgroundTask::Finished, this, [this](bool ok, const QString& why) {
        emit Processing(false);
        if (auto then = std::exchange(m_then, nullptr))
            then(ok, why);
    });
    // The completions arrive on this thread: the sending flag is only ever touched here.
    connect(m_pSender, &CSmtpSender::Completed, this,
            [this](bool ok, const QString& why, const QString&) {
                m_document.SetSending(false);
                if (!ok)
                    Fail(why);
            });
    // Every end of a send is said: a send that went and one the user stopped are news too.
    connect(m_pPacs, &CPacsJob::Finished, this, [this](bool ok, const QString& reason) {
        m_document.SetSending(false);
        if (ok)
            emit Informed(tr("Запись отправлена в PACS %1 (%2:%3).")
                              .arg(m_strPacsTitle, m_strPacsHost)
                              .arg(m_nPacsPort));
        else if (reason == QLatin1String("cancelled"))
            emit Informed(tr("Отправка в PACS отменена: архив записи не получил."));
        else
            Fail(tr("Не удалось отправить в PACS: %1").arg(reason));
    });
}

CRecordCommands::~CRecordCommands() = default;

void CRecordCommands::Fail(const QString& message, FailurePlace place) {
    emit Failed(message, place);
}

QString CRecordCommands::RecordFolder() {
    return CAppProfile().GetEcgFolder();
}

void CRecordCommands::OnConfig() {
    emit Started();
    CSettingsDialog dlg(m_pDialogParent);
    dlg.CopyIn(m_settings);
    if (!m_pPrompts->RunSettingsDialog(dlg))
        return; // nothing changes
    dlg.CopyOut(m_settings);
    m_document.SetRatePractice(analysis::RatePracticeOf(m_settings.m_szRatePractice.toStdString()));
    QString why;
    if (!m_settings.UpdateIni(false, &why)) // they hold for this window; the file refused them
        Fail(tr("Настройки не сохранены: %1").arg(why));
    emit StateChanged();
}

int CRecordCommands::DefineCurves(bool bRequireAll, CardUse use) {
    const PATIENT_CARD before = m_document.Card();
    const int result = ::DefineCurves(m_pDialogParent, m_document.Card(), bRequireAll, use);
    if (result == 0 && std::memcmp(&before, &m_document.Card(), sizeof before) != 0)
        m_document.CardEdited(); // typed into the window only, until a save
    return result;
}

bool CRecordCommands::ConfirmDiscard(const QString& action) {
    QString what;
    switch (m_document.WhatIsUnkept()) {
    case CEcgDocument::Unkept::Nothing:
        return true;
    case CEcgDocument::Unkept::Record:
        what = tr("Принятая запись не сохранена: её не удалось записать в папку принятых.");
        break;
    case CEcgDocument::Unkept::Card:
        what = tr("Карточка пациента изменена и не сохранена ни в одном файле.");
        break;
    }
    return m_pPrompts->ConfirmDiscard(
        m_pDialogParent,
        tr("%1\n%2 и потерять её? Чтобы сохранить, выберите «Нет» и сохраните запись.")
            .arg(what, action));
}

void CRecordCommands::OnDefineCurves() {
    emit Started();
    DefineCurves(false);
}

bool CRecordCommands::EnsureCardComplete(CardUse use) {
    while (!IsCardComplete(m_document.Card(), use))
        if (DefineCurves(true, use) != 0)
            return false;
    return true;
}

void CRecordCommands::SaveRecord(const char* extension) {
    emit Started();
    const RecordFileType& type = *RecordFileTypeOf(QLatin1String(extension));
    if (!EnsureCardComplete(type.use))
        return;
    // The record's texts and the definition follow the card, as the window shows them.
    m_document.ApplyCard();
    // A type's dialog may offer others as well (the package's: DICOM, aECG, EDF+); the name
    // chosen decides which is written.
    QString filter = DialogFilter(type);
    if (type.bOffersOthers)
        for (const RecordFileType& other : RecordFileTypes())
            if (other.bOfferedBesideOthers)
                filter += QStringLiteral(";;") + DialogFilter(other);
    const QString path = m_pPrompts->ChooseSavePath(
        m_pDialogParent, QDir(RecordFolder()).filePath(m_document.ProposedFileName(extension)),
        filter);
    if (path.isEmpty())
        return;
    const RecordFileType* chosen = RecordFileTypeOf(path);
    if (!type.bOffersOthers || !chosen || !chosen->bOfferedBesideOthers)
        chosen = &type;
    // Written off the window's thread (a DICOM object is the helper's work), from copies: the
    // window may start a new reception meanwhile.
    auto record = std::make_shared<const ECG_RECORD>(m_document.Record());
    const PATIENT_CARD card = m_document.Card();
    auto reading = std::make_shared<const CDoctorReading>(m_document.Reading());
    RunInBackground(
        [path, chosen, record, card, how = StatementSettings(reading.get()), reading](
            std::string* why) { return SaveRecordFile(path, *chosen, *record, &card, why, how); },
        [this, path](bool ok, const QString& why) {
            if (!ok) {
                // Nothing was saved: the writer says why, and the window keeps its title.
                Fail(why, FailurePlace::ScreenCentre);
                return;
            }
            m_document.SavedAs(path);
        });
}

bool CRecordCommands::RunInBackground(CBackgroundTask::Work work,
                                      std::function<void(bool, const QString&)> then) {
    if (m_pTask->IsRunning()) {
        Fail(tr("Запись ещё сохраняется: дождитесь конца."));
        return false;
    }
    emit Processing(true);
    m_then = std::move(then);
    m_pTask->Start(std::move(work));
    return true;
}

void CRecordCommands::OnExport() {
    SaveRecord(".ecg");
}

void CRecordCommands::OnExportScp() {
    SaveRecord(".scp");
}

bool CRecordCommands::StartReport(ReportOptions& options, QPrinter* printer) {
    emit Started();
    CAppProfile profile;
    options = LoadReportOptions(profile);
    if (!m_pPrompts->RunReportOptions(m_pDialogParent, options))
        return false;
    StoreReportOptions(profile, options);
    if (printer)
        PreparePrinter(*printer, options);
    return true;
}

ReportInput CRecordCommands::ReportOfRecord() const {
    // Read through the window's filters: drawn and measured through them, named in the footer.
    ReportInput in = ReportInputFor(
        m_document.Record(), m_document.Card(), m_document.AbsentLanes(), m_settings.m_attrOrg,
        m_document.Filters(), {analysis::RatePracticeOf(m_settings.m_szRatePractice.toStdString())},
        m_document.Reading().Confirmed() ? &m_document.Reading() : nullptr);
    in.fileFindings = QString::fromStdString(
        FileFindingsLine(m_document.FileFindings(), m_document.FileStatements()));
    return in;
}

CStatementSettings CRecordCommands::StatementSettings(const CDoctorReading* reading) const {
    // The statements a file carries are the window's: through its filters, by its rate limits,
    // or the doctor's reading once confirmed.
    CStatementSettings how;
    how.m_Filters = m_document.Filters();
    how.m_Settings.practice = analysis::RatePracticeOf(m_settings.m_szRatePractice.toStdString());
    if (reading && reading->Confirmed())
        how.m_pReading = reading;
    how.m_Order = m_document.Order(); // a record bound to a worklist order carries it
    return how;
}

void CRecordCommands::OnPrint() {
    ReportOptions o;
    QPrinter printer(QPrinter::HighResolution);
    if (!StartReport(o, &printer) || !m_pPrompts->RunPrintDialog(m_pDialogParent, printer))
        return;
    if (!PaintReport(&printer, ReportOfRecord(), o))
        Fail(tr("Не удалось напечатать отчет: принтер %1 недоступен")
                 .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                      : printer.printerName()));
}

void CRecordCommands::OnPrintPreview() {
    ReportOptions o;
    QPrinter printer(QPrinter::HighResolution);
    if (!StartReport(o, &printer))
        return;
    const ReportInput in = ReportOfRecord();
    m_pPrompts->RunPrintPreview(m_pDialogParent, printer,
                                [&](QPrinter* target) { PaintReport(target, in, o); });
}

void CRecordCommands::OnSavePdf() {
    ReportOptions o;
    if (!StartReport(o, nullptr))
        return;
    m_document.ApplyCard();
    const QString path = m_pPrompts->ChooseSavePath(
        m_pDialogParent, QDir(RecordFolder()).filePath(m_document.ProposedFileName(".pdf")),
        tr("Документы PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    std::string why;
    if (!WriteReportPdf(path, ReportOfRecord(), o, &why))
        Fail(QString::fromStdString(why), FailurePlace::ScreenCentre);
}

void CRecordCommands::SendRecord(const char* extension) {
    emit Started();
    if (!EnsureCardComplete(CardUse::Export))
        return;
    m_document.ApplyCard();
    // Its private folder goes, with the attachment, on every path.
    auto mail = std::make_shared<CRecordMail>();
    auto record = std::make_shared<const ECG_RECORD>(m_document.Record());
    const PATIENT_CARD card = m_document.Card();
    const std::string type = extension;
    RunInBackground(
        [mail, record, card, type](std::string* why) {
            return mail->Prepare(*record, card, type.c_str(), why);
        },
        [this, mail](bool written, const QString& why) {
            if (!written) {
                // Sending a file that was not written would send nothing useful.
                Fail(why);
                return;
            }
            SendPrepared(*mail);
        });
}

void CRecordCommands::SendPrepared(CRecordMail& mail) {
    SMailText text;
    if (!m_pPrompts->RunSendDialog(m_pDialogParent, text.strTo, text.strSubject, text.strNote))
        return;
    if (m_settings.m_bSMTPEnabled) {
        QString failure;
        if (!mail.StartSmtp(*m_pSender, m_settings, text, &failure)) {
            Fail(failure);
            return;
        }
        m_document.SetSending(true); // "Идет передача данных" until the send completes
    } else {
        const std::unique_ptr<CSendByEmail> handed = mail.HandOff(m_settings, text);
        if (!handed->Succeeded())
            Fail(handed->ErrorText());
    }
}

void CRecordCommands::OnSendEmail() {
    SendRecord(".ecg");
}

void CRecordCommands::OnSendEmailScp() {
    SendRecord(".scp");
}

void CRecordCommands::OnSendEmailDicom() {
    SendRecord(".dcm");
}

void CRecordCommands::OnSendPacs() {
    emit Started();
    if (const QString fault = PacsSettingsFault(m_settings); !fault.isEmpty()) {
        Fail(tr("Отправка в PACS невозможна: %1 (Настройки, страница PACS)").arg(fault));
        return;
    }
    m_document.ApplyCard();
    std::string why;
    // The printed report goes beside the ECG, as the window prints it (its filters, reading and
    // remembered page options), for the archive's viewers that draw no waveform.
    CStatementSettings how = StatementSettings(&m_document.Reading());
    CAppProfile profile;
    how.m_MakeReportPdf = ReportPdfMakerFor(m_settings.m_attrOrg, how, m_document.AbsentLanes(),
                                            LoadReportOptions(profile));
    if (!m_pPacs->StartStore(m_settings, m_document.Record(), m_document.Card(), &why, how)) {
        Fail(tr("Не удалось отправить в PACS: %1").arg(QString::fromStdString(why)));
        return;
    }
    m_strPacsTitle = m_settings.m_szPacsAETitle;
    m_strPacsHost = m_settings.m_szPacsHost;
    m_nPacsPort = m_settings.m_nPacsPort;
    m_document.SetSending(true); // "Идет передача данных" until the archive answers
}

bool CRecordCommands::CancelSend() {
    if (m_pPacs->IsRunning()) {
        m_pPacs->Cancel();
        return true;
    }
    if (m_bSendingHis && m_pTask->IsRunning()) {
        m_pTask->Cancel();
        return true;
    }
    return false;
}

void CRecordCommands::OnSendHis() {
    emit Started();
    const CMllpLink link = HisLinkOf(m_settings);
    if (link.host.empty() || link.port <= 0) {
        Fail(tr("Отправка в МИС невозможна: не задан адрес медицинской информационной системы "
                "(Настройки, страница PACS)"));
        return;
    }
    if (!Hl7CardFault(m_document.Card()).empty()) {
        Fail(tr("Отправка в МИС невозможна: в карточке нет ни фамилии пациента, ни номера "
                "медицинской карты"));
        return;
    }
    m_document.ApplyCard();
    // From copies: the window may start a new reception meanwhile. The report is the one the
    // window prints; the message says what it says.
    auto record = std::make_shared<const ECG_RECORD>(m_document.Record());
    auto reading = std::make_shared<const CDoctorReading>(m_document.Reading());
    const PATIENT_CARD card = m_document.Card();
    CStatementSettings how = StatementSettings(reading.get());
    CAppProfile profile;
    how.m_MakeReportPdf = ReportPdfMakerFor(m_settings.m_attrOrg, how, m_document.AbsentLanes(),
                                            LoadReportOptions(profile));
    const CViewSettings settings = m_settings;
    auto sent = std::make_shared<CHl7SendReport>();
    m_bSendingHis = RunInBackground(
        [record, reading, card, how, settings, link, sent](std::string* why) {
            CHl7Outbox outbox(CHl7Outbox::DefaultFolder());
            std::string id;
            bool bFinal = false;
            if (!KeepHl7Result(outbox, settings, *record, card, how, &id, &bFinal, why))
                return false;
            CMllpLink cancellable = link;
            cancellable.cancelled = [] { return CHelperCancelScope::Cancelled(); };
            *sent = SendHl7Outbox(outbox, cancellable, id);
            if (sent->bDone)
                return true;
            if (CHelperCancelScope::Cancelled())
                return false; // said as "cancelled"
            const auto mine = std::find_if(sent->outcomes.begin(), sent->outcomes.end(),
                                           [&](const CHl7Outcome& o) { return o.controlId == id; });
            *why = mine != sent->outcomes.end()
                       ? mine->error
                       : tr("не доставлены более ранние результаты").toStdString();
            return false;
        },
        [this, sent](bool ok, const QString& why) {
            m_bSendingHis = false;
            const QString waiting =
                sent->nLeft ? tr(" В очереди для МИС: %1 (Архив, Очередь результатов для МИС).")
                                  .arg(sent->nLeft)
                            : QString();
            if (ok)
                emit Informed(tr("Результат принят медицинской информационной системой.") +
                              waiting);
            else if (why == QLatin1String("cancelled"))
                emit Informed(tr("Отправка в МИС остановлена; результат сохранён в очереди.") +
                              waiting);
            else
                Fail(tr("Результат не принят МИС: %1. Он сохранён и будет отправлен снова.")
                         .arg(why) +
                     waiting);
        });
}
