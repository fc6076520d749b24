#pragma once
// The drawing objects of a record window's view: background brush, pens and text colour, made
// once and kept; and the fonts, which every drawing pass makes afresh from the window height.

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>
#include <QString>

// A 1-pixel solid pen that leaves out the last pixel of a line, as MoveTo/LineTo drawing does,
// so that a polyline's joints are not drawn twice and a line ends where the next one starts.
QPen LinePen(const QColor& colour);

struct CChartStyle {
    QBrush m_hBackBrush{QColor(255, 250, 250)};
    QPen m_hCurvePen = LinePen(QColor(64, 64, 64));     // chart and live curves
    QPen m_hFinePen = LinePen(QColor(255, 234, 223));   // 1 mm grid
    QPen m_hCoarsePen = LinePen(QColor(255, 213, 192)); // 1 cm grid
    QPen m_hFramePen = LinePen(QColor(255, 84, 0));     // progress frame
    QPen m_hMarkPen = LinePen(QColor(32, 32, 32));      // calibration mark
    QColor m_clrText{255, 84, 0};                       // labels, time label, status texts
    QColor m_clrAbsent{170, 170, 170};                  // labels of leads a file did not have
    QString m_strFace = QStringLiteral("Arial");
};

// Font quality values of the font slots.
constexpr int kDefaultQuality = 0;
constexpr int kNonAntialiasedQuality = 3;
constexpr int kAntialiasedQuality = 4;

// A font of `height` pixels; weight on the 100-900 scale (900 black).
QFont SetupFont(int height, int weight, bool italic, bool underline, int quality,
                const QString& face);

// The two font slots of a drawing pass for a window `height` pixels high.
struct CChartFonts {
    QFont m_hFontLabel; // lead labels
    QFont m_hFontSmall; // time label, progress texts
};
CChartFonts MakeChartFonts(int height, const CChartStyle& style);
