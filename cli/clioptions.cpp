#include "clioptions.h"

#include "commandline.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <cmath>

namespace CliOptions {

namespace {

bool looksNegativeNumber(const QString &a)
{
    return a.size() > 1 && a.at(0) == QLatin1Char('-') &&
           (a.at(1).isDigit() || a.at(1) == QLatin1Char('.'));
}

} // namespace

bool parseGlobal(const QStringList &args, Global *global, QString *error)
{
    const QCommandLineOption json(QStringLiteral("json"));
    const QCommandLineOption address(QStringLiteral("address"), QString(), QStringLiteral("N"));
    const QCommandLineOption timeout(QStringLiteral("timeout"), QString(),
                                     QStringLiteral("SECONDS"));
    const QCommandLineOption history(QStringLiteral("history"), QString(), QStringLiteral("PATH"));
    QCommandLineParser parser;
    QStringList rest;
    QString missing;
    if (!CommandLine::parse(parser, {json, address, timeout, history}, args, &rest, &missing)) {
        *error = QStringLiteral("%1 needs a value").arg(missing);
        return false;
    }
    // The options of the command itself come after it.
    if (!rest.isEmpty() && rest.constFirst().startsWith(QLatin1Char('-'))) {
        *error = QStringLiteral("unknown option \"%1\"").arg(rest.constFirst());
        return false;
    }
    Global g;
    g.json = parser.isSet(json);
    for (const QString &v : parser.values(address)) {
        bool ok = false;
        const int n = v.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)
                          ? v.mid(2).toInt(&ok, 16)
                          : v.toInt(&ok, 10);
        if (!ok || n < 0 || n > 255) {
            *error = QStringLiteral("--address takes a bus address 0 to 255, not \"%1\"").arg(v);
            return false;
        }
        g.address = quint8(n);
        g.addressGiven = true;
    }
    for (const QString &v : parser.values(timeout)) {
        double s = 0;
        if (!parseNumberInRange(v, 0.1, 86400, QStringLiteral("--timeout"), &s, error))
            return false;
        g.timeoutMs = int(std::lround(s * 1000));
    }
    for (const QString &v : parser.values(history)) {
        if (v.isEmpty()) {
            *error = QStringLiteral("--history needs the database's file name");
            return false;
        }
        g.historyPath = v;
    }
    if (rest.isEmpty()) {
        *error = QStringLiteral("no command given");
        return false;
    }
    g.command = rest.takeFirst();
    g.args = rest;
    *global = g;
    return true;
}

bool parseDuration(const QString &text, qint64 *seconds, QString *error)
{
    static const QRegularExpression plain(QStringLiteral("^\\d{1,9}$"));
    static const QRegularExpression units(
        QStringLiteral("^(?:(\\d{1,6})h)?(?:(\\d{1,7})m)?(?:(\\d{1,9})s)?$"));
    const QString t = text.trimmed().toLower();
    qint64 total = -1;
    if (plain.match(t).hasMatch()) {
        total = t.toLongLong();
    } else {
        const QRegularExpressionMatch m = units.match(t);
        if (m.hasMatch() && !t.isEmpty())
            total = m.captured(1).toLongLong() * 3600 + m.captured(2).toLongLong() * 60 +
                    m.captured(3).toLongLong();
    }
    if (total < 0) {
        *error = QStringLiteral("\"%1\" is not a duration (examples: 90s, 15m, 2h30m)").arg(text);
        return false;
    }
    if (total == 0) {
        *error = QStringLiteral("the duration \"%1\" is zero").arg(text);
        return false;
    }
    *seconds = total;
    return true;
}

bool parseNumber(const QString &text, double *value, QString *error)
{
    // Only plain decimal notation: toDouble would also take "inf" and "nan".
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d{1,3})?$"));
    bool ok = number.match(text.trimmed()).hasMatch();
    const double v = ok ? text.trimmed().toDouble(&ok) : 0;
    if (!ok || !std::isfinite(v)) {
        *error = QStringLiteral("\"%1\" is not a number").arg(text);
        return false;
    }
    *value = v;
    return true;
}

bool parseNumberInRange(const QString &text, double min, double max, const QString &what,
                        double *value, QString *error)
{
    double v = 0;
    if (!parseNumber(text, &v, error)) {
        *error = QStringLiteral("%1: %2").arg(what, *error);
        return false;
    }
    if (v < min || v > max) {
        *error = QStringLiteral("%1 must lie between %2 and %3, not %4")
                     .arg(what, QString::number(min), QString::number(max), text);
        return false;
    }
    *value = v;
    return true;
}

bool parseInteger(const QString &text, int min, int max, const QString &what, int *value,
                  QString *error)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (!ok) {
        *error = QStringLiteral("%1: \"%2\" is not a whole number").arg(what, text);
        return false;
    }
    if (v < min || v > max) {
        *error = QStringLiteral("%1 must lie between %2 and %3, not %4")
                     .arg(what)
                     .arg(min)
                     .arg(max)
                     .arg(text);
        return false;
    }
    *value = v;
    return true;
}

QString CommandArgs::value(const QString &option) const
{
    for (const auto &p : values)
        if (p.first == option)
            return p.second;
    return QString();
}

bool CommandArgs::hasValue(const QString &option) const
{
    for (const auto &p : values)
        if (p.first == option)
            return true;
    return false;
}

bool parseCommandArgs(const QStringList &args, const QStringList &flags,
                      const QStringList &valueOptions, CommandArgs *out, QString *error)
{
    QList<QCommandLineOption> options;
    for (const QString &flag : flags)
        options << QCommandLineOption(flag.mid(2));
    for (const QString &option : valueOptions)
        options << QCommandLineOption(option.mid(2), QString(), QStringLiteral("VALUE"));
    QCommandLineParser parser;
    QStringList rest;
    QString missing;
    if (!CommandLine::parse(parser, options, QStringList{QString()} + args, &rest, &missing)) {
        *error = QStringLiteral("%1 needs a value").arg(missing);
        return false;
    }
    for (const QString &a : rest) {
        if (a.size() > 1 && a.startsWith(QLatin1Char('-')) && !looksNegativeNumber(a)) {
            *error = QStringLiteral("unknown option \"%1\"").arg(a);
            return false;
        }
    }
    CommandArgs r;
    r.positional = rest;
    for (const QString &flag : flags)
        if (parser.isSet(flag.mid(2)))
            r.flags.append(flag);
    for (const QString &option : valueOptions)
        for (const QString &value : parser.values(option.mid(2)))
            r.values.append({option, value});
    *out = r;
    return true;
}

} // namespace CliOptions
