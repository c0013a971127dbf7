// history: the runs kept on disk, listed, shown, exported, reported, labelled
// and deleted without an instrument.
#include "clicommand.h"
#include "devicemodel.h"
#include "programtexts.h"
#include "readingformat.h"
#include "runreport.h"
#include "runstore.h"
#include "savedatadeal.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace {

using CliOptions::CommandArgs;

QString dateText(qint64 ms)
{
    return ms > 0
               ? QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))
               : QString();
}

QJsonValue number(double v)
{
    return std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null);
}

QString fixed(double v, int decimals)
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QStringLiteral("--");
}

QString modeText(const RunEntry &e)
{
    if (e.info.deviceClass == DeviceModel::PowerTester)
        return QStringLiteral("power tester");
    const QString unit = ReadingFormat::workMode(quint8(e.info.workMode), 0).unit;
    return QStringLiteral("%1 %2 %3")
        .arg(modeName(quint8(e.info.workMode), quint8(e.info.deviceClass)),
             fixed(e.info.setValue, 3), unit);
}

class HistoryCommand : public CliCommand
{
public:
    HistoryCommand(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s,
                   CommandArgs args)
        : CliCommand(g, out, s), m_args(std::move(args))
    {
    }

    bool needsInstrument() const override { return false; }

    void start() override
    {
        const QString path =
            m_global.historyPath.isEmpty() ? RunStore::defaultPath() : m_global.historyPath;
        QString aside;
        const RunStore::Opened opened = m_store.open(path, &aside);
        if (opened == RunStore::Opened::Failed)
            return fail(
                QStringLiteral("cannot open the history %1: %2").arg(path, m_store.errorString()));
        if (opened == RunStore::Opened::MovedAside)
            m_out.message(QStringLiteral("the history %1 was damaged; it was moved to %2 and a "
                                         "new one started")
                              .arg(path, aside));
        m_store.closeAbandonedRuns();
        const QString what = m_args.positional.value(0);
        if (what == QLatin1String("list"))
            return list();
        RunEntry run;
        bool ok = false;
        const qint64 id = m_args.positional.value(1).toLongLong(&ok);
        if (!ok || !m_store.run(id, &run))
            return fail(
                QStringLiteral("there is no run %1 in the history").arg(m_args.positional.value(1)),
                CliExit::BadUsage);
        if (what == QLatin1String("show"))
            return show(run);
        if (what == QLatin1String("export"))
            return exportCsv(run, m_args.positional.value(2));
        if (what == QLatin1String("report"))
            return report(run, m_args.positional.value(2));
        if (what == QLatin1String("label")) {
            if (!m_store.setLabel(id, m_args.positional.value(2)))
                return fail(
                    QStringLiteral("cannot label run %1: %2").arg(id).arg(m_store.errorString()));
            m_out.line(QStringLiteral("Run %1 is labelled \"%2\".")
                           .arg(id)
                           .arg(m_args.positional.value(2)));
            return finish(CliExit::Done);
        }
        // delete, checked for --yes when the command was made
        if (!m_store.remove(id))
            return fail(
                QStringLiteral("cannot delete run %1: %2").arg(id).arg(m_store.errorString()));
        m_out.line(QStringLiteral("Run %1 deleted.").arg(id));
        finish(CliExit::Done);
    }

private:
    static QJsonObject json(const RunEntry &e)
    {
        // The summary's figures as `log --until-stopped` gives them.
        QJsonObject o = summaryJson(e.summary, e.endReason);
        o[QStringLiteral("id")] = double(e.id);
        o[QStringLiteral("start")] = dateText(e.info.startedMs);
        o[QStringLiteral("end")] = dateText(e.endedMs);
        o[QStringLiteral("model")] = e.info.model;
        o[QStringLiteral("firmware")] = e.info.firmware;
        o[QStringLiteral("serial")] = e.info.serial;
        o[QStringLiteral("address")] = e.info.address;
        o[QStringLiteral("class")] = e.info.deviceClass;
        o[QStringLiteral("mode")] = e.info.workMode;
        o[QStringLiteral("set_value")] = number(e.info.setValue);
        o[QStringLiteral("cutoff_v")] = number(e.info.cutoffVolts);
        o[QStringLiteral("time_limit_min")] = e.info.timeLimitMinutes;
        o[QStringLiteral("label")] = e.info.label;
        o[QStringLiteral("samples")] = double(e.summary.samples);
        // A test program's run: its outcome and each step's results.
        if (!e.results.isEmpty())
            o[QStringLiteral("program")] = QJsonDocument::fromJson(e.results.toUtf8()).object();
        return o;
    }

