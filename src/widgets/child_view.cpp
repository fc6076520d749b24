#include "widgets/child_view.h"

#include "acquisition/stream_decoder.h"
#include "analysis/measurement_table.h"
#include "config/app_profile.h"
#include "dialogs/curves_definition_dlg.h"
#include "dialogs/settings_dialog.h"
#include "platform/cp1251.h"
#include "record_io/record_files.h"
#include "record_io/record_mail.h"
#include "record_io/record_pacs.h"
#include "report/report_file.h"
#include "report/report_settings.h"
#include "widgets/balloon_help.h"
#include "widgets/reading_commands.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPointer>
#include <QPrinter>
#include <QResizeEvent>
#include <QScopedValueRollback>
#include <QScreen>
#include <QScrollBar>
#include <tuple>
#include <utility>

namespace {

// "30 мин", "1 ч 5 мин", "45 с".
QString DurationText(double seconds) {
    const long s = std::lround(seconds);
    if (s < 60)
        return QStringLiteral("%1 с").arg(s);
    if (s < 3600)
        return QStringLiteral("%1 мин").arg(s / 60);
    return s % 3600 >= 60 ? QStringLiteral("%1 ч %2 мин").arg(s / 3600).arg(s % 3600 / 60)
                          : QStringLiteral("%1 ч").arg(s / 3600);
}

const QColor kBeatMarkColour(0, 140, 60);
constexpr int kLiveRateTicks = 25;    // the live heart rate: every second
constexpr int kLiveRatePoints = 2048; // from the last five seconds

} // namespace

CChildView::CChildView(QWidget* parent)
    : QWidget(parent), m_ticks([this](int id) { OnTick(id); }), m_session(m_link, m_ticks, *this),
      m_pScroll(new QScrollBar(Qt::Horizontal, this)), m_pSender(new CSmtpSender(this)),
      m_pPacs(new CPacsJob(this)) {
    connect(m_pPacs, &CPacsJob::Finished, this, &CChildView::OnPacsFinished);
    // The completion arrives on this thread: the sending flag is only ever touched here.
    connect(m_pSender, &CSmtpSender::Completed, this,
            [this](bool ok, const QString& why, const QString&) { OnSendCompleted(ok, why); });
    setAttribute(Qt::WA_OpaquePaintEvent); // every paint covers the whole client area
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(160, 120);
    m_settings.UpdateIni(true);
    m_session.m_nCom = m_settings.m_nCom;
    m_reading = LoadReadingSettings(CAppProfile());
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
        UpdateMeasurements();
        emit StateChanged();
    }
    if (m_session.m_bSessionOn && ++m_nLiveTicks % kLiveRateTicks == 0)
        UpdateLiveHeartRate();
}

void CChildView::UpdateMeasurements() {
    m_bMeasured = m_session.m_bLoaded && !m_session.m_bSessionOn;
    if (!m_bMeasured) {
        m_measurements = {};
        emit MeasurementLineChanged(QString());
        return;
    }
    CEcgSignal signal = SignalFromRecord(*m_session.m_pRecord);
    analysis::ApplyFilters(signal, m_reading.filters); // measured as drawn
    m_measurements = analysis::Measure(signal);
    emit MeasurementLineChanged(QString::fromStdString(analysis::MeasurementLine(m_measurements)));
}

void CChildView::UpdateLiveHeartRate() {
    if (!m_session.m_bMonitoring) {
        emit MeasurementLineChanged(QString());
        return;
    }
    const std::optional<double> rate =
        analysis::RecentHeartRate(LiveSignal(m_session, kLiveRatePoints));
    const std::optional<analysis::Filter> mains = LiveMains();
    const QString filter = mains ? QStringLiteral("   сетевой фильтр %1 Гц")
                                       .arg(*mains == analysis::Filter::Mains50 ? 50 : 60)
                                 : QString();
    emit MeasurementLineChanged(
        (rate ? QStringLiteral("ЧСС %1 уд/мин (по монитору)").arg(qRound(*rate))
              : QStringLiteral("ЧСС: комплексы QRS не найдены (по монитору)")) +
        filter);
}

