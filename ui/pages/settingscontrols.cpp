#include "settingscontrols.h"

#include "readingformat.h"
#include "settingsmirror.h"
#include "valueedit.h"

#include <QLabel>
#include <QSlider>

namespace SettingsControls {

void chooseStyle(InstrumentSession &s, const QList<QPushButton *> &group, int style)
{
    SettingsMirror::markStyle(group, style - 1);
    s.setDisplayStyle(style);
}

bool levelChanged(InstrumentSession &s, QSlider *slider, QLabel *label,
                  InstrumentSession::Level level, int value)
{
    label->setNum(value);
    if (!ValueEdit::pointerOver(slider))
        return false;
    s.setLevel(level, value);
    return true;
}

void calibrationChanged(InstrumentSession &s, QSlider *slider, QLabel *factorLabel,
                        InstrumentSession::Calibration which, int value)
{
    if (!ValueEdit::pointerOver(slider))
        return;
    const float factor = float(value) / 1000.0f;
    factorLabel->setText(ReadingFormat::calibrationFactor(factor));
    s.setCalibration(which, factor);
}

} // namespace SettingsControls
