#pragma once

#include "testprogram.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>
#include <limits>

// What one step of a program came to, kept with the run.
struct StepResult
{
    enum class End {
        CutOff,    // the voltage reached the cut-off
        Duration,  // its time was up
        Capacity,  // the mAh limit
        Energy,    // the Wh limit
        Recovered, // a rest: the voltage came back to its level
        Done,      // a DCIR measurement or a repeat completed
        Confirmed, // a pause: the user went on
        Aborted,   // the program was aborted during the step
        Failed,    // the step could not be completed (see the program's failure)
    };

    QString step;        // "2.1"
    QVector<int> passes; // the pass of each repeat around it, outermost first
    StepKind kind = StepKind::Discharge;
    QString name;
    End end = End::Done;
    double durationS = 0;
    double capacityMah = 0; // delivered during the step
    double energyWh = 0;
    double endV = std::numeric_limits<double>::quiet_NaN(); // under load, or at rest
    // dcir only: the readings at the end of each level and R in milliohm.
    double v1 = std::numeric_limits<double>::quiet_NaN();
    double i1 = std::numeric_limits<double>::quiet_NaN();
    double v2 = std::numeric_limits<double>::quiet_NaN();
    double i2 = std::numeric_limits<double>::quiet_NaN();
    double dcirMohm = std::numeric_limits<double>::quiet_NaN();
    int passesDone = 0; // repeat only

    // Completed as meant (not aborted and not failed).
    bool completed() const { return end != End::Aborted && end != End::Failed; }
    bool hasDcir() const { return dcirMohm == dcirMohm; }

    static QString endWord(End end); // "cut-off", "duration", ...
    QJsonObject toJson() const;
    // Read back as toJson() wrote it (the history keeps them so).
    static StepResult fromJson(const QJsonObject &o);
};

// The results of a program as the history keeps them and --json prints them.
QJsonArray resultsJson(const QVector<StepResult> &results);
QVector<StepResult> resultsFromJson(const QJsonArray &array);
