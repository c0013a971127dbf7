#pragma once

#include <QString>
#include <QStringList>

// Parsing of the tool's arguments: the global options, durations and values.
// Every parser returns false with a message saying what is wrong.
namespace CliOptions {

struct Global
{
    bool json = false;
    bool addressGiven = false;
    quint8 address = 0x01; // the master's usual address
    int timeoutMs = 5000;
    QString historyPath; // empty: the history every program uses
    QString command;
    QStringList args; // what follows the command
};

// Takes --address, --json, --timeout and --history from anywhere in args (device options
// already removed; args[0] is the program) and splits off the command.
bool parseGlobal(const QStringList &args, Global *global, QString *error);

// "90s", "15m", "2h30m", "1h5m10s" or plain seconds "45"; result in seconds, > 0.
bool parseDuration(const QString &text, qint64 *seconds, QString *error);

// A finite decimal number ("1.5", "-2", "3e-1"); no letters, no second point.
bool parseNumber(const QString &text, double *value, QString *error);
// A number that must lie in [min, max]; `what` names it in the message.
bool parseNumberInRange(const QString &text, double min, double max, const QString &what,
                        double *value, QString *error);
// A whole number in [min, max].
bool parseInteger(const QString &text, int min, int max, const QString &what, int *value,
                  QString *error);

// Options of one command: flags and options with a value, in any order
// between the positional arguments. Unknown options are an error.
struct CommandArgs
{
    QStringList positional;
    QStringList flags;                     // given flags, e.g. "--always"
    QList<QPair<QString, QString>> values; // given options with their values
    bool has(const QString &flag) const { return flags.contains(flag); }
    QString value(const QString &option) const;
    bool hasValue(const QString &option) const;
};
bool parseCommandArgs(const QStringList &args, const QStringList &flags,
                      const QStringList &valueOptions, CommandArgs *out, QString *error);

} // namespace CliOptions
