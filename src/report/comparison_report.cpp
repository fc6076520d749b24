#include "report/comparison_report.h"

#include "display/chart_style.h"
#include "platform/atomic_file.h"
#include "platform/ui_language.h"
#include "record_model/ecg_record.h"
#include "record_model/lead_vocabulary.h"
#include "report/report_file.h"
#include "report/report_layout.h"

#include <QCoreApplication>
#include <QFile>
#include <QFont>
#include <QFontMetricsF>
#include <cmath>
#include <cstring>

namespace {

constexpr const char* kFontFamily = "Liberation Sans";
constexpr const char* kProgram = "velmora 1.2";
constexpr int kOverlayColumns = 4, kOverlayRows = 3;

QString Number(double value) {
    return QString::number(value, 'f', 0);
}

// The measurement table's Russian names and units as the interface shows them.
QString Shown(const char* russian) {
    return QCoreApplication::translate("MeasurementTable", russian);
}

QString WithUnit(const QString& number, const char* unitRu) {
    const QString unit = Shown(unitRu);
    return unit == QStringLiteral("°") ? number + unit : number + QLatin1Char(' ') + unit;
}

analysis::RecordAnalysis TakeAnalysis(ReportInput& in) {
    return {std::move(in.measurements), std::move(in.interpretation)};
}

void GiveBack(ReportInput& in, analysis::RecordAnalysis& a) {
    in.measurements = std::move(a.measurements);
    in.interpretation = std::move(a.interpretation);
}

QFont PaperFont(double heightMm, double dpmm, bool bold = false) {
    QFont f(QString::fromLatin1(kFontFamily));
    f.setPixelSize(std::max(1, int(std::lround(heightMm * dpmm))));
    f.setBold(bold);
    return f;
}

// One line of text from (x, y) mm (the top of its box) on, cut to width; returns the next y.
double Line(QPainter& p, double dpmm, double x, double y, double width, const QString& text,
            double heightMm, bool bold = false) {
    p.setFont(PaperFont(heightMm, dpmm, bold));
    const QFontMetricsF fm(p.font());
    p.drawText(QRectF(x * dpmm, y * dpmm, width * dpmm, fm.height()),
               Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
               fm.elidedText(text, Qt::ElideRight, width * dpmm));
    return y + fm.height() / dpmm;
}

QString RecordDate(const ReportInput& in) {
    return in.record ? QString::fromLatin1(in.record->date, int(strnlen(in.record->date, 19)))
                     : QString();
}

} // namespace

ComparisonInput ComparisonInputFor(const CLoadedRecord& previous, const CLoadedRecord& current,
                                   const QString& organisation,
                                   const std::vector<analysis::Filter>& filters,
                                   const analysis::InterpretationSettings& settings) {
    ComparisonInput out;
    out.previous = ReportInputFor(*previous.pRecord, previous.card, previous.absentLanes,
                                  organisation, filters, settings);
    out.current = ReportInputFor(*current.pRecord, current.card, current.absentLanes, organisation,
                                 filters, settings);
    // CompareRecords takes the analyses the report inputs already hold: lent, not copied.
    analysis::RecordAnalysis before = TakeAnalysis(out.previous), now = TakeAnalysis(out.current);
    out.comparison = analysis::CompareRecords(before, now);
    GiveBack(out.previous, before);
    GiveBack(out.current, now);
    return out;
}

