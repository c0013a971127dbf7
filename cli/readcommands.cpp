// Commands that only look: list, read and watch.
#include "busscan.h"
#include "clicommand.h"
#include "devicemodel.h"
#include "hidbackend.h"
#include "readingformat.h"
#include "samplestore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>

namespace {

using CliOptions::CommandArgs;
using Record = MeasurementRecord;

QString className(quint8 deviceClass)
{
    switch (deviceClass) {
    case DeviceModel::ElectronicLoad:
        return QStringLiteral("electronic load");
    case DeviceModel::PowerTester:
        return QStringLiteral("power tester");
    default:
        return QStringLiteral("unknown model");
    }
}

QJsonObject measurementJson(const InstrumentSession &s)
{
    const Record &r = s.record();
    QJsonObject o;
    o[QStringLiteral("voltage_v")] = jsonNumber(r.voltage);
    o[QStringLiteral("current_a")] = jsonNumber(r.current);
    o[QStringLiteral("power_w")] = jsonNumber(r.power);
    o[QStringLiteral("resistance_ohm")] = jsonNumber(r.resistance);
    o[QStringLiteral("energy_wh")] = jsonNumber(r.energy);
    o[QStringLiteral("capacity_mah")] = jsonNumber(r.capacity);
    o[QStringLiteral("cpu_temp_c")] = jsonNumber(r.cpuTemp);
    // An absent probe has no temperature.
    o[QStringLiteral("probe_temp_c")] = r.ntcTemp < ReadingFormat::NtcAbsentBelow
                                            ? QJsonValue(QJsonValue::Null)
                                            : QJsonValue(jsonNumber(r.ntcTemp));
    o[QStringLiteral("mos_temp_c")] = jsonNumber(r.mosTemp);
    o[QStringLiteral("fan_rpm")] = jsonNumber(r.fanSpeed);
    return o;
}

// list: the instruments on USB and on the bus of the one opened.
class ListCommand : public CliCommand
{
public:
    using CliCommand::CliCommand;

    void start() override
    {
        const QList<hid::DeviceInfo> usb =
            hid::backend().enumerate(hid::InstrumentVendorId, hid::InstrumentProductId);
        if (!m_out.json()) {
            m_out.line(QStringLiteral("On USB: %1 instrument(s)").arg(usb.size()));
            for (const hid::DeviceInfo &d : usb)
                m_out.line(QStringLiteral("  %1  serial %2  %3")
                               .arg(d.product, d.serialNumber.left(6), d.path));
        }
        m_scan = std::make_unique<BusScan>(m_session.state());
        my_thread *pacer = m_session.link().scanWorker();
        connect(pacer, &my_thread::ThreadSendData_Signal, this,
                [this](qint16 address) { m_scan->probe(m_session.handle(), address); });
        connect(pacer, &my_thread::ThreadRecvData_Signal, this,
                [this] { m_scan->readAnswers(m_session.handle()); });
        connect(pacer, &my_thread::ThreadShowData_Signal, this, &ListCommand::show);
        m_scan->begin();
        if (!m_session.link().startScan())
            fail(QStringLiteral("a bus scan is already running"));
    }

private:
    void show()
    {
        DeviceLink &link = m_session.link();
        const DeviceListPlan plan =
            m_scan->finish(link.productText(), link.manufacturerText(), link.serialNumberText());
        if (!m_out.json())
            m_out.line(QStringLiteral("On the bus of %1 (%2):")
                           .arg(link.productText(), className(m_session.deviceClass())));
        for (const DeviceEntryPlan &e : plan.entries) {
            const QString role = e.master ? QStringLiteral("master") : QStringLiteral("slave");
            if (m_out.json()) {
                QJsonObject o;
                o[QStringLiteral("address")] = e.address;
                o[QStringLiteral("role")] = role;
                o[QStringLiteral("index")] = e.indexNumber;
                o[QStringLiteral("model")] = plan.model;
                o[QStringLiteral("version")] = plan.version;
                o[QStringLiteral("serial")] = plan.shortSerial;
                o[QStringLiteral("class")] = className(m_session.deviceClass());
                m_out.object(o);
            } else {
                m_out.line(QStringLiteral("  address %1  %2 %3  %4 %5  serial %6")
                               .arg(e.address, 3)
                               .arg(role, -6)
                               .arg(e.indexNumber, 2)
                               .arg(plan.model, plan.version, plan.shortSerial));
            }
        }
        finish(CliExit::Done);
    }

