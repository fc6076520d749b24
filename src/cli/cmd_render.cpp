// velmora-cli render: the chart of a finished record drawn into an image, with the renderers the
// record window uses, on the offscreen platform.

#include "cli/cli_common.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "display/chart_renderer.h"
#include "record/session_state.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char kRenderUsage[] =
    "usage: velmora-cli render RECORD.dat --out IMAGE.png [--width W] [--height H]\n"
    "                          [--px-per-cm D] [--scroll P]\n"
    "\n"
    "Draws the chart of a record as the record window shows it: the millimetre grid, one band\n"
    "per lead with its label, the curves from point P on, the date and time of the left edge.\n"
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

// The record's date text ("2024-03-01 09:15:00") as the time base of the chart's time label.
bool ParseRecordDate(const char (&text)[20], SYSTEMTIME* st) {
    char date[21] = {};
    std::memcpy(date, text, sizeof text);
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, used = 0;
    const int n =
        std::sscanf(date, "%d-%d-%d %d:%d%n:%d%n", &y, &mo, &d, &h, &mi, &used, &s, &used);
    if (n < 5)
        return false;
    // Records stamped without a device date carry the locale's time, which may be 12-hour.
    const char* rest = date + used;
    if (std::strstr(rest, "PM") && h < 12)
        h += 12;
    else if (std::strstr(rest, "AM") && h == 12)
        h = 0;
    *st = SYSTEMTIME{};
    st->wYear = uint16_t(y);
    st->wMonth = uint16_t(mo);
    st->wDay = uint16_t(d);
    st->wHour = uint16_t(h);
    st->wMinute = uint16_t(mi);
    st->wSecond = uint16_t(n >= 6 ? s : 0);
    FILETIME check;
    return y > 0 && h < 24 && mi < 60 && s < 60 && SystemTimeToFileTime(*st, check);
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
    CSessionState s;
    if (!ReadRecordFile("render", in, s.m_pRecord.get()))
        return 2;
    s.m_pShowCurves = s.m_pCurves;
    const RECORD_INFO info = ReadRecordInfo(s.m_pCurves);
    if (info.magic == kRecordInfoMagic) {
        s.m_nLeadSystem = int(info.leadSystem);
        if (LeadGroupOf(s.m_nLeadSystem).nLanes == 0)
            Message("warning: lead system " + std::to_string(info.leadSystem) +
                    " has no leads to draw; the chart shows the grid only");
    } else {
        Message("warning: the record has no info block; drawn as twelve standard leads");
    }
    SYSTEMTIME start;
    if (ParseRecordDate(s.m_pRecord->date, &start))
        s.m_Time.Initialize(start);
    else
        Message("warning: the record has no readable date; the chart has no time label");

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

    QSaveFile image(out);
    if (!image.open(QIODevice::WriteOnly) || !chart.save(&image, format.constData()) ||
        !image.commit()) {
        Message("cannot write " + out.toStdString() + ": " + image.errorString().toStdString());
        return 2;
    }
    std::fprintf(stderr, "velmora-cli render: %dx%d chart of %s written to %s\n", width, height,
                 in.toLocal8Bit().constData(), out.toLocal8Bit().constData());
    return 0;
}
