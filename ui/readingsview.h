#pragma once

#include "measurementrecord.h"

class MainDialogUi;
class QLineEdit;
class QLabel;

// What the display update writes from the record: the readings, the work
// mode's title and caption, the edits of the readings page and the live
// values of the settings pages. Every text comes from ReadingFormat, so the
// window shows the digits the command-line tool prints.
namespace ReadingsView {

// The title of a work mode (byte 48 of the parameter report) in the
// window's language; empty where the title stays as it is.
QString modeTitle(quint8 mode, quint8 deviceClass);

// The ten readings of the readings page.
void writeReadings(MainDialogUi &ui, const MeasurementRecord &r);
// Title (readings or test-function page), caption and unit of the work mode.
void writeWorkMode(MainDialogUi &ui, const MeasurementRecord &r, quint8 deviceClass);
// The six edits of the readings page, each only while the user is not in it.
void writeEdits(MainDialogUi &ui, const MeasurementRecord &r);
// Voltage, current and probe temperature on the settings page of the family.
void writeLiveValues(MainDialogUi &ui, const MeasurementRecord &r, quint8 deviceClass);

// Writes `text` unless the edit holds the keyboard focus; true when written.
bool setIfFree(QLineEdit *edit, const QString &text);

} // namespace ReadingsView
