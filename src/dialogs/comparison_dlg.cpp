#include "dialogs/comparison_dlg.h"
#include "dialogs/status_text.h"

#include "config/app_profile.h"
#include "display/chart_renderer.h"
#include "platform/ui_language.h"
#include "record_model/session_state.h"
#include "report/report_settings.h"
#include "storage/card_fields.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

namespace {

QPointF ScreenPxPerCm(const QWidget* w) {
    const QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    if (!s)
        return QPointF(kDefaultPxPerCm, kDefaultPxPerCm);
    const QSize px = s->size() * s->devicePixelRatio();
    return QPointF(PxPerCm(px.width(), s->physicalSize().width()),
                   PxPerCm(px.height(), s->physicalSize().height()));
}

QString RecordDate(const ECG_RECORD& r) {
    return QString::fromLatin1(r.date, int(strnlen(r.date, sizeof r.date))).trimmed();
}

QString Surname(const PATIENT_CARD& c) {
    return QString::fromStdString(CardTextUtf8(c.last_name, sizeof c.last_name));
}

} // namespace

// One record drawn as the record window draws it (display/chart_renderer), from the scroll
// position the comparison window gives both.
class CComparisonChart : public QWidget {
public:
    explicit CComparisonChart(QWidget* parent) : QWidget(parent) {
        setMinimumSize(240, 180);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void SetRecord(const CLoadedRecord& r) {
        m_session.ShowRecord(*r.pRecord, r.card, r.absentLanes);
        m_bRecord = true;
        Redraw();
    }
    void SetReading(const ReadingSettings& reading) {
        m_reading = reading;
        Redraw();
    }
    void SetScroll(int pos) {
        m_view.m_nScrollPos = pos;
        Redraw();
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (!m_bFirst) {
            const QPointF d = ScreenPxPerCm(this);
            FirstRun(m_view, d.x(), d.y());
            m_bFirst = true;
        }
        if (width() <= 0 || height() <= 0)
            return;
        RebuildBuffers(m_view, width(), height(), m_grid, m_chart, m_style);
        Redraw();
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        if (m_chart.isNull())
            p.fillRect(rect(), m_style.m_hBackBrush);
        else
            p.drawImage(0, 0, m_chart);
    }

private:
    void Redraw() {
        if (m_chart.isNull() || !m_bRecord)
            return;
        ApplyReadingSettings(m_reading, m_session, m_view, m_filtered);
        const int maximum = SetRazv(m_view, m_session);
        m_view.m_nScrollPos = std::clamp(m_view.m_nScrollPos, 0, maximum);
        {
            QPainter p(&m_chart);
            DrawCurves(p, m_grid, m_view, m_session, m_style);
        }
        update();
    }

    CSessionState m_session;
    CChartView m_view;
    CChartStyle m_style;
    CFilteredSamples m_filtered;
    ReadingSettings m_reading;
    QImage m_grid, m_chart;
    bool m_bFirst = false, m_bRecord = false;
};

// The median beats of both records over each other, true to scale on the screen.
class CMedianOverlayView : public QWidget {
public:
    explicit CMedianOverlayView(QWidget* parent) : QWidget(parent) {
        setMinimumSize(360, 240);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }
    void Show(const ComparisonInput* in, double speed, double gain) {
        m_pInput = in;
        m_dSpeed = speed;
        m_dGain = gain;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        if (!m_pInput)
            return;
        DrawMedianOverlay(p, QRectF(rect()), ScreenPxPerCm(this).x() / 10.0,
                          m_pInput->previous.measurements, m_pInput->current.measurements, m_dSpeed,
                          m_dGain);
    }

private:
    const ComparisonInput* m_pInput = nullptr;
    double m_dSpeed = 25, m_dGain = 10;
};

CComparisonDlg::CComparisonDlg(const CArchiveLocation& where, const CComparisonOptions& options,
                               QWidget* parent)
    : QDialog(parent), m_where(where), m_options(options), m_reading(options.reading) {
    setObjectName(QStringLiteral("ComparisonDialog"));
    setWindowTitle(tr("Сравнение с предыдущей ЭКГ"));
    setModal(false);
    resize(1200, 820);
    // Both records at one speed: the record's own would differ between two devices.
    if (!IsReadingSpeed(m_reading.speedMmPerS))
        m_reading.speedMmPerS = 25;
    if (!IsReadingGain(m_reading.gainMmPerMv))
        m_reading.gainMmPerMv = 10;
    m_reading.beatMarks = false;

    m_pChoosePrevious = new QComboBox(this);
    m_pChoosePrevious->setObjectName(QStringLiteral("ChoosePrevious"));
    m_pChoosePrevious->setToolTip(tr("Запись пациента, с которой сравнивается текущая"));
    m_pSpeed = new QComboBox(this);
    m_pSpeed->setObjectName(QStringLiteral("Speed"));
    for (const double s : kReadingSpeeds)
        m_pSpeed->addItem(tr("%1 мм/с").arg(s), s);
    m_pGain = new QComboBox(this);
    m_pGain->setObjectName(QStringLiteral("Gain"));
    for (const double g : kReadingGains)
        m_pGain->addItem(tr("%1 мм/мВ").arg(g), g);
    m_pSpeed->setCurrentIndex(m_pSpeed->findData(m_reading.speedMmPerS));
    m_pGain->setCurrentIndex(m_pGain->findData(m_reading.gainMmPerMv));
    m_pFilters = new QLabel(this);
    m_pFilters->setObjectName(QStringLiteral("Filters"));
    const QString filters = FilterText(m_reading.filters);
    m_pFilters->setText(tr("Фильтры: %1").arg(filters.isEmpty() ? tr("нет") : filters));
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("Сравнить с:"), this));
    top->addWidget(m_pChoosePrevious, 1);
    top->addSpacing(16);
    top->addWidget(new QLabel(tr("Скорость"), this));
    top->addWidget(m_pSpeed);
    top->addWidget(new QLabel(tr("Усиление"), this));
    top->addWidget(m_pGain);
    top->addSpacing(16);
    top->addWidget(m_pFilters);

    // The two records side by side, each under its title in its overlay colour.
    auto* charts = new QSplitter(Qt::Horizontal, this);
    auto pane = [&](QLabel*& title, CComparisonChart*& chart, const QColor& colour,
                    const QString& name) {
        auto* w = new QWidget(charts);
        auto* l = new QVBoxLayout(w);
        l->setContentsMargins(0, 0, 0, 0);
        title = new QLabel(w);
        title->setObjectName(name + QStringLiteral("Title"));
        title->setStyleSheet(
            QStringLiteral("QLabel { color: %1; font-weight: bold; }").arg(colour.name()));
        chart = new CComparisonChart(w);
        chart->setObjectName(name + QStringLiteral("Chart"));
        l->addWidget(title);
        l->addWidget(chart, 1);
        charts->addWidget(w);
    };
    pane(m_pPreviousTitle, m_pPreviousChart, PreviousBeatColour(), QStringLiteral("Previous"));
    pane(m_pCurrentTitle, m_pCurrentChart, CurrentBeatColour(), QStringLiteral("Current"));
    m_pScroll = new QScrollBar(Qt::Horizontal, this);
    m_pScroll->setSingleStep(kScrollLine);
    m_pScroll->setPageStep(kScrollPage);

    // Below: the median beats with their legend, the table and the changes.
    m_pOverlay = new CMedianOverlayView(this);
    m_pOverlay->setObjectName(QStringLiteral("MedianBeats"));
    auto* legend = new QHBoxLayout;
    legend->addWidget(new QLabel(tr("Усреднённые комплексы:"), this));
    for (const bool now : {false, true}) {
        auto* l = new QLabel(now ? tr("━━ текущая ЭКГ") : tr("━━ предыдущая ЭКГ"), this);
        l->setObjectName(now ? QStringLiteral("LegendCurrent") : QStringLiteral("LegendPrevious"));
        l->setStyleSheet(QStringLiteral("QLabel { color: %1; }")
                             .arg((now ? CurrentBeatColour() : PreviousBeatColour()).name()));
        legend->addWidget(l);
    }
    legend->addStretch(1);
    auto* beats = new QWidget(this);
    auto* beatsLayout = new QVBoxLayout(beats);
    beatsLayout->setContentsMargins(0, 0, 0, 0);
    beatsLayout->addLayout(legend);
    beatsLayout->addWidget(m_pOverlay, 1);

    m_pDeltas = new QTableWidget(0, 4, this);
    m_pDeltas->setObjectName(QStringLiteral("Deltas"));
    m_pDeltas->setHorizontalHeaderLabels(
        {tr("Показатель"), tr("Предыдущая"), tr("Текущая"), tr("Разница")});
    m_pDeltas->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pDeltas->setSelectionMode(QAbstractItemView::NoSelection);
    m_pDeltas->verticalHeader()->hide();
    m_pDeltas->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_pHeading = new QLabel(InUiLanguage(QString::fromUtf8(analysis::kComparisonHeading),
                                         QString::fromUtf8(analysis::kComparisonHeadingEn)),
                            this);
    m_pHeading->setObjectName(QStringLiteral("ChangesHeading"));
    m_pHeading->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; }"));
    m_pHeading->setWordWrap(true);
    m_pChanges = new QListWidget(this);
    m_pChanges->setObjectName(QStringLiteral("Changes"));
    m_pChanges->setWordWrap(true);
    auto* findings = new QWidget(this);
    auto* findingsLayout = new QVBoxLayout(findings);
    findingsLayout->setContentsMargins(0, 0, 0, 0);
    findingsLayout->addWidget(m_pDeltas, 3);
    findingsLayout->addWidget(m_pHeading);
    findingsLayout->addWidget(m_pChanges, 2);
    auto* lower = new QSplitter(Qt::Horizontal, this);
    lower->addWidget(beats);
    lower->addWidget(findings);
    lower->setStretchFactor(0, 3);
    lower->setStretchFactor(1, 2);

    auto* chartsAndScroll = new QWidget(this);
    auto* csl = new QVBoxLayout(chartsAndScroll);
    csl->setContentsMargins(0, 0, 0, 0);
    csl->addWidget(charts, 1);
    csl->addWidget(m_pScroll);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(chartsAndScroll);
    split->addWidget(lower);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);

    m_pStatus = new QLabel(this);
    m_pStatus->setObjectName(QStringLiteral("Status"));
    m_pStatus->setWordWrap(true);
    m_pStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* save = new QPushButton(tr("Сохранить отчёт в PDF..."), this);
    save->setObjectName(QStringLiteral("SaveReport"));
    auto* close = new QPushButton(tr("Закрыть"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addStretch(1);
    buttons->addWidget(close);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(split, 1);
    layout->addWidget(m_pStatus);
    layout->addLayout(buttons);

    connect(m_pSpeed, &QComboBox::activated, this,
            [this] { SetSpeed(m_pSpeed->currentData().toDouble()); });
    connect(m_pGain, &QComboBox::activated, this,
            [this] { SetGain(m_pGain->currentData().toDouble()); });
    connect(m_pScroll, &QScrollBar::valueChanged, this, [this](int pos) {
        m_pPreviousChart->SetScroll(pos);
        m_pCurrentChart->SetScroll(pos);
    });
    connect(m_pChoosePrevious, &QComboBox::activated, this, [this] {
        const qint64 id = m_pChoosePrevious->currentData().toLongLong();
        QString why;
        if (id && id != m_nPreviousId && !Compare(id, m_nCurrentId, &why))
            Failed(why);
    });
    connect(save, &QPushButton::clicked, this, &CComparisonDlg::OnSaveReport);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    ApplyReading();
}

CComparisonDlg::~CComparisonDlg() = default;

bool CComparisonDlg::OpenArchive(QString* error) {
    if (m_pArchive && m_pArchive->IsOpen())
        return true;
    m_pArchive = std::make_unique<CArchive>();
    return m_pArchive->Open(m_where, error);
}

bool CComparisonDlg::ComparePrevious(qint64 currentId, QString* error) {
    if (!OpenArchive(error))
        return false;
    qint64 previous = 0;
    if (!m_pArchive->PreviousRecord(currentId, &previous, error))
        return false;
    if (!previous) {
        *error = tr("В архиве нет более ранней записи этого пациента");
        return false;
    }
    return Compare(previous, currentId, error);
}

bool CComparisonDlg::Compare(qint64 previousId, qint64 currentId, QString* error) {
    if (!OpenArchive(error))
        return false;
    auto previous = std::make_unique<CLoadedRecord>();
    auto current = std::make_unique<CLoadedRecord>();
    QString type;
    if (!m_pArchive->Load(previousId, *previous, &type, error) ||
        !m_pArchive->Load(currentId, *current, &type, error))
        return false;
    auto input = std::make_unique<ComparisonInput>(ComparisonInputFor(
        *previous, *current, m_options.organisation, m_reading.filters, m_options.interpretation));
    const bool sameCurrent = currentId == m_nCurrentId;
    // The charts hold their own copies; the input points at these, so they go together.
    m_pOverlay->Show(nullptr, m_reading.speedMmPerS, m_reading.gainMmPerMv);
    m_pInput = std::move(input);
    m_pPrevious = std::move(previous);
    m_pCurrent = std::move(current);
    m_nPreviousId = previousId;
    m_nCurrentId = currentId;
    ShowComparison();
    if (!sameCurrent || m_pChoosePrevious->count() == 0)
        ListPatientRecords();
    const int chosen = m_pChoosePrevious->findData(previousId);
    if (chosen >= 0)
        m_pChoosePrevious->setCurrentIndex(chosen);
    m_pStatus->clear();
    return true;
}

void CComparisonDlg::ListPatientRecords() {
    // The patient's other records, newest first: any of them may be the one compared with.
    m_pChoosePrevious->clear();
    const QString surname = Surname(m_pCurrent->card);
    std::vector<CArchivedRecord> found;
    QString why;
    CFindCriteria criteria;
    criteria.name = surname;
    if (surname.isEmpty() || !m_pArchive->Find(criteria, found, &why)) {
        m_pChoosePrevious->addItem(RecordDate(*m_pPrevious->pRecord), m_nPreviousId);
        return;
    }
    qint64 patient = 0;
    for (const CArchivedRecord& r : found)
        if (r.id == m_nCurrentId)
            patient = r.patientId;
    std::sort(found.begin(), found.end(), [](const CArchivedRecord& a, const CArchivedRecord& b) {
        return a.recordedAt > b.recordedAt;
    });
    for (const CArchivedRecord& r : found) {
        if (r.id == m_nCurrentId || (patient && r.patientId != patient) || !r.deletedAt.isEmpty())
            continue;
        m_pChoosePrevious->addItem(
            QStringLiteral("%1 (%2)").arg(r.recordedAt, r.type.mid(1).toUpper()), r.id);
    }
    if (m_pChoosePrevious->findData(m_nPreviousId) < 0)
        m_pChoosePrevious->addItem(RecordDate(*m_pPrevious->pRecord), m_nPreviousId);
}

void CComparisonDlg::ShowComparison() {
    const ComparisonInput& in = *m_pInput;
    const QString name = Surname(m_pCurrent->card);
    setWindowTitle(
        tr("Сравнение с предыдущей ЭКГ: %1").arg(name.isEmpty() ? tr("без карточки") : name));
    m_pPreviousTitle->setText(tr("Предыдущая ЭКГ: %1").arg(RecordDate(*m_pPrevious->pRecord)));
    m_pCurrentTitle->setText(tr("Текущая ЭКГ: %1").arg(RecordDate(*m_pCurrent->pRecord)));
    m_pPreviousChart->SetRecord(*m_pPrevious);
    m_pCurrentChart->SetRecord(*m_pCurrent);

    const std::vector<ComparisonRow> rows = ComparisonRows(in.comparison);
    m_pDeltas->setRowCount(int(rows.size()));
    for (int i = 0; i < int(rows.size()); ++i) {
        const ComparisonRow& r = rows[size_t(i)];
        const QString cells[] = {r.name, r.previous, r.current, r.delta};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c > 0)
                item->setTextAlignment(Qt::AlignCenter);
            m_pDeltas->setItem(i, c, item);
        }
    }
    // The change statements and the notes in the interface's language: the comparison carries
    // both, no translation file does.
    m_pChanges->clear();
    for (const analysis::Statement& s : in.comparison.changes)
        m_pChanges->addItem(QString::fromStdString(InUiLanguage(s.text, s.textEn)));
    const std::vector<std::string>& notes = in.comparison.notes;
    const std::vector<std::string>& notesEn = in.comparison.notesEn;
    for (size_t i = 0; i < notes.size(); ++i)
        m_pChanges->addItem(QStringLiteral("(%1)").arg(QString::fromStdString(
            i < notesEn.size() ? InUiLanguage(notes[i], notesEn[i]) : notes[i])));
    ApplyReading();
}

