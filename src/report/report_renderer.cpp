#include "report/report_renderer.h"

#include "analysis/measurement_table.h"
#include "display/chart_style.h"
#include "display/reading_settings.h"
#include "platform/cp1251.h"
#include "platform/ui_language.h"
#include "record_io/record_device.h"
#include "record_model/ecg_signal.h"
#include "record_model/lead_vocabulary.h"
#include "record_model/record_date.h"
#include "storage/scp_export.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPainterPath>
#include <cmath>
#include <cstring>

namespace {

constexpr const char* kFontFamily = "Liberation Sans";
constexpr const char* kProgram = "velmora 1.2";

QString Text(const char* field, size_t size) {
    return FromCp1251(QByteArray(field, int(strnlen(field, size)))).trimmed();
}

// Draws in millimetres on a device of `dpmm` pixels per millimetre.
class CPaper {
public:
    CPaper(QPainter& p, double dpmm) : m_p(p), m_d(dpmm) {}
    double operator()(double mm) const { return mm * m_d; }
    QPointF At(double x, double y) const { return QPointF(x * m_d, y * m_d); }
    QRectF Rect(const RectMm& r) const {
        return QRectF(At(r.x, r.y), QSizeF(r.w * m_d, r.h * m_d));
    }
    QPen Pen(const QColor& c, double widthMm) const {
        QPen pen(c, widthMm * m_d);
        pen.setCapStyle(Qt::FlatCap);
        pen.setJoinStyle(Qt::RoundJoin);
        return pen;
    }
    QFont Font(double heightMm, bool bold = false) const {
        QFont f(QString::fromLatin1(kFontFamily));
        f.setPixelSize(std::max(1, int(std::lround(heightMm * m_d))));
        f.setBold(bold);
        return f;
    }
    // Text from (x, y) (the top of its line box) on, cut to width.
    double Line(double x, double y, double width, const QString& text, double heightMm,
                bool bold = false) {
        m_p.setFont(Font(heightMm, bold));
        const QFontMetricsF fm(m_p.font());
        m_p.drawText(QRectF(At(x, y), QSizeF(width * m_d, fm.height())),
                     Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     fm.elidedText(text, Qt::ElideRight, width * m_d));
        return y + fm.height() / m_d;
    }
    QPainter& p() { return m_p; }

private:
    QPainter& m_p;
    double m_d;
};

void DrawGrid(CPaper& paper, const RectMm& g, const CChartStyle& style) {
    QPainter& p = paper.p();
    const QColor fine = style.m_hFinePen.color(), coarse = style.m_hCoarsePen.color();
    for (const bool major : {false, true}) {
        p.setPen(paper.Pen(major ? coarse : fine, major ? 0.2 : 0.1));
        for (int i = 0; i <= int(g.w); ++i)
            if ((i % 5 == 0) == major)
                p.drawLine(paper.At(g.x + i, g.y), paper.At(g.x + i, g.y + g.h));
        for (int i = 0; i <= int(g.h); ++i)
            if ((i % 5 == 0) == major)
                p.drawLine(paper.At(g.x, g.y + i), paper.At(g.x + g.w, g.y + i));
    }
}

void DrawStrips(CPaper& paper, const ReportPage& page, const ReportInput& in,
                const ReportOptions& o, const CChartStyle& style) {
    QPainter& p = paper.p();
    const double mmPerUnit = o.gainMmPerMv / 500.0; // 500 units are 1 mV
    for (const ReportStrip& s : page.strips) {
        const bool absent = (in.absentLanes >> s.lane & 1) != 0 || !in.record;
        // The 1 mV pulse before every row, at the row's gain.
        if (s.bRowStart) {
            const double x = page.pulseXMm, w = page.pulseWidthMm, y = s.yMm;
            QPainterPath pulse;
            pulse.moveTo(paper.At(x, y));
            pulse.lineTo(paper.At(x, y - o.gainMmPerMv));
            pulse.lineTo(paper.At(x + w, y - o.gainMmPerMv));
            pulse.lineTo(paper.At(x + w, y));
            p.setPen(paper.Pen(style.m_hMarkPen.color(), 0.25));
            p.setBrush(Qt::NoBrush);
            p.drawPath(pulse);
        }
        p.setPen(absent ? style.m_clrAbsent : style.m_clrText);
        paper.Line(s.xMm + 1, s.yMm - page.rowHeightMm * 0.45, 20,
                   QString::fromLatin1(LeadOfLane(s.lane)->m_szLabel), 3.0, true);
        if (absent) {
            paper.Line(
                s.xMm + 10, s.yMm - 1.5, s.widthMm - 10,
                QCoreApplication::translate("ReportRenderer", "отведение отсутствует в записи"),
                2.5);
            continue;
        }
        const int first = int(std::lround(s.fromS * kPointsPerSecond));
        const int last =
            std::min(kPoints - 1, int(std::lround((s.fromS + s.seconds) * kPointsPerSecond)));
        QPolygonF line;
        line.reserve(last - first + 1);
        for (int i = first; i <= last; ++i) {
            const double x = s.xMm + (i / kPointsPerSecond - s.fromS) * o.speedMmPerS;
            const int16_t v = in.drawSamples.empty() ? Sample(*in.record, i, s.lane)
                                                     : in.drawSamples[size_t(i * kLeads + s.lane)];
            const double y = s.yMm - v * mmPerUnit;
            line << paper.At(x, y);
        }
        p.setPen(paper.Pen(style.m_hCurvePen.color(), 0.25));
        p.drawPolyline(line);
    }
}

QString Age(const PATIENT_CARD& c, const ECG_RECORD* record) {
    SYSTEMTIME t{};
    if (!record || !ParseRecordDate(record->date, sizeof record->date, t))
        return {};
    const std::optional<int> age = analysis::PatientFactsOf(c, t).ageYears;
    return age ? QCoreApplication::translate("ReportRenderer", " (%1 лет)").arg(*age) : QString();
}

// The values the screen shows, and only those: a value not measured is left out rather than
// printed as "нет", which would read as a finding.
QString MeasurementText(const analysis::Measurements& m) {
    QStringList parts;
    for (const std::string& part : analysis::MeasurementSummary(m))
        parts << QString::fromStdString(part);
    if (parts.isEmpty())
        return QString::fromStdString(analysis::MeasurementLine(m));
    return parts.join(QStringLiteral("; "));
}

} // namespace

