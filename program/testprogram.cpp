#include "testprogram.h"

#include "parameterrange.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <cmath>
#include <functional>

namespace ProgramFile {

namespace {

// Durations a step may have: a second up to 1000 hours.
constexpr double MinSeconds = 1;
constexpr double MaxSeconds = 1000.0 * 3600;
constexpr double MaxLevelSeconds = 3600;
constexpr double MaxMah = 1e7;
constexpr double MaxWh = 1e6;
constexpr int MaxTimes = 100000;

const char *const KindWords[] = {"discharge", "rest", "dcir", "repeat", "pause"};
const char *const ModeWords[] = {"cc", "cv", "cr", "cp"};
const char *const Units[] = {"A", "V", "ohm", "W"};

double maxVolts()
{
    return ParameterRange::range(ParameterRange::CutoffVoltage).high;
}

double maxAmps()
{
    return ParameterRange::range(ParameterRange::SetValue, 0).high;
}

QString numberText(double v)
{
    return QString::number(v, 'g', 12);
}

QString valueText(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Double:
        return numberText(v.toDouble());
    case QJsonValue::String:
        return QLatin1Char('"') + v.toString() + QLatin1Char('"');
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Array:
        return QStringLiteral("[...]");
    case QJsonValue::Object:
        return QStringLiteral("{...}");
    default:
        return QStringLiteral("null");
    }
}

// The keys each kind of step takes, beside "kind" and "name".
QStringList keysOf(StepKind kind)
{
    switch (kind) {
    case StepKind::Discharge:
        return {"mode", "value", "cutoff_v", "duration_s", "capacity_mah", "energy_wh"};
    case StepKind::Rest:
        return {"duration_s", "until_v"};
    case StepKind::Dcir:
        return {"i1_a", "i2_a", "t1_s", "t2_s", "cutoff_v"};
    case StepKind::Repeat:
        return {"times", "until_rest_below_v", "until_cutoff", "steps"};
    case StepKind::Pause:
        return {"message"};
    }
    return {};
}

// Reads one step's fields; type and presence problems end it.
class StepReader
{
public:
    StepReader(const QJsonObject &o, const QString &path, const QString &kind, ProgramIssue *issue)
        : m_o(o), m_path(path), m_kind(kind), m_issue(issue)
    {
    }

    bool number(const char *key, double *out, bool required)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined())
            return required ? missing(key) : true;
        if (!v.isDouble())
            return wrongType(key, v, QStringLiteral("number"));
        *out = v.toDouble();
        return true;
    }
    bool whole(const char *key, int *out)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        const double d = v.toDouble();
        if (!v.isDouble() || d != std::floor(d))
            return wrongType(key, v, QStringLiteral("whole number"));
        if (d < 0 || d > MaxTimes)
            return outOfRange(key, numberText(d), 1, MaxTimes, QString());
        *out = int(d);
        return true;
    }
    bool text(const char *key, QString *out, bool required)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined())
            return required ? missing(key) : true;
        if (!v.isString())
            return wrongType(key, v, QStringLiteral("string"));
        *out = v.toString();
        return true;
    }
    bool flag(const char *key, bool *out)
    {
        const QJsonValue v = m_o.value(QLatin1String(key));
        if (v.isUndefined())
            return true;
        if (!v.isBool())
            return wrongType(key, v, QStringLiteral("true or false"));
        *out = v.toBool();
        return true;
    }
    bool missing(const char *key)
    {
        set(ProgramIssue::MissingField, key);
        return false;
    }
    bool wrongType(const char *key, const QJsonValue &v, const QString &expected)
    {
        set(ProgramIssue::WrongType, key);
        m_issue->found = valueText(v);
        m_issue->expected = expected;
        return false;
    }
    bool outOfRange(const char *key, const QString &found, double low, double high,
                    const QString &unit)
    {
        set(ProgramIssue::OutOfRange, key);
        m_issue->found = found;
        m_issue->low = low;
        m_issue->high = high;
        m_issue->unit = unit;
        return false;
    }
    void set(ProgramIssue::Problem p, const char *key)
    {
        *m_issue = ProgramIssue();
        m_issue->problem = p;
        m_issue->step = m_path;
        m_issue->kind = m_kind;
        m_issue->field = QString::fromLatin1(key);
    }

