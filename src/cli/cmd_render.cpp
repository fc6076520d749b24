// velmora-cli render: the chart of a finished record drawn into an image, with the renderers the
// record window uses, on the offscreen platform.

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "display/chart_renderer.h"
#include "platform/atomic_file.h"
#include "record/session_state.h"

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
    "                          [--px-per-cm D] [--scroll P]\n"
    "\n"
    "Draws the chart of a record file (.dat, .ecg or .scp) as the record window shows it: the\n"
    "millimetre grid, one band per lead with its label, the curves from point P on, the date\n"
    "and time of the left edge.\n"
    "\n"
    "  --out FILE       the image; its type follows the name (.png, .jpg, .bmp, ...)\n"
    "  --width W        image width in pixels (default 1920)\n"
    "  --height H       image height in pixels (default 1080)\n"
    "  --px-per-cm D    pixels per centimetre of the paper (default 37.8, a 96 dpi screen)\n"
    "  --scroll P       first point shown, 0 to %d, as the window's scroll bar (default 0)\n"
    "\n"
    "exit codes: 0 image written, 1 bad usage, 2 record or image file failure\n";

void Message(const std::string& text) {
    ::Message("render", text);
}

} // namespace

int RunRender(const QStringList& args) {
    const int scrollMax = SetMyScrollRange(1.0);
    COptions opts({"out", "width", "height", "px-per-cm", "scroll"}, {"help"});
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

    const QString in = opts.Positional().first();
    // The window after a record has come in: the record shown, its lead system, zoom 1.
    CRecordDocument doc;
    if (!OpenRecord("render", in, &doc))
        return 2;
    CSessionState s;
    s.ShowRecord(*doc.pRecord, doc.card);

    CChartView view;
    FirstRun(view, pxPerCm, pxPerCm);
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
                 in.toLocal8Bit().constData(), out.toLocal8Bit().constData());
    return 0;
}
