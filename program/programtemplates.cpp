#include "programtemplates.h"

namespace ProgramTemplates {

namespace {

// The DCIR levels follow the usual method for small cells: about 0.2 C for
// ten seconds, then 1 C for one second.
const QList<Parameter> &capacityParameters()
{
    static const QList<Parameter> p = {{"current_a", 1.0}, {"cutoff_v", 3.0}};
    return p;
}

const QList<Parameter> &dcirParameters()
{
    static const QList<Parameter> p = {
        {"rest_s", 30}, {"i1_a", 0.5}, {"i2_a", 2.5}, {"t1_s", 10}, {"t2_s", 1}};
    return p;
}

const QList<Parameter> &capacityDcirParameters()
{
    static const QList<Parameter> p = {{"current_a", 1.0}, {"cutoff_v", 3.0}, {"every_mah", 500},
                                       {"rest_s", 60},     {"i1_a", 0.5},     {"i2_a", 2.5},
                                       {"t1_s", 10},       {"t2_s", 1}};
    return p;
}

ProgramStep discharge(double amps, double cutoff, double mah)
{
    ProgramStep s;
    s.kind = StepKind::Discharge;
    s.mode = 0;
    s.value = amps;
    s.cutoffV = cutoff;
    s.capacityMah = mah;
    return s;
}

ProgramStep rest(double seconds)
{
    ProgramStep s;
    s.kind = StepKind::Rest;
    s.durationS = seconds;
    return s;
}

ProgramStep dcir(const QMap<QString, double> &v)
{
    ProgramStep s;
    s.kind = StepKind::Dcir;
    s.i1A = v.value(QStringLiteral("i1_a"));
    s.i2A = v.value(QStringLiteral("i2_a"));
    s.t1S = v.value(QStringLiteral("t1_s"));
    s.t2S = v.value(QStringLiteral("t2_s"));
    return s;
}

} // namespace

QStringList names()
{
    return {QStringLiteral("capacity"), QStringLiteral("dcir"), QStringLiteral("capacity-dcir")};
}

QList<Parameter> parameters(const QString &name)
{
    if (name == QLatin1String("capacity"))
        return capacityParameters();
    if (name == QLatin1String("dcir"))
        return dcirParameters();
    if (name == QLatin1String("capacity-dcir"))
        return capacityDcirParameters();
    return {};
}

bool build(const QString &name, const QMap<QString, double> &values, TestProgram *program,
           Problem *problem, QString *which, ProgramIssue *issue)
{
    *problem = Problem::None;
    *issue = ProgramIssue();
    const QList<Parameter> defaults = parameters(name);
    if (defaults.isEmpty()) {
        *problem = Problem::UnknownTemplate;
        *which = name;
        return false;
    }
    QMap<QString, double> v;
    for (const Parameter &p : defaults)
        v.insert(QString::fromLatin1(p.key), p.value);
    for (auto it = values.begin(); it != values.end(); ++it) {
        if (!v.contains(it.key())) {
            *problem = Problem::UnknownParameter;
            *which = it.key();
            return false;
        }
        v[it.key()] = it.value();
    }
    const double amps = v.value(QStringLiteral("current_a"));
    const double cutoff = v.value(QStringLiteral("cutoff_v"));
    const double restS = v.value(QStringLiteral("rest_s"));
    TestProgram p;
    if (name == QLatin1String("capacity")) {
        p.name = QStringLiteral("Capacity test");
        p.steps = {discharge(amps, cutoff, 0)};
    } else if (name == QLatin1String("dcir")) {
        p.name = QStringLiteral("DCIR test");
        p.steps = {rest(restS), dcir(v)};
    } else {
        p.name = QStringLiteral("Capacity test with DCIR");
        ProgramStep loop;
        loop.kind = StepKind::Repeat;
        loop.untilCutoff = true;
        loop.steps = {discharge(amps, cutoff, v.value(QStringLiteral("every_mah"))), rest(restS),
                      dcir(v)};
        p.steps = {rest(restS), dcir(v), loop};
    }
    if (!ProgramFile::validate(p, issue))
        return false;
    *program = p;
    return true;
}

} // namespace ProgramTemplates