private:
    const QJsonObject &m_o;
    QString m_path;
    QString m_kind;
    ProgramIssue *m_issue;
};

QString childPath(const QString &parent, int index)
{
    const QString n = QString::number(index + 1);
    return parent.isEmpty() ? n : parent + QLatin1Char('.') + n;
}

bool readSteps(const QJsonArray &array, const QString &parent, int depth, int *count,
               QVector<ProgramStep> *out, ProgramIssue *issue);

bool readStep(const QJsonValue &value, const QString &path, int depth, int *count,
              ProgramStep *step, ProgramIssue *issue)
{
    if (!value.isObject()) {
        *issue = ProgramIssue();
        issue->problem = ProgramIssue::NotAnObject;
        issue->step = path;
        issue->found = valueText(value);
        return false;
    }
    const QJsonObject o = value.toObject();
    StepReader r(o, path, QString(), issue);
    QString kindText;
    if (!r.text("kind", &kindText, true))
        return false;
    int kind = -1;
    for (int i = 0; i < 5; ++i)
        if (kindText == QLatin1String(KindWords[i]))
            kind = i;
    if (kind < 0) {
        r.set(ProgramIssue::UnknownKind, "kind");
        issue->found = valueText(o.value(QStringLiteral("kind")));
        return false;
    }
    ProgramStep s;
    s.kind = StepKind(kind);
    StepReader k(o, path, kindText, issue);
    const QStringList allowed = keysOf(s.kind) + QStringList{"kind", "name"};
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!allowed.contains(it.key())) {
            const QByteArray key = it.key().toUtf8();
            k.set(ProgramIssue::UnknownField, key.constData());
            return false;
        }
    }
    if (!k.text("name", &s.name, false))
        return false;
    switch (s.kind) {
    case StepKind::Discharge: {
        QString mode;
        if (!k.text("mode", &mode, true))
            return false;
        int m = -1;
        for (int i = 0; i < 4; ++i)
            if (mode == QLatin1String(ModeWords[i]))
                m = i;
        if (m < 0) {
            k.set(ProgramIssue::UnknownMode, "mode");
            issue->found = valueText(o.value(QStringLiteral("mode")));
            return false;
        }
        s.mode = quint8(m);
        if (!k.number("value", &s.value, true) || !k.number("cutoff_v", &s.cutoffV, false) ||
            !k.number("duration_s", &s.durationS, false) ||
            !k.number("capacity_mah", &s.capacityMah, false) ||
            !k.number("energy_wh", &s.energyWh, false))
            return false;
        break;
    }
    case StepKind::Rest:
        if (!k.number("duration_s", &s.durationS, true) || !k.number("until_v", &s.untilV, false))
            return false;
        break;
    case StepKind::Dcir:
        if (!k.number("i1_a", &s.i1A, true) || !k.number("i2_a", &s.i2A, true) ||
            !k.number("t1_s", &s.t1S, false) || !k.number("t2_s", &s.t2S, false) ||
            !k.number("cutoff_v", &s.cutoffV, false))
            return false;
        break;
    case StepKind::Repeat: {
        if (!k.whole("times", &s.times) ||
            !k.number("until_rest_below_v", &s.untilRestBelowV, false) ||
            !k.flag("until_cutoff", &s.untilCutoff))
            return false;
        const QJsonValue inner = o.value(QStringLiteral("steps"));
        if (inner.isUndefined())
            return k.missing("steps");
        if (!inner.isArray())
            return k.wrongType("steps", inner, QStringLiteral("array"));
        if (depth + 1 >= MaxDepth) {
            k.set(ProgramIssue::TooDeep, "steps");
            return false;
        }
        if (!readSteps(inner.toArray(), path, depth + 1, count, &s.steps, issue))
            return false;
        break;
    }
    case StepKind::Pause:
        if (!k.text("message", &s.message, true))
            return false;
        break;
    }
    *step = s;
    return true;
}

