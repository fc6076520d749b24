// velmora-cli render: the chart of a finished record drawn into an image, with the renderers the
// record window uses, on the offscreen platform.

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "cli/reading_options.h"
#include "display/chart_renderer.h"
#include "display/reading_settings.h"
#include "platform/atomic_file.h"
#include "record_model/session_state.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kRenderUsage[] =
    "usage: velmora-cli render RECORD --out IMAGE.png [--width W] [--height H]\n"
    "                          [--px-per-cm D] [--scroll P] [--speed 25|50] [--gain 5|10|20]\n"
    "                          [--filter F]...\n"
    "\n"
    "Draws the chart of a record file (any type that opens) as the record window shows it: the\n"
    "millimetre grid, one band per lead with its label, the curves from point P on, the date\n"
    "and time of the left edge.\n"
    "\n"
    "  --out FILE       the image; its type follows the name (.png, .jpg, .bmp, ...)\n"
    "  --width W        image width in pixels (default 1920)\n"
    "  --height H       image height in pixels (default 1080)\n"
    "  --px-per-cm D    pixels per centimetre of the paper (default 37.8, a 96 dpi screen)\n"
    "  --scroll P       first point shown, 0 to %d, as the window's scroll bar (default 0)\n"
    "  --speed S        25 or 50 mm/s (default: the record's own speed)\n"
    "  --gain G         5, 10 or 20 mm/mV (default 10)\n"
    "  --filter F       draw through a filter (the record stays as it is); several allowed:\n"
    "                   mains50, mains60 (notch), baseline (0.05 Hz), baseline067 (0.67 Hz),\n"
    "                   muscle35, muscle40 (low-pass). The chart's corner says what is in effect.\n"
    "\n"
    "exit codes: 0 image written, 1 bad usage, 2 record or image file failure\n";

void Message(const std::string& text) {
    ::Message("render", text);
}

} // namespace

int RunRender(const QStringList& args) {
    const int scrollMax = SetMyScrollRange(1.0);
    COptions opts({"out", "width", "height", "px-per-cm", "scroll", "speed", "gain", "filter"},
                  {"help"});
    QString error;
    if (!opts.Parse(args, &error) || opts.Positional().size() > 1) {
        Message(error.isEmpty() ? "give one record file" : error.toStdString());
        std::fprintf(stderr, kRenderUsage, scrollMax);
        return 1;
    }
    if (opts.Has("help")) {
        std::printf(kRenderUsage, scrollMax);
        return 0;
    }
    int width = 1920, height = 1080, scroll = 0;
    double pxPerCm = 37.8;
    if ((opts.Has("width") && !opts.Int("width", 16, 8192, &width, &error)) ||
        (opts.Has("height") && !opts.Int("height", 16, 8192, &height, &error)) ||
        (opts.Has("px-per-cm") && !opts.Double("px-per-cm", 5, 500, &pxPerCm, &error)) ||
        (opts.Has("scroll") && !opts.Int("scroll", 0, scrollMax, &scroll, &error))) {
        Message(error.toStdString());
        return 1;
    }
    if (opts.Positional().isEmpty()) {
        Message("give the record file");
        return 1;
    }
    const QString out = opts.Value("out");
    if (out.isEmpty()) {
        Message("--out IMAGE is required");
        return 1;
    }
    const QByteArray format = QFileInfo(out).suffix().toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format)) {
        Message("cannot tell the image type of '" + out.toStdString() +
                "': name it .png, .jpg or .bmp");
        return 1;
    }

    ReadingSettings reading;
    if (!ReadingFromOptions("render", opts, &reading))
        return 1;
    const QString in = opts.Positional().first();
    // The window after a record has come in: the record shown, its lead system, zoom 1.
    CLoadedRecord doc;
    if (!OpenRecord("render", in, &doc))
        return 2;
    CSessionState s;
    s.ShowRecord(*doc.pRecord, doc.card);

    CChartView view;
    FirstRun(view, pxPerCm, pxPerCm);
    CFilteredSamples filtered;
    if (opts.Has("speed") || opts.Has("gain") || opts.Has("filter"))
        ApplyReadingSettings(reading, s, view, filtered);
    SetRazv(view, s);
    view.m_nScrollPos = scroll;
    CChartStyle style;
    QImage grid, chart;
    RebuildBuffers(view, width, height, grid, chart, style);
    {
        QPainter p(&chart);
        DrawCurves(p, grid, view, s, style);
    }

    QByteArray encoded;
    QBuffer buffer(&encoded);
    std::string why;
    if (!buffer.open(QIODevice::WriteOnly) || !chart.save(&buffer, format.constData())) {
        Message("cannot encode the image as " + format.toStdString());
        return 2;
    }
    if (!WriteFileAtomically(QFile::encodeName(out).toStdString(), encoded.constData(),
                             size_t(encoded.size()), &why)) {
        Message(why);
        return 2;
    }
    std::fprintf(stderr, "velmora-cli render: %dx%d chart of %s written to %s\n", width, height,
                 PrintableName(in).toUtf8().constData(), PrintableName(out).toUtf8().constData());
    return 0;
}
