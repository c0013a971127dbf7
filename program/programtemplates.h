#pragma once

#include "testprogram.h"

#include <QList>
#include <QMap>
#include <QString>

// The built-in programs, each made from a few parameters:
//   capacity       discharge at a constant current to the cut-off
//   dcir           a rest, then a DC internal resistance measurement
//   capacity-dcir  a capacity test with a DCIR measurement every N mAh
namespace ProgramTemplates {

struct Parameter
{
    const char *key; // "current_a"
    double value;    // its default
};

QStringList names();
// The parameters of a template with their defaults; empty for an unknown name.
QList<Parameter> parameters(const QString &name);

enum class Problem { None, UnknownTemplate, UnknownParameter };

// Builds a template with `values` over its defaults. A parameter outside the
// range of the field it goes into shows in *issue as the step's field would.
bool build(const QString &name, const QMap<QString, double> &values, TestProgram *program,
           Problem *problem, QString *which, ProgramIssue *issue);

} // namespace ProgramTemplates
