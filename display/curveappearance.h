#pragma once

#include "curvetable.h"

#include <QColor>
#include <QPen>
#include <QString>

// Colour and width of each curve and the chart theme, as the settings file
// keeps them. Nothing is written until the user chooses: a fresh file gives
// black curves of the thinnest width under the Light theme.
class CurveAppearance
{
public:
    // Reads every curve's colour and width key.
    void load();

    QColor colour(int curve) const { return m_colour[curve]; }
    qreal width(int curve) const { return m_width[curve]; }
    QPen pen(int curve) const;

    // Store and write the key at once.
    void setColour(int curve, const QColor &colour);
    void setWidth(int curve, qreal width);

    // The seven themes in the charts library's order; the index equals the
    // library's theme value.
    static QStringList themeNames();
    // Index of the stored theme, 0 (Light) when missing or unknown.
    static int storedTheme();
    static void storeTheme(int index);

    // "ff" + rrggbb, lower-case hex: the stored form of a colour.
    static QString colourText(const QColor &colour);
    static QColor colourFromText(const QString &text);
    static QString widthText(qreal width);
    static QColor storedColour(int curve);
    static QString storedWidthText(int curve);

private:
    QColor m_colour[Curves::Count];
    qreal m_width[Curves::Count] = {};
};
