#pragma once

#include "programrunner.h"
#include "testprogram.h"

#include <QString>
#include <QStringList>

// The English words of test programs for the tool: what is wrong with a
// program file, why a program failed, and the results table.
namespace ProgramTexts {

// "step 3 (discharge), field "value": 150 is out of range (more than 0, up to 100 A)"
QString issue(const ProgramIssue &issue);
QString failure(ProgramRunner::Failure failure, ProgramRunner::Setting setting);
// The rows of the results table, a header first.
QStringList table(const QVector<StepResult> &results);

} // namespace ProgramTexts
