#include "clirunner.h"

#include "clicommand.h"
#include "deviceoptions.h"
#include "logging.h"
#include "programversion.h"

#include <QEventLoop>

CliRunner::CliRunner(FILE *out, FILE *err, bool errIsTerminal, QObject *parent)
    : QObject(parent), m_out(out), m_err(err), m_errTerminal(errIsTerminal)
{
}

QString CliRunner::usage()
{
    return QStringLiteral(
        "usage: usb-tester-cli [--device hid|socket:PATH | --simulate[=SETUP]] [--address N]\n"
        "                      [--json] [--timeout SECONDS] [--history PATH] [--verbose]\n"
        "                      COMMAND ...\n"
        "Commands:\n"
        "  list                          instruments on USB and on the bus\n"
        "  read                          every reading and setting of the instrument\n"
        "  watch [--count N]             a line of readings a second\n"
        "  log FILE [--duration D] [--samples N] [--until-stopped] [--always]\n"
        "      [--no-history]\n"
        "                                a CSV row a second (durations: 90s, 15m, 2h30m)\n"
        "  mode cc|cv|cr|cp|ir|psu|cable|cdc|cdcdc|cycle\n"
        "  set value|cutoff|full-voltage|full-current VALUE\n"
        "  set time-limit DURATION\n"
        "  run | stop\n"
        "  answer cancel|continue|clear|ok\n"
        "  config style|brightness|standby-brightness|standby-time|shunt VALUE\n"
        "  calibrate voltage|current|temperature FACTOR\n"
        "  threshold over-current|over-power|probe-temp|mos-temp VALUE\n"
        "  zero-current | clear-data | factory-reset --yes\n"
        "  flash FILE.bin\n"
        "  serve [--listen HOST:PORT]    the instrument as a SCPI instrument on a TCP port\n"
        "                                (default 127.0.0.1:5025) until Ctrl-C\n"
        "  history list|show ID|export ID FILE|report ID FILE|label ID TEXT|delete ID --yes\n"
        "                                the runs kept on disk: CSV export, PDF report\n"
        "  program FILE.json|--template capacity|dcir|capacity-dcir [--param KEY=VALUE]\n"
        "          [--print] [--log FILE.csv] [--yes] [--resume-after-loss] [--no-history]\n"
        "                                a test program on an electronic load\n"
        "Exit status: 0 done, 1 the instrument refused, failed or did not answer (or a\n"
        "program was aborted), 2 bad usage or bad input, 3 no instrument found.\n");
}

int CliRunner::run(const QStringList &arguments)
{
    CliOutput out(m_out, m_err, m_errTerminal);
    QStringList args = arguments;
    DeviceOptions::Choice choice;
    QString error;
    auto badUsage = [&](const QString &message) {
        out.message(message + QStringLiteral(" (usb-tester-cli --help shows the usage)"));
        return int(CliExit::BadUsage);
    };
    const bool usable = DeviceOptions::extract(args, &choice, &error);
    if (choice.version) {
        std::fprintf(m_out, "usb-tester-cli %s\n", USB_TESTER_VERSION);
        return CliExit::Done;
    }
    // Quiet for scripts unless asked (--verbose, QT_LOGGING_RULES).
    Logging::setup(choice.verbose);
    if (!usable)
        return badUsage(error);
    if (choice.help) {
        std::fputs(qPrintable(usage()), m_out);
        return CliExit::Done;
    }
    CliOptions::Global global;
    if (!CliOptions::parseGlobal(args, &global, &error))
        return badUsage(error);
    out.setJson(global.json);

    // The device goes after the session that holds its handles.
    DeviceSession device;
    InstrumentSession session;
    session.setAddress(global.address);
    session.setTimeoutMs(global.timeoutMs);
    std::unique_ptr<CliCommand> command = makeCommand(global, out, session, &error);
    if (!command)
        return badUsage(error);

    if (command->needsInstrument() && !device.install(choice, &error)) {
        out.message(error);
        return CliExit::Failed;
    }
    if (command->needsInstrument() && !session.open()) {
        session.close();
        out.message(choice.kind == DeviceOptions::Choice::Kind::Socket
                        ? QStringLiteral("no instrument found at %1").arg(choice.socketPath)
                        : QStringLiteral("no instrument found"));
        return CliExit::NoInstrument;
    }

    QEventLoop loop;
    int code = CliExit::Failed;
    connect(command.get(), &CliCommand::finished, &loop, [&](int c) {
        code = c;
        loop.quit();
    });
    connect(&session, &InstrumentSession::lost, command.get(), &CliCommand::instrumentLost);
    m_command = command.get();
    command->start();
    if (m_interruptPending && !command->isFinished())
        command->interrupt();
    if (!command->isFinished())
        loop.exec();
    m_command = nullptr;
    session.close();
    return code;
}

void CliRunner::interrupt()
{
    if (m_command && !m_command->isFinished())
        m_command->interrupt();
    else
        m_interruptPending = true;
}