bool readSteps(const QJsonArray &array, const QString &parent, int depth, int *count,
               QVector<ProgramStep> *out, ProgramIssue *issue)
{
    out->clear();
    for (int i = 0; i < array.size(); ++i) {
        if (++*count > MaxSteps) {
            *issue = ProgramIssue();
            issue->problem = ProgramIssue::TooManySteps;
            issue->step = childPath(parent, i);
            return false;
        }
        ProgramStep s;
        if (!readStep(array.at(i), childPath(parent, i), depth, count, &s, issue))
            return false;
        out->append(s);
    }
    return true;
}

// Ranges and the rules between fields, for parsed and built programs alike.
class Checker
{
public:
    explicit Checker(ProgramIssue *issue) : m_issue(issue) {}

    bool steps(const QVector<ProgramStep> &list, const QString &parent, int depth)
    {
        if (list.isEmpty()) {
            *m_issue = ProgramIssue();
            m_issue->problem = ProgramIssue::NoSteps;
            m_issue->step = parent;
            m_issue->field = QStringLiteral("steps");
            if (!parent.isEmpty())
                m_issue->kind = kindWord(StepKind::Repeat);
            return false;
        }
        for (int i = 0; i < list.size(); ++i) {
            if (++m_count > MaxSteps) {
                *m_issue = ProgramIssue();
                m_issue->problem = ProgramIssue::TooManySteps;
                m_issue->step = childPath(parent, i);
                return false;
            }
            if (!step(list.at(i), childPath(parent, i), depth))
                return false;
        }
        return true;
    }

private:
    bool step(const ProgramStep &s, const QString &path, int depth)
    {
        m_path = path;
        m_kind = kindWord(s.kind);
        if (s.name.size() > MaxTextLength)
            return tooLong("name", s.name);
        switch (s.kind) {
        case StepKind::Discharge: {
            if (s.mode > 3) {
                set(ProgramIssue::UnknownMode, "mode");
                m_issue->found = QString::number(s.mode);
                return false;
            }
            const double high = ParameterRange::range(ParameterRange::SetValue, s.mode).high;
            if (!open("value", s.value, high, unitOf(s.mode)) || !optional("cutoff_v", s.cutoffV) ||
                !optionalSeconds("duration_s", s.durationS) ||
                !optional("capacity_mah", s.capacityMah, MaxMah, QStringLiteral("mAh")) ||
                !optional("energy_wh", s.energyWh, MaxWh, QStringLiteral("Wh")))
                return false;
            if (s.cutoffV <= 0 && s.durationS <= 0 && s.capacityMah <= 0 && s.energyWh <= 0) {
                set(ProgramIssue::NoEndCondition, "");
                return false;
            }
            return true;
        }
        case StepKind::Rest:
            return closed("duration_s", s.durationS, MinSeconds, MaxSeconds, QStringLiteral("s")) &&
                   optional("until_v", s.untilV);
        case StepKind::Dcir:
            if (!closed("i1_a", s.i1A, 0, maxAmps(), QStringLiteral("A")) ||
                !open("i2_a", s.i2A, maxAmps(), QStringLiteral("A")) ||
                !closed("t1_s", s.t1S, MinSeconds, MaxLevelSeconds, QStringLiteral("s")) ||
                !closed("t2_s", s.t2S, MinSeconds, MaxLevelSeconds, QStringLiteral("s")) ||
                !optional("cutoff_v", s.cutoffV))
                return false;
            if (!(s.i2A > s.i1A)) {
                set(ProgramIssue::NotAbove, "i2_a");
                m_issue->found = numberText(s.i2A);
                m_issue->other = QStringLiteral("i1_a");
                return false;
            }
            return true;
        case StepKind::Repeat: {
            if (s.times < 0 || s.times > MaxTimes) {
                set(ProgramIssue::OutOfRange, "times");
                m_issue->found = QString::number(s.times);
                m_issue->low = 1;
                m_issue->high = MaxTimes;
                return false;
            }
            if (!optional("until_rest_below_v", s.untilRestBelowV))
                return false;
            if (s.times == 0 && s.untilRestBelowV <= 0 && !s.untilCutoff) {
                set(ProgramIssue::NoEndCondition, "");
                return false;
            }
            bool rest = false, cutoff = false;
            for (const ProgramStep &c : s.steps) {
                rest = rest || c.kind == StepKind::Rest;
                cutoff = cutoff || (c.kind == StepKind::Discharge && c.cutoffV > 0);
            }
            if (s.untilRestBelowV > 0 && !rest) {
                set(ProgramIssue::NeedsRest, "until_rest_below_v");
                return false;
            }
            if (s.untilCutoff && !cutoff) {
                set(ProgramIssue::NeedsCutoff, "until_cutoff");
                return false;
            }
            if (depth + 1 >= MaxDepth) {
                set(ProgramIssue::TooDeep, "steps");
                return false;
            }
            return steps(s.steps, path, depth + 1);
        }
        case StepKind::Pause:
            if (s.message.trimmed().isEmpty()) {
                set(ProgramIssue::MissingField, "message");
                return false;
            }
            if (s.message.size() > MaxTextLength)
                return tooLong("message", s.message);
            return true;
        }
        return true;
    }

