#include "display/chart_style.h"

#include "display/chart_geometry.h"

#include <algorithm>

QPen LinePen(const QColor& colour) {
    QPen pen(colour, 1, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    pen.setCosmetic(true);
    return pen;
}

QFont SetupFont(int height, int weight, bool italic, bool underline, int quality,
                const QString& face) {
    QFont font(face.left(31));
    // A pixel size must be positive; a window too low for any text still gets a valid font.
    font.setPixelSize(std::max(height, 1));
    font.setWeight(QFont::Weight(std::clamp(weight, 1, 1000)));
    font.setItalic(italic);
    font.setUnderline(underline);
    font.setStrikeOut(false);
    switch (quality) {
    case kNonAntialiasedQuality:
        font.setStyleStrategy(QFont::NoAntialias);
        break;
    case kAntialiasedQuality:
        font.setStyleStrategy(QFont::PreferAntialias);
        break;
    default:
        font.setStyleStrategy(QFont::PreferDefault);
        break;
    }
    return font;
}

CChartFonts MakeChartFonts(int height, const CChartStyle& style) {
    const ChartFontHeights h = FontHeightsFor(height);
    return {SetupFont(h.nLabel, QFont::Black, false, false, kDefaultQuality, style.m_strFace),
            SetupFont(h.nSmall, QFont::Black, false, false, kAntialiasedQuality, style.m_strFace)};
}
