#pragma once

#include <QObject>
#include <QStringList>
#include <cstdio>

class CliCommand;

// The whole tool behind main(): parses the arguments, sets the logging rules
// (--verbose), sets up the device (--device / --simulate), connects, runs the
// command in a local event loop and returns the exit status. Tests run it
// in-process with their own files.
class CliRunner : public QObject
{
    Q_OBJECT
public:
    CliRunner(FILE *out = stdout, FILE *err = stderr, bool errIsTerminal = false,
              QObject *parent = nullptr);

    int run(const QStringList &args);

    static QString usage();

public slots:
    // SIGINT or SIGTERM: the running command ends (log and watch cleanly).
    void interrupt();

private:
    FILE *m_out;
    FILE *m_err;
    bool m_errTerminal;
    CliCommand *m_command = nullptr;
    bool m_interruptPending = false;
};