ReportInput ReportInputFor(const ECG_RECORD& record, const PATIENT_CARD& card, uint16_t absentLanes,
                           const QString& organisation,
                           const std::vector<analysis::Filter>& filters,
                           const analysis::InterpretationSettings& settings,
                           const CDoctorReading* reading) {
    ReportInput in;
    if (reading)
        in.reading = *reading;
    in.record = &record;
    in.card = card;
    in.organisation = organisation;
    // A lane that holds nothing prints as absent, not as a flat line that passes for a signal.
    in.absentLanes = absentLanes;
    for (int lane = 0; lane < kLeads; ++lane) {
        bool empty = true;
        for (int p = 0; p < kPoints && empty; ++p)
            empty = Sample(record, p, lane) == 0;
        if (empty)
            in.absentLanes = uint16_t(in.absentLanes | 1u << lane);
    }
    analysis::RecordAnalysis a = analysis::AnalyseRecord(record, &card, filters, settings);
    in.measurements = std::move(a.measurements);
    in.interpretation = std::move(a.interpretation);
    if (!filters.empty()) {
        in.drawSamples = FilteredSamples(record, filters);
        in.filters = FilterText(filters);
    }
    return in;
}

QStringList ReportConclusionLines(const ReportInput& in) {
    QStringList lines;
    if (const CDoctorReading& r = in.reading; r.Confirmed()) {
        // The files keep these lines in Russian (scp_export.h); the page says them in the
        // interface's language, the doctor's own words as written.
        for (const CReadStatement& s : r.statements)
            lines << QString::fromStdString(InUiLanguage(s.text, s.textEn));
        if (!r.conclusion.empty())
            lines << QCoreApplication::translate("ReportRenderer", "Заключение: %1")
                         .arg(QString::fromStdString(r.conclusion));
        const SYSTEMTIME& at = r.confirmedAt;
        const QString when = QStringLiteral("%1.%2.%3 %4:%5")
                                 .arg(at.wDay, 2, 10, QLatin1Char('0'))
                                 .arg(at.wMonth, 2, 10, QLatin1Char('0'))
                                 .arg(at.wYear, 4, 10, QLatin1Char('0'))
                                 .arg(at.wHour, 2, 10, QLatin1Char('0'))
                                 .arg(at.wMinute, 2, 10, QLatin1Char('0'));
        lines << QCoreApplication::translate("ReportRenderer", "Подтверждено: %1, %2")
                     .arg(QString::fromStdString(r.doctorName), when);
        if (r.version > 1 && !r.amendReason.empty())
            lines << QCoreApplication::translate("ReportRenderer", "Изменено: %1")
                         .arg(QString::fromStdString(r.amendReason));
        return lines;
    }
    if (in.interpretation.statements.empty())
        return lines;
    lines << QString::fromStdString(InUiLanguage(std::string(analysis::kUnconfirmedHeading),
                                                 std::string(analysis::kUnconfirmedHeadingEn)));
    for (const analysis::Statement& s : in.interpretation.statements)
        lines << QString::fromStdString(InUiLanguage(s.text, s.textEn));
    return lines;
}