std::vector<ComparisonRow> ComparisonRows(const analysis::Comparison& c) {
    const QString none = QStringLiteral("—");
    std::vector<ComparisonRow> rows;
    for (const analysis::MeasurementDelta& d : c.deltas) {
        ComparisonRow r;
        const QString unit = Shown(d.unitRu);
        r.name = Shown(d.russian) +
                 (unit == QStringLiteral("°") ? QString() : QStringLiteral(", ") + unit);
        r.previous = d.previous ? WithUnit(Number(*d.previous), d.unitRu) : none;
        r.current = d.current ? WithUnit(Number(*d.current), d.unitRu) : none;
        if (d.delta) {
            const long rounded = std::lround(*d.delta);
            // A minus sign, not a hyphen, and no sign before a zero.
            const QString sign = rounded > 0   ? QStringLiteral("+")
                                 : rounded < 0 ? QStringLiteral("−")
                                               : QString();
            r.delta = WithUnit(sign + QString::number(std::labs(rounded)), d.unitRu);
        } else {
            r.delta = none;
        }
        rows.push_back(r);
    }
    return rows;
}

QStringList ComparisonChangeLines(const analysis::Comparison& c) {
    QStringList lines;
    lines << QString::fromStdString(InUiLanguage(std::string(analysis::kComparisonHeading),
                                                 std::string(analysis::kComparisonHeadingEn)));
    for (const analysis::Statement& s : c.changes)
        lines << QString::fromStdString(InUiLanguage(s.text, s.textEn));
    for (size_t i = 0; i < c.notes.size(); ++i)
        lines << QStringLiteral("(%1)").arg(QString::fromStdString(
            InUiLanguage(c.notes[i], i < c.notesEn.size() ? c.notesEn[i] : std::string())));
    return lines;
}

QColor PreviousBeatColour() {
    return QColor(30, 90, 210);
}

QColor CurrentBeatColour() {
    return QColor(215, 25, 25);
}

void DrawMedianOverlay(QPainter& p, const QRectF& area, double dpmm,
                       const analysis::Measurements& previous,
                       const analysis::Measurements& current, double speedMmPerS,
                       double gainMmPerMv) {
    const CChartStyle style;
    const double w = area.width() / kOverlayColumns, h = area.height() / kOverlayRows;
    // Both beats on one time axis: their QRS fiducials at the same x.
    const double t0 = std::min(previous.medianBeat.empty() ? 0.0 : previous.medianStartS,
                               current.medianBeat.empty() ? 0.0 : current.medianStartS);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int lane = 0; lane < kOverlayColumns * kOverlayRows; ++lane) {
        const QRectF panel(area.x() + (lane / kOverlayRows) * w,
                           area.y() + (lane % kOverlayRows) * h, w, h);
        p.setClipRect(panel);
        p.fillRect(panel, Qt::white);
        for (const bool major : {false, true}) {
            QPen pen(major ? style.m_hCoarsePen.color() : style.m_hFinePen.color(),
                     std::max(1.0, (major ? 0.2 : 0.1) * dpmm));
            p.setPen(pen);
            for (int i = 0; i * dpmm <= w; ++i)
                if ((i % 5 == 0) == major)
                    p.drawLine(QPointF(panel.x() + i * dpmm, panel.top()),
                               QPointF(panel.x() + i * dpmm, panel.bottom()));
            for (int i = 0; i * dpmm <= h; ++i)
                if ((i % 5 == 0) == major)
                    p.drawLine(QPointF(panel.x(), panel.top() + i * dpmm),
                               QPointF(panel.right(), panel.top() + i * dpmm));
        }
        const double baseline = panel.top() + h * 0.6;
        const double left = panel.x() + 2 * dpmm;
        for (const analysis::Measurements* m : {&previous, &current}) {
            if (size_t(lane) >= m->medianBeat.size() || m->medianBeat[size_t(lane)].empty())
                continue;
            const std::vector<float>& beat = m->medianBeat[size_t(lane)];
            // Laid over at the PR segment's level, so that a different baseline is no change.
            const double level =
                size_t(lane) < m->baselineUv.size() ? m->baselineUv[size_t(lane)] : 0.0;
            QPolygonF line;
            line.reserve(int(beat.size()));
            for (size_t i = 0; i < beat.size(); ++i) {
                const double t = m->medianStartS + double(i) / kPointsPerSecond - t0;
                line << QPointF(left + t * speedMmPerS * dpmm,
                                baseline - (beat[i] - level) / 1000.0 * gainMmPerMv * dpmm);
            }
            QPen pen(m == &previous ? PreviousBeatColour() : CurrentBeatColour(),
                     std::max(1.0, 0.3 * dpmm));
            pen.setJoinStyle(Qt::RoundJoin);
            p.setPen(pen);
            p.drawPolyline(line);
        }
        p.setPen(style.m_clrText);
        p.setFont(PaperFont(3.0, dpmm, true));
        p.drawText(QRectF(panel.x() + 1.5 * dpmm, panel.y() + 0.5 * dpmm, w, 4 * dpmm),
                   Qt::AlignLeft | Qt::AlignTop, QString::fromLatin1(LeadOfLane(lane)->m_szLabel));
        p.setClipping(false);
        p.setPen(QPen(style.m_hCoarsePen.color().darker(130), std::max(1.0, 0.15 * dpmm)));
        p.setBrush(Qt::NoBrush);
        p.drawRect(panel);
    }
    p.restore();
}

