#include "widgets/child_view.h"

#include "acquisition/stream_decoder.h"
#include "analysis/measurement_table.h"
#include "config/app_profile.h"
#include "platform/ui_language.h"
#include "record_io/record_files.h"
#include "widgets/balloon_help.h"
#include "widgets/reading_commands.h"

#include <QApplication>
#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <tuple>
#include <utility>

namespace {

const QColor kBeatMarkColour(0, 140, 60);
const QColor kVentricularMarkColour(200, 0, 0); // ventricular beats stand apart
const QColor kUnknownMarkColour(128, 128, 128);
constexpr int kLiveRateTicks = 25;    // the live heart rate: every second
constexpr int kLiveRatePoints = 2048; // from the last five seconds

} // namespace

CChildView::CChildView(QWidget* parent)
    : QWidget(parent), m_ticks([this](int id) { OnTick(id); }), m_session(m_link, m_ticks, *this),
      m_document(m_session), m_pScroll(new QScrollBar(Qt::Horizontal, this)) {
    connect(&m_document, &CEcgDocument::MeasurementsChanged, this,
            &CChildView::ShowMeasurementLine);
    connect(&m_document, &CEcgDocument::ReadingChanged, this, &CChildView::ShowMeasurementLine);
    // A send starts or ends: "Идет передача данных" or the chart again, and the commands' states.
    connect(&m_document, &CEcgDocument::SendingChanged, this, [this] {
        emit StateChanged();
        DrawCurves();
    });
    setAttribute(Qt::WA_OpaquePaintEvent); // every paint covers the whole client area
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
    m_settings.UpdateIni(true);
    m_session.m_nCom = m_settings.m_nCom;
    m_reading = LoadReadingSettings(CAppProfile());
    m_document.SetFilters(m_reading.filters);
    m_document.SetRatePractice(analysis::RatePracticeOf(m_settings.m_szRatePractice.toStdString()));
    m_pScroll->setRange(0, 0);
    m_pScroll->setSingleStep(40);
    m_pScroll->setPageStep(401);
    connect(m_pScroll, &QScrollBar::actionTriggered, this, &CChildView::OnHScroll);
}

void CChildView::OnTick(int timerId) {
    // The commands' states follow the session: tell the frame when a tick changed it.
    const auto state = [this] {
        return std::tuple(m_session.m_bSessionOn, m_session.m_bLoaded, m_session.m_bSending);
    };
    const auto before = state();
    m_session.OnTimer(timerId);
    KeepWhenFinished(std::get<1>(before) != 0);
    if (state() != before) {
        m_document.Remeasure();
        emit StateChanged();
    }
    if (m_session.m_bSessionOn && ++m_nLiveTicks % kLiveRateTicks == 0)
        UpdateLiveHeartRate();
}

void CChildView::ShowMeasurementLine() {
    const analysis::Measurements* m = m_document.Measurements();
    QString line = m ? QString::fromStdString(analysis::MeasurementLine(*m)) : QString();
    // The statements under the measurements: the doctor's reading once confirmed, else the
    // program's, each a proposal until a doctor confirms it.
    if (const CDoctorReading& r = m_document.Reading(); m && r.Confirmed()) {
        QStringList texts;
        for (const CReadStatement& s : r.statements)
            texts << QString::fromStdString(InUiLanguage(s.text, s.textEn));
        if (!r.conclusion.empty())
            texts << QString::fromStdString(r.conclusion);
        const SYSTEMTIME& t = r.confirmedAt;
        const QDateTime when(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute));
        line += QLatin1Char('\n') + tr("Заключение: %1. Подтверждено: %2, %3")
                                        .arg(texts.join(QStringLiteral(". ")),
                                             QString::fromStdString(r.doctorName),
                                             QLocale().toString(when, QLocale::ShortFormat));
    } else if (const analysis::Interpretation* in = m_document.Interpretation();
               in && !in->statements.empty()) {
        QStringList texts;
        for (const analysis::Statement& s : in->statements)
            texts << QString::fromStdString(InUiLanguage(s.text, s.textEn));
        line += QLatin1Char('\n') + tr("Автоматическое заключение (не подтверждено врачом): %1.")
                                        .arg(texts.join(QStringLiteral(". ")));
    }
    // Another cart's own findings, when its file gave them: beside ours, never mixed in.
    if (const std::string file =
            FileFindingsLine(m_document.FileFindings(), m_document.FileStatements());
        m && !file.empty())
        line += QLatin1Char('\n') + QString::fromStdString(file);
    emit MeasurementLineChanged(line);
}

