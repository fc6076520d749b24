#pragma once
// The record window's view: owns the record and its reception session, the two off-screen
// buffers (grid and chart), the settings of its own, and carries out the record commands.

#include "acquisition/acquisition_session.h"
#include "acquisition/port_links.h"
#include "acquisition/qt_tick_source.h"
#include "analysis/measurements.h"
#include "config/view_settings.h"
#include "display/chart_geometry.h"
#include "display/chart_renderer.h"
#include "display/chart_style.h"
#include "display/monitor_renderer.h"
#include "display/reading_settings.h"
#include "mail/smtp_sender.h"
#include "report/report_renderer.h"
#include "storage/card_fields.h"
#include "storage/record_definition.h"
#include "widgets/view_prompts.h"

#include <QImage>
#include <QList>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <functional>
#include <optional>
#include <utility>

class QScrollBar;

class CChildView : public QWidget, public IDisplaySink {
    Q_OBJECT
public:
    explicit CChildView(QWidget* parent = nullptr);
    ~CChildView() override;

    CAcquisitionSession& Session() { return m_session; }
    const CAcquisitionSession& Session() const { return m_session; }
    const CChartView& Chart() const { return m_chart; }
    bool Loaded() const { return m_session.m_bLoaded != 0; }
    bool Sending() const { return m_session.m_bSending != 0; }
    const QImage& ChartBuffer() const { return m_chartBuffer; }
    QScrollBar* ScrollBar() const { return m_pScroll; }

    // Record commands.
    void OnEkard();
    void OnConfig();
    void OnDefineCurves();
    void OnExport();
    void OnSendEmail();
    void OnExportScp();
    void OnSendEmailScp();
    void OnSendEmailDicom();
    // The record to the hospital's archive (C-STORE of its DICOM object); Esc cancels.
    void OnSendPacs();
    // The report: on a printer, in Qt's print preview, into a PDF file. Each asks for the
    // layout, speed, gain and paper first (the last choice is remembered).
    void OnPrint();
    void OnPrintPreview();
    void OnSavePdf();

    // Opens the patient card; 0 when confirmed, 1 when cancelled.
    int DefineCurves(bool bRequireAll);
    // Asks for the card until it is complete for `use`; false when the user cancels.
    bool EnsureCardComplete(CardUse use);
    // The name a save proposes: the record number text and the extension.
    QString ProposedFileName(const char* extension) const;
    // Where the save dialogs open: the record folder of the per-user profile.
    static QString RecordFolder();
    CViewSettings& Settings() { return m_settings; }
    // Where the view's questions go (the program's dialogs unless set); not owned.
    void SetPrompts(IViewPrompts* prompts) { m_pPrompts = prompts; }

    // Opens a record file of any type the records layer opens and shows it as a received
    // record, with its card; the window is named after the file. False with *error (naming the
    // file and what is wrong) and the window as it was.
    bool OpenRecord(const QString& path, QString* error);
    // Shows a record already read from the file at path, as OpenRecord does.
    void ShowDocument(const struct CLoadedRecord& doc, const QString& path);

    // How this window reads its record: speed, gain, filters (new windows take the user's last
    // choice). They change what is drawn, never the record.
    const ReadingSettings& Reading() const { return m_reading; }
    void SetReading(const ReadingSettings& reading);
    // A command of "Вид" (see reading_commands): applied to this window and remembered.
    void OnReadingCommand(int id);
    // What the live strip draws through the mains filter (the ring's layout); empty without it.
    const std::vector<int16_t>& LiveFiltered() const { return m_liveRing; }
    // The calipers drawn by dragging over a shown record: their two ends in the view, if any.
    std::optional<std::pair<QPoint, QPoint>> Calipers() const { return m_calipers; }

    // The automatic measurements of the record shown; null while none is (an empty window, a
    // reception under way).
    const analysis::Measurements* RecordMeasurements() const {
        return m_bMeasured ? &m_measurements : nullptr;
    }

    // Shows message in a balloon at the centre of the view.
    void Error(const QString& message);
    // Hands an error from any thread to the view: the text is copied and shown on the view's
    // thread.
    void OnNewError(const QString& message);

    // Densities used by the drawing (pixels per centimetre); taken from the screen unless set.
    void SetPixelDensity(double pxPerCmX, double pxPerCmY);

