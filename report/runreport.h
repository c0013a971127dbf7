#pragma once

#include "runrecord.h"
#include "samplestore.h"

#include <QString>

// A stored run on one A4 page of PDF: a header with the device, the dates and
// the label, the summary table, and the run's curves (voltage and current
// against time). The window passes its words in its language; the defaults
// are English.
namespace RunReport {

struct Labels
{
    QString title = QStringLiteral("Run report");
    QString device = QStringLiteral("Device");
    QString serial = QStringLiteral("Serial");
    QString started = QStringLiteral("Started");
    QString ended = QStringLiteral("Ended");
    QString label = QStringLiteral("Label");
    QString mode = QStringLiteral("Mode");
    QString duration = QStringLiteral("Duration");
    QString capacity = QStringLiteral("Capacity");
    QString energy = QStringLiteral("Energy");
    QString averageVoltage = QStringLiteral("Average voltage");
    QString minimumVoltage = QStringLiteral("Minimum voltage");
    QString averageCurrent = QStringLiteral("Average current");
    QString maxMos = QStringLiteral("Highest MOS temperature");
    QString maxProbe = QStringLiteral("Highest probe temperature");
    QString endReason = QStringLiteral("End");
    QString voltage = QStringLiteral("Voltage (V)");
    QString current = QStringLiteral("Current (A)");
    QString time = QStringLiteral("Time since start");
    QString none = QStringLiteral("none");
    QString modeText; // the mode and set value as the caller words them
};

bool writePdf(const QString &fileName, const RunEntry &run, const SampleStore &samples,
              const Labels &labels, QString *error);

} // namespace RunReport