void CChildView::UpdateLiveHeartRate() {
    if (!m_session.m_bMonitoring) {
        emit MeasurementLineChanged(QString());
        return;
    }
    const std::optional<analysis::Filter> mains = LiveMains();
    const QString filter =
        mains ? tr("сетевой фильтр %1 Гц").arg(*mains == analysis::Filter::Mains50 ? 50 : 60)
              : QString();
    // Until the strip holds the stretch the rate is taken from, nothing can be said of its
    // complexes: "not found" there would contradict the complexes the strip already shows.
    const CEcgSignal live = LiveSignal(m_session, kLiveRatePoints);
    if (live.leads.empty()) {
        emit MeasurementLineChanged(filter);
        return;
    }
    const std::optional<double> rate = analysis::RecentHeartRate(live);
    emit MeasurementLineChanged((rate ? tr("ЧСС %1 уд/мин (по монитору)").arg(qRound(*rate))
                                      : tr("ЧСС: комплексы QRS не найдены (по монитору)")) +
                                (filter.isEmpty() ? QString() : QStringLiteral("   ") + filter));
}

void CChildView::Keep(CBalloonHelp* balloon) {
    // One balloon per window: the newest news replaces what it said before.
    CloseBalloons();
    if (balloon)
        m_balloons.append(balloon);
}

void CChildView::CloseBalloons() {
    for (const QPointer<CBalloonHelp>& b : std::exchange(m_balloons, {}))
        if (b)
            b->close();
}

void CChildView::KeepWhenFinished(bool bWasLoaded) {
    if (bWasLoaded || !m_session.m_bLoaded || m_session.m_bSessionOn)
        return;
    QString path;
    std::string why;
    if (!KeepReceivedRecord(m_document.Record(), CAppProfile().GetEcgFolder(), &path, &why)) {
        Error(tr("Запись не сохранена в папку принятых: %1").arg(QString::fromStdString(why)));
        m_document.RecordNotKept(); // closing the window or a new reception asks first
        return;
    }
    emit RecordKept(path);
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
    if (m_bSized) {
        OnSize(m_chart.m_nWidth, m_chart.m_nHeight);
        ShowPicture(); // the new buffers, not what the screen kept of the old ones
    }
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
    m_nLiveLabelsKey = 0;
    m_chartDamage.Clean(m_gridBuffer); // the chart buffer starts as a copy of the grid
    m_bBuffers = true;
}

void CChildView::paintEvent(QPaintEvent* e) {
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
    } else if (!(m_session.m_bLiveView && m_bOverChart)) {
        DrawCurves(); // returns at once while the live strip owns the window
    }
    QPainter p(this);
    for (const QRect& r : e->region())
        p.drawImage(r, m_chartBuffer, r);
    if (m_reading.beatMarks && m_document.Measurements() && RecordShown(m_session) &&
        !m_session.m_bLiveView)
        DrawBeatMarks(p);
    if (m_calipers && RecordShown(m_session) && !m_session.m_bLiveView) {
        // Over the picture, never into the chart buffer: the chart stays as its pass drew it.
        const auto [a, b] = *m_calipers;
        const QRect client = ClientRect();
        p.setPen(QPen(QColor(0, 90, 200), 1));
        p.drawLine(a.x(), client.top(), a.x(), client.bottom());
        p.drawLine(b.x(), client.top(), b.x(), client.bottom());
        p.drawLine(a, b);
        const QString text = CaliperText(MeasureCalipers(m_chart, a, b));
        QFont font = p.font();
        font.setBold(true);
        p.setFont(font);
        const QFontMetrics fm(font);
        const QRect box = fm.boundingRect(text).adjusted(-4, -2, 4, 2);
        const QPoint at(std::min(std::max(a.x(), b.x()) + 6, client.right() - box.width()),
                        std::max(std::min(a.y(), b.y()) - 6, box.height()));
        p.fillRect(box.translated(at), QColor(255, 255, 255, 220));
        p.drawText(at, text);
    }
}

