#include "widgets/toolbar_pictures.h"

#include "widgets/adv_toolbar.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace {

const QColor kInk(40, 40, 48);
const QColor kPaper(252, 252, 246);
const QColor kRed(200, 30, 30);
const QColor kBlue(40, 90, 170);
const QColor kGreen(30, 130, 60);

void Page(QPainter& p) {
    QPainterPath page;
    page.moveTo(7, 3);
    page.lineTo(20, 3);
    page.lineTo(26, 9);
    page.lineTo(26, 29);
    page.lineTo(7, 29);
    page.closeSubpath();
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kPaper);
    p.drawPath(page);
    p.drawLine(QPointF(20, 3), QPointF(20, 9));
    p.drawLine(QPointF(20, 9), QPointF(26, 9));
}

// An ECG complex across the picture, baseline y.
void Trace(QPainter& p, double y, const QColor& colour, double width = 2.0) {
    QPainterPath path;
    path.moveTo(2, y);
    path.lineTo(9, y);
    path.lineTo(11, y - 2);
    path.lineTo(13, y);
    path.lineTo(15, y + 2);
    path.lineTo(17, y - 12);
    path.lineTo(19, y + 5);
    path.lineTo(21, y);
    path.cubicTo(23, y - 3, 25, y - 3, 27, y);
    path.lineTo(30, y);
    p.setPen(QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

void Floppy(QPainter& p, const QColor& body) {
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4, 4, 24, 24), 2, 2);
    p.setBrush(kPaper);
    p.drawRect(QRectF(9, 4, 14, 9));
    p.setBrush(QColor(210, 210, 210));
    p.drawRect(QRectF(8, 18, 16, 10));
    p.setBrush(kInk);
    p.drawRect(QRectF(18, 6, 3, 5));
}

void Envelope(QPainter& p) {
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kPaper);
    p.drawRect(QRectF(3, 8, 26, 17));
    p.drawLine(QPointF(3, 8), QPointF(16, 18));
    p.drawLine(QPointF(29, 8), QPointF(16, 18));
}

void Badge(QPainter& p, const char* text) {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(9);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::NoPen);
    p.setBrush(kRed);
    p.drawRoundedRect(QRectF(9, 20, 22, 11), 2, 2);
    p.setPen(Qt::white);
    p.drawText(QRectF(9, 20, 22, 11), Qt::AlignCenter, QString::fromLatin1(text));
}

void Gear(QPainter& p) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        const double a = i * M_PI / teeth;
        const double r = i % 2 ? 10.0 : 13.5;
        const QPointF pt(16 + r * std::cos(a), 16 + r * std::sin(a));
        if (i == 0)
            gear.moveTo(pt);
        else
            gear.lineTo(pt);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(16, 16), 4.5, 4.5);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(QColor(120, 130, 145));
    p.drawPath(gear);
}

void Help(QPainter& p) {
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kBlue);
    p.drawEllipse(QPointF(16, 16), 13, 13);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(20);
    f.setBold(true);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(QRectF(3, 3, 26, 26), Qt::AlignCenter, QStringLiteral("?"));
}

} // namespace

QImage MakeToolbarStrip() {
    // Drawn on transparency first: edge pixels are then either picture or key colour, so no grey
    // halo of half-blended key colour survives the background replacement.
    QImage art(kToolbarPictures * kToolbarImageSize, kToolbarImageSize, QImage::Format_ARGB32);
    art.fill(Qt::transparent);
    QPainter p(&art);
    p.setRenderHint(QPainter::Antialiasing);
    auto cell = [&](int i, auto draw) {
        p.save();
        p.translate(i * kToolbarImageSize, 0);
        draw();
        p.restore();
    };
    cell(0, [&] { // new record window
        Page(p);
        Trace(p, 20, kRed, 1.5);
    });
    cell(1, [&] { // open a record file: a folder with a page in it
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(230, 180, 70));
        QPainterPath back;
        back.moveTo(3, 27);
        back.lineTo(3, 7);
        back.lineTo(11, 7);
        back.lineTo(14, 10);
        back.lineTo(27, 10);
        back.lineTo(27, 27);
        back.closeSubpath();
        p.drawPath(back);
        p.setBrush(kPaper);
        p.drawRect(QRectF(8, 5, 15, 15));
        Trace(p, 14, kRed, 1.2);
        p.setBrush(QColor(245, 200, 90));
        QPainterPath front;
        front.moveTo(3, 27);
        front.lineTo(7, 15);
        front.lineTo(31, 15);
        front.lineTo(27, 27);
        front.closeSubpath();
        p.drawPath(front);
    });
    cell(2, [&] { // the archive: a cabinet of drawers, a record on the top one
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(150, 110, 70));
        p.drawRect(QRectF(4, 4, 24, 25));
        p.setBrush(QColor(205, 165, 110));
        for (double y : {6.0, 17.5}) {
            p.drawRect(QRectF(7, y, 18, 9));
            p.drawLine(QPointF(13, y + 4.5), QPointF(19, y + 4.5));
        }
        p.setBrush(kPaper);
        p.drawRect(QRectF(9, 1, 14, 6));
        Trace(p, 5, kRed, 1.0);
    });
    cell(3, [&] { // reception: the live trace over a cardiograph screen
        p.setPen(QPen(kInk, 1.5));
        p.setBrush(QColor(20, 40, 30));
        p.drawRoundedRect(QRectF(1.5, 5, 29, 22), 3, 3);
        Trace(p, 19, QColor(90, 240, 120));
    });
    cell(4, [&] { // description: a card with a pencil
        Page(p);
        p.setPen(QPen(kInk, 1.2));
        for (int y = 13; y <= 25; y += 4)
            p.drawLine(QPointF(10, y), QPointF(20, y));
        p.setPen(QPen(QColor(230, 170, 40), 4, Qt::SolidLine, Qt::FlatCap));
        p.drawLine(QPointF(15, 27), QPointF(28, 12));
        p.setPen(QPen(kInk, 1.5));
        p.drawLine(QPointF(13, 30), QPointF(15, 27));
    });
    cell(5, [&] { Floppy(p, kBlue); });
    cell(6, [&] {
        Envelope(p);
        Trace(p, 30, kRed, 1.5);
    });
    cell(7, [&] {
        Floppy(p, kGreen);
        Badge(p, "SCP");
    });
    cell(8, [&] {
        Envelope(p);
        Badge(p, "SCP");
    });
    cell(9, [&] { Gear(p); });
    cell(10, [&] { Help(p); });
    p.end();

    QImage strip(art.size(), QImage::Format_RGB32);
    for (int y = 0; y < art.height(); ++y)
        for (int x = 0; x < art.width(); ++x) {
            const QRgb c = art.pixel(x, y);
            strip.setPixel(x, y, qAlpha(c) < 128 ? kToolbarKeyColour : (c | 0xFF000000));
        }
    return strip;
}