    std::unique_ptr<BusScan> m_scan;
};

// read: one parameter and one measurement report, every field with its unit.
class ReadCommand : public CliCommand
{
public:
    using CliCommand::CliCommand;

    void start() override
    {
        InstrumentSession::Wait both;
        both.parameters = both.measurements = true;
        m_session.await(both, [this](bool ok) {
            if (!ok)
                return fail(QStringLiteral("the instrument at address %1 did not answer within %2")
                                .arg(m_session.address())
                                .arg(timeoutText()));
            m_out.json() ? printJson() : printText();
            finish(CliExit::Done);
        });
    }

private:
    void printJson()
    {
        const Record &r = m_session.record();
        QJsonObject o = measurementJson(m_session);
        o[QStringLiteral("model")] = m_session.model();
        o[QStringLiteral("version")] = m_session.version();
        o[QStringLiteral("address")] = m_session.address();
        o[QStringLiteral("class")] = className(m_session.deviceClass());
        o[QStringLiteral("running")] = m_session.state().running;
        o[QStringLiteral("mode")] = r.workMode;
        o[QStringLiteral("mode_name")] = modeName(r.workMode, m_session.deviceClass());
        using namespace ParameterRange;
        // A value the instrument cannot have is no value.
        auto param = [&r](Field f) {
            return valid(r, f) ? QJsonValue(jsonNumber(value(r, f))) : QJsonValue(QJsonValue::Null);
        };
        const bool timeValid = valid(r, TimeLimit);
        o[QStringLiteral("set_value")] = param(SetValue);
        o[QStringLiteral("set_value_unit")] = ReadingFormat::workMode(r.workMode, 0).unit;
        o[QStringLiteral("cutoff_v")] = param(CutoffVoltage);
        o[QStringLiteral("full_voltage_v")] = param(FullVoltage);
        o[QStringLiteral("full_current_a")] = param(FullCurrent);
        o[QStringLiteral("time_limit_h")] =
            timeValid ? QJsonValue(r.timeLimitHours) : QJsonValue(QJsonValue::Null);
        o[QStringLiteral("time_limit_min")] =
            timeValid ? QJsonValue(r.timeLimitMinutes) : QJsonValue(QJsonValue::Null);
        o[QStringLiteral("over_current_a")] = param(OverCurrent);
        o[QStringLiteral("over_power_w")] = param(OverPower);
        o[QStringLiteral("probe_over_temp_c")] = param(NtcOverTemp);
        o[QStringLiteral("mos_over_temp_c")] = param(MosOverTemp);
        o[QStringLiteral("voltage_calibration")] = param(VoltCalibration);
        o[QStringLiteral("current_calibration")] = param(CurrCalibration);
        o[QStringLiteral("temperature_calibration")] = param(TempCalibration);
        o[QStringLiteral("style")] = r.languageStyle;
        o[QStringLiteral("brightness")] = r.workBrightness;
        o[QStringLiteral("standby_brightness")] = r.standbyBrightness;
        o[QStringLiteral("standby_time")] = r.standbyTime;
        if (r.promptCountdown && r.promptChoiceCount) {
            o[QStringLiteral("prompt_countdown_s")] = r.promptCountdown;
            o[QStringLiteral("prompt_choices")] = r.promptChoiceCount;
            o[QStringLiteral("prompt_selection")] = r.promptSelection;
        }
        m_out.object(o);
    }

    void row(const QString &name, const QString &value, const QString &unit = QString())
    {
        m_out.line(QStringLiteral("%1 %2%3").arg(name, -22).arg(
            value, unit.isEmpty() ? QString() : QLatin1Char(' ') + unit));
    }

    // A parameter with its unit, or "--" alone when the report's value cannot be.
    void param(const QString &name, const Record &r, ParameterRange::Field f, const QString &unit)
    {
        row(name, ReadingFormat::parameter(r, f), ParameterRange::valid(r, f) ? unit : QString());
    }

