// Commands that change the instrument: each sends its frames, then waits for
// a fresh report that shows the change.
#include "clicommand.h"
#include "devicemodel.h"
#include "readingformat.h"

#include <cmath>
#include <functional>

namespace {

using Wait = InstrumentSession::Wait;
using Change = InstrumentSession::Change;
using CliOptions::CommandArgs;
using Record = MeasurementRecord;

// What a change command does, filled by the factory below.
struct ChangePlan
{
    // Read both reports first (for choices that depend on the instrument's state).
    bool prefetch = false;
    // After connecting (and the prefetch): sends the change through the
    // session, or sets an error message with its exit status in *code.
    std::function<Change(QString *error, int *code)> change;
    // The line printed once confirmed, and the reason printed when not.
    std::function<QString()> confirmed;
    std::function<QString()> notConfirmed;
};

class ChangeCommand : public CliCommand
{
public:
    ChangeCommand(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s,
                  ChangePlan plan)
        : CliCommand(g, out, s), m_plan(std::move(plan))
    {
    }

    void start() override
    {
        if (!m_plan.prefetch)
            return send();
        Wait both;
        both.parameters = both.measurements = true;
        m_session.await(both, [this](bool ok) {
            if (!ok)
                return fail(
                    QStringLiteral("the instrument did not answer within %1").arg(timeoutText()));
            send();
        });
    }

private:
    void send()
    {
        QString error;
        int code = CliExit::BadUsage;
        const Change change = m_plan.change(&error, &code);
        if (!error.isEmpty())
            return fail(error, code);
        if (!change.sent)
            return fail(QStringLiteral("could not write to the instrument"));
        m_session.await(change.confirm, [this](bool ok) {
            if (!ok)
                return fail(m_plan.notConfirmed() +
                            QStringLiteral(" (no confirmation within %1)").arg(timeoutText()));
            m_out.line(m_plan.confirmed());
            finish(CliExit::Done);
        });
    }

