#include "stepresult.h"

#include <cmath>

namespace {

// Readings as the instrument gives them: a thousandth is its resolution.
QJsonValue number(double v, int decimals = 3)
{
    if (!std::isfinite(v))
        return QJsonValue(QJsonValue::Null);
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

} // namespace

QString StepResult::endWord(End end)
{
    switch (end) {
    case End::CutOff:
        return QStringLiteral("cut-off");
    case End::Duration:
        return QStringLiteral("duration");
    case End::Capacity:
        return QStringLiteral("capacity");
    case End::Energy:
        return QStringLiteral("energy");
    case End::Recovered:
        return QStringLiteral("recovered");
    case End::Done:
        return QStringLiteral("done");
    case End::Confirmed:
        return QStringLiteral("confirmed");
    case End::Aborted:
        return QStringLiteral("aborted");
    case End::Failed:
        break;
    }
    return QStringLiteral("failed");
}

QJsonObject StepResult::toJson() const
{
    QJsonObject o;
    o[QStringLiteral("step")] = step;
    QJsonArray p;
    for (int n : passes)
        p.append(n);
    if (!passes.isEmpty())
        o[QStringLiteral("pass")] = p;
    o[QStringLiteral("kind")] = ProgramFile::kindWord(kind);
    if (!name.isEmpty())
        o[QStringLiteral("name")] = name;
    o[QStringLiteral("end")] = endWord(end);
    o[QStringLiteral("duration_s")] = number(durationS, 1);
    switch (kind) {
    case StepKind::Discharge:
    case StepKind::Dcir:
        o[QStringLiteral("capacity_mah")] = number(capacityMah);
        o[QStringLiteral("energy_wh")] = number(energyWh, 4);
        o[QStringLiteral("end_v")] = number(endV);
        break;
    case StepKind::Rest:
        o[QStringLiteral("end_v")] = number(endV);
        break;
    case StepKind::Repeat:
        o[QStringLiteral("passes")] = passesDone;
        break;
    case StepKind::Pause:
        break;
    }
    if (kind == StepKind::Dcir) {
        o[QStringLiteral("v1_v")] = number(v1);
        o[QStringLiteral("i1_a")] = number(i1);
        o[QStringLiteral("v2_v")] = number(v2);
        o[QStringLiteral("i2_a")] = number(i2);
        o[QStringLiteral("dcir_mohm")] = number(dcirMohm, 2);
    }
    return o;
}

QJsonArray resultsJson(const QVector<StepResult> &results)
{
    QJsonArray a;
    for (const StepResult &r : results)
        a.append(r.toJson());
    return a;
}

StepResult StepResult::fromJson(const QJsonObject &o)
{
    auto number = [&o](const char *key) {
        const QJsonValue v = o.value(QLatin1String(key));
        return v.isDouble() ? v.toDouble() : std::numeric_limits<double>::quiet_NaN();
    };
    StepResult r;
    r.step = o.value(QStringLiteral("step")).toString();
    for (const QJsonValue &p : o.value(QStringLiteral("pass")).toArray())
        r.passes << p.toInt();
    r.kind = StepKind(
        qMax(0, ProgramFile::kindWords().indexOf(o.value(QStringLiteral("kind")).toString())));
    r.name = o.value(QStringLiteral("name")).toString();
    const QString end = o.value(QStringLiteral("end")).toString();
    r.end = End::Failed;
    for (End e : {End::CutOff, End::Duration, End::Capacity, End::Energy, End::Recovered, End::Done,
                  End::Confirmed, End::Aborted})
        if (endWord(e) == end)
            r.end = e;
    r.durationS = o.value(QStringLiteral("duration_s")).toDouble();
    r.capacityMah = o.value(QStringLiteral("capacity_mah")).toDouble();
    r.energyWh = o.value(QStringLiteral("energy_wh")).toDouble();
    r.endV = number("end_v");
    r.v1 = number("v1_v");
    r.i1 = number("i1_a");
    r.v2 = number("v2_v");
    r.i2 = number("i2_a");
    r.dcirMohm = number("dcir_mohm");
    r.passesDone = o.value(QStringLiteral("passes")).toInt();
    return r;
}

QVector<StepResult> resultsFromJson(const QJsonArray &array)
{
    QVector<StepResult> list;
    for (const QJsonValue &v : array)
        list << StepResult::fromJson(v.toObject());
    return list;
}
