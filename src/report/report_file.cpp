#include "report/report_file.h"

#include "platform/atomic_file.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <optional>

namespace {

constexpr int kPdfDpi = 1200;

bool Store(const QString& path, const QByteArray& bytes, std::string* error) {
    return WriteFileAtomically(QFile::encodeName(path).toStdString(), bytes.constData(),
                               size_t(bytes.size()), error);
}

QPageSize PageSizeOf(ReportPaper paper) {
    return QPageSize(paper == ReportPaper::Letter ? QPageSize::Letter : QPageSize::A4);
}

} // namespace

bool LandscapePdfBytes(ReportPaper paper, const QString& title,
                       const std::function<void(QPainter&, double dotsPerMm)>& draw,
                       QByteArray& bytes, std::string* error) {
    bytes.clear();
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&buffer);
    pdf.setResolution(kPdfDpi);
    pdf.setPageLayout(QPageLayout(PageSizeOf(paper), QPageLayout::Landscape, QMarginsF(0, 0, 0, 0),
                                  QPageLayout::Millimeter));
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("velmora"));
    QPainter p;
    if (!p.begin(&pdf)) {
        *error = "the PDF could not be started";
        return false;
    }
    draw(p, kPdfDpi / 25.4);
    return p.end();
}

bool ReportPdfBytes(const ReportInput& in, const ReportOptions& options, QByteArray& bytes,
                    std::string* error) {
    return LandscapePdfBytes(
        options.paper, QCoreApplication::translate("ReportFile", "ЭКГ"),
        [&](QPainter& p, double dotsPerMm) { DrawReport(p, dotsPerMm, in, options); }, bytes,
        error);
}

ReportPdfMaker ReportPdfMakerFor(const QString& organisation, const CStatementSettings& how,
                                 uint16_t absentLanes, const ReportOptions& options) {
    std::optional<CDoctorReading> reading;
    if (how.m_pReading && how.m_pReading->Confirmed())
        reading = *how.m_pReading;
    return [organisation, filters = how.m_Filters, settings = how.m_Settings, reading, absentLanes,
            options](const ECG_RECORD& record, const PATIENT_CARD& card, std::vector<uint8_t>& pdf,
                     std::string* error) {
        const ReportInput in = ReportInputFor(record, card, absentLanes, organisation, filters,
                                              settings, reading ? &*reading : nullptr);
        QByteArray bytes;
        if (!ReportPdfBytes(in, options, bytes, error))
            return false;
        pdf.assign(bytes.constBegin(), bytes.constEnd());
        return true;
    };
}

bool WriteReportPdf(const QString& path, const ReportInput& in, const ReportOptions& options,
                    std::string* error) {
    QByteArray bytes;
    if (!ReportPdfBytes(in, options, bytes, error)) {
        *error = "cannot write " + path.toStdString() + ": " + *error;
        return false;
    }
    return Store(path, bytes, error);
}

bool WriteReportImage(const QString& path, const ReportInput& in, const ReportOptions& options,
                      std::string* error) {
    const ReportPage page = LayOutReport(options);
    const double dpmm = kReportImageDpi / 25.4;
    QImage image(int(std::lround(page.widthMm * dpmm)), int(std::lround(page.heightMm * dpmm)),
                 QImage::Format_RGB32);
    image.setDotsPerMeterX(int(std::lround(dpmm * 1000)));
    image.setDotsPerMeterY(int(std::lround(dpmm * 1000)));
    {
        QPainter p(&image);
        DrawReport(p, dpmm, in, options);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    const QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (!image.save(&buffer, format.constData())) {
        *error =
            "cannot write " + path.toStdString() + ": no picture of type " + format.toStdString();
        return false;
    }
    return Store(path, bytes, error);
}

bool WriteReport(const QString& path, const ReportInput& in, const ReportOptions& options,
                 std::string* error) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf"))
        return WriteReportPdf(path, in, options, error);
    if (suffix == QLatin1String("png") || suffix == QLatin1String("jpg") ||
        suffix == QLatin1String("jpeg") || suffix == QLatin1String("bmp"))
        return WriteReportImage(path, in, options, error);
    *error = "unsupported report type '" + path.toStdString() + "': use .pdf or .png";
    return false;
}