    void printText()
    {
        namespace F = ReadingFormat;
        const Record &r = m_session.record();
        const quint8 cls = m_session.deviceClass();
        const F::WorkMode mode = F::workMode(r.workMode, cls);
        m_out.line(QStringLiteral("%1 at bus address %2, %3")
                       .arg(m_session.product())
                       .arg(m_session.address())
                       .arg(className(cls)));
        row(QStringLiteral("Mode"),
            QStringLiteral("%1 (%2)").arg(modeName(r.workMode, cls)).arg(r.workMode));
        row(QStringLiteral("Running"),
            m_session.state().running ? QStringLiteral("yes") : QStringLiteral("no"));
        row(QStringLiteral("Voltage"), F::voltage(r.voltage), QStringLiteral("V"));
        row(QStringLiteral("Current"), F::current(r.current), QStringLiteral("A"));
        row(QStringLiteral("Power"), F::power(r.power), QStringLiteral("W"));
        row(QStringLiteral("Resistance"), F::resistance(r.resistance), QStringLiteral("Ω"));
        row(QStringLiteral("Energy"), F::energy(r.energy), QStringLiteral("Wh"));
        row(QStringLiteral("Capacity"), F::capacity(r.capacity), QStringLiteral("mAh"));
        row(QStringLiteral("CPU temperature"), F::cpuTemperature(r.cpuTemp), QStringLiteral("°C"));
        const QString ntc = F::ntcTemperature(r.ntcTemp);
        row(QStringLiteral("Probe temperature"), ntc,
            ntc == F::ntcAbsentText() ? QString() : QStringLiteral("°C"));
        row(QStringLiteral("MOS temperature"), F::mosTemperature(r.mosTemp), QStringLiteral("°C"));
        row(QStringLiteral("Fan speed"), F::fanSpeed(r.fanSpeed), QStringLiteral("rpm"));
        using namespace ParameterRange;
        if (mode.known)
            param(QStringLiteral("Set value ") + mode.caption, r, SetValue, mode.unit);
        param(QStringLiteral("Cut-off voltage"), r, CutoffVoltage, QStringLiteral("V"));
        param(QStringLiteral("Full-charge voltage"), r, FullVoltage, QStringLiteral("V"));
        param(QStringLiteral("Full-charge current"), r, FullCurrent, QStringLiteral("A"));
        if (cls == DeviceModel::PowerTester) {
            row(QStringLiteral("Shunt size"), shuntText(r.timeLimitHours));
        } else {
            if (valid(r, TimeLimit))
                row(QStringLiteral("Time limit"),
                    F::twoDigits(r.timeLimitHours) + QStringLiteral(":") +
                        F::twoDigits(r.timeLimitMinutes),
                    QStringLiteral("h:min"));
            else
                row(QStringLiteral("Time limit"), invalidText());
        }
        param(QStringLiteral("Over-current threshold"), r, OverCurrent, QStringLiteral("A"));
        param(QStringLiteral("Over-power threshold"), r, OverPower, QStringLiteral("W"));
        param(QStringLiteral("Probe over-temperature"), r, NtcOverTemp, QStringLiteral("°C"));
        param(QStringLiteral("MOS over-temperature"), r, MosOverTemp, QStringLiteral("°C"));
        row(QStringLiteral("Calibration factors"),
            QStringLiteral("voltage %1, current %2, temperature %3")
                .arg(F::parameter(r, VoltCalibration), F::parameter(r, CurrCalibration),
                     F::parameter(r, TempCalibration)));
        row(QStringLiteral("Display"),
            QStringLiteral("style %1, brightness %2, standby brightness %3, standby after %4")
                .arg(r.languageStyle)
                .arg(r.workBrightness)
                .arg(r.standbyBrightness)
                .arg(r.standbyTime));
        if (r.promptCountdown && r.promptChoiceCount)
            row(QStringLiteral("Prompt"), QStringLiteral("%1 choices, %2 selected, %3 s left")
                                              .arg(r.promptChoiceCount)
                                              .arg(r.promptSelection)
                                              .arg(r.promptCountdown));
    }
};

// watch: a line of readings a second, at the window's poll cadence.
class WatchCommand : public CliCommand
{
public:
    WatchCommand(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s, qint64 count)
        : CliCommand(g, out, s), m_count(count)
    {
    }