    void set(ProgramIssue::Problem p, const char *key)
    {
        *m_issue = ProgramIssue();
        m_issue->problem = p;
        m_issue->step = m_path;
        m_issue->kind = m_kind;
        m_issue->field = QString::fromLatin1(key);
    }
    bool range(const char *key, double v, double low, double high, bool lowOpen,
               const QString &unit)
    {
        if (std::isfinite(v) && (lowOpen ? v > low : v >= low) && v <= high)
            return true;
        set(ProgramIssue::OutOfRange, key);
        m_issue->found = numberText(v);
        m_issue->low = low;
        m_issue->high = high;
        m_issue->lowOpen = lowOpen;
        m_issue->unit = unit;
        return false;
    }
    bool open(const char *key, double v, double high, const QString &unit)
    {
        return range(key, v, 0, high, true, unit);
    }
    bool closed(const char *key, double v, double low, double high, const QString &unit)
    {
        return range(key, v, low, high, false, unit);
    }
    // 0 leaves an optional limit out.
    bool optional(const char *key, double v, double high = 0, const QString &unit = QString())
    {
        if (v == 0)
            return true;
        return high > 0 ? open(key, v, high, unit) : open(key, v, maxVolts(), QStringLiteral("V"));
    }
    bool optionalSeconds(const char *key, double v)
    {
        return v == 0 || closed(key, v, MinSeconds, MaxSeconds, QStringLiteral("s"));
    }
    bool tooLong(const char *key, const QString &text)
    {
        set(ProgramIssue::OutOfRange, key);
        m_issue->found = QString::number(text.size());
        m_issue->low = 0;
        m_issue->high = MaxTextLength;
        m_issue->unit = QStringLiteral("characters");
        return false;
    }

    ProgramIssue *m_issue;
    QString m_path;
    QString m_kind;
    int m_count = 0;
};

} // namespace

QString kindWord(StepKind kind)
{
    return QString::fromLatin1(KindWords[int(kind)]);
}

QString modeWord(quint8 mode)
{
    return mode < 4 ? QString::fromLatin1(ModeWords[mode]) : QString::number(mode);
}

QStringList fieldsOf(StepKind kind)
{
    return keysOf(kind);
}

QStringList kindWords()
{
    QStringList l;
    for (const char *w : KindWords)
        l << QString::fromLatin1(w);
    return l;
}

QStringList modeWords()
{
    QStringList l;
    for (const char *w : ModeWords)
        l << QString::fromLatin1(w);
    return l;
}

QString unitOf(quint8 mode)
{
    return mode < 4 ? QString::fromLatin1(Units[mode]) : QString();
}

