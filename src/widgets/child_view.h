#pragma once
// The record window's view: owns the record's reception session and its document, the two
// off-screen buffers (grid and chart) and the settings of its own; it draws the record, runs
// the reception and the reading tools (speed, gain, filters, calipers, beat marks). What is done
// with the record (save, mail, PACS, print) is the record commands' (commands/), which act on
// the document and never see the view.

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
#include "document/ecg_document.h"

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

    // Command 32772: starts or stops a reception.
    void OnEkard();
    // The window's document: the record and what belongs to it.
    CEcgDocument& Document() { return m_document; }
    const CEcgDocument& Document() const { return m_document; }
    CViewSettings& Settings() { return m_settings; }

    // Shows a record read from the file at path (off the window's thread, by the main window) as
    // a received record, with its card; the window is named after the file.
    void ShowRecordFile(const CLoadedRecord& loaded, const QString& path);
    // Shows a record opened from the archive, as ShowRecordFile does a file's.
    void ShowArchivedRecord(const CLoadedRecord& loaded, qint64 id, const QString& title);

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
    const analysis::Measurements* RecordMeasurements() const { return m_document.Measurements(); }

    // Shows message in a balloon at the centre of the view, in place of any it showed before; the
    // balloon goes with the view.
    void Error(const QString& message);
    // The same for news that is no error (the information icon).
    void Inform(const QString& message);
    // A command starts: what the balloons said of earlier ones no longer holds, and a balloon
    // must not stay above the dialog the command may open.
    void CloseBalloons();
    // Shows message in a balloon at the centre of the screen (and closes it with the others).
    void ErrorAtScreenCentre(const QString& message);
    // A file is being written: "Обработка данных" instead of the chart (on); the chart again
    // with its lanes chosen anew (off).
    void ShowProcessing(bool bOn);
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

signals:
    void RecordTitleChanged(const QString& title);
    void StateChanged();
    // A finished record was kept in the received folder, at path.
    void RecordKept(const QString& path);
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
    void ShowTakenRecord(); // the chart from its start, for a record just taken
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
    void Keep(class CBalloonHelp* balloon);
    QPoint BalloonAnchor() const;
    // After a command or a tick: a record that has just been finished is kept at once.
    void KeepWhenFinished(bool bWasLoaded);
    // The line under the chart after the document's measurements changed.
    void ShowMeasurementLine();
    // Every second of a live picture: the heart rate of its last seconds.
    void UpdateLiveHeartRate();
    void DrawBeatMarks(QPainter& p) const;
    // The live mains filter in effect, if any.
    std::optional<analysis::Filter> LiveMains() const;
    // Runs the points of this tick through it into m_liveRing.
    void FilterLivePoints(analysis::Filter mains);

    CViewSettings m_settings;
    CSerialPortLink m_link;
    CQtTickSource m_ticks;
    CAcquisitionSession m_session;
    CEcgDocument m_document;
    CChartView m_chart;
    CChartStyle m_style;
    QImage m_gridBuffer;
    QImage m_chartBuffer;
    // What the live strip's labels in the chart buffer were drawn from; 0 when something else
    // may have drawn over them since.
    uint64_t m_nLiveLabelsKey = 0;
    CChartDamage m_chartDamage; // what the last chart pass drew into m_chartBuffer
    QScrollBar* m_pScroll;
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
    int m_nLiveTicks = 0;
};
