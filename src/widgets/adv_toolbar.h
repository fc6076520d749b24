#pragma once
// The main frame's toolbar: one picture strip of 32x32 images on a grey key colour, shown on
// 39x39 buttons, with the normal and the disabled pictures both derived from that strip.

#include <QColor>
#include <QImage>
#include <QToolBar>
#include <vector>

constexpr QRgb kToolbarKeyColour = 0xFFC0C0C0; // RGB(192,192,192)
constexpr int kToolbarImageSize = 32;
constexpr int kToolbarButtonSize = 39;

// c lightened towards white by the brightness of f.
QRgb LightenColor(QRgb c, QRgb f);
// The key colour becomes buttonFace, in place.
void ReplaceBackgroundColor(QImage& bitmap, QRgb buttonFace);
// Every pixel that is not the button face becomes the shadow lightened by its brightness.
void GetDisabledBitmap(QImage& bitmap, QRgb buttonFace, QRgb shadow);

class CAdvToolBar : public QToolBar {
public:
    explicit CAdvToolBar(QWidget* parent = nullptr);

    // Takes the picture strip and the actions in button order (null: a separator). Derives the
    // normal and disabled pictures with the palette's button face and shadow; false when the
    // strip does not hold a picture for every action.
    bool CreateAdvToolBar(const QImage& strip, const std::vector<QAction*>& buttons);

    QImage m_ilNormal;   // the strip as shown on enabled buttons
    QImage m_ilDisabled; // the strip as shown on disabled buttons
};
