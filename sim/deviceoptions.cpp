#include "deviceoptions.h"

#include "commandline.h"
#include "hidbackend.h"
#include "logging.h"
#include "programversion.h"
#include "simbootloader.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace DeviceOptions {

namespace {

const QCommandLineOption DeviceOption(QStringLiteral("device"), QString(), QStringLiteral("KIND"));
// Bare, it is the default setup.
const QCommandLineOption SimulateOption(QStringLiteral("simulate"), QString(),
                                        QStringLiteral("SETUP"), SimSetup().model);
const QCommandLineOption HelpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
const QCommandLineOption VerboseOption(QLatin1String(Logging::VerboseOption));
const QCommandLineOption VersionOption(QStringLiteral("version"));

bool applyDevice(const QString &value, Choice *choice, QString *error)
{
    if (value == QLatin1String("hid")) {
        choice->kind = Choice::Kind::Hid;
        return true;
    }
    if (value.startsWith(QLatin1String("socket:")) && value.size() > 7) {
        choice->kind = Choice::Kind::Socket;
        choice->socketPath = value.mid(7);
        return true;
    }
    *error = QStringLiteral("--device takes hid or socket:PATH, not \"%1\"").arg(value);
    return false;
}

} // namespace

bool extract(QStringList &args, Choice *choice, QString *error)
{
    QCommandLineParser parser;
    QStringList rest;
    QString missing;
    const bool parsed = CommandLine::parse(
        parser, {DeviceOption, SimulateOption, HelpOption, VerboseOption, VersionOption}, args,
        &rest, &missing);
    Choice result;
    result.help = parser.isSet(HelpOption);
    result.verbose = parser.isSet(VerboseOption); // the logging rules are set from it at start
    result.version = parser.isSet(VersionOption);
    *choice = result;
    if (!parsed) {
        *error = QStringLiteral("--device needs a value: hid or socket:PATH");
        return false;
    }
    const QStringList devices = parser.values(DeviceOption);
    // Unset, it would still have its default.
    const QStringList setups =
        parser.isSet(SimulateOption) ? parser.values(SimulateOption) : QStringList();
    if (devices.size() + setups.size() > 1) {
        *error = QStringLiteral("give one of --device and --simulate, once");
        return false;
    }
    if (!devices.isEmpty() && !applyDevice(devices.constFirst(), &result, error))
        return false;
    if (!setups.isEmpty()) {
        result.kind = Choice::Kind::Simulate;
        if (setups.constFirst().isEmpty()) {
            *error = QStringLiteral("--simulate= needs a setup, e.g. KV37 or RX41,slaves=3+5");
            return false;
        }
        if (!SimSetup::parse(setups.constFirst(), &result.setup, error))
            return false;
    }
    if (!args.isEmpty())
        rest.prepend(args.constFirst());
    args = rest;
    *choice = result;
    return true;
}

QString usage(const QString &program)
{
    return QStringLiteral(
               "usage: %1 [--device hid|socket:PATH] [--simulate[=SETUP]] [--history PATH]\n"
               "          [--verbose]\n"
               "  --device hid           a real instrument over USB HID (the default)\n"
               "  --device socket:PATH   a virtual instrument served on a Unix socket\n"
               "  --simulate[=SETUP]     the built-in simulated instrument; SETUP is a model\n"
               "                         word with optional bus slaves, e.g. KV37 or\n"
               "                         RX41,slaves=3+5 (default KV37)\n"
               "  --history PATH         keep the runs in this history database instead of\n"
               "                         ~/.local/share/usb-tester/history.sqlite\n"
               "  --verbose              debug lines of every part on standard error\n")
        .arg(program);
}

} // namespace DeviceOptions

DeviceSession::DeviceSession() = default;

DeviceSession::~DeviceSession()
{
    // The program's handles go with the backend before the instrument stops.
    if (m_server)
        hid::setBackend(nullptr);
    m_server.reset();
}

bool DeviceSession::install(const DeviceOptions::Choice &choice, QString *error)
{
    using Kind = DeviceOptions::Choice::Kind;
    switch (choice.kind) {
    case Kind::Hid:
        return true; // the registry's default
    case Kind::Socket:
        hid::setBackend(hid::makeSocketBackend(choice.socketPath));
        return true;
    case Kind::Simulate: {
        m_dir = std::make_unique<QTemporaryDir>();
        if (!m_dir->isValid()) {
            *error = QStringLiteral("cannot make a folder for the simulator's socket");
            return false;
        }
        const QString path = m_dir->filePath(QStringLiteral("instrument.sock"));
        m_server = std::make_unique<SimServer>(choice.setup);
        // The simulated instrument takes a firmware upgrade like the real one.
        m_boot = std::make_unique<SimBootloader>();
        m_server->setUpgradeTarget(m_boot.get());
        if (!m_server->listen(path, error)) {
            m_server.reset();
            return false;
        }
        hid::setBackend(hid::makeSocketBackend(path));
        return true;
    }
    }
    return false;
}

namespace {

QString programName(const QStringList &args)
{
    return args.isEmpty() ? QStringLiteral("usb-tester") : QFileInfo(args.first()).fileName();
}

} // namespace

int DeviceSession::checkArguments(const QStringList &args, DeviceOptions::Choice *choice)
{
    QStringList rest = args;
    DeviceOptions::Choice options;
    QString error;
    const QString program = programName(args);
    const bool usable = DeviceOptions::extract(rest, &options, &error);
    if (choice)
        *choice = options;
    if (options.version) {
        std::fprintf(stdout, "%s %s\n", qPrintable(program), USB_TESTER_VERSION);
        return 0;
    }
    if (!usable) {
        std::fprintf(stderr, "%s: %s\n%s", qPrintable(program), qPrintable(error),
                     qPrintable(DeviceOptions::usage(program)));
        return 2;
    }
    if (options.help) {
        std::fprintf(stdout, "%s", qPrintable(DeviceOptions::usage(program)));
        return 0;
    }
    return -1;
}

int DeviceSession::setupFromArguments(const QStringList &args)
{
    DeviceOptions::Choice choice;
    const int early = checkArguments(args, &choice);
    if (early >= 0)
        return early;
    QStringList rest = args;
    QString error;
    DeviceOptions::extract(rest, &choice, &error);
    const QString program = programName(args);
    if (rest.size() > 1) {
        std::fprintf(stderr, "%s: unknown argument \"%s\"\n%s", qPrintable(program),
                     qPrintable(rest.at(1)), qPrintable(DeviceOptions::usage(program)));
        return 2;
    }
    if (!install(choice, &error)) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), qPrintable(error));
        return 1;
    }
    return -1;
}
