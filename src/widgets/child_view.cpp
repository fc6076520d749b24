#include "widgets/child_view.h"

#include "acquisition/stream_decoder.h"
#include "config/app_profile.h"
#include "config/ini.h"
#include "dialogs/curves_definition_dlg.h"
#include "dialogs/send_email_dlg.h"
#include "dialogs/settings_dialog.h"
#include "mail/send_by_email.h"
#include "mail/temp_folder.h"
#include "platform/cp1251.h"
#include "storage/export_import_file.h"
#include "storage/scp_export.h"
#include "widgets/balloon_help.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMetaObject>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>

CChildView::CChildView(QWidget* parent)
    : QWidget(parent), m_ticks([this](int id) { m_session.OnTimer(id); }),
      m_session(m_link, m_ticks, *this), m_pScroll(new QScrollBar(Qt::Horizontal, this)),
      m_pSender(new CSmtpSender(this)) {
    // The completion arrives on this thread: the sending flag is only ever touched here.
    connect(m_pSender, &CSmtpSender::Completed, this,
            [this](bool ok, const QString& why, const QString&) { OnSendCompleted(ok, why); });
    setAttribute(Qt::WA_OpaquePaintEvent); // every paint covers the whole client area
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
    m_settings.UpdateIni(true);
    m_session.m_nCom = m_settings.m_nCom;
    m_pScroll->setRange(0, 0);
    m_pScroll->setSingleStep(40);
    m_pScroll->setPageStep(401);
    connect(m_pScroll, &QScrollBar::actionTriggered, this, &CChildView::OnHScroll);
}

CChildView::~CChildView() {
    // Closing the window closes an open port; the timer goes with the session.
    m_ticks.StopTimer();
    m_link.Close();
}

QRect CChildView::ClientRect() const {
    return QRect(0, 0, width(), height() - m_pScroll->sizeHint().height());
}

void CChildView::SetPixelDensity(double pxPerCmX, double pxPerCmY) {
    m_bFixedDensity = true;
    m_chart.m_dPxPerCmX = pxPerCmX;
    m_chart.m_dPxPerCmY = pxPerCmY;
    if (m_bSized)
        OnSize(m_chart.m_nWidth, m_chart.m_nHeight);
}

QPointF CChildView::ScreenDensities() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!s)
        return QPointF(kDefaultPxPerCm, kDefaultPxPerCm);
    const QSize px = s->size() * s->devicePixelRatio();
    return QPointF(PxPerCm(px.width(), s->physicalSize().width()),
                   PxPerCm(px.height(), s->physicalSize().height()));
}

void CChildView::UpdateDensities() {
    // The window may have moved to another screen since the last pass.
    if (m_bFixedDensity)
        return;
    const QPointF d = ScreenDensities();
    m_chart.m_dPxPerCmX = d.x();
    m_chart.m_dPxPerCmY = d.y();
}

void CChildView::FirstRun() {
    const QPointF d =
        m_bFixedDensity ? QPointF(m_chart.m_dPxPerCmX, m_chart.m_dPxPerCmY) : ScreenDensities();
    ::FirstRun(m_chart, d.x(), d.y());
}

void CChildView::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    const QRect client = ClientRect();
    m_pScroll->setGeometry(0, client.height(), width(), height() - client.height());
    OnSize(client.width(), client.height());
}

void CChildView::OnSize(int cx, int cy) {
    if (!m_bSized)
        FirstRun();
    m_bSized = true;
    if (cx <= 0 || cy <= 0) {
        SetSize(m_chart, cx, cy);
        m_bBuffers = false;
        return;
    }
    UpdateDensities();
    RebuildBuffers(m_chart, cx, cy, m_gridBuffer, m_chartBuffer, m_style);
    m_chartDamage.Clean(m_gridBuffer); // the chart buffer starts as a copy of the grid
    m_bBuffers = true;
}

void CChildView::paintEvent(QPaintEvent*) {
    if (!m_bBuffers)
        return;
    // An update asked for from here would paint again at once, and again, for ever.
    const QScopedValueRollback inPaint(m_bInPaint, true);
    if (!m_bPainted) {
        m_bPainted = true;
        if (m_session.m_bLiveView)
            DrawMonitoringCurves();
        else
            DrawCurves();
    } else {
        DrawCurves(); // returns at once while the live strip owns the window
    }
    QPainter p(this);
    p.drawImage(0, 0, m_chartBuffer);
}

void CChildView::ShowPicture() {
    if (!m_bInPaint)
        update(ClientRect());
}

void CChildView::DrawCurves() {
    if (!m_bBuffers)
        return;
    UpdateDensities();
    ChartPass pass;
    {
        QPainter p(&m_chartBuffer);
        pass = ::DrawCurves(p, m_gridBuffer, m_chart, m_session, m_style, &m_chartDamage);
    }
    if (pass == ChartPass::LiveOwnsWindow)
        return; // the live strip owns the window
    if (pass == ChartPass::Drawn && RecordShown(m_session)) {
        const QSignalBlocker block(m_pScroll);
        m_pScroll->setValue(m_chart.m_nScrollPos);
    }
    ShowPicture();
}