bool validate(const TestProgram &program, ProgramIssue *issue)
{
    *issue = ProgramIssue();
    if (program.name.size() > MaxTextLength) {
        issue->problem = ProgramIssue::OutOfRange;
        issue->field = QStringLiteral("name");
        issue->found = QString::number(program.name.size());
        issue->high = MaxTextLength;
        issue->unit = QStringLiteral("characters");
        return false;
    }
    Checker c(issue);
    return c.steps(program.steps, QString(), 0);
}

bool parse(const QByteArray &json, TestProgram *program, ProgramIssue *issue)
{
    *issue = ProgramIssue();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError) {
        issue->problem = ProgramIssue::NotJson;
        issue->found = error.errorString();
        const QByteArray before = json.left(error.offset);
        issue->line = before.count('\n') + 1;
        issue->column = error.offset - (before.lastIndexOf('\n') + 1) + 1;
        return false;
    }
    if (!doc.isObject()) {
        issue->problem = ProgramIssue::NotAnObject;
        return false;
    }
    const QJsonObject o = doc.object();
    StepReader top(o, QString(), QString(), issue);
    const QJsonValue format = o.value(QStringLiteral("format"));
    if (format.isUndefined())
        return top.missing("format");
    if (format.toString() != QLatin1String(Format)) {
        top.set(ProgramIssue::UnknownFormat, "format");
        issue->found = valueText(format);
        return false;
    }
    const QJsonValue version = o.value(QStringLiteral("version"));
    if (version.isUndefined())
        return top.missing("version");
    if (!version.isDouble() || version.toDouble() != Version) {
        top.set(ProgramIssue::UnknownVersion, "version");
        issue->found = valueText(version);
        return false;
    }
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (!QStringList{"format", "version", "name", "steps"}.contains(it.key())) {
            const QByteArray key = it.key().toUtf8();
            top.set(ProgramIssue::UnknownField, key.constData());
            return false;
        }
    }
    TestProgram p;
    if (!top.text("name", &p.name, false))
        return false;
    const QJsonValue steps = o.value(QStringLiteral("steps"));
    if (steps.isUndefined())
        return top.missing("steps");
    if (!steps.isArray())
        return top.wrongType("steps", steps, QStringLiteral("array"));
    int count = 0;
    if (!readSteps(steps.toArray(), QString(), 0, &count, &p.steps, issue))
        return false;
    if (!validate(p, issue))
        return false;
    *program = p;
    return true;
}

QJsonObject stepObject(const ProgramStep &s)
{
    QJsonObject o;
    o[QStringLiteral("kind")] = kindWord(s.kind);
    if (!s.name.isEmpty())
        o[QStringLiteral("name")] = s.name;
    auto put = [&o](const char *key, double v) {
        if (v != 0)
            o[QLatin1String(key)] = v;
    };
    switch (s.kind) {
    case StepKind::Discharge:
        o[QStringLiteral("mode")] = modeWord(s.mode);
        o[QStringLiteral("value")] = s.value;
        put("cutoff_v", s.cutoffV);
        put("duration_s", s.durationS);
        put("capacity_mah", s.capacityMah);
        put("energy_wh", s.energyWh);
        break;
    case StepKind::Rest:
        o[QStringLiteral("duration_s")] = s.durationS;
        put("until_v", s.untilV);
        break;
    case StepKind::Dcir:
        o[QStringLiteral("i1_a")] = s.i1A;
        o[QStringLiteral("i2_a")] = s.i2A;
        o[QStringLiteral("t1_s")] = s.t1S;
        o[QStringLiteral("t2_s")] = s.t2S;
        put("cutoff_v", s.cutoffV);
        break;
    case StepKind::Repeat: {
        if (s.times > 0)
            o[QStringLiteral("times")] = s.times;
        put("until_rest_below_v", s.untilRestBelowV);
        if (s.untilCutoff)
            o[QStringLiteral("until_cutoff")] = true;
        QJsonArray inner;
        for (const ProgramStep &c : s.steps)
            inner.append(stepObject(c));
        o[QStringLiteral("steps")] = inner;
        break;
    }
    case StepKind::Pause:
        o[QStringLiteral("message")] = s.message;
        break;
    }
    return o;
}

