#include "curveappearance.h"

#include "setting.h"

QPen CurveAppearance::pen(int curve) const
{
    QPen p(QBrush(m_colour[curve]), m_width[curve], Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin);
    return p;
}

void CurveAppearance::load()
{
    for (int c = 0; c < Curves::Count; ++c) {
        m_colour[c] = storedColour(c);
        bool ok = false;
        const double w = storedWidthText(c).toDouble(&ok);
        // A negative or absurd width would make the painter misbehave.
        m_width[c] = ok && w >= 0 && w <= 100 ? w : 0;
    }
}

void CurveAppearance::setColour(int curve, const QColor &colour)
{
    m_colour[curve] = QColor(colour.red(), colour.green(), colour.blue());
    Setting().write(QLatin1String(Curves::info(curve).colourKey), colourText(m_colour[curve]));
}

void CurveAppearance::setWidth(int curve, qreal width)
{
    m_width[curve] = width;
    Setting().write(QLatin1String(Curves::info(curve).widthKey), widthText(width));
}

QStringList CurveAppearance::themeNames()
{
    return {QStringLiteral("Light"),   QStringLiteral("BlueCerulean"),
            QStringLiteral("Dark"),    QStringLiteral("BrownSand"),
            QStringLiteral("BlueNcs"), QStringLiteral("HighContrast"),
            QStringLiteral("BlueIcy")};
}

int CurveAppearance::storedTheme()
{
    const int i = themeNames().indexOf(Setting().read(QStringLiteral("ChartTheme")));
    return i < 0 ? 0 : i;
}

void CurveAppearance::storeTheme(int index)
{
    Setting().write(QStringLiteral("ChartTheme"), themeNames().value(index));
}

QString CurveAppearance::colourText(const QColor &colour)
{
    const quint32 argb = 0xff000000u | (colour.rgb() & 0x00ffffffu);
    return QString::number(argb, 16);
}

QColor CurveAppearance::colourFromText(const QString &text)
{
    bool ok = false;
    const quint32 v = text.toUInt(&ok, 16);
    if (!ok)
        return QColor(Qt::black);
    return QColor(int((v >> 16) & 0xff), int((v >> 8) & 0xff), int(v & 0xff));
}

QString CurveAppearance::widthText(qreal width)
{
    return QString::number(width, 'f', 1);
}

QColor CurveAppearance::storedColour(int curve)
{
    return colourFromText(Setting().read(QLatin1String(Curves::info(curve).colourKey)));
}

QString CurveAppearance::storedWidthText(int curve)
{
    return Setting().read(QLatin1String(Curves::info(curve).widthKey));
}