QStringList ReportHeaderLines(const ReportInput& in) {
    const PATIENT_CARD& c = in.card;
    const bool filled = c.last_name[0] || c.first_name[0] || c.birth_year;
    QStringList lines;
    lines << in.organisation;
    lines << QCoreApplication::translate("ReportRenderer", "Пациент: %1 %2 %3")
                 .arg(Text(c.last_name, sizeof c.last_name),
                      Text(c.first_name, sizeof c.first_name),
                      Text(c.patronymic, sizeof c.patronymic))
                 .trimmed();
    QString born;
    if (c.birth_year && c.birth_year != 65535)
        born = QStringLiteral("%1.%2.%3")
                   .arg(c.birth_day, 2, 10, QLatin1Char('0'))
                   .arg(c.birth_month, 2, 10, QLatin1Char('0'))
                   .arg(c.birth_year) +
               Age(c, in.record);
    lines << QCoreApplication::translate("ReportRenderer", "Пол: %1   Дата рождения: %2")
                 .arg(filled && c.sex <= 1
                          ? (c.sex ? QCoreApplication::translate("ReportRenderer", "муж.")
                                   : QCoreApplication::translate("ReportRenderer", "жен."))
                          : QString(),
                      born);
    lines << QCoreApplication::translate("ReportRenderer", "Рост: %1   Вес: %2")
                 .arg(
                     c.height ? QCoreApplication::translate("ReportRenderer", "%1 см").arg(c.height)
                              : QString(),
                     c.weight ? QCoreApplication::translate("ReportRenderer", "%1 кг").arg(c.weight)
                              : QString());
    lines << QCoreApplication::translate("ReportRenderer", "Врач: %1")
                 .arg(Text(c.doctor_name, sizeof c.doctor_name));
    if (in.record) {
        lines << QCoreApplication::translate("ReportRenderer", "Дата и время записи: %1")
                     .arg(QString::fromLatin1(in.record->date, int(strnlen(in.record->date, 19))));
        // Another system's file names no cardiograph of ours, and usually no record number:
        // a number it does not have is not printed as 0.
        if (in.record->device_id)
            lines << QCoreApplication::translate("ReportRenderer", "Запись № %1, прибор %2")
                         .arg(in.record->curve_id)
                         .arg(RecordNumberText(*in.record));
        else if (in.record->curve_id)
            lines << QCoreApplication::translate("ReportRenderer", "Запись № %1")
                         .arg(in.record->curve_id);
    }
    return lines;
}

