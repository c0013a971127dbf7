// What a user of the installed package sees of the three programs: their
// version, and manual pages that name every option --help names (and no
// option that is gone); the package's metadata agrees with the udev rule.
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

struct Run
{
    int code = -1;
    QString out, err;
};

// Runs a program as a package build or a script would: no display at all.
Run run(const QString &program, const QStringList &args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
    }
    const int code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return {code, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

// Runs a program for at most `ms` with the environment a user's terminal
// has: no logging rules of the test harness, the given extra variables.
Run runFor(const QString &program, const QStringList &args, int ms, const QStringList &extra = {})
{
    QTemporaryDir runtime; // a private runtime folder, as a desktop session has
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    for (const QString &kv : extra)
        env.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(runtime.path());
    p.start(program, args);
    if (!p.waitForFinished(ms)) {
        p.terminate();
        if (!p.waitForFinished(5000))
            p.kill();
        p.waitForFinished();
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The long options a text names.
QSet<QString> options(const QString &text)
{
    QSet<QString> found;
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--[a-z][a-z0-9-]*"));
    auto it = option.globalMatch(text);
    while (it.hasNext())
        found.insert(it.next().captured());
    return found;
}

// The literal words of a usage text: the alternatives of a choice (cc|cv|…),
// the words of a command's syntax, and a comma list of commands.
QSet<QString> usageWords(const QString &help)
{
    QSet<QString> words;
    static const QRegularExpression choice(
        QStringLiteral("[a-z][a-z0-9:A-Z-]*(?: ?\\| ?[a-z][a-z0-9:A-Z-]*)+"));
    auto it = choice.globalMatch(help);
    while (it.hasNext())
        for (QString w : it.next().captured().split(QLatin1Char('|')))
            words.insert(w.trimmed().section(QLatin1Char(':'), 0, 0));
    // An indented line that starts with a lower-case word is a command's
    // syntax, up to the gap before its description.
    static const QRegularExpression command(QStringLiteral("^  ([a-z].*?)(?:\\s{2,}|$)"),
                                            QRegularExpression::MultilineOption);
    static const QRegularExpression literal(QStringLiteral("^[a-z][a-z0-9-]*$"));
    it = command.globalMatch(help);
    while (it.hasNext())
        for (const QString &w :
             it.next().captured(1).split(QRegularExpression(QStringLiteral("[\\s|\\[\\]]+"))))
            if (literal.match(w).hasMatch())
                words.insert(w);
    const int list = help.indexOf(QStringLiteral("Commands on standard input:"));
    if (list >= 0)
        for (const QString &item : help.mid(list + 27).section(QLatin1Char('.'), 0, 0).split(',')) {
            words.insert(item.simplified().section(QLatin1Char(' '), 0, 0));
        }
    return words;
}

// The text a manual page sets in bold, with roff's escapes undone.
QString boldText(const QString &roff)
{
    QStringList bold;
    for (const QString &line : roff.split(QLatin1Char('\n'))) {
        static const QRegularExpression macro(QStringLiteral("^\\.(B|BR|BI|RB|IB)\\s+(.*)$"));
        const QRegularExpressionMatch m = macro.match(line);
        if (m.hasMatch()) {
            // .B is bold throughout; the alternating macros bold every other argument.
            static const QRegularExpression arg(QStringLiteral("\"([^\"]*)\"|(\\S+)"));
            const QString kind = m.captured(1);
            if (kind == QLatin1String("B")) {
                bold << m.captured(2);
            } else {
                const int first = kind.startsWith(QLatin1Char('B')) ? 0 : 1;
                auto args = arg.globalMatch(m.captured(2));
                for (int i = 0; args.hasNext(); ++i) {
                    const QRegularExpressionMatch a = args.next();
                    if (i % 2 == first)
                        bold << a.captured(1) + a.captured(2);
                }
            }
            continue;
        }
        static const QRegularExpression inlineBold(QStringLiteral("\\\\fB(.*?)(?=\\\\f|$)"));
        auto it = inlineBold.globalMatch(line);
        while (it.hasNext())
            bold << it.next().captured(1);
    }
    QString text = bold.join(QLatin1Char('\n'));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    text.remove(QStringLiteral("\\&"));
    return text;
}

// The named sections of a manual page (".SH NAME" up to the next ".SH").
QString sections(const QString &roff, const QStringList &names)
{
    QString picked;
    for (const QString &part : roff.split(QStringLiteral("\n.SH "))) {
        if (names.contains(part.section(QLatin1Char('\n'), 0, 0).trimmed()))
            picked += part + QLatin1Char('\n');
    }
    return picked;
}

QSet<QString> words(const QString &text)
{
    const QStringList list =
        text.split(QRegularExpression(QStringLiteral("[\\s|\\[\\]=,:()]+")), Qt::SkipEmptyParts);
    return QSet<QString>(list.begin(), list.end());
}

QString sorted(const QSet<QString> &set)
{
    QStringList list = set.values();
    list.sort();
    return list.join(QLatin1Char(' '));
}

} // namespace

class TestPackaging : public QObject
{
    Q_OBJECT

private slots:
    // A program that works quietly prints nothing: the window connected and
    // polling, the tool reading. --verbose and QT_LOGGING_RULES open it up.
    void quietUnlessAsked()
    {
        Run r = runFor(QStringLiteral(WINDOW_PATH), {"--simulate"}, 4000);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err.left(500)));
        r = runFor(QStringLiteral(WINDOW_PATH), {"--simulate", "--verbose"}, 3000);
        QVERIFY2(r.err.contains("usbtester.link:"), qPrintable(r.err.left(500)));
        QVERIFY(!r.err.contains("send_data")); // the byte dumps stay off
        r = runFor(QStringLiteral(CLI_PATH), {"--simulate", "read"}, 20000);
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err.left(500)));
        r = runFor(QStringLiteral(CLI_PATH), {"--simulate", "read"}, 20000,
                   {"QT_LOGGING_RULES=usbtester.link.bytes.debug=true"});
        QVERIFY2(r.err.contains("send_data"), qPrintable(r.err.left(500)));
    }
    void versionOfEveryProgram_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("window") << QStringLiteral(WINDOW_PATH) << QStringList{"--version"};
        // Taken before the device options, so it needs no instrument or display.
        QTest::newRow("window with a device")
            << QStringLiteral(WINDOW_PATH) << QStringList{"--simulate", "--version"};
        QTest::newRow("cli") << QStringLiteral(CLI_PATH) << QStringList{"--version"};
        QTest::newRow("cli with a command")
            << QStringLiteral(CLI_PATH)
            << QStringList{"--device", "socket:/nonexistent", "read", "--version"};
        QTest::newRow("sim") << QStringLiteral(SIM_PATH) << QStringList{"--version"};
    }
    void versionOfEveryProgram()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        const Run r = run(program, args);
        QVERIFY2(r.code == 0 && r.err.isEmpty(), qPrintable(QString::number(r.code) + r.err));
        QCOMPARE(r.out, QFileInfo(program).fileName() + QStringLiteral(" " PROJECT_VERSION "\n"));
    }

    void manPageFollowsHelp_data()
    {
        QTest::addColumn<QString>("program");
        QTest::newRow("window") << QStringLiteral(WINDOW_PATH);
        QTest::newRow("cli") << QStringLiteral(CLI_PATH);
        QTest::newRow("sim") << QStringLiteral(SIM_PATH);
    }
    void manPageFollowsHelp()
    {
        QFETCH(QString, program);
        const QString name = QFileInfo(program).fileName();
        const Run help = run(program, {"--help"});
        QCOMPARE(help.code, 0);
        QVERIFY(help.out.startsWith(QStringLiteral("usage: ") + name));
        const QString page = readFile(QStringLiteral(PACKAGING_DIR "/man/%1.1").arg(name));
        QVERIFY2(page.startsWith(QStringLiteral(".TH %1 1 ").arg(name.toUpper())),
                 qPrintable(name));
        const QSet<QString> bold = words(boldText(page));

        const QSet<QString> helpOptions = options(help.out);
        QVERIFY(!helpOptions.isEmpty());
        QSet<QString> missing = helpOptions + usageWords(help.out);
        missing.subtract(bold);
        QVERIFY2(missing.isEmpty(), qPrintable(name + ".1 does not name: " + sorted(missing)));

        // Every option the page offers still exists; --help and --version are
        // the ones every program takes without listing them. (Other sections
        // may name the options of the other programs.)
        QSet<QString> gone = options(boldText(sections(page, {"SYNOPSIS", "OPTIONS", "COMMANDS"})));
        gone.subtract(helpOptions);
        gone.subtract({QStringLiteral("--help"), QStringLiteral("--version")});
        QVERIFY2(gone.isEmpty(),
                 qPrintable(name + ".1 names options --help does not: " + sorted(gone)));
    }

    void metadataAgreesWithTheRuleAndIcons()
    {
        // The metainfo announces the instrument the udev rule grants access
        // to, so software centres can offer the package when it is plugged in.
        const QString rule = readFile(QStringLiteral(PACKAGING_DIR "/udev/70-usb-tester.rules"));
        const QRegularExpressionMatch ids =
            QRegularExpression(
                QStringLiteral("idVendor}==\"([0-9a-f]{4})\".*idProduct}==\"([0-9a-f]{4})\""))
                .match(rule);
        QVERIFY(ids.hasMatch());
        QFile metainfo(QStringLiteral(METAINFO_PATH));
        QVERIFY(metainfo.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&metainfo);
        QStringList modaliases, binaries, launchables, releases;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("release"))
                releases << xml.attributes().value(QLatin1String("version")).toString();
            else if (xml.name() == QLatin1String("modalias"))
                modaliases << xml.readElementText();
            else if (xml.name() == QLatin1String("binary"))
                binaries << xml.readElementText();
            else if (xml.name() == QLatin1String("launchable"))
                launchables << xml.readElementText();
        }
        QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
        QCOMPARE(modaliases,
                 QStringList{QStringLiteral("usb:v%1p%2d*")
                                 .arg(ids.captured(1).toUpper(), ids.captured(2).toUpper())});
        QCOMPARE(binaries, (QStringList{"usb-tester", "usb-tester-cli", "usb-tester-sim"}));
        QCOMPARE(releases.value(0), QStringLiteral(PROJECT_VERSION));
        QCOMPARE(launchables, QStringList{QStringLiteral("usb-tester.desktop")});
        const QString desktop = readFile(QStringLiteral(PACKAGING_DIR "/usb-tester.desktop"));
        QVERIFY(desktop.contains(QStringLiteral("\nExec=usb-tester\n")));
        QVERIFY(desktop.contains(QStringLiteral("\nIcon=usb-tester\n")));

        // Each icon is drawn at the size its theme folder promises.
        QDir sizes(QStringLiteral(PACKAGING_DIR "/icons/hicolor"));
        const QStringList folders = sizes.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(folders.contains(QStringLiteral("48x48")) &&
                folders.contains(QStringLiteral("256x256")));
        for (const QString &folder : folders) {
            const QImage icon(sizes.filePath(folder + QStringLiteral("/apps/usb-tester.png")));
            const int size = folder.section(QLatin1Char('x'), 0, 0).toInt();
            QVERIFY2(!icon.isNull() && icon.width() == size && icon.height() == size,
                     qPrintable(folder));
        }
    }
};

QTEST_GUILESS_MAIN(TestPackaging)
#include "test_packaging.moc"