    // IDisplaySink: what the reception asks of the window.
    void DrawIDS(int stringId) override;
    void DrawReceivingProgress() override;
    void DrawMonitoringCurves() override;
    void SetRazv() override;
    void SetScrollRange(int maxPos) override;
    void DrawCurves() override;
    void ShowPicture() override;
    void SetRecordTitle(const char* title) override;
    void ReportPortFailure(const char* text) override;
    void ReportLinkDown(const char* text) override;

    RECORD_DEFINITION m_Definition{}; // filled before every save and send

signals:
    void RecordTitleChanged(const QString& title);
    // A save names the window after the file (the record title returns with the focus).
    void WindowTitleChanged(const QString& title);
    void StateChanged();
    // A finished record was kept in the received folder, at path.
    void RecordKept(const QString& path);
    // A record file was opened or saved (for the recent files).
    void RecordFileUsed(const QString& path);
    // What the line under the chart says: the record's measurements, the live heart rate during
    // a reception, or nothing (empty).
    void MeasurementLineChanged(const QString& line);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void OnSize(int cx, int cy);
    void OnHScroll(int action);
    void FirstRun();
    void UpdateDensities();
    // Draws something other than the chart into the chart buffer and shows what it changed (the
    // region draw returns, none when empty; no region at all: the whole picture). The next chart
    // pass then puts back the whole grid. False while there are no buffers.
    bool DrawOverChart(const std::function<std::optional<QRegion>(QPainter&)>& draw);
    QPointF ScreenDensities() const;
    QRect ClientRect() const;
    void OnTick(int timerId);
    // A new action starts: what the balloons said of earlier ones no longer holds, and a
    // balloon must not stay above the dialog the action may open.
    void CloseBalloons();
    void Keep(class CBalloonHelp* balloon);
    // After a command or a tick: a record that has just been finished is kept at once.
    void KeepWhenFinished(bool bWasLoaded);
    // Measures the record when one is shown, else clears the measurements; says so in the line.
    void UpdateMeasurements();
    // Every second of a live picture: the heart rate of its last seconds.
    void UpdateLiveHeartRate();
    void SaveRecord(const char* extension);
    void DrawBeatMarks(QPainter& p) const;
    // The live mains filter in effect, if any.
    std::optional<analysis::Filter> LiveMains() const;
    // Runs the points of this tick through it into m_liveRing.
    void FilterLivePoints(analysis::Filter mains);
    // A report command starts: the earlier balloons go, the options are asked for (false when
    // cancelled) and remembered, and the printer, when given, takes the paper.
    bool StartReport(ReportOptions& options, class QPrinter* printer);
    ReportInput ReportOfRecord() const;
    void SendRecord(const char* extension);
    void OnSendCompleted(bool bOk, const QString& error);

    CViewSettings m_settings;
    CSerialPortLink m_link;
    CQtTickSource m_ticks;
    CAcquisitionSession m_session;
    CChartView m_chart;
    CChartStyle m_style;
    QImage m_gridBuffer;
    QImage m_chartBuffer;
    // What the live strip's labels in the chart buffer were drawn from; 0 when something else
    // may have drawn over them since.
    uint64_t m_nLiveLabelsKey = 0;
    CChartDamage m_chartDamage; // what the last chart pass drew into m_chartBuffer
    QScrollBar* m_pScroll;
    CSmtpSender* m_pSender;
    class CPacsJob* m_pPacs;
    void OnPacsFinished(bool bOk, const QString& reason);
    IViewPrompts* m_pPrompts = &CDialogPrompts::Instance();
    QList<QPointer<class CBalloonHelp>> m_balloons; // the balloons this view has shown
    bool m_bSized = false;
    bool m_bPainted = false;
    bool m_bInPaint = false; // the picture is being shown: drawing needs no further update
    bool m_bBuffers = false;
    bool m_bFixedDensity = false;
    // The chart buffer holds what a tick drew over the chart (live strip, progress, status text):
    // while a session runs, a repaint shows it as it is instead of running the chart pass.
    bool m_bOverChart = false;
    ReadingSettings m_reading;
    std::optional<std::pair<QPoint, QPoint>> m_calipers;
    bool m_bDragging = false;
    CFilteredSamples m_filtered;
    // The live ring through the mains filter (causal: each point as it arrives), lane by lane.
    std::vector<int16_t> m_liveRing;
    std::vector<analysis::CCausalFilter> m_liveFilters;
    analysis::Filter m_liveMains = analysis::Filter::Mains50;
    analysis::Measurements m_measurements;
    bool m_bMeasured = false;
    int m_nLiveTicks = 0;
};
