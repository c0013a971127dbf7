#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

// A test program: steps an electronic load runs one after the other,
// unattended. Kept in a JSON file:
//   {"format": "usb-tester-program", "version": 1, "name": "...", "steps": [...]}
// Every value of a step is in the unit its field name ends with.

enum class StepKind { Discharge, Rest, Dcir, Repeat, Pause };

struct ProgramStep
{
    StepKind kind = StepKind::Discharge;
    QString name; // optional label shown beside the step

    // discharge: mode and value, ends at the first of its limits (0: none).
    quint8 mode = 0;  // 0 cc, 1 cv, 2 cr, 3 cp: the instrument's work modes
    double value = 0; // A, V, ohm or W
    double cutoffV = 0;
    double durationS = 0; // discharge: a limit; rest: the rest, or its longest with untilV
    double capacityMah = 0;
    double energyWh = 0;

    // rest: load off until the voltage is back to untilV (0: for the duration).
    double untilV = 0;

    // dcir: I1 for t1, then I2 for t2; R = (V1 - V2) / (I2 - I1). cutoffV may apply.
    double i1A = 0;
    double i2A = 0;
    double t1S = 10;
    double t2S = 1;

    // repeat: the steps inside, `times` over (0: no count), or until the
    // voltage at a rest inside is below untilRestBelowV, or until a discharge
    // inside ends at its cut-off.
    int times = 0;
    double untilRestBelowV = 0;
    bool untilCutoff = false;
    QVector<ProgramStep> steps;

    // pause: shown to the user; the program goes on when confirmed.
    QString message;

    bool operator==(const ProgramStep &o) const;
    bool operator!=(const ProgramStep &o) const { return !(*this == o); }
};

struct TestProgram
{
    QString name;
    QVector<ProgramStep> steps;

    bool operator==(const TestProgram &o) const { return name == o.name && steps == o.steps; }
    // Steps counted through repeats once (not their passes).
    int stepCount() const;
};

// What is wrong with a program file, for the front ends to put into words.
// `step` names the step as the user counts them ("3", or "2.1" for the first
// step inside step 2), `field` the key in the file.
struct ProgramIssue
{
    enum Problem {
        None,
        NotJson,        // line and column tell where
        NotAnObject,    // the file, or a step, is no JSON object
        UnknownFormat,  // "format" is not "usb-tester-program"; found says what it is
        UnknownVersion, // found: the version given
        MissingField,
        WrongType,      // expected: "number", "string", "true or false", "array", "whole number"
        UnknownField,   // a key this kind of step does not have
        UnknownKind,    // found: the kind given
        UnknownMode,    // found: the mode given
        OutOfRange,     // low, high (lowOpen: the low end itself is not allowed)
        NoSteps,        // "steps" is empty
        NoEndCondition, // a discharge with no limit, or a repeat with no count or condition
        NeedsRest,      // until_rest_below_v without a rest step inside the repeat
        NeedsCutoff,    // until_cutoff without a discharge with cut-off inside
        NotAbove,       // i2_a must be above i1_a; other: the field it must exceed
        TooDeep,        // repeats nested beyond MaxDepth
        TooManySteps,   // more than MaxSteps steps in all
    };
    Problem problem = None;
    QString step;
    QString kind; // the step's kind word, when known
    QString field;
    QString found;    // the value as written
    QString expected; // WrongType: what the field takes
    QString other;    // NotAbove: the field it must exceed
    QString unit;     // OutOfRange: the unit of low and high
    double low = 0;
    double high = 0;
    bool lowOpen = false;
    int line = 0;
    int column = 0;

    bool ok() const { return problem == None; }
};

namespace ProgramFile {

constexpr const char *Format = "usb-tester-program";
constexpr int Version = 1;
constexpr int MaxDepth = 4;
constexpr int MaxSteps = 1000;
constexpr int MaxTextLength = 500;

// The kind and mode words of the file.
QString kindWord(StepKind kind);
QString modeWord(quint8 mode); // "cc" ...
QString unitOf(quint8 mode);   // "A", "V", "ohm", "W"
// The fields a kind of step takes besides "kind" and "name".
QStringList fieldsOf(StepKind kind);
QStringList kindWords();
QStringList modeWords();

// Reads and checks a program; false with the first problem in *issue.
bool parse(const QByteArray &json, TestProgram *program, ProgramIssue *issue);
// Checks a program built in memory (the window's editor, templates) as the
// file would be checked.
bool validate(const TestProgram &program, ProgramIssue *issue);
// The file's JSON: only the fields a step uses, in a stable order.
QByteArray toJson(const TestProgram &program);
QJsonObject stepObject(const ProgramStep &step);

// Reads a file; false with *issue, or with *ioError when it cannot be read.
bool load(const QString &path, TestProgram *program, ProgramIssue *issue, QString *ioError);
// Writes a file whole (a temporary beside it renamed into place).
bool save(const QString &path, const TestProgram &program, QString *ioError);

} // namespace ProgramFile
