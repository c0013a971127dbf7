#include "programtexts.h"

#include "clioptions.h"
#include "readingformat.h"

#include <cmath>

namespace ProgramTexts {

namespace {

QString number(double v)
{
    return QString::number(v, 'g', 10);
}

QString fixed(double v, int decimals)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QString();
}

} // namespace

QString issue(const ProgramIssue &i)
{
    using P = ProgramIssue;
    QString where;
    if (!i.step.isEmpty())
        where = i.kind.isEmpty() ? QStringLiteral("step %1").arg(i.step)
                                 : QStringLiteral("step %1 (%2)").arg(i.step, i.kind);
    if (!i.field.isEmpty())
        where += (where.isEmpty() ? QString() : QStringLiteral(", ")) +
                 QStringLiteral("field \"%1\"").arg(i.field);
    const QString prefix = where.isEmpty() ? QString() : where + QStringLiteral(": ");
    switch (i.problem) {
    case P::None:
        return QString();
    case P::NotJson:
        return QStringLiteral("not JSON: %1 at line %2, column %3")
            .arg(i.found)
            .arg(i.line)
            .arg(i.column);
    case P::NotAnObject:
        return i.step.isEmpty()
                   ? QStringLiteral("not a test program (a JSON object is expected)")
                   : prefix + QStringLiteral("a step is a JSON object, not %1").arg(i.found);
    case P::UnknownFormat:
        return prefix + QStringLiteral("%1 is not a test program (expected \"%2\")")
                            .arg(i.found, QLatin1String(ProgramFile::Format));
    case P::UnknownVersion:
        return prefix + QStringLiteral("version %1 is not known (this program reads version %2)")
                            .arg(i.found)
                            .arg(ProgramFile::Version);
    case P::MissingField:
        return prefix + QStringLiteral("missing");
    case P::WrongType:
        return prefix + QStringLiteral("%1 is not a %2").arg(i.found, i.expected);
    case P::UnknownField: {
        const int kind = ProgramFile::kindWords().indexOf(i.kind);
        const QStringList fields = kind >= 0
                                       ? ProgramFile::fieldsOf(StepKind(kind)) + QStringList{"name"}
                                       : QStringList{"format", "version", "name", "steps"};
        return prefix +
               QStringLiteral("no such field%1 (fields: %2)")
                   .arg(i.kind.isEmpty() ? QString() : QStringLiteral(" in a %1 step").arg(i.kind),
                        fields.join(QStringLiteral(", ")));
    }
    case P::UnknownKind:
        return prefix + QStringLiteral("unknown kind %1 (kinds: %2)")
                            .arg(i.found, ProgramFile::kindWords().join(QStringLiteral(", ")));
    case P::UnknownMode:
        return prefix + QStringLiteral("unknown mode %1 (modes: %2)")
                            .arg(i.found, ProgramFile::modeWords().join(QStringLiteral(", ")));
    case P::OutOfRange: {
        const QString unit = i.unit.isEmpty() ? QString() : QLatin1Char(' ') + i.unit;
        const QString low = i.lowOpen ? QStringLiteral("more than %1").arg(number(i.low))
                                      : QStringLiteral("from %1").arg(number(i.low));
        return prefix + QStringLiteral("%1 is out of range (%2 up to %3%4)")
                            .arg(i.found, low, number(i.high), unit);
    }
    case P::NoSteps:
        return prefix + QStringLiteral("no steps");
    case P::NoEndCondition:
        return prefix + (i.kind == QLatin1String("repeat")
                             ? QStringLiteral("never ends: give times, until_rest_below_v or "
                                              "until_cutoff")
                             : QStringLiteral("never ends: give cutoff_v, duration_s, "
                                              "capacity_mah or energy_wh"));
    case P::NeedsRest:
        return prefix + QStringLiteral("needs a rest step inside the repeat");
    case P::NeedsCutoff:
        return prefix + QStringLiteral("needs a discharge step with cutoff_v inside the repeat");
    case P::NotAbove:
        return prefix + QStringLiteral("%1 must be above %2").arg(i.found, i.other);
    case P::TooDeep:
        return prefix + QStringLiteral("repeats nest at most %1 deep").arg(ProgramFile::MaxDepth);
    case P::TooManySteps:
        return prefix + QStringLiteral("more than %1 steps").arg(ProgramFile::MaxSteps);
    }
    return QString();
}

QString failure(ProgramRunner::Failure f, ProgramRunner::Setting s)
{
    using F = ProgramRunner::Failure;
    using S = ProgramRunner::Setting;
    auto settingText = [s] {
        switch (s) {
        case S::ClearData:
            return QStringLiteral("clearing of its data");
        case S::Mode:
            return QStringLiteral("work mode");
        case S::Value:
            return QStringLiteral("set value");
        case S::Cutoff:
            return QStringLiteral("cut-off voltage");
        case S::TimeLimit:
            return QStringLiteral("time limit");
        case S::Run:
            return QStringLiteral("start of the load");
        case S::Stop:
            return QStringLiteral("stop of the load");
        case S::Readings:
        case S::None:
            break;
        }
        return QStringLiteral("change");
    };
    switch (f) {
    case F::None:
        return QString();
    case F::InvalidProgram:
        return QStringLiteral("the program did not pass its checks");
    case F::NotConnected:
        return QStringLiteral("no instrument is connected");
    case F::NotALoad:
        return QStringLiteral("test programs need an electronic load");
    case F::NotConfirmed:
        return QStringLiteral("the instrument did not confirm the %1").arg(settingText());
    case F::WriteFailed:
        return QStringLiteral("could not write the %1 to the instrument").arg(settingText());
    case F::NoReadings:
        return QStringLiteral("the instrument sent no readings");
    case F::InstrumentStopped:
        return QStringLiteral("the instrument stopped the load by itself (a protection, or "
                              "someone stopped it)");
    case F::NoCurrentChange:
        return QStringLiteral("the DCIR step's two currents did not differ as set");
    case F::StopUnconfirmed:
        return QStringLiteral("the instrument did not confirm that the load stopped");
    case F::InstrumentGone:
        return QStringLiteral("the instrument was gone when the program ended");
    }
    return QString();
}

QStringList table(const QVector<StepResult> &results)
{
    auto row = [](const QStringList &cells) {
        static const int widths[] = {6, 10, 6, 11, 10, 11, 9, 8, 8};
        QString line;
        for (int i = 0; i < cells.size(); ++i)
            line += i + 1 < cells.size() ? cells.at(i).leftJustified(widths[i]) : cells.at(i);
        return line.trimmed();
    };
    QStringList rows;
    rows << row({"step", "kind", "pass", "end", "time", "mAh", "Wh", "V", "DCIR mOhm"});
    for (const StepResult &r : results) {
        QStringList passes;
        for (int p : r.passes)
            passes << QString::number(p);
        const bool load = r.kind == StepKind::Discharge || r.kind == StepKind::Dcir;
        QString time = ReadingFormat::durationText(r.durationS);
        if (r.kind == StepKind::Repeat)
            time = QStringLiteral("%1 passes").arg(r.passesDone);
        rows << row({r.step, ProgramFile::kindWord(r.kind), passes.join(QLatin1Char('.')),
                     StepResult::endWord(r.end), time, load ? fixed(r.capacityMah, 1) : QString(),
                     load ? fixed(r.energyWh, 3) : QString(), fixed(r.endV, 3),
                     r.hasDcir() ? fixed(r.dcirMohm, 1) : QString()});
    }
    return rows;
}

} // namespace ProgramTexts