void CComparisonDlg::ApplyReading() {
    m_pPreviousChart->SetReading(m_reading);
    m_pCurrentChart->SetReading(m_reading);
    // Both charts at one speed have one scroll range.
    const int maximum = SetMyScrollRange(ZoomFromSpeed(m_reading.speedMmPerS));
    m_pScroll->setRange(0, maximum);
    m_pOverlay->Show(m_pInput.get(), m_reading.speedMmPerS, m_reading.gainMmPerMv);
}

void CComparisonDlg::SetSpeed(double mmPerS) {
    if (!IsReadingSpeed(mmPerS))
        return;
    m_reading.speedMmPerS = mmPerS;
    m_pSpeed->setCurrentIndex(m_pSpeed->findData(mmPerS));
    ApplyReading();
}

void CComparisonDlg::SetGain(double mmPerMv) {
    if (!IsReadingGain(mmPerMv))
        return;
    m_reading.gainMmPerMv = mmPerMv;
    m_pGain->setCurrentIndex(m_pGain->findData(mmPerMv));
    ApplyReading();
}

bool CComparisonDlg::SaveReport(const QString& path, QString* error) {
    if (!m_pInput) {
        *error = tr("Нет сравнения для отчёта");
        Failed(*error);
        return false;
    }
    ReportOptions o = LoadReportOptions(CAppProfile());
    o.speedMmPerS = m_reading.speedMmPerS;
    o.gainMmPerMv = m_reading.gainMmPerMv;
    std::string why;
    if (!WriteComparisonPdf(path, *m_pInput, o, &why)) {
        *error = tr("Отчёт о сравнении не сохранён: %1").arg(QString::fromStdString(why));
        Failed(*error);
        return false;
    }
    SetStatusText(m_pStatus, tr("Отчёт о сравнении сохранён: %1").arg(path));
    return true;
}

void CComparisonDlg::OnSaveReport() {
    if (!m_pCurrent)
        return;
    const QString name = Surname(m_pCurrent->card);
    QString proposed =
        tr("Сравнение ЭКГ %1 %2.pdf")
            .arg(name.isEmpty() ? tr("без карточки") : name, RecordDate(*m_pCurrent->pRecord))
            .simplified();
    proposed.replace(QLatin1Char(':'), QLatin1Char('-'))
        .replace(QLatin1Char('/'), QLatin1Char('_'));
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Сохранить отчёт о сравнении"),
        QDir(CAppProfile().GetEcgFolder()).filePath(proposed), tr("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    QString why;
    SaveReport(path, &why);
}

void CComparisonDlg::Failed(const QString& why) {
    SetStatusText(m_pStatus, why);
}