    void list()
    {
        const QList<RunEntry> runs = m_store.runs();
        if (!m_out.json())
            m_out.line(QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8  %9")
                           .arg(QStringLiteral("id"), 5)
                           .arg(QStringLiteral("start"), -19)
                           .arg(QStringLiteral("device"), -13)
                           .arg(QStringLiteral("mode"), -26)
                           .arg(QStringLiteral("duration"), 9)
                           .arg(QStringLiteral("mAh"), 9)
                           .arg(QStringLiteral("Wh"), 8)
                           .arg(QStringLiteral("end"), -11)
                           .arg(QStringLiteral("label")));
        for (const RunEntry &e : runs) {
            if (m_out.json()) {
                m_out.object(json(e));
                continue;
            }
            m_out.line(
                QStringLiteral("%1  %2  %3  %4  %5  %6  %7  %8  %9")
                    .arg(e.id, 5)
                    .arg(dateText(e.info.startedMs), -19)
                    .arg(e.info.model + QLatin1Char(' ') + e.info.serial.left(6), -13)
                    .arg(modeText(e), -26)
                    .arg(ReadingFormat::durationText(qint64(e.summary.durationS)), 9)
                    .arg(fixed(e.summary.capacityMah, 0), 9)
                    .arg(fixed(e.summary.energyWh, 3), 8)
                    .arg(e.endReason.isEmpty() ? QStringLiteral("running") : e.endReason, -11)
                    .arg(e.info.label));
        }
        finish(CliExit::Done);
    }

    void show(const RunEntry &e)
    {
        if (m_out.json()) {
            m_out.object(json(e));
            return finish(CliExit::Done);
        }
        auto row = [this](const QString &name, const QString &value) {
            m_out.line(QStringLiteral("%1 %2").arg(name, -20).arg(value));
        };
        row(QStringLiteral("Run"), QString::number(e.id));
        row(QStringLiteral("Label"), e.info.label);
        row(QStringLiteral("Device"), QStringLiteral("%1 %2, serial %3, address %4")
                                          .arg(e.info.model, e.info.firmware, e.info.serial)
                                          .arg(e.info.address));
        row(QStringLiteral("Mode"), modeText(e));
        row(QStringLiteral("Cut-off voltage"), fixed(e.info.cutoffVolts, 2) + QStringLiteral(" V"));
        row(QStringLiteral("Started"), dateText(e.info.startedMs));
        row(QStringLiteral("Ended"),
            e.endedMs > 0 ? dateText(e.endedMs) : QStringLiteral("running"));
        row(QStringLiteral("End"), e.endReason);
        for (const QString &line : summaryLines(e.summary, e.endReason))
            m_out.line(line);
        if (!e.results.isEmpty()) {
            const QJsonObject program = QJsonDocument::fromJson(e.results.toUtf8()).object();
            m_out.line(QStringLiteral("Test program \"%1\", %2:")
                           .arg(program.value(QStringLiteral("program")).toString(),
                                program.value(QStringLiteral("outcome")).toString()));
            const QJsonArray steps = program.value(QStringLiteral("steps")).toArray();
            for (const QString &line : ProgramTexts::table(resultsFromJson(steps)))
                m_out.line(line);
        }
        finish(CliExit::Done);
    }

    void exportCsv(const RunEntry &e, const QString &file)
    {
        SampleStore store;
        if (!m_store.loadSamples(e.id, &store))
            return fail(
                QStringLiteral("cannot read run %1: %2").arg(e.id).arg(m_store.errorString()));
        saveDataDeal writer;
        if (!writer.writeCsv(store, file, quint8(e.info.deviceClass)))
            return fail(QStringLiteral("cannot write to %1: %2").arg(file, writer.errorString()));
        m_out.line(
            QStringLiteral("Wrote %1 rows of run %2 to %3.").arg(store.size()).arg(e.id).arg(file));
        finish(CliExit::Done);
    }

