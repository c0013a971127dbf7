#pragma once

#include "simsetup.h"

#include <QString>
#include <QStringList>
#include <memory>

class QTemporaryDir;
class SimBootloader;
class SimServer;

// The device options every program takes:
//   --device hid            a real instrument over USB HID (the default)
//   --device socket:PATH    a virtual instrument served on a Unix socket
//   --simulate[=SETUP]      the built-in simulated instrument, in-process
//   --verbose               debug lines on standard error
// and --help (-h) and --version.
namespace DeviceOptions {

struct Choice
{
    enum class Kind { Hid, Socket, Simulate };
    Kind kind = Kind::Hid;
    QString socketPath;
    SimSetup setup;
    bool help = false;
    bool verbose = false;
    bool version = false;
};

// Takes the device options (and --help/-h, --verbose, --version) out of args
// wherever they stand, leaving the rest in order (args[0], the program,
// stays). False with a message for a bad option; help, verbose and version
// are set in *choice even then.
bool extract(QStringList &args, Choice *choice, QString *error);
// The usage lines of the device options.
QString usage(const QString &program);

} // namespace DeviceOptions

// Applies a choice for the life of the program: installs the backend and,
// for --simulate, keeps the simulated instrument served on a private socket.
class DeviceSession
{
public:
    DeviceSession();
    ~DeviceSession();
    DeviceSession(const DeviceSession &) = delete;
    DeviceSession &operator=(const DeviceSession &) = delete;

    bool install(const DeviceOptions::Choice &choice, QString *error);
    // The in-process simulator, or null.
    SimServer *simulator() const { return m_server.get(); }

    // For a program that takes no other arguments: parses args, prints usage
    // or an error on stderr and installs. Returns -1 to go on, else the exit
    // code (0 after --help or --version, 2 for bad options, 1 when the device
    // cannot be set up).
    int setupFromArguments(const QStringList &args);
    // The part of that which needs no application object yet: --version,
    // --help and malformed device options (other arguments may still be the
    // toolkit's). The choice, when asked for, tells --verbose.
    static int checkArguments(const QStringList &args, DeviceOptions::Choice *choice = nullptr);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimBootloader> m_boot;
    std::unique_ptr<SimServer> m_server;
};