bool CChildView::DrawOverChart(const std::function<void(QPainter&)>& draw) {
    if (!m_bBuffers)
        return false;
    {
        QPainter p(&m_chartBuffer);
        m_chartDamage.Forget();
        draw(p);
    }
    ShowPicture();
    return true;
}

void CChildView::DrawMonitoringCurves() {
    DrawOverChart([this](QPainter& p) {
        ::DrawMonitoringCurves(p, m_gridBuffer, m_chart, m_session, m_style);
    });
}

void CChildView::DrawReceivingProgress() {
    if (DrawOverChart([this](QPainter& p) {
            ::DrawReceivingProgress(p, m_gridBuffer, m_chart, m_session, m_style);
        }))
        emit StateChanged();
}

void CChildView::DrawIDS(int stringId) {
    DrawOverChart([this, stringId](QPainter& p) { ::DrawIDS(p, m_chart, stringId, m_style); });
}

void CChildView::SetRazv() {
    const QSignalBlocker block(m_pScroll);
    m_pScroll->setRange(0, ::SetRazv(m_chart, m_session));
}

void CChildView::SetScrollRange(int maxPos) {
    const QSignalBlocker block(m_pScroll);
    m_pScroll->setRange(0, maxPos);
    m_pScroll->setValue(m_chart.m_nScrollPos);
}

void CChildView::OnHScroll(int action) {
    int code = SB_ENDSCROLL;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        code = SB_LINELEFT;
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        code = SB_LINERIGHT;
        break;
    case QAbstractSlider::SliderPageStepSub:
        code = SB_PAGELEFT;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        code = SB_PAGERIGHT;
        break;
    case QAbstractSlider::SliderMove:
        code = SB_THUMBTRACK;
        break;
    case QAbstractSlider::SliderToMinimum:
        code = SB_LEFT;
        break;
    case QAbstractSlider::SliderToMaximum:
        code = SB_RIGHT;
        break;
    default:
        break;
    }
    const ScrollResult r =
        ::OnHScroll(code, m_pScroll->value(), m_pScroll->minimum(), m_pScroll->maximum(), true,
                    m_pScroll->sliderPosition(), RecordShown(m_session));
    if (!r.bApply) {
        m_pScroll->setSliderPosition(m_pScroll->value()); // nothing shown: the bar stays
        return;
    }
    m_pScroll->setSliderPosition(r.nScrollBarPos);
    m_chart.m_nScrollPos = r.nScrollPos;
    DrawCurves();
}

void CChildView::SetRecordTitle(const char* title) {
    emit RecordTitleChanged(QString::fromUtf8(title));
    emit StateChanged();
}

void CChildView::ReportPortFailure(const char* text) {
    error(QStringLiteral("Не удалось открыть порт %1").arg(QString::fromLocal8Bit(text)));
}

void CChildView::OnEkard() {
    m_session.m_nCom = m_settings.m_nCom;
    m_session.OnEkard();
    emit StateChanged();
}

void CChildView::OnConfig() {
    CSettingsDialog dlg(this);
    dlg.CopyIn(m_settings);
    if (m_runConfigDialog ? !m_runConfigDialog(dlg) : dlg.exec() != QDialog::Accepted)
        return; // nothing changes
    dlg.CopyOut(m_settings);
    QString why;
    if (!m_settings.UpdateIni(false, &why))
        error(why); // the settings hold for this window; the file could not take them
    emit StateChanged();
}

int CChildView::DefineCurves(bool bRequireAll) {
    return ::DefineCurves(this, m_session.m_Card, bRequireAll);
}

void CChildView::OnDefineCurves() {
    DefineCurves(false);
}

bool CChildView::EnsureCardComplete(CardUse use) {
    while (!IsCardComplete(m_session.m_Card, use))
        if (DefineCurves(true) != 0)
            return false;
    return true;
}

QString CChildView::ProposedFileName(const char* extension) const {
    // The record number, then the two further name parts when they hold text.
    QString name = QString::fromLatin1(m_Definition.szRecordNumber);
    for (const char* part : {m_Definition.szNamePart2, m_Definition.szNamePart3})
        if (part[0])
            name += QLatin1Char(' ') + FromCp1251(QByteArray(part, int(strnlen(part, 20))));
    return name + QLatin1String(extension);
}

QString CChildView::RecordFolder() {
    return CAppProfile().GetEcgFolder();
}

QString CChildView::ChooseSavePath(const QString& proposed, const QString& filter) {
    if (m_chooseSavePath)
        return m_chooseSavePath(proposed, filter);
    QFileDialog dlg(this, QString(), QDir(RecordFolder()).filePath(proposed), filter);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setDefaultSuffix(QFileInfo(proposed).suffix());
    dlg.setOption(QFileDialog::DontConfirmOverwrite); // an existing file is replaced
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().first();
}