    void report(const RunEntry &e, const QString &file)
    {
        SampleStore store;
        if (!m_store.loadSamples(e.id, &store))
            return fail(
                QStringLiteral("cannot read run %1: %2").arg(e.id).arg(m_store.errorString()));
        QString error;
        RunReport::Labels labels;
        labels.modeText = modeText(e);
        if (!RunReport::writePdf(file, e, store, labels, &error))
            return fail(QStringLiteral("cannot write the report %1: %2").arg(file, error));
        m_out.line(QStringLiteral("Wrote the report of run %1 to %2.").arg(e.id).arg(file));
        finish(CliExit::Done);
    }

    CommandArgs m_args;
    RunStore m_store;
};

} // namespace

QStringList summaryLines(const RunSummary &s, const QString &endReason)
{
    return {
        QStringLiteral("Duration             %1")
            .arg(ReadingFormat::durationText(qint64(s.durationS))),
        QStringLiteral("Capacity             %1 mAh").arg(fixed(s.capacityMah, 1)),
        QStringLiteral("Energy               %1 Wh").arg(fixed(s.energyWh, 3)),
        QStringLiteral("Voltage              average %1 V, minimum %2 V")
            .arg(fixed(s.averageVolts, 3), fixed(s.minimumVolts, 3)),
        QStringLiteral("Current              average %1 A").arg(fixed(s.averageAmps, 3)),
        QStringLiteral("Highest temperature  MOS %1 °C, probe %2")
            .arg(fixed(s.maximumMosC, 1), std::isfinite(s.maximumNtcC)
                                              ? fixed(s.maximumNtcC, 1) + QStringLiteral(" °C")
                                              : QStringLiteral("none attached")),
        QStringLiteral("End                  %1").arg(endReason),
    };
}

QJsonObject summaryJson(const RunSummary &s, const QString &endReason)
{
    QJsonObject o;
    o[QStringLiteral("duration_s")] = number(s.durationS);
    o[QStringLiteral("capacity_mah")] = number(s.capacityMah);
    o[QStringLiteral("energy_wh")] = number(s.energyWh);
    o[QStringLiteral("average_v")] = number(s.averageVolts);
    o[QStringLiteral("minimum_v")] = number(s.minimumVolts);
    o[QStringLiteral("average_a")] = number(s.averageAmps);
    o[QStringLiteral("max_mos_c")] = number(s.maximumMosC);
    o[QStringLiteral("max_probe_c")] = number(s.maximumNtcC);
    o[QStringLiteral("end_reason")] = endReason;
    return o;
}

std::unique_ptr<CliCommand> makeHistoryCommand(const CliOptions::Global &g, CliOutput &out,
                                               InstrumentSession &s, QString *error)
{
    if (g.command != QLatin1String("history"))
        return nullptr;
    const QString usage = QStringLiteral(
        "usage: usb-tester-cli history list|show ID|export ID FILE.csv|report ID FILE.pdf|"
        "label ID TEXT|delete ID --yes");
    CommandArgs a;
    if (!CliOptions::parseCommandArgs(g.args, {"--yes"}, {}, &a, error))
        return nullptr;
    const QString what = a.positional.value(0);
    const int wanted = what == QLatin1String("list")                                      ? 1
                       : what == QLatin1String("show") || what == QLatin1String("delete") ? 2
                       : what == QLatin1String("export") || what == QLatin1String("report") ||
                               what == QLatin1String("label")
                           ? 3
                           : 0;
    if (wanted == 0 || a.positional.size() != wanted) {
        *error = usage;
        return nullptr;
    }
    if (what == QLatin1String("delete") && !a.has(QStringLiteral("--yes"))) {
        *error = QStringLiteral("history delete removes the run and its samples for good; add "
                                "--yes to do it");
        return nullptr;
    }
    return std::make_unique<HistoryCommand>(g, out, s, a);
}