namespace {

// A JSON scalar as the file writes it.
QByteArray scalar(const QJsonValue &v)
{
    // QJsonDocument escapes strings and writes numbers in their shortest form.
    const QByteArray a = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return a.mid(1, a.size() - 2);
}

// Keys in the order a person reads them: what the step is, then its fields.
void writeObject(QByteArray &out, const QJsonObject &o, const QStringList &order, int indent)
{
    const QByteArray pad(indent + 4, ' ');
    out += "{\n";
    bool first = true;
    for (const QString &key : order) {
        if (!o.contains(key))
            continue;
        if (!first)
            out += ",\n";
        first = false;
        out += pad + scalar(key) + ": ";
        const QJsonValue v = o.value(key);
        if (v.isArray()) {
            const QJsonArray a = v.toArray();
            out += "[";
            for (int i = 0; i < a.size(); ++i) {
                out += (i ? ",\n" : "\n") + pad + "    ";
                const QJsonObject step = a.at(i).toObject();
                const int kind = kindWords().indexOf(step.value(QStringLiteral("kind")).toString());
                writeObject(out, step,
                            QStringList{"kind", "name"} + fieldsOf(StepKind(qMax(0, kind))),
                            indent + 8);
            }
            out += a.isEmpty() ? QByteArray("]") : "\n" + pad + "]";
        } else {
            out += scalar(v);
        }
    }
    out += "\n" + QByteArray(indent, ' ') + "}";
}

} // namespace

QByteArray toJson(const TestProgram &program)
{
    QJsonObject o;
    o[QStringLiteral("format")] = QLatin1String(Format);
    o[QStringLiteral("version")] = Version;
    if (!program.name.isEmpty())
        o[QStringLiteral("name")] = program.name;
    QJsonArray steps;
    for (const ProgramStep &s : program.steps)
        steps.append(stepObject(s));
    o[QStringLiteral("steps")] = steps;
    QByteArray out;
    writeObject(out, o, {"format", "version", "name", "steps"}, 0);
    return out + "\n";
}

bool load(const QString &path, TestProgram *program, ProgramIssue *issue, QString *ioError)
{
    ioError->clear();
    *issue = ProgramIssue();
    const QFileInfo info(path);
    // A named pipe or a device would be read forever; programs are small files.
    if (info.exists() && !info.isFile()) {
        *ioError = QStringLiteral("not a regular file");
        return false;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *ioError = f.errorString();
        return false;
    }
    constexpr qint64 MaxBytes = 4 * 1024 * 1024;
    if (f.size() > MaxBytes) {
        *ioError = QStringLiteral("larger than 4 MB");
        return false;
    }
    return parse(f.readAll(), program, issue);
}

bool save(const QString &path, const TestProgram &program, QString *ioError)
{
    QSaveFile f(path);
    const QByteArray bytes = toJson(program);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size() || !f.commit()) {
        *ioError = f.errorString();
        return false;
    }
    return true;
}

} // namespace ProgramFile

bool ProgramStep::operator==(const ProgramStep &o) const
{
    return kind == o.kind && name == o.name && mode == o.mode && value == o.value &&
           cutoffV == o.cutoffV && durationS == o.durationS && capacityMah == o.capacityMah &&
           energyWh == o.energyWh && untilV == o.untilV && i1A == o.i1A && i2A == o.i2A &&
           t1S == o.t1S && t2S == o.t2S && times == o.times &&
           untilRestBelowV == o.untilRestBelowV && untilCutoff == o.untilCutoff &&
           steps == o.steps && message == o.message;
}

int TestProgram::stepCount() const
{
    std::function<int(const QVector<ProgramStep> &)> count = [&](const QVector<ProgramStep> &l) {
        int n = 0;
        for (const ProgramStep &s : l)
            n += 1 + count(s.steps);
        return n;
    };
    return count(steps);
}