void CChildView::OnExport() {
    if (!EnsureCardComplete(CardUse::Export))
        return;
    ParseRecordDefinition(m_session.m_Card, *m_session.m_pRecord, m_Definition);
    const QString path =
        ChooseSavePath(ProposedFileName(".ecg"), QStringLiteral("Data files(*.ecg) (*.ecg)"));
    if (path.isEmpty())
        return;
    DrawIDS(IDS_PROCESSING);
    ParseRecordDefinition(m_session.m_Card, *m_session.m_pRecord, m_Definition);
    CExportImportFile file;
    const bool ok = file.ExportRecord(m_Definition, *m_session.m_pRecord,
                                      QFile::encodeName(path).toStdString());
    DrawCurves();
    if (!ok) {
        // Nothing was saved: the export writer says why at the screen centre, and the window
        // keeps its title.
        ShowErrorAtScreenCentre(QString::fromStdString(file.LastErrorText()));
        return;
    }
    emit WindowTitleChanged(QFileInfo(path).fileName());
}

void CChildView::OnExportScp() {
    if (!EnsureCardComplete(CardUse::Scp))
        return;
    ParseRecordDefinition(m_session.m_Card, *m_session.m_pRecord, m_Definition);
    const QString path =
        ChooseSavePath(ProposedFileName(".scp"), QStringLiteral("SCP files(*.scp) (*.scp)"));
    if (path.isEmpty())
        return;
    const ScpSaveResult r = SaveScp(m_session, QFile::encodeName(path).toStdString());
    DrawCurves();
    if (!r.bOk) {
        ShowErrorAtScreenCentre(QString::fromStdString(r.strError));
        return;
    }
    emit WindowTitleChanged(QFileInfo(path).fileName());
}

bool CChildView::RunSendDialog(QString& to, QString& subject, QString& note) {
    if (m_runSendDialog)
        return m_runSendDialog(to, subject, note);
    CSendEmailDlg dlg(this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    to = dlg.m_strRecipient;
    subject = dlg.m_strSubject;
    note = dlg.m_strNote;
    return true;
}

void CChildView::SendRecord(bool bScp) {
    if (!EnsureCardComplete(CardUse::Export))
        return;
    ECG_RECORD& record = *m_session.m_pRecord;
    const QString suffix = QStringLiteral("-%1").arg(record.curve_id);
    ParseRecordDefinition(m_session.m_Card, record, m_Definition);
    CMailTempFolder folder; // private (0700), removed with everything in it on every path
    if (!folder.IsValid()) {
        error(folder.ErrorString());
        return;
    }
    const QString path = folder.FilePath(QString::fromLatin1(m_Definition.szRecordNumber) + suffix +
                                         (bScp ? ".scp" : ".ecg"));
    DrawIDS(IDS_PROCESSING);
    std::string why;
    bool written;
    if (bScp) {
        const ScpSaveResult r = SaveScp(m_session, QFile::encodeName(path).toStdString());
        written = r.bOk;
        why = r.strError;
    } else {
        CExportImportFile file;
        written = file.ExportRecord(m_Definition, record, QFile::encodeName(path).toStdString());
        why = file.LastErrorText();
    }
    m_session.m_nFirstLane = 0;
    m_session.m_nLanes = 0;
    DrawCurves();
    if (!written) {
        // Sending a file that was not written would send nothing useful.
        error(QString::fromStdString(why));
        return;
    }
    QString to, subject, note;
    if (!RunSendDialog(to, subject, note))
        return;
    if (m_settings.m_bSMTPEnabled) {
        const SSmtpSettings smtp = SmtpSettingsOf(
            m_settings,
            CIni(QString(), QStringLiteral("Mail")).GetString(QStringLiteral("m_szMailCABundle")));
        QString failure;
        if (!m_pSender->Send(smtp, SSmtpMessage{to, subject, note, path}, &failure)) {
            error(failure);
            return;
        }
        m_session.m_bSending = 1;
        emit StateChanged();
        DrawCurves(); // shows "Идет передача данных" until the send completes
    } else {
        CSendByEmail mail(path, m_settings.m_attrOrg, to, subject, note);
        if (!mail.Succeeded())
            error(mail.ErrorText());
    }
}

void CChildView::OnSendCompleted(bool bOk, const QString& why) {
    m_session.m_bSending = 0;
    emit StateChanged();
    DrawCurves();
    if (!bOk)
        error(why);
}

void CChildView::OnSendEmail() {
    SendRecord(false);
}

void CChildView::OnSendEmailScp() {
    SendRecord(true);
}

void CChildView::error(const QString& message) {
    // Anchored at the centre of the view; a view without a size yet anchors at (0, 0).
    const QPoint anchor =
        m_bSized ? mapToGlobal(QPoint(m_chart.m_nWidth / 2, m_chart.m_nHeight / 2)) : QPoint(0, 0);
    ShowErrorBalloon(message, anchor);
}

void CChildView::OnNewError(const QString& message) {
    QPointer<CChildView> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, copy = message] {
            if (self)
                self->error(copy);
        },
        Qt::QueuedConnection);
}
