#pragma once

#include "measurementrecord.h"

class QLineEdit;
class QLabel;

// What the display update writes from the record, shared by the pages that
// show it. Every text comes from ReadingFormat, so the window shows the
// digits the command-line tool prints.
namespace ReadingsView {

// The title of a work mode (byte 48 of the parameter report) in the
// window's language; empty where the title stays as it is.
QString modeTitle(quint8 mode, quint8 deviceClass);

// Writes `text` unless the label already shows it: unchanged texts cost no
// relayout of the big readings.
void setIfChanged(QLabel *label, const QString &text);
// Writes `text` unless the edit holds the keyboard focus; true when written.
bool setIfFree(QLineEdit *edit, const QString &text);

// Voltage, current and probe temperature, as a settings page shows them live.
void writeLiveValues(QLabel *volt, QLabel *curr, QLabel *temp, const MeasurementRecord &r);

} // namespace ReadingsView
