#include "deviceoptions.h"

#include "hidbackend.h"
#include "logging.h"
#include "simbootloader.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

namespace DeviceOptions {

namespace {

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
    Choice result;
    bool haveDevice = false;
    QStringList rest;
    if (!args.isEmpty())
        rest.append(args.first());
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args.at(i);
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            result.help = true;
        } else if (a == QLatin1String(Logging::VerboseOption)) {
            result.verbose = true; // the logging rules are set from it at start
        } else if (a == QLatin1String("--device") || a.startsWith(QLatin1String("--device="))) {
            QString value;
            if (a == QLatin1String("--device")) {
                if (i + 1 >= args.size()) {
                    *error = QStringLiteral("--device needs a value: hid or socket:PATH");
                    return false;
                }
                value = args.at(++i);
            } else {
                value = a.mid(9);
            }
            if (haveDevice) {
                *error = QStringLiteral("give one of --device and --simulate, once");
                return false;
            }
            haveDevice = true;
            if (!applyDevice(value, &result, error))
                return false;
        } else if (a == QLatin1String("--simulate") || a.startsWith(QLatin1String("--simulate="))) {
            if (haveDevice) {
                *error = QStringLiteral("give one of --device and --simulate, once");
                return false;
            }
            haveDevice = true;
            result.kind = Choice::Kind::Simulate;
            const QString setup = a.size() > 10 ? a.mid(11) : QString();
            if (a.size() > 10 && setup.isEmpty()) {
                *error = QStringLiteral("--simulate= needs a setup, e.g. KV37 or RX41,slaves=3+5");
                return false;
            }
            if (!SimSetup::parse(setup, &result.setup, error))
                return false;
        } else {
            rest.append(a);
        }
    }
    args = rest;
    *choice = result;
    return true;
}

QString usage(const QString &program)
{
    return QStringLiteral(
               "usage: %1 [--device hid|socket:PATH] [--simulate[=SETUP]] [--verbose]\n"
               "  --device hid           a real instrument over USB HID (the default)\n"
               "  --device socket:PATH   a virtual instrument served on a Unix socket\n"
               "  --simulate[=SETUP]     the built-in simulated instrument; SETUP is a model\n"
               "                         word with optional bus slaves, e.g. KV37 or\n"
               "                         RX41,slaves=3+5 (default KV37)\n"
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

int DeviceSession::checkArguments(const QStringList &args)
{
    QStringList rest = args;
    DeviceOptions::Choice choice;
    QString error;
    const QString program = programName(args);
    if (!DeviceOptions::extract(rest, &choice, &error)) {
        std::fprintf(stderr, "%s: %s\n%s", qPrintable(program), qPrintable(error),
                     qPrintable(DeviceOptions::usage(program)));
        return 2;
    }
    if (choice.help) {
        std::fprintf(stdout, "%s", qPrintable(DeviceOptions::usage(program)));
        return 0;
    }
    return -1;
}

int DeviceSession::setupFromArguments(const QStringList &args)
{
    QStringList rest = args;
    DeviceOptions::Choice choice;
    QString error;
    const QString program = programName(args);
    const int early = checkArguments(args);
    if (early >= 0)
        return early;
    DeviceOptions::extract(rest, &choice, &error);
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
