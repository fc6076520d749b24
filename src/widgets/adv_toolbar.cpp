#include "widgets/adv_toolbar.h"

#include <QAction>
#include <QIcon>
#include <QPixmap>

QRgb LightenColor(QRgb c, QRgb f) {
    const double k = ((qRed(f) + qGreen(f) + qBlue(f)) / 3) / 255.0;
    if (!(k > 0.0 && k <= 1.0))
        return c;
    auto lighten = [k](int v) { return int((255 - v) * k + v) & 0xFF; };
    return qRgb(lighten(qRed(c)), lighten(qGreen(c)), lighten(qBlue(c)));
}

void ReplaceBackgroundColor(QImage& bitmap, QRgb buttonFace) {
    for (int x = 0; x < bitmap.width(); ++x)
        for (int y = 0; y < bitmap.height(); ++y)
            if ((bitmap.pixel(x, y) | 0xFF000000) == kToolbarKeyColour)
                bitmap.setPixel(x, y, buttonFace | 0xFF000000);
}

void GetDisabledBitmap(QImage& bitmap, QRgb buttonFace, QRgb shadow) {
    const QRgb background = buttonFace | 0xFF000000;
    for (int x = 0; x < bitmap.width(); ++x)
        for (int y = 0; y < bitmap.height(); ++y) {
            const QRgb c = bitmap.pixel(x, y) | 0xFF000000;
            if (c != background)
                bitmap.setPixel(x, y, LightenColor(shadow, c) | 0xFF000000);
        }
}

CAdvToolBar::CAdvToolBar(QWidget* parent) : QToolBar(parent) {}

bool CAdvToolBar::CreateAdvToolBar(const QImage& strip, const std::vector<QAction*>& buttons) {
    int pictures = 0;
    for (const QAction* a : buttons)
        pictures += a ? 1 : 0;
    if (strip.isNull() || strip.height() < kToolbarImageSize ||
        strip.width() < pictures * kToolbarImageSize)
        return false;

    const QRgb face = palette().color(QPalette::Button).rgb();
    const QRgb shadow = palette().color(QPalette::Dark).rgb();
    m_ilNormal = strip.convertToFormat(QImage::Format_RGB32);
    ReplaceBackgroundColor(m_ilNormal, face);
    m_ilDisabled = m_ilNormal;
    ReplaceBackgroundColor(m_ilDisabled, face); // finds no key colour left
    GetDisabledBitmap(m_ilDisabled, face, shadow);

    setIconSize(QSize(kToolbarImageSize, kToolbarImageSize));
    int index = 0;
    for (QAction* a : buttons) {
        if (!a) {
            addSeparator();
            continue;
        }
        const QRect cell(index * kToolbarImageSize, 0, kToolbarImageSize, kToolbarImageSize);
        QIcon icon;
        icon.addPixmap(QPixmap::fromImage(m_ilNormal.copy(cell)), QIcon::Normal);
        icon.addPixmap(QPixmap::fromImage(m_ilDisabled.copy(cell)), QIcon::Disabled);
        a->setIcon(icon);
        addAction(a);
        if (QWidget* button = widgetForAction(a))
            button->setFixedSize(kToolbarButtonSize, kToolbarButtonSize);
        ++index;
    }
    return true;
}
