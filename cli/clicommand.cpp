#include "clicommand.h"

#include "devicemodel.h"

CliCommand::CliCommand(const CliOptions::Global &global, CliOutput &out, InstrumentSession &session)
    : m_global(global), m_out(out), m_session(session)
{
}

void CliCommand::interrupt()
{
    fail(QStringLiteral("interrupted"));
}

void CliCommand::instrumentLost()
{
    fail(QStringLiteral("the instrument went away"));
}

void CliCommand::finish(int code)
{
    if (m_finished)
        return;
    m_finished = true;
    m_session.cancelWait();
    emit finished(code);
}

void CliCommand::fail(const QString &message, int code)
{
    if (m_finished)
        return;
    m_out.message(message);
    finish(code);
}

QString CliCommand::timeoutText() const
{
    return QString::number(m_global.timeoutMs / 1000.0, 'g', 3) + QStringLiteral(" s");
}

std::unique_ptr<CliCommand> makeCommand(const CliOptions::Global &global, CliOutput &out,
                                        InstrumentSession &session, QString *error)
{
    error->clear();
    using Factory = std::unique_ptr<CliCommand> (*)(const CliOptions::Global &, CliOutput &,
                                                    InstrumentSession &, QString *);
    for (Factory f : {makeReadCommand, makeControlCommand, makeLogCommand, makeFlashCommand,
                      makeHistoryCommand, makeServeCommand, makeProgramCommand}) {
        std::unique_ptr<CliCommand> c = f(global, out, session, error);
        if (c || !error->isEmpty())
            return c;
    }
    *error = QStringLiteral("unknown command \"%1\"").arg(global.command);
    return nullptr;
}

const QList<ModeWord> &modeWords()
{
    static const QList<ModeWord> words = {
        {"cc", 0, "Constant Current"},
        {"cv", 1, "Constant Voltage"},
        {"cr", 2, "Constant Resistance"},
        {"cp", 3, "Constant Power"},
        {"ir", 4, "Internal Resistance Test"},
        {"psu", 5, "Power Supply Test"},
        {"cable", 6, "Cable Test"},
        {"cdc", 7, "CDC Mode"},
        {"cdcdc", 8, "CDCDC Mode"},
        {"cycle", 9, "CDxn Tester"},
    };
    return words;
}

QString modeName(quint8 mode, quint8 deviceClass)
{
    if (mode == 0 && deviceClass == DeviceModel::PowerTester)
        return QStringLiteral("Chart Display");
    for (const ModeWord &w : modeWords())
        if (w.mode == mode)
            return QString::fromLatin1(w.name);
    return QStringLiteral("mode %1").arg(mode);
}

const QStringList &shuntNames()
{
    static const QStringList names = {"30A",  "100A", "200A", "300A",
                                      "400A", "500A", "600A", "1000A"};
    return names;
}

QString shuntText(quint8 reportCode)
{
    return shuntNames().value(DeviceModel::shuntIndexOf(reportCode),
                              QStringLiteral("code %1").arg(reportCode));
}

double jsonNumber(float value)
{
    return QString::number(double(value), 'g', 7).toDouble();
}