    void start() override
    {
        connect(&m_session, &InstrumentSession::sampleTick, this, &WatchCommand::tick);
        m_session.startPolling();
        m_silence.start();
    }

    void interrupt() override { finish(CliExit::Done); }
    void instrumentLost() override
    {
        m_out.message(QStringLiteral("the instrument is gone; waiting for it to come back"));
    }

private:
    void tick()
    {
        if (!m_session.haveMeasurements()) {
            if (m_silence.elapsed() > m_global.timeoutMs)
                fail(QStringLiteral("the instrument did not answer within %1").arg(timeoutText()));
            return;
        }
        // A line only for a report that came since the last one: a record
        // that stopped changing is no reading.
        if (!m_fresh.available(m_session.state())) {
            if (++m_staleTicks == StaleTicksNoted)
                m_out.message(QStringLiteral("no readings from the instrument for %1 s; it is gone "
                                             "or not answering")
                                  .arg(StaleTicksNoted));
            return;
        }
        m_fresh.take(m_session.state());
        if (m_staleTicks >= StaleTicksNoted)
            m_out.message(QStringLiteral("readings again"));
        m_staleTicks = 0;
        namespace F = ReadingFormat;
        const Record &r = m_session.record();
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (m_out.json()) {
            QJsonObject o = measurementJson(m_session);
            o.insert(QStringLiteral("time"), SampleStore::timeText(now));
            o.insert(QStringLiteral("running"), m_session.state().running);
            m_out.object(o);
        } else {
            m_out.line(
                QStringLiteral("%1  %2 V  %3 A  %4 W  %5 Wh  %6 mAh  %7 °C  %8")
                    .arg(QDateTime::fromMSecsSinceEpoch(now).toString(QStringLiteral("hh:mm:ss")),
                         F::voltage(r.voltage), F::current(r.current), F::power(r.power),
                         F::energy(r.energy), F::capacity(r.capacity), F::ntcTemperature(r.ntcTemp),
                         m_session.state().running ? QStringLiteral("running")
                                                   : QStringLiteral("stopped")));
        }
        if (m_count > 0 && ++m_lines >= m_count)
            finish(CliExit::Done);
    }

    // Sample ticks come once a second; one late report is no silence yet.
    static constexpr int StaleTicksNoted = 3;

    qint64 m_count;
    qint64 m_lines = 0;
    QElapsedTimer m_silence;
    FreshMeasurement m_fresh;
    int m_staleTicks = 0;
};

} // namespace

std::unique_ptr<CliCommand> makeReadCommand(const CliOptions::Global &g, CliOutput &out,
                                            InstrumentSession &s, QString *error)
{
    CommandArgs a;
    if (g.command == QLatin1String("list") || g.command == QLatin1String("read")) {
        if (!CliOptions::parseCommandArgs(g.args, {}, {}, &a, error))
            return nullptr;
        if (!a.positional.isEmpty()) {
            *error = QStringLiteral("%1 takes no arguments").arg(g.command);
            return nullptr;
        }
        if (g.command == QLatin1String("list"))
            return std::make_unique<ListCommand>(g, out, s);
        return std::make_unique<ReadCommand>(g, out, s);
    }
    if (g.command == QLatin1String("watch")) {
        if (!CliOptions::parseCommandArgs(g.args, {}, {"--count"}, &a, error))
            return nullptr;
        if (!a.positional.isEmpty()) {
            *error = QStringLiteral("usage: usb-tester-cli watch [--count N]");
            return nullptr;
        }
        int count = 0;
        if (a.hasValue(QStringLiteral("--count")) &&
            !CliOptions::parseInteger(a.value(QStringLiteral("--count")), 1, 100000000,
                                      QStringLiteral("--count"), &count, error))
            return nullptr;
        return std::make_unique<WatchCommand>(g, out, s, count);
    }
    return nullptr;
}