void DrawComparisonReport(QPainter& p, double dpmm, const ComparisonInput& in,
                          const ReportOptions& o) {
    const ReportPage page = LayOutReport(o); // the paper's size; the rest is this page's own
    const double margin = 10, width = page.widthMm - 2 * margin;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(QRectF(0, 0, page.widthMm * dpmm, page.heightMm * dpmm), Qt::white);
    p.setPen(Qt::black);

    double y = margin;
    Line(p, dpmm, margin, y, width * 0.6,
         QCoreApplication::translate("ComparisonReport", "Сравнение с предыдущей ЭКГ"), 5.0, true);
    Line(p, dpmm, margin + width * 0.6, y + 1, width * 0.4, in.current.organisation, 3.5, true);
    y += 8;

    // Both records' headers side by side: the patient and each record.
    const double column = width / 2;
    double bottom = y;
    for (const bool now : {false, true}) {
        const ReportInput& r = now ? in.current : in.previous;
        const double x = margin + (now ? column : 0);
        p.setPen(now ? CurrentBeatColour() : PreviousBeatColour());
        double ry = Line(p, dpmm, x, y, column - 4,
                         now ? QCoreApplication::translate("ComparisonReport", "Текущая ЭКГ")
                             : QCoreApplication::translate("ComparisonReport", "Предыдущая ЭКГ"),
                         3.6, true) +
                    0.5;
        p.setPen(Qt::black);
        const QStringList lines = ReportHeaderLines(r);
        for (qsizetype i = 1; i < lines.size(); ++i) // the organisation heads the page
            ry = Line(p, dpmm, x, ry, column - 4, lines[i], 3.0) + 0.3;
        bottom = std::max(bottom, ry);
    }
    y = bottom + 3;

    // The measurement table on the left, the changes on the right.
    const double tableWidth = 132, rowMm = 4.6;
    const double cols[] = {0, 48, 76, 104};
    const QString heads[] = {QCoreApplication::translate("ComparisonReport", "Показатель"),
                             QCoreApplication::translate("ComparisonReport", "Предыдущая"),
                             QCoreApplication::translate("ComparisonReport", "Текущая"),
                             QCoreApplication::translate("ComparisonReport", "Разница")};
    for (int c = 0; c < 4; ++c)
        Line(p, dpmm, margin + cols[c], y, 28 + (c == 0 ? 20 : 0), heads[c], 3.0, true);
    double ty = y + rowMm;
    p.setPen(QPen(Qt::black, 0.2 * dpmm));
    p.drawLine(QPointF(margin * dpmm, ty * dpmm), QPointF((margin + tableWidth) * dpmm, ty * dpmm));
    for (const ComparisonRow& r : ComparisonRows(in.comparison)) {
        const QString cells[] = {r.name, r.previous, r.current, r.delta};
        for (int c = 0; c < 4; ++c)
            Line(p, dpmm, margin + cols[c], ty + 0.6, 28 + (c == 0 ? 20 : 0), cells[c], 3.0,
                 c == 3 && r.delta != QStringLiteral("—"));
        ty += rowMm;
    }

    const RectMm box{margin + tableWidth + 6, y, width - tableWidth - 6, ty - y};
    p.setPen(QPen(Qt::black, 0.3 * dpmm));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(box.x * dpmm, box.y * dpmm, box.w * dpmm, box.h * dpmm));
    const QStringList changes = ComparisonChangeLines(in.comparison);
    double cy = Line(p, dpmm, box.x + 2, box.y + 1, box.w - 4, changes.front(), 3.2, true) + 0.5;
    const QRectF area((box.x + 2) * dpmm, cy * dpmm, (box.w - 4) * dpmm,
                      (box.y + box.h - cy - 1) * dpmm);
    const QString text = changes.mid(1).join(QLatin1Char('\n'));
    // As large as the box lets it be.
    for (double mm = 3.2; mm >= 1.6; mm -= 0.2) {
        p.setFont(PaperFont(mm, dpmm));
        const QRectF need = p.boundingRect(area, Qt::AlignLeft | Qt::TextWordWrap, text);
        if (need.height() <= area.height() || mm < 1.7) {
            p.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
            break;
        }
    }
    y = ty + 3;

    // The median beats, true to scale, with their legend.
    const double footerY = page.heightMm - margin - 4;
    Line(p, dpmm, margin, y, 60,
         QCoreApplication::translate("ComparisonReport", "Усреднённые комплексы"), 3.2, true);
    double lx = margin + 60;
    for (const bool now : {false, true}) {
        const QColor colour = now ? CurrentBeatColour() : PreviousBeatColour();
        p.setPen(QPen(colour, 0.6 * dpmm));
        p.drawLine(QPointF(lx * dpmm, (y + 2) * dpmm), QPointF((lx + 8) * dpmm, (y + 2) * dpmm));
        p.setPen(Qt::black);
        const QString label =
            (now ? QCoreApplication::translate("ComparisonReport", "текущая %1")
                 : QCoreApplication::translate("ComparisonReport", "предыдущая %1"))
                .arg(RecordDate(now ? in.current : in.previous));
        Line(p, dpmm, lx + 10, y, 80, label, 3.0);
        lx += 90;
    }
    y += 5;
    DrawMedianOverlay(p, QRectF(margin * dpmm, y * dpmm, width * dpmm, (footerY - 2 - y) * dpmm),
                      dpmm, in.previous.measurements, in.current.measurements, o.speedMmPerS,
                      o.gainMmPerMv);

    p.setPen(Qt::black);
    const QString footer =
        QCoreApplication::translate(
            "ComparisonReport", "%1 мм/с   %2 мм/мВ   Фильтры: %3   Частота дискретизации 409,6 Гц")
            .arg(o.speedMmPerS)
            .arg(o.gainMmPerMv)
            .arg(in.current.filters);
    Line(p, dpmm, margin, footerY, width - 40, footer, 3.0);
    Line(p, dpmm, margin + width - 38, footerY, 38, QString::fromLatin1(kProgram), 3.0);
    p.restore();
}

bool WriteComparisonPdf(const QString& path, const ComparisonInput& in, const ReportOptions& o,
                        std::string* error) {
    QByteArray bytes;
    if (!LandscapePdfBytes(
            o.paper, QCoreApplication::translate("ComparisonReport", "Сравнение ЭКГ"),
            [&](QPainter& p, double dotsPerMm) { DrawComparisonReport(p, dotsPerMm, in, o); },
            bytes, error)) {
        *error = "cannot write " + path.toStdString() + ": " + *error;
        return false;
    }
    return WriteFileAtomically(QFile::encodeName(path).toStdString(), bytes.constData(),
                               size_t(bytes.size()), error);
}