void CChildView::DrawBeatMarks(QPainter& p) const {
    // A triangle above each detected QRS complex (red with a "V" over a ventricular beat, grey
    // over one that could not be classed), and under each beat of the dominant kind ticks at
    // the median beat's boundaries (P onset and end, QRS onset and end, T end).
    const QRect client = ClientRect();
    const int x0 = LeftMargin(m_chart.m_nWidth);
    const auto xOf = [&](double point) {
        return x0 + (point - m_chart.m_nScrollPos) * m_chart.m_dStepX;
    };
    const analysis::Measurements& m = *m_document.Measurements();
    const std::optional<double> marks[] = {m.pOnsetS, m.pEndS, m.qrsOnsetS, m.qrsEndS, m.tEndS};
    p.save();
    p.setPen(QPen(kBeatMarkColour, 1));
    p.setBrush(kBeatMarkColour);
    for (size_t k = 0; k < m.beats.size(); ++k) {
        const double x = xOf(double(m.beats[k]));
        if (x < x0 || x > client.right())
            continue;
        const analysis::BeatClass kind =
            k < m.beatClasses.size() ? m.beatClasses[k] : analysis::BeatClass::Normal;
        const QColor colour = kind == analysis::BeatClass::Ventricular ? kVentricularMarkColour
                              : kind == analysis::BeatClass::Unknown   ? kUnknownMarkColour
                                                                       : kBeatMarkColour;
        p.setPen(QPen(colour, 1));
        p.setBrush(colour);
        const QPointF tip(x, client.top() + 10);
        p.drawPolygon(QPolygonF({tip, tip + QPointF(-4, -8), tip + QPointF(4, -8)}));
        if (kind == analysis::BeatClass::Ventricular)
            p.drawText(QPointF(x + 6, client.top() + 10), QStringLiteral("V"));
        if (kind != analysis::BeatClass::Normal)
            continue;
        for (const std::optional<double>& s : marks)
            if (s) {
                const double xs = xOf(double(m.beats[k]) + *s * kPointsPerSecond);
                if (xs >= x0 && xs <= client.right())
                    p.drawLine(QPointF(xs, client.bottom() - 10), QPointF(xs, client.bottom()));
            }
    }
    p.restore();
}

void CChildView::mousePressEvent(QMouseEvent* e) {
    // A click clears the calipers; a drag over a shown record draws new ones.
    if (e->button() != Qt::LeftButton || !RecordShown(m_session) || m_session.m_bLiveView) {
        QWidget::mousePressEvent(e);
        return;
    }
    m_calipers = std::pair(e->position().toPoint(), e->position().toPoint());
    m_bDragging = true;
    update(ClientRect());
}

void CChildView::mouseMoveEvent(QMouseEvent* e) {
    if (!m_bDragging || !m_calipers) {
        QWidget::mouseMoveEvent(e);
        return;
    }
    m_calipers->second = e->position().toPoint();
    update(ClientRect());
}

void CChildView::mouseReleaseEvent(QMouseEvent* e) {
    if (!m_bDragging) {
        QWidget::mouseReleaseEvent(e);
        return;
    }
    m_bDragging = false;
    if (m_calipers && (m_calipers->second - m_calipers->first).manhattanLength() < 3)
        m_calipers.reset(); // a click, not a drag
    update(ClientRect());
}

void CChildView::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Escape && m_calipers) {
        m_calipers.reset();
        update(ClientRect());
        return;
    }
    QWidget::keyPressEvent(e);
}

void CChildView::ShowPicture() {
    if (!m_bInPaint)
        update(ClientRect());
}

