#include "commandline.h"

#include <QCommandLineParser>
#include <QHash>

namespace CommandLine {

bool parse(QCommandLineParser &parser, const QList<QCommandLineOption> &options,
           const QStringList &args, QStringList *rest, QString *missing)
{
    parser.addOptions(options);
    QHash<QString, const QCommandLineOption *> spellings;
    for (const QCommandLineOption &option : options)
        for (const QString &name : option.names())
            spellings.insert(QLatin1String(name.size() == 1 ? "-" : "--") + name, &option);

    // No word of a command line can hold a NUL: a word behind one reaches the
    // parser as a positional argument and is given back without it.
    const QChar mark(0);
    QStringList words{args.value(0)};
    bool isValue = false;
    for (int i = 1; i < args.size(); ++i) {
        const QString &word = args.at(i);
        const QString name = word.section(QLatin1Char('='), 0, 0);
        const QCommandLineOption *option = isValue ? nullptr : spellings.value(name);
        const bool takesValue = option && !option->valueName().isEmpty();
        if (isValue) {
            words << word;
            isValue = false;
        } else if (option && name == word && takesValue && !option->defaultValues().isEmpty()) {
            words << word + QLatin1Char('=') + option->defaultValues().constFirst();
        } else if (option && name == word) {
            words << word;
            isValue = takesValue;
        } else if (takesValue) {
            words << word; // --name=VALUE
        } else {
            words << (word.startsWith(QLatin1Char('-')) ? mark + word : word);
        }
    }
    // Every word the parser could call unknown or malformed is marked above,
    // so the one thing it can still find wrong is a missing last value.
    if (!parser.parse(words)) {
        *missing = args.value(args.size() - 1);
        return false;
    }
    rest->clear();
    for (QString word : parser.positionalArguments()) {
        if (word.startsWith(mark))
            word.remove(0, 1);
        rest->append(word);
    }
    return true;
}

} // namespace CommandLine
