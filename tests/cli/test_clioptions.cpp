// The tool's argument parsing: durations, numbers, global and command options.
#include "clioptions.h"

#include <QtTest>

using namespace CliOptions;

class TestCliOptions : public QObject
{
    Q_OBJECT
private slots:
    void durations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds"); // -1: refused
        QTest::newRow("seconds") << "90s" << qint64(90);
        QTest::newRow("minutes") << "15m" << qint64(900);
        QTest::newRow("hours and minutes") << "2h30m" << qint64(9000);
        QTest::newRow("all three") << "1h5m10s" << qint64(3910);
        QTest::newRow("plain seconds") << "45" << qint64(45);
        QTest::newRow("upper case") << "2H" << qint64(7200);
        QTest::newRow("zero") << "0s" << qint64(-1);
        QTest::newRow("unknown unit") << "2x" << qint64(-1);
        QTest::newRow("wrong order") << "30m2h" << qint64(-1);
        QTest::newRow("empty") << "" << qint64(-1);
        QTest::newRow("negative") << "-5m" << qint64(-1);
    }
    void durations()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        qint64 got = -1;
        QString error;
        QCOMPARE(parseDuration(text, &got, &error), seconds >= 0);
        if (seconds >= 0)
            QCOMPARE(got, seconds);
        else
            QVERIFY(!error.isEmpty());
    }

    void durationTexts()
    {
        QCOMPARE(formatDuration(42), QStringLiteral("42s"));
        QCOMPARE(formatDuration(900), QStringLiteral("15m00s"));
        QCOMPARE(formatDuration(3723), QStringLiteral("1h02m03s"));
    }

    void numbers()
    {
        double v = 0;
        QString error;
        QVERIFY(parseNumber(QStringLiteral("1.5"), &v, &error));
        QCOMPARE(v, 1.5);
        QVERIFY(parseNumber(QStringLiteral(".5"), &v, &error));
        QVERIFY(parseNumber(QStringLiteral("-2"), &v, &error));
        QCOMPARE(v, -2.0);
        for (const char *bad : {"abc", "1.2.3", "", "inf", "nan", "1,5", "1e999", "0x10"})
            QVERIFY2(!parseNumber(QString::fromLatin1(bad), &v, &error), bad);
        QVERIFY(
            !parseNumberInRange(QStringLiteral("-1"), 0, 10, QStringLiteral("value"), &v, &error));
        QVERIFY(error.contains(QLatin1String("between 0 and 10")));
        int n = 0;
        QVERIFY(parseInteger(QStringLiteral("9"), 1, 9, QStringLiteral("brightness"), &n, &error));
        QVERIFY(
            !parseInteger(QStringLiteral("1.5"), 1, 9, QStringLiteral("brightness"), &n, &error));
    }

    void globalOptions()
    {
        Global g;
        QString error;
        QVERIFY(parseGlobal(
            {"cli", "--json", "--address", "0x03", "--timeout", "2.5", "set", "value", "-1"}, &g,
            &error));
        QVERIFY(g.json);
        QCOMPARE(int(g.address), 3);
        QCOMPARE(g.timeoutMs, 2500);
        QCOMPARE(g.command, QStringLiteral("set"));
        QCOMPARE(g.args, (QStringList{"value", "-1"}));
        // Global options may also follow the command.
        QVERIFY(parseGlobal({"cli", "read", "--json"}, &g, &error));
        QVERIFY(g.json);
        QVERIFY(!parseGlobal({"cli"}, &g, &error));
        QVERIFY(!parseGlobal({"cli", "--address", "300", "read"}, &g, &error));
        QVERIFY(!parseGlobal({"cli", "--timeout", "0", "read"}, &g, &error));
        QVERIFY(!parseGlobal({"cli", "--verbose", "read"}, &g, &error));
    }

    void commandOptions()
    {
        CommandArgs a;
        QString error;
        QVERIFY(parseCommandArgs({"run.csv", "--duration=2h", "--always", "--samples", "10"},
                                 {"--always", "--until-stopped"}, {"--duration", "--samples"}, &a,
                                 &error));
        QCOMPARE(a.positional, QStringList{"run.csv"});
        QVERIFY(a.has(QStringLiteral("--always")));
        QVERIFY(!a.has(QStringLiteral("--until-stopped")));
        QCOMPARE(a.value(QStringLiteral("--duration")), QStringLiteral("2h"));
        QCOMPARE(a.value(QStringLiteral("--samples")), QStringLiteral("10"));
        QVERIFY(!parseCommandArgs({"--bogus"}, {}, {}, &a, &error));
        QVERIFY(!parseCommandArgs({"--samples"}, {}, {"--samples"}, &a, &error));
        // A negative number is a value, not an option.
        QVERIFY(parseCommandArgs({"value", "-1.5"}, {}, {}, &a, &error));
        QCOMPARE(a.positional.size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCliOptions)
#include "test_clioptions.moc"