void CChildView::DrawCurves() {
    if (!m_bBuffers)
        return;
    UpdateDensities();
    if (RecordShown(m_session) && !m_session.m_bLiveView) {
        // The reading settings on the record shown: speed (with its scroll range), gain,
        // filters (filtered again only when the record or the filters changed).
        const double zoom = m_session.m_dZoom;
        ApplyReadingSettings(m_reading, m_session, m_chart, m_filtered);
        if (ZoomFromSpeed(m_session.m_dSpeedMon) != zoom || m_pScroll->maximum() == 0) {
            SetRazv();
            m_chart.m_nScrollPos = std::min(m_chart.m_nScrollPos, m_pScroll->maximum());
        }
    }
    ChartPass pass;
    {
        QPainter p(&m_chartBuffer);
        pass = ::DrawCurves(p, m_gridBuffer, m_chart, m_session, m_style, &m_chartDamage);
    }
    if (pass == ChartPass::LiveOwnsWindow)
        return;           // the live strip owns the window
    m_nLiveLabelsKey = 0; // the chart pass drew over the live strip's labels
    m_bOverChart = false;
    if (pass == ChartPass::Drawn && RecordShown(m_session)) {
        const QSignalBlocker block(m_pScroll);
        m_pScroll->setValue(m_chart.m_nScrollPos);
    }
    ShowPicture();
}

bool CChildView::DrawOverChart(const std::function<std::optional<QRegion>(QPainter&)>& draw) {
    if (!m_bBuffers)
        return false;
    std::optional<QRegion> changed;
    m_nLiveLabelsKey = 0; // whatever is drawn may cover the live strip's labels
    {
        QPainter p(&m_chartBuffer);
        m_chartDamage.Forget();
        changed = draw(p);
    }
    m_bOverChart = true;
    if (!changed)
        ShowPicture();
    else if (!m_bInPaint && !changed->isEmpty())
        update(*changed & ClientRect());
    return true;
}

std::optional<analysis::Filter> CChildView::LiveMains() const {
    for (const analysis::Filter f : m_reading.filters)
        if (f == analysis::Filter::Mains50 || f == analysis::Filter::Mains60)
            return f;
    return std::nullopt;
}

void CChildView::FilterLivePoints(analysis::Filter mains) {
    const bool fresh = m_session.m_nRingPosPrev == 0 && !m_session.m_bRingWrapped;
    if (m_liveFilters.empty() || m_liveMains != mains ||
        (fresh && m_session.m_nRingPos <= m_session.m_nNewPoints)) {
        m_liveFilters.assign(
            kLeads, analysis::CCausalFilter(analysis::SectionsOf(mains, kPointsPerSecond)));
        m_liveMains = mains;
        m_liveRing.assign(size_t(kPoints * kLeads), 0);
    }
    for (int k = 0; k < m_session.m_nNewPoints; ++k) {
        const int p = (m_session.m_nRingPosPrev + k) % kPoints;
        for (int lane = 0; lane < kLeads; ++lane) {
            const float y =
                m_liveFilters[size_t(lane)].Step(m_session.m_pCurves[p * kLeads + lane]);
            m_liveRing[size_t(p * kLeads + lane)] =
                int16_t(std::clamp(std::lround(y), -32768L, 32767L));
        }
    }
}

void CChildView::DrawMonitoringCurves() {
    const std::optional<analysis::Filter> mains = LiveMains();
    if (mains)
        FilterLivePoints(*mains);
    // The live strip changes a few columns a tick: only those (and the labels) go to the screen.
    uint64_t labels = m_nLiveLabelsKey; // DrawOverChart forgets it: anything else drawn over
    DrawOverChart([this, &mains, &labels](QPainter& p) -> std::optional<QRegion> {
        const int16_t* drawn = m_chart.m_pDrawSamples;
        m_chart.m_pDrawSamples = mains ? m_liveRing.data() : nullptr;
        const QRegion changed =
            ::DrawMonitoringCurves(p, m_gridBuffer, m_chart, m_session, m_style, &labels);
        m_chart.m_pDrawSamples = drawn;
        return changed;
    });
    m_nLiveLabelsKey = labels;
}