    ChangePlan m_plan;
};

// A setting the parameter report carries back: `text` prints what the
// record holds, once confirmed or when the instrument did not take it.
ChangePlan parameterSetting(InstrumentSession &s, std::function<Change()> change,
                            const QString &what, std::function<QString(const Record &)> text)
{
    ChangePlan p;
    p.change = [change](QString *, int *) { return change(); };
    p.confirmed = [&s, what, text] {
        return QStringLiteral("%1 is %2, confirmed by the instrument.").arg(what, text(s.record()));
    };
    p.notConfirmed = [&s, what, text] {
        return QStringLiteral("the instrument did not take the %1; it reports %2")
            .arg(what.toLower(), s.haveParameters() ? text(s.record()) : QStringLiteral("nothing"));
    };
    return p;
}

ChangePlan floatSetting(InstrumentSession &s, std::function<Change()> change, const QString &what,
                        float Record::*field, std::function<QString(float)> text)
{
    return parameterSetting(s, std::move(change), what,
                            [field, text](const Record &r) { return text(r.*field); });
}

ChangePlan byteSetting(InstrumentSession &s, std::function<Change()> change, const QString &what,
                       quint8 Record::*field)
{
    return parameterSetting(s, std::move(change), what,
                            [field](const Record &r) { return QString::number(r.*field); });
}

bool positional(const CliOptions::Global &g, int count, const QString &usage, CommandArgs *a,
                QString *error, const QStringList &flags = {})
{
    if (!CliOptions::parseCommandArgs(g.args, flags, {}, a, error))
        return false;
    if (a->positional.size() != count) {
        *error = QStringLiteral("usage: usb-tester-cli %1").arg(usage);
        return false;
    }
    return true;
}

QString unitOf(const Record &r)
{
    return ReadingFormat::workMode(r.workMode, 0).unit;
}

QString promptText(const Record &r)
{
    const QString choices = r.promptChoiceCount == 3 ? QStringLiteral("cancel|continue|clear")
                                                     : QStringLiteral("cancel|clear");
    return QStringLiteral("The instrument asks first (%1 s left): continue the previous cycle or "
                          "clear the data for a new one. Answer with: usb-tester-cli answer %2")
        .arg(r.promptCountdown)
        .arg(choices);
}

ChangePlan modePlan(InstrumentSession &s, const ModeWord &w)
{
    const quint8 mode = w.mode;
    return parameterSetting(
        s, [&s, mode] { return s.setWorkMode(mode); }, QStringLiteral("Mode"),
        [&s](const Record &r) {
            return QStringLiteral("%1 (%2)")
                .arg(modeName(r.workMode, s.deviceClass()))
                .arg(r.workMode);
        });
}

ChangePlan runPlan(InstrumentSession &s, bool run)
{
    ChangePlan p;
    p.change = [&s, run](QString *, int *) { return s.run(run); };
    if (run) {
        p.confirmed = [&s] {
            if (s.state().running)
                return QStringLiteral("The load is running, confirmed by the instrument.");
            return promptText(s.record());
        };
        p.notConfirmed = [] { return QStringLiteral("the instrument did not start running"); };
    } else {
        p.confirmed = [] {
            return QStringLiteral("The load is stopped, confirmed by the instrument.");
        };
        p.notConfirmed = [] { return QStringLiteral("the instrument did not stop"); };
    }
    return p;
}

ChangePlan answerPlan(InstrumentSession &s, const QString &choice)
{
    ChangePlan p;
    p.prefetch = true;
    p.change = [&s, choice](QString *error, int *code) {
        const Record &r = s.record();
        if (!InstrumentSession::promptShowing(r)) {
            *error = QStringLiteral("the instrument shows no prompt to answer");
            *code = CliExit::Failed;
            return Change{};
        }
        int value = 0;
        if (choice == QLatin1String("cancel"))
            value = 1;
        else if (choice == QLatin1String("ok"))
            value = 5;
        else if (r.promptChoiceCount == 3)
            value = choice == QLatin1String("continue") ? 2 : 3;
        else if (choice == QLatin1String("clear"))
            value = 2; // with two choices the clear button sends 2
        if (value == 0) {
            *error = QStringLiteral("this prompt offers cancel and clear only, not continue");
            return Change{};
        }
        return s.answerPrompt(value);
    };
    p.confirmed = [&s, choice] {
        return QStringLiteral("Answered %1; the prompt is closed and the load is %2.")
            .arg(choice, s.state().running ? QStringLiteral("running") : QStringLiteral("stopped"));
    };
    p.notConfirmed = [] { return QStringLiteral("the prompt stayed open"); };
    return p;
}

ChangePlan plainCommandPlan(std::function<Change()> change, const QString &done)
{
    ChangePlan p;
    p.change = [change](QString *, int *) { return change(); };
    p.confirmed = [done] { return done; };
    p.notConfirmed = [] {
        return QStringLiteral("the instrument did not answer after the command");
    };
    return p;
}

ChangePlan clearDataPlan(InstrumentSession &s)
{
    ChangePlan p;
    p.prefetch = true;
    p.change = [&s](QString *, int *) { return s.clearData(); };
    p.confirmed = [&s] {
        return QStringLiteral("Data cleared, confirmed by the instrument: %1 Wh, %2 mAh.")
            .arg(ReadingFormat::energy(s.record().energy),
                 ReadingFormat::capacity(s.record().capacity));
    };
    p.notConfirmed = [] { return QStringLiteral("the instrument did not clear its data"); };
    return p;
}

std::unique_ptr<CliCommand> make(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s,
                                 ChangePlan plan)
{
    return std::make_unique<ChangeCommand>(g, out, s, std::move(plan));
}

std::unique_ptr<CliCommand> makeSet(const CliOptions::Global &g, CliOutput &out,
                                    InstrumentSession &s, QString *error)
{
    CommandArgs a;
    const QString usage = QStringLiteral(
        "set value|cutoff|full-voltage|full-current VALUE, or set time-limit DURATION");
    if (!positional(g, 2, usage, &a, error))
        return nullptr;
    const QString what = a.positional.at(0);
    const QString text = a.positional.at(1);
    if (what == QLatin1String("time-limit")) {
        qint64 seconds = 0;
        if (!CliOptions::parseDuration(text, &seconds, error))
            return nullptr;
        if (seconds % 60 != 0 || seconds / 60 > 255 * 60 + 59) {
            *error = QStringLiteral("the time limit takes whole minutes up to 255h59m, not %1")
                         .arg(text);
            return nullptr;
        }
        const int hours = int(seconds / 3600);
        const int minutes = int(seconds / 60 % 60);
        return make(g, out, s,
                    parameterSetting(
                        s, [&s, hours, minutes] { return s.setTimeLimit(hours, minutes); },
                        QStringLiteral("Time limit"),
                        [](const Record &r) {
                            return QStringLiteral("%1h%2m").arg(
                                ReadingFormat::twoDigits(r.timeLimitHours),
                                ReadingFormat::twoDigits(r.timeLimitMinutes));
                        }));
    }
    using Setter = Change (InstrumentSession::*)(float);
    struct Item
    {
        const char *word;
        Setter set;
        float Record::*field;
        const char *what;
    };
    static const Item items[] = {
        {"value", &InstrumentSession::setValue, &Record::setValue, "Set value"},
        {"cutoff", &InstrumentSession::setCutoffVoltage, &Record::cutoffVoltage, "Cut-off voltage"},
        {"full-voltage", &InstrumentSession::setFullVoltage, &Record::fullVoltage,
         "Full-charge voltage"},
        {"full-current", &InstrumentSession::setFullCurrent, &Record::fullCurrent,
         "Full-charge current"},
    };
    for (const Item &item : items) {
        if (what != QLatin1String(item.word))
            continue;
        double v = 0;
        // A load takes no negative amps, volts, ohms or watts.
        if (!CliOptions::parseNumberInRange(text, 0, 1e6, QString::fromLatin1(item.word), &v,
                                            error))
            return nullptr;
        std::function<QString(float)> show;
        if (item.field == &Record::setValue)
            show = [&s](float f) {
                return ReadingFormat::setValue(s.record().workMode, f) + QLatin1Char(' ') +
                       unitOf(s.record());
            };
        else if (item.field == &Record::fullCurrent)
            show = [](float f) { return ReadingFormat::fullCurrent(f) + QStringLiteral(" A"); };
        else
            show = [](float f) { return ReadingFormat::cutoffVoltage(f) + QStringLiteral(" V"); };
        const Setter set = item.set;
        return make(g, out, s,
                    floatSetting(
                        s, [&s, set, v] { return (s.*set)(float(v)); },
                        QString::fromLatin1(item.what), item.field, show));
    }
    *error = QStringLiteral("usage: usb-tester-cli %1").arg(usage);
    return nullptr;
}

std::unique_ptr<CliCommand> makeConfig(const CliOptions::Global &g, CliOutput &out,
                                       InstrumentSession &s, QString *error)
{
    CommandArgs a;
    const QString usage =
        QStringLiteral("config style|brightness|standby-brightness|standby-time|shunt VALUE");
    if (!positional(g, 2, usage, &a, error))
        return nullptr;
    const QString what = a.positional.at(0);
    const QString text = a.positional.at(1).trimmed();
    int v = 0;
    using Level = InstrumentSession::Level;
    auto level = [&s](Level l, int value) {
        return [&s, l, value] { return s.setLevel(l, value); };
    };
    if (what == QLatin1String("style")) {
        static const QStringList names = {"cn-a", "cn-b", "en-number", "en-curve"};
        const int named = names.indexOf(text.toLower());
        if (named >= 0)
            v = named + 1;
        else if (!CliOptions::parseInteger(text, 1, 4, QStringLiteral("style"), &v, error))
            return nullptr;
        return make(g, out, s,
                    byteSetting(
                        s, [&s, v] { return s.setDisplayStyle(v); },
                        QStringLiteral("Display style"), &Record::languageStyle));
    }
    if (what == QLatin1String("brightness")) {
        if (!CliOptions::parseInteger(text, 1, 9, QStringLiteral("brightness"), &v, error))
            return nullptr;
        return make(g, out, s,
                    byteSetting(s, level(Level::Brightness, v), QStringLiteral("Brightness"),
                                &Record::workBrightness));
    }
    if (what == QLatin1String("standby-brightness")) {
        // The power tester goes down to 0, the load to 1; checked once the model is known.
        if (!CliOptions::parseInteger(text, 0, 9, QStringLiteral("standby-brightness"), &v, error))
            return nullptr;
        ChangePlan p =
            byteSetting(s, level(Level::StandbyBrightness, v), QStringLiteral("Standby brightness"),
                        &Record::standbyBrightness);
        auto change = p.change;
        p.change = [&s, v, change](QString *e, int *code) {
            if (v == 0 && s.deviceClass() != DeviceModel::PowerTester) {
                *e = QStringLiteral(
                    "standby-brightness must lie between 1 and 9 on this instrument");
                *code = CliExit::BadUsage;
                return Change{};
            }
            return change(e, code);
        };
        return make(g, out, s, std::move(p));
    }
    if (what == QLatin1String("standby-time")) {
        if (!CliOptions::parseInteger(text, 10, 60, QStringLiteral("standby-time"), &v, error))
            return nullptr;
        return make(g, out, s,
                    byteSetting(s, level(Level::StandbyTime, v), QStringLiteral("Standby time"),
                                &Record::standbyTime));
    }
    if (what == QLatin1String("shunt")) {
        QString name = text.toUpper();
        if (!name.endsWith(QLatin1Char('A')))
            name += QLatin1Char('A');
        const int index = shuntNames().indexOf(name);
        if (index < 0) {
            *error = QStringLiteral("shunt takes one of %1, not %2")
                         .arg(shuntNames().join(QLatin1Char(' ')), text);
            return nullptr;
        }
        ChangePlan p = parameterSetting(
            s, [&s, index] { return s.setShunt(index); }, QStringLiteral("Shunt size"),
            [](const Record &r) { return shuntText(r.timeLimitHours); });
        auto change = p.change;
        p.change = [&s, change](QString *e, int *c) {
            // On a load the same report byte holds the time limit's hours.
            if (s.deviceClass() != DeviceModel::PowerTester) {
                *e = QStringLiteral("the shunt size is a setting of the power testers only");
                *c = CliExit::BadUsage;
                return Change{};
            }
            return change(e, c);
        };
        return make(g, out, s, std::move(p));
    }
    *error = QStringLiteral("usage: usb-tester-cli %1").arg(usage);
    return nullptr;
}

std::unique_ptr<CliCommand> makeCalibrateOrThreshold(const CliOptions::Global &g, CliOutput &out,
                                                     InstrumentSession &s, QString *error)
{
    using Calibration = InstrumentSession::Calibration;
    using Threshold = InstrumentSession::Threshold;
    struct Item
    {
        const char *word;
        int which; // a Calibration or a Threshold
        float Record::*field;
        const char *what;
        double min, max;
        QString (*show)(float);
    };
    const bool calibrate = g.command == QLatin1String("calibrate");
    static const Item calibrations[] = {
        {"voltage", int(Calibration::Voltage), &Record::voltCalibration,
         "Voltage calibration factor", 0.5, 2.0, ReadingFormat::calibrationFactor},
        {"current", int(Calibration::Current), &Record::currCalibration,
         "Current calibration factor", 0.5, 2.0, ReadingFormat::calibrationFactor},
        {"temperature", int(Calibration::Temperature), &Record::tempCalibration,
         "Temperature calibration factor", 0.5, 2.0, ReadingFormat::calibrationFactor},
    };
    static const Item thresholds[] = {
        {"over-current", int(Threshold::OverCurrent), &Record::overCurrent,
         "Over-current threshold (A)", 0, 1e6, ReadingFormat::overCurrent},
        {"over-power", int(Threshold::OverPower), &Record::overPower, "Over-power threshold (W)", 0,
         1e6, ReadingFormat::overPower},
        {"probe-temp", int(Threshold::ProbeTemperature), &Record::ntcOverTemp,
         "Probe over-temperature threshold (°C)", 0, 1000, ReadingFormat::ntcOverTemperature},
        {"mos-temp", int(Threshold::MosTemperature), &Record::mosOverTemp,
         "MOS over-temperature threshold (°C)", 0, 1000, ReadingFormat::mosOverTemperature},
    };
    const QString usage =
        calibrate ? QStringLiteral("calibrate voltage|current|temperature FACTOR")
                  : QStringLiteral("threshold over-current|over-power|probe-temp|mos-temp VALUE");
    CommandArgs a;
    if (!positional(g, 2, usage, &a, error))
        return nullptr;
    const auto begin = calibrate ? std::begin(calibrations) : std::begin(thresholds);
    const auto end = calibrate ? std::end(calibrations) : std::end(thresholds);
    for (auto it = begin; it != end; ++it) {
        if (a.positional.at(0) != QLatin1String(it->word))
            continue;
        double v = 0;
        if (!CliOptions::parseNumberInRange(a.positional.at(1), it->min, it->max,
                                            QString::fromLatin1(it->word), &v, error))
            return nullptr;
        const int which = it->which;
        std::function<Change()> change;
        if (calibrate)
            change = [&s, which, v] { return s.setCalibration(Calibration(which), float(v)); };
        else
            change = [&s, which, v] { return s.setThreshold(Threshold(which), float(v)); };
        return make(g, out, s,
                    floatSetting(s, change, QString::fromLatin1(it->what), it->field, it->show));
    }
    *error = QStringLiteral("usage: usb-tester-cli %1").arg(usage);
    return nullptr;
}

} // namespace

