#pragma once

#include "programrunner.h"
#include "testprogram.h"

#include <QCoreApplication>
#include <QString>

// The window's words for test programs, in the language shown: kinds, modes,
// how steps ended, why a program failed, what is wrong with a program, and a
// step's settings in one line.
class ProgramWords
{
    Q_DECLARE_TR_FUNCTIONS(ProgramWords)
public:
    static QString kind(StepKind kind);
    static QString mode(quint8 mode);
    static QString end(StepResult::End end);
    static QString state(ProgramRunner::State state, ProgramRunner::Outcome outcome);
    static QString failure(ProgramRunner::Failure failure, ProgramRunner::Setting setting);
    // "第 3.1 步（放电），“value”：150 超出范围（大于 0，至多 100 A）"
    static QString issue(const ProgramIssue &issue);
    // What the step does and when it ends, e.g. "恒流 1 A" and "截止 3 V，500 mAh".
    static QString settings(const ProgramStep &step);
    static QString ends(const ProgramStep &step);
    static QString templateName(const QString &id);
};