void CChildView::DrawReceivingProgress() {
    if (DrawOverChart([this](QPainter& p) {
            ::DrawReceivingProgress(p, m_gridBuffer, m_chart, m_session, m_style);
            return std::optional<QRegion>(); // the whole picture
        }))
        emit StateChanged();
}

void CChildView::DrawIDS(int stringId) {
    DrawOverChart([this, stringId](QPainter& p) {
        ::DrawIDS(p, m_chart, stringId, m_style);
        return std::optional<QRegion>();
    });
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
    Error(tr("Не удалось открыть порт %1").arg(QString::fromLocal8Bit(text)));
}

void CChildView::SetReading(const ReadingSettings& reading) {
    const bool filtersChanged = reading.filters != m_reading.filters;
    m_reading = reading;
    CAppProfile profile;
    StoreReadingSettings(profile, m_reading);
    if (filtersChanged)
        m_document.SetFilters(m_reading.filters); // measured as drawn
    // During a reception the live strip or the progress owns the window: the settings take
    // effect on the record once it is in, and the session goes on undisturbed.
    if (!m_session.m_bLiveView)
        DrawCurves();
    emit StateChanged();
}

void CChildView::OnReadingCommand(int id) {
    if (const ReadingCommand* c = FindReadingCommand(id)) {
        ReadingSettings r = m_reading;
        c->toggle(r);
        SetReading(r);
    }
}

void CChildView::ReportLinkDown(const char* text) {
    // The status text says what the session is doing about it; no balloon for every attempt.
    const QString detail = tr("Порт недоступен: %1\nПовторное подключение каждую секунду…")
                               .arg(QString::fromLocal8Bit(text));
    DrawOverChart([this, &detail](QPainter& p) {
        ::DrawIDS(p, m_chart, IDS_CONNECTION_LOST, m_style, detail);
        return std::optional<QRegion>();
    });
}

void CChildView::OnEkard() {
    CloseBalloons();
    m_session.m_nCom = m_settings.m_nCom;
    m_session.OnEkard();
    if (m_session.m_bSessionOn)
        m_document.ReceptionStarted();
    KeepWhenFinished(false); // a stop finishes the record (the start cleared the flag)
    m_nLiveTicks = 0;
    m_document.Remeasure();
    emit StateChanged();
}

void CChildView::ShowRecordFile(const CLoadedRecord& loaded, const QString& path) {
    if (m_session.m_bSessionOn)
        m_session.OnEkard(); // a reception under way in this window ends first
    m_document.Take(loaded, path);
    ShowTakenRecord();
}

void CChildView::ShowArchivedRecord(const CLoadedRecord& loaded, qint64 id, const QString& title) {
    if (m_session.m_bSessionOn)
        m_session.OnEkard();
    m_document.TakeArchived(loaded, id, title);
    ShowTakenRecord();
}

void CChildView::ShowTakenRecord() {
    m_chart.m_nScrollPos = 0;
    SetRazv();
    DrawCurves();
    emit StateChanged();
}

void CChildView::ShowProcessing(bool bOn) {
    if (bOn) {
        DrawIDS(IDS_PROCESSING);
        return;
    }
    m_session.m_nFirstLane = 0; // the next pass chooses the lanes of the lead system again
    m_session.m_nLanes = 0;
    DrawCurves();
}

void CChildView::ErrorAtScreenCentre(const QString& message) {
    Keep(ShowErrorAtScreenCentre(message, this));
}

QPoint CChildView::BalloonAnchor() const {
    // The centre of the view; a view without a size yet anchors at (0, 0).
    return m_bSized ? mapToGlobal(QPoint(m_chart.m_nWidth / 2, m_chart.m_nHeight / 2))
                    : QPoint(0, 0);
}

void CChildView::Error(const QString& message) {
    Keep(ShowErrorBalloon(message, BalloonAnchor(), this));
}

void CChildView::Inform(const QString& message) {
    Keep(ShowInformationBalloon(message, BalloonAnchor(), this));
}

void CChildView::OnNewError(const QString& message) {
    QPointer<CChildView> self(this);
    QMetaObject::invokeMethod(
        this,
        [self, copy = message] {
            if (self)
                self->Error(copy);
        },
        Qt::QueuedConnection);
}
