#include "settingsmirror.h"

#include "readingformat.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

namespace SettingsMirror {

namespace {

const char *const Hover =
    "QPushButton:hover{background-color:rgb(126, 255, 206); color: black;}"
    "QPushButton:pressed{background-color:rgb(0, 255, 0);border-style: inset;}";

} // namespace

QString selectedStyle()
{
    return QStringLiteral("QPushButton{background-color: rgb(0, 170, 0);}") + QLatin1String(Hover);
}

QString normalStyle()
{
    return QStringLiteral("QPushButton{background-color: rgb(72, 72, 72);}") + QLatin1String(Hover);
}

void markStyle(const QList<QPushButton *> &group, int chosen)
{
    if (chosen < 0 || chosen >= group.size())
        return;
    for (int i = 0; i < group.size(); ++i) {
        const QString style = i == chosen ? selectedStyle() : normalStyle();
        if (group[i]->styleSheet() != style)
            group[i]->setStyleSheet(style);
    }
}

int calibrationSliderPosition(float factor)
{
    return int(std::lround(1000.0 * double(factor)));
}

bool setSliderIfFree(QSlider *slider, int value)
{
    if (slider->hasFocus())
        return false;
    const QSignalBlocker quiet(slider);
    slider->setValue(value);
    return true;
}

void mirrorLevel(QSlider *slider, QLabel *label, int value)
{
    if (setSliderIfFree(slider, value))
        label->setNum(slider->value());
}

void mirrorCalibration(QSlider *slider, QLabel *factorLabel, const MeasurementRecord &r,
                       ParameterRange::Field field)
{
    factorLabel->setText(ReadingFormat::parameter(r, field));
    // A factor that cannot be leaves the slider where it is.
    if (ParameterRange::valid(r, field))
        setSliderIfFree(slider, calibrationSliderPosition(ParameterRange::value(r, field)));
}

} // namespace SettingsMirror