void CChildView::Keep(CBalloonHelp* balloon) {
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
    if (!KeepReceivedRecord(*m_session.m_pRecord, RecordFolder(), &path, &why)) {
        Error(QStringLiteral("Запись не сохранена в папку принятых: %1")
                  .arg(QString::fromStdString(why)));
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
    if (m_reading.beatMarks && m_bMeasured && RecordShown(m_session) && !m_session.m_bLiveView)
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
    // A triangle above each detected QRS complex, and under it ticks at the median beat's
    // boundaries (P onset and end, QRS onset and end, T end) around each beat.
    const QRect client = ClientRect();
    const int x0 = LeftMargin(m_chart.m_nWidth);
    const auto xOf = [&](double point) {
        return x0 + (point - m_chart.m_nScrollPos) * m_chart.m_dStepX;
    };
    const analysis::Measurements& m = m_measurements;
    const std::optional<double> marks[] = {m.pOnsetS, m.pEndS, m.qrsOnsetS, m.qrsEndS, m.tEndS};
    p.save();
    p.setPen(QPen(kBeatMarkColour, 1));
    p.setBrush(kBeatMarkColour);
    for (const size_t beat : m.beats) {
        const double x = xOf(double(beat));
        if (x < x0 || x > client.right())
            continue;
        const QPointF tip(x, client.top() + 10);
        p.drawPolygon(QPolygonF({tip, tip + QPointF(-4, -8), tip + QPointF(4, -8)}));
        for (const std::optional<double>& s : marks)
            if (s) {
                const double xs = xOf(double(beat) + *s * kPointsPerSecond);
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
    if (e->key() == Qt::Key_Escape && m_pPacs->IsRunning()) {
        m_pPacs->Cancel();
        return;
    }
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
    Error(QStringLiteral("Не удалось открыть порт %1").arg(QString::fromLocal8Bit(text)));
}

void CChildView::SetReading(const ReadingSettings& reading) {
    const bool filtersChanged = reading.filters != m_reading.filters;
    m_reading = reading;
    CAppProfile profile;
    StoreReadingSettings(profile, m_reading);
    if (filtersChanged && m_bMeasured)
        UpdateMeasurements();
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
    const QString detail =
        QStringLiteral("Порт недоступен: %1\nПовторное подключение каждую секунду…")
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
    KeepWhenFinished(false); // a stop finishes the record (the start cleared the flag)
    m_nLiveTicks = 0;
    UpdateMeasurements();
    emit StateChanged();
}

void CChildView::OnConfig() {
    CloseBalloons();
    CSettingsDialog dlg(this);
    dlg.CopyIn(m_settings);
    if (!m_pPrompts->RunSettingsDialog(dlg))
        return; // nothing changes
    dlg.CopyOut(m_settings);
    QString why;
    if (!m_settings.UpdateIni(false, &why)) // they hold for this window; the file refused them
        Error(QStringLiteral("Настройки не сохранены: %1").arg(why));
    emit StateChanged();
}

int CChildView::DefineCurves(bool bRequireAll) {
    return ::DefineCurves(this, m_session.m_Card, bRequireAll);
}

void CChildView::OnDefineCurves() {
    CloseBalloons();
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

bool CChildView::OpenRecord(const QString& path, QString* error) {
    CLoadedRecord doc;
    std::string why;
    if (!OpenRecordFile(path, doc, &why)) {
        *error = QString::fromStdString(why);
        return false;
    }
    ShowDocument(doc, path);
    return true;
}

void CChildView::ShowDocument(const CLoadedRecord& doc, const QString& path) {
    if (m_session.m_bSessionOn)
        m_session.OnEkard(); // a reception under way in this window ends first
    m_session.ShowRecord(*doc.pRecord, doc.card, doc.absentLanes);
    m_chart.m_nScrollPos = 0;
    SetRazv();
    DrawCurves();
    QString title = QFileInfo(path).fileName();
    if (doc.dSourceSeconds > 0) // a longer recording: say that this is its beginning
        title += QStringLiteral(" (первые 10 с из %1)").arg(DurationText(doc.dSourceSeconds));
    emit WindowTitleChanged(title);
    emit RecordFileUsed(QFileInfo(path).absoluteFilePath());
    UpdateMeasurements();
    emit StateChanged();
}

void CChildView::SaveRecord(const char* extension) {
    CloseBalloons();
    const RecordFileType& type = *RecordFileTypeOf(QLatin1String(extension));
    if (!EnsureCardComplete(type.use))
        return;
    // The record's texts and the definition follow the card, as the window shows them.
    ParseRecordDefinition(m_session.m_Card, *m_session.m_pRecord, m_Definition);
    // The package's dialog offers the hospital's formats as well (DICOM, aECG, EDF+); the name
    // chosen decides which is written.
    const bool offersInterchange = std::strcmp(extension, ".ecg") == 0;
    QString filter = QString::fromUtf8(type.filter);
    if (offersInterchange)
        for (const RecordFileType& other : RecordFileTypes())
            if (other.write && other.bCarriesCard)
                filter += QStringLiteral(";;") + QString::fromUtf8(other.filter);
    const QString path = m_pPrompts->ChooseSavePath(
        this, QDir(RecordFolder()).filePath(ProposedFileName(extension)), filter);
    if (path.isEmpty())
        return;
    const RecordFileType* chosen = RecordFileTypeOf(path);
    if (!offersInterchange || !chosen || !chosen->write || !chosen->bCarriesCard)
        chosen = &type;
    DrawIDS(IDS_PROCESSING);
    std::string why;
    const bool ok = SaveRecordFile(path, *chosen, *m_session.m_pRecord, &m_session.m_Card, &why);
    DrawCurves();
    if (!ok) {
        // Nothing was saved: the writer says why at the screen centre, and the window keeps
        // its title.
        Keep(ShowErrorAtScreenCentre(QString::fromStdString(why)));
        return;
    }
    emit WindowTitleChanged(QFileInfo(path).fileName());
    emit RecordFileUsed(QFileInfo(path).absoluteFilePath());
}

void CChildView::OnExport() {
    SaveRecord(".ecg");
}

void CChildView::OnExportScp() {
    SaveRecord(".scp");
}

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

bool CChildView::StartReport(ReportOptions& options, QPrinter* printer) {
    CloseBalloons();
    CAppProfile profile;
    options = LoadReportOptions(profile);
    if (!m_pPrompts->RunReportOptions(this, options))
        return false;
    StoreReportOptions(profile, options);
    if (printer)
        PreparePrinter(*printer, options);
    return true;
}

ReportInput CChildView::ReportOfRecord() const {
    // The window's measurements (made through its filters) and its filters go onto paper too,
    // the filters said in the footer.
    ReportInput in =
        ReportInputFor(*m_session.m_pRecord, m_session.m_Card, m_session.m_nAbsentLanes,
                       m_settings.m_attrOrg, m_bMeasured ? &m_measurements : nullptr);
    if (!m_reading.filters.empty()) {
        in.drawSamples = FilteredSamples(*m_session.m_pRecord, m_reading.filters);
        in.filters = FilterText(m_reading.filters);
    }
    return in;
}

void CChildView::OnPrint() {
    ReportOptions o;
    QPrinter printer(QPrinter::HighResolution);
    if (!StartReport(o, &printer) || !m_pPrompts->RunPrintDialog(this, printer))
        return;
    if (!PaintReport(&printer, ReportOfRecord(), o))
        Error(QStringLiteral("Не удалось напечатать отчет: принтер %1 недоступен")
                  .arg(printer.printerName().isEmpty() ? printer.outputFileName()
                                                       : printer.printerName()));
}

void CChildView::OnPrintPreview() {
    ReportOptions o;
    QPrinter printer(QPrinter::HighResolution);
    if (!StartReport(o, &printer))
        return;
    const ReportInput in = ReportOfRecord();
    m_pPrompts->RunPrintPreview(this, printer,
                                [&](QPrinter* target) { PaintReport(target, in, o); });
}

void CChildView::OnSavePdf() {
    ReportOptions o;
    if (!StartReport(o, nullptr))
        return;
    ParseRecordDefinition(m_session.m_Card, *m_session.m_pRecord, m_Definition);
    const QString path =
        m_pPrompts->ChooseSavePath(this, QDir(RecordFolder()).filePath(ProposedFileName(".pdf")),
                                   QStringLiteral("Документы PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    std::string why;
    if (!WriteReportPdf(path, ReportOfRecord(), o, &why))
        Keep(ShowErrorAtScreenCentre(QString::fromStdString(why)));
}

void CChildView::SendRecord(const char* extension) {
    CloseBalloons();
    if (!EnsureCardComplete(CardUse::Export))
        return;
    ECG_RECORD& record = *m_session.m_pRecord;
    ParseRecordDefinition(m_session.m_Card, record, m_Definition);
    DrawIDS(IDS_PROCESSING);
    CRecordMail mail; // its private folder goes, with the attachment, on every path
    std::string why;
    const bool written = mail.Prepare(record, m_session.m_Card, extension, &why);
    m_session.m_nFirstLane = 0;
    m_session.m_nLanes = 0;
    DrawCurves();
    if (!written) {
        // Sending a file that was not written would send nothing useful.
        Error(QString::fromStdString(why));
        return;
    }
    SMailText text;
    if (!m_pPrompts->RunSendDialog(this, text.strTo, text.strSubject, text.strNote))
        return;
    if (m_settings.m_bSMTPEnabled) {
        QString failure;
        if (!mail.StartSmtp(*m_pSender, m_settings, text, &failure)) {
            Error(failure);
            return;
        }
        m_session.m_bSending = 1;
        emit StateChanged();
        DrawCurves(); // shows "Идет передача данных" until the send completes
    } else {
        const std::unique_ptr<CSendByEmail> handed = mail.HandOff(m_settings, text);
        if (!handed->Succeeded())
            Error(handed->ErrorText());
    }
}

void CChildView::OnSendCompleted(bool bOk, const QString& why) {
    m_session.m_bSending = 0;
    emit StateChanged();
    DrawCurves();
    if (!bOk)
        Error(why);
}

void CChildView::OnSendPacs() {
    CloseBalloons();
    if (const QString fault = PacsSettingsFault(m_settings); !fault.isEmpty()) {
        Error(
            QStringLiteral("Отправка в PACS невозможна: %1 (Настройки, страница PACS)").arg(fault));
        return;
    }
    ECG_RECORD& record = *m_session.m_pRecord;
    ParseRecordDefinition(m_session.m_Card, record, m_Definition);
    std::string why;
    if (!m_pPacs->StartStore(m_settings, record, m_session.m_Card, &why)) {
        Error(QStringLiteral("Не удалось отправить в PACS: %1").arg(QString::fromStdString(why)));
        return;
    }
    m_session.m_bSending = 1;
    emit StateChanged();
    DrawCurves(); // shows "Идет передача данных" until the archive answers
}

void CChildView::OnPacsFinished(bool bOk, const QString& reason) {
    m_session.m_bSending = 0;
    emit StateChanged();
    DrawCurves();
    if (!bOk && reason != QLatin1String("cancelled"))
        Error(QStringLiteral("Не удалось отправить в PACS: %1").arg(reason));
}

void CChildView::OnSendEmail() {
    SendRecord(".ecg");
}

void CChildView::OnSendEmailScp() {
    SendRecord(".scp");
}

void CChildView::OnSendEmailDicom() {
    SendRecord(".dcm");
}

void CChildView::Error(const QString& message) {
    // Anchored at the centre of the view; a view without a size yet anchors at (0, 0).
    const QPoint anchor =
        m_bSized ? mapToGlobal(QPoint(m_chart.m_nWidth / 2, m_chart.m_nHeight / 2)) : QPoint(0, 0);
    Keep(ShowErrorBalloon(message, anchor));
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