void DrawReport(QPainter& p, double dotsPerMm, const ReportInput& in, const ReportOptions& o) {
    const ReportPage page = LayOutReport(o);
    const CChartStyle style;
    CPaper paper(p, dotsPerMm);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    p.fillRect(QRectF(0, 0, paper(page.widthMm), paper(page.heightMm)), Qt::white);
    DrawGrid(paper, page.grid, style);
    DrawStrips(paper, page, in, o, style);

    // Header: the patient and the record on the left, the measurements in the middle, the
    // conclusion on the right.
    const RectMm& h = page.header;
    const QStringList lines = ReportHeaderLines(in);
    p.setPen(Qt::black);
    double y = paper.Line(h.x, h.y, 100, lines.value(0), 4.0, true) + 0.8;
    for (qsizetype i = 1; i < lines.size(); ++i)
        y = paper.Line(h.x, y, 100, lines[i], 3.0) + 0.4;

    const double mx = h.x + 104, mw = 84;
    double my = paper.Line(
        mx, h.y, mw, QCoreApplication::translate("ReportRenderer", "Автоматические измерения,"),
        3.0, true);
    my = paper.Line(mx, my, mw,
                    QCoreApplication::translate("ReportRenderer", "требуют подтверждения врачом"),
                    3.0, true) +
         0.8;
    p.setFont(paper.Font(2.8));
    const QRectF ours(paper.At(mx, my), QSizeF(paper(mw), paper(h.y + h.h - my)));
    QRectF used;
    p.drawText(ours, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
               MeasurementText(in.measurements), &used);
    // Another cart's findings under ours, in smaller type and as the file's own.
    if (!in.fileFindings.isEmpty()) {
        p.setFont(paper.Font(2.4));
        p.drawText(QRectF(QPointF(ours.left(), used.bottom() + paper(1.0)), ours.bottomRight()),
                   Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, in.fileFindings);
    }

    const RectMm box{h.x + 192, h.y, h.w - 192, h.h};
    p.setPen(paper.Pen(Qt::black, 0.3));
    p.setBrush(Qt::NoBrush);
    p.drawRect(paper.Rect(box));
    double cy = paper.Line(box.x + 2, box.y + 1, box.w - 4,
                           QCoreApplication::translate("ReportRenderer", "Заключение"), 3.2, true);
    // The statements, as large as the box above the signature lets them be: the automatic ones
    // under their heading, a confirmed reading's run on, then its conclusion and who confirmed it
    // on lines of their own.
    if (const QStringList conclusion = ReportConclusionLines(in); !conclusion.isEmpty()) {
        const QRectF area(paper.At(box.x + 2, cy + 0.5),
                          QSizeF(paper(box.w - 4), paper(box.y + box.h - 7 - cy - 0.5)));
        QString text;
        if (in.reading.Confirmed()) {
            const qsizetype statements = qsizetype(in.reading.statements.size());
            if (statements > 0)
                text = conclusion.mid(0, statements).join(QStringLiteral(". ")) + QLatin1Char('.') +
                       QLatin1Char('\n');
            text += conclusion.mid(statements).join(QLatin1Char('\n'));
        } else {
            text = conclusion.front() + QLatin1Char('\n') +
                   conclusion.mid(1).join(QStringLiteral(". ")) + QLatin1Char('.');
        }
        for (double mm = 2.8; mm >= 1.6; mm -= 0.2) {
            p.setFont(paper.Font(mm));
            const QRectF need = p.boundingRect(area, Qt::AlignLeft | Qt::TextWordWrap, text);
            if (need.height() <= area.height() || mm < 1.7) {
                p.drawText(area, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text);
                break;
            }
        }
    }
    paper.Line(box.x + 2, box.y + box.h - 6, 30,
               QCoreApplication::translate("ReportRenderer", "Подпись врача"), 2.8);
    p.drawLine(paper.At(box.x + 26, box.y + box.h - 3),
               paper.At(box.x + box.w - 3, box.y + box.h - 3));

    // Footer: how the page was drawn.
    QString footer =
        QCoreApplication::translate(
            "ReportRenderer", "%1 мм/с   %2 мм/мВ   Фильтры: %3   Частота дискретизации 409,6 Гц")
            .arg(o.speedMmPerS)
            .arg(o.gainMmPerMv)
            .arg(in.filters);
    if (page.shownSeconds < kPoints / kPointsPerSecond - 0.01) {
        // A decimal comma in Russian, a point in English.
        QString seconds = QString::number(page.shownSeconds, 'f', 1);
        if (CurrentUiLanguage() == UiLanguage::Russian)
            seconds.replace(QLatin1Char('.'), QLatin1Char(','));
        footer += QCoreApplication::translate("ReportRenderer", "   Показаны первые %1 с записи")
                      .arg(seconds);
    }
    p.setPen(Qt::black);
    paper.Line(page.footer.x, page.footer.y + 2, page.footer.w - 40, footer, 3.0);
    paper.Line(page.footer.x + page.footer.w - 38, page.footer.y + 2, 38,
               QString::fromLatin1(kProgram), 3.0);
    p.restore();
}
