#pragma once

#include <QString>

// Instrument families told apart by the model word at the start of the USB
// product string.
namespace DeviceModel {

enum Class : quint8 { NoClass = 0, ElectronicLoad = 1, PowerTester = 4 };

// The class of a model word (exact, case-sensitive), NoClass when unknown.
Class classOf(const QString &modelWord);

// The model word of a product string: the part before the first blank.
QString modelWord(const QString &productString);

// Whether the poll tick samples the record into the chart and the recorder on
// its odd counts: a power tester always, a load while it runs.
bool samplingAllowed(quint8 deviceClass, bool curveRunFlag, bool running);

// A power tester's shunt sizes, 30A to 1000A, are chosen by index; byte 53
// of the parameter report gives 30 for the first, 10 for the last and the
// index between.
quint8 shuntReportCode(int index);
// The index of a reported shunt code, -1 when it is none of them.
int shuntIndexOf(quint8 reportCode);

} // namespace DeviceModel
