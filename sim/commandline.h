#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>
#include <QStringList>

class QCommandLineParser;

// QCommandLineParser as the programs use it. It takes every word that starts
// with '-' for one of its own options, but these command lines also hold
// words that belong elsewhere: the tool's options after the device options
// are read, the toolkit's (-style), a command's options, negative numbers
// ("set value -1").
namespace CommandLine {

// Adds `options` to `parser` and reads them from `args` (args[0] is the
// program). Only exact spellings are the parser's: --name, --name=VALUE when
// the option takes a value, -x for a one-letter name, and the word after an
// option that takes a value. Every other word comes back in `rest`, in order.
// An option with a value and a default takes its value only after '='
// (--simulate[=SETUP]); written bare, it has the default. False when the last
// word is an option still waiting for its value; `missing` is that word.
bool parse(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
           const QStringList &args, QStringList *rest, QString *missing);

} // namespace CommandLine