std::unique_ptr<CliCommand> makeControlCommand(const CliOptions::Global &g, CliOutput &out,
                                               InstrumentSession &s, QString *error)
{
    const QString &c = g.command;
    CommandArgs a;
    if (c == QLatin1String("mode")) {
        QStringList words;
        for (const ModeWord &w : modeWords())
            words << QString::fromLatin1(w.word);
        const QString usage = QStringLiteral("mode %1").arg(words.join(QLatin1Char('|')));
        if (!positional(g, 1, usage, &a, error))
            return nullptr;
        for (const ModeWord &w : modeWords())
            if (a.positional.at(0) == QLatin1String(w.word))
                return make(g, out, s, modePlan(s, w));
        *error = QStringLiteral("unknown mode \"%1\"; usage: usb-tester-cli %2")
                     .arg(a.positional.at(0), usage);
        return nullptr;
    }
    if (c == QLatin1String("set"))
        return makeSet(g, out, s, error);
    if (c == QLatin1String("run") || c == QLatin1String("stop")) {
        if (!positional(g, 0, c, &a, error))
            return nullptr;
        return make(g, out, s, runPlan(s, c == QLatin1String("run")));
    }
    if (c == QLatin1String("answer")) {
        const QString usage = QStringLiteral("answer cancel|continue|clear|ok");
        if (!positional(g, 1, usage, &a, error))
            return nullptr;
        const QString choice = a.positional.at(0);
        if (!QStringList{"cancel", "continue", "clear", "ok"}.contains(choice)) {
            *error = QStringLiteral("unknown answer \"%1\"; usage: usb-tester-cli %2")
                         .arg(choice, usage);
            return nullptr;
        }
        return make(g, out, s, answerPlan(s, choice));
    }
    if (c == QLatin1String("config"))
        return makeConfig(g, out, s, error);
    if (c == QLatin1String("calibrate") || c == QLatin1String("threshold"))
        return makeCalibrateOrThreshold(g, out, s, error);
    if (c == QLatin1String("zero-current")) {
        if (!positional(g, 0, c, &a, error))
            return nullptr;
        ChangePlan p = plainCommandPlan([&s] { return s.zeroCurrent(); }, QString());
        p.confirmed = [&s] {
            return QStringLiteral("No-load current zeroed; the current now reads %1 A.")
                .arg(ReadingFormat::current(s.record().current));
        };
        return make(g, out, s, std::move(p));
    }
    if (c == QLatin1String("clear-data")) {
        if (!positional(g, 0, c, &a, error))
            return nullptr;
        return make(g, out, s, clearDataPlan(s));
    }
    if (c == QLatin1String("factory-reset")) {
        if (!positional(g, 0, QStringLiteral("factory-reset --yes"), &a, error, {"--yes"}))
            return nullptr;
        if (!a.has(QStringLiteral("--yes"))) {
            *error = QStringLiteral("factory-reset restores every setting of the instrument; "
                                    "add --yes to do it");
            return nullptr;
        }
        ChangePlan p = plainCommandPlan([&s] { return s.factoryReset(); }, QString());
        p.confirmed = [&s] {
            const Record &r = s.record();
            return QStringLiteral("Factory settings restored; the instrument now reports "
                                  "set value %1, cut-off %2 V, brightness %3.")
                .arg(ReadingFormat::setValue(r.workMode, r.setValue),
                     ReadingFormat::cutoffVoltage(r.cutoffVoltage))
                .arg(r.workBrightness);
        };
        return make(g, out, s, std::move(p));
    }
    return nullptr;
}
