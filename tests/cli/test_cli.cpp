// The tool's library in-process: argument parsing, and firmware upgrades
// against a simulated bootloader with faults switched from here.
#include "clicommand.h"
#include "clioptions.h"
#include "clirunner.h"
#include "readingformat.h"
#include "simbootloader.h"
#include "siminstrument.h"
#include "simserver.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <cstdio>
#include <limits>

using namespace CliOptions;

namespace {

QString readAll(FILE *f)
{
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        bytes.append(buffer, int(n));
    std::fclose(f);
    return QString::fromUtf8(bytes);
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

    // Flashes `size` bytes through a socket to `boot`; -2 if it burned other bytes.
    int flash(int size, SimBootloader &boot, QString *out, QString *err)
    {
        QByteArray firmware(size, '\0');
        for (int i = 0; i < size; ++i)
            firmware[i] = char((i * 7 + 3) & 0xFF);
        QFile f(m_dir.filePath(QStringLiteral("fw%1.bin").arg(size)));
        SimServer server;
        const QString path = m_dir.filePath(QStringLiteral("flash%1.sock").arg(size));
        if (!f.open(QIODevice::WriteOnly) || f.write(firmware) != size || !f.flush() ||
            !server.listen(path))
            return -1;
        server.setUpgradeTarget(&boot);
        FILE *o = std::tmpfile(), *e = std::tmpfile();
        int code;
        {
            CliRunner runner(o, e, false);
            code = runner.run(
                {"usb-tester-cli", "--device", "socket:" + path, "--json", "flash", f.fileName()});
        }
        server.setUpgradeTarget(nullptr);
        *out = readAll(o);
        *err = readAll(e);
        return boot.burned() && boot.image() != firmware ? -2 : code;
    }

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false")); }

    void flash()
    {
        SimBootloader boot;
        boot.setBurnTimeMs(1000);
        QString out, err;
        QCOMPARE(flash(58 * 20 + 17, boot, &out, &err), 0);
        QVERIFY(boot.burned());
        const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
        QCOMPARE(o.value("event").toString(), QStringLiteral("flash-end"));
        QVERIFY(o.value("ok").toBool());
        QCOMPARE(o.value("bytes").toInt(), 58 * 20 + 17);
        // The transfer ends at 0xEE: the second of burning after it is not transfer time.
        QVERIFY2(o.value("transfer_s").toDouble() < 1.0, qPrintable(out));
        QVERIFY2(o.value("total_s").toDouble() >= 4.0, qPrintable(out));
        SimBootloader failing;
        failing.setFault(SimBootloader::Fault::FailReply, 4);
        QCOMPARE(flash(58 * 10, failing, &out, &err), 1);
        QVERIFY2(err.contains("reported the upgrade failed"), qPrintable(err));
        QVERIFY(!failing.burned());
        SimBootloader unused; // too large: refused before connecting
        QCOMPARE(flash(1024001, unused, &out, &err), 2);
        QVERIFY(err.contains("too large"));
    }
    // An instrument reporting settings it cannot have, and identity strings
    // with terminal controls in them: "--" and null for those fields, the rest
    // as usual, and no control character ever reaches the terminal.
    void hostileInstrumentIsShownSafely()
    {
        SimSetup setup;
        setup.version = QStringLiteral("V1\x1b]0;owned\x07");
        setup.serial = QStringLiteral("AB\r\n") + QChar(0x9B) + QStringLiteral("2J");
        SimServer server(setup, 0.0);
        const QString path = m_dir.filePath(QStringLiteral("hostile.sock"));
        QVERIFY(server.listen(path));
        server.withInstrument([](SimInstrument &i) {
            SimReports::Parameters p = i.node(1)->parameters();
            p.cutoffVoltage = std::nanf("");
            p.overCurrent = -std::numeric_limits<float>::infinity();
            p.fullCurrent = 3.4e38f;
            p.limitHours = 80;
            p.limitMinutes = 119;
            i.node(1)->setParameters(p);
        });
        auto run = [&](const QStringList &args, QString *out, QString *err) {
            FILE *o = std::tmpfile(), *e = std::tmpfile();
            int code;
            {
                CliRunner runner(o, e, false);
                code =
                    runner.run(QStringList{"usb-tester-cli", "--device", "socket:" + path} + args);
            }
            *out = readAll(o);
            *err = readAll(e);
            return code;
        };
        QString out, err;
        QCOMPARE(run({"read"}, &out, &err), 0);
        QVERIFY2(QRegularExpression("Cut-off voltage +--\n").match(out).hasMatch(),
                 qPrintable(out));
        QVERIFY(QRegularExpression("Over-current threshold +--\n").match(out).hasMatch());
        QVERIFY(QRegularExpression("Full-charge current +--\n").match(out).hasMatch());
        QVERIFY(QRegularExpression("Time limit +--\n").match(out).hasMatch());
        QVERIFY(QRegularExpression("Full-charge voltage +004\\.2 V").match(out).hasMatch());
        for (const char *never : {"nan", "inf", "e+38", "80:119"})
            QVERIFY2(!out.contains(QLatin1String(never)), never);
        QVERIFY(out.contains(QStringLiteral("V1?]0;owned?")));
        QCOMPARE(run({"--json", "read"}, &out, &err), 0);
        const QJsonObject o = QJsonDocument::fromJson(out.toUtf8()).object();
        for (const char *key :
             {"cutoff_v", "over_current_a", "full_current_a", "time_limit_h", "time_limit_min"})
            QVERIFY2(o.value(QLatin1String(key)).isNull(), key);
        QCOMPARE(o.value("full_voltage_v").toDouble(), 4.2);
        QCOMPARE(o.value("version").toString(), QStringLiteral("V1?]0;owned?"));
        QCOMPARE(run({"list"}, &out, &err), 0);
        QVERIFY2(out.contains(QStringLiteral("serial AB???2")),
                 qPrintable(out)); // the short serial
        for (const QString &text : {out, err})
            for (const QChar c : text)
                QVERIFY2(c == '\n' || (c.unicode() >= 0x20 && c.unicode() != 0x7F &&
                                       (c.unicode() < 0x80 || c.unicode() > 0x9F)),
                         qPrintable(QString::number(c.unicode(), 16)));
    }
    void durations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds"); // -1: refused
        QTest::newRow("seconds") << "90s" << qint64(90);
        QTest::newRow("hours and minutes") << "2h30m" << qint64(9000);
        QTest::newRow("all three") << "1h5m10s" << qint64(3910);
        QTest::newRow("plain seconds") << "45" << qint64(45);
        QTest::newRow("zero") << "0s" << qint64(-1);
        QTest::newRow("unknown unit") << "2x" << qint64(-1);
        QTest::newRow("wrong order") << "30m2h" << qint64(-1);
        QTest::newRow("negative") << "-5m" << qint64(-1);
    }
    void durations()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        qint64 got = -1;
        QString error;
        QCOMPARE(parseDuration(text, &got, &error), seconds >= 0);
        QCOMPARE(seconds >= 0 ? got : -1, seconds);
        QCOMPARE(ReadingFormat::durationText(3723), QStringLiteral("1h02m03s"));
    }
    void numbersAndOptions()
    {
        double v = 0;
        QString error;
        QVERIFY(parseNumber(QStringLiteral("-2"), &v, &error));
        QCOMPARE(v, -2.0);
        for (const char *bad : {"abc", "1.2.3", "", "inf", "nan", "1,5", "1e999", "0x10"})
            QVERIFY2(!parseNumber(QString::fromLatin1(bad), &v, &error), bad);
        // Shunt codes: 30 is the first size, 10 the last; 0 (no parameters yet) and 7 are none.
        QCOMPARE(shuntText(30) + shuntText(3) + shuntText(10), QString("30A300A1000A"));
        QCOMPARE(shuntText(0) + "," + shuntText(7), QString("code 0,code 7"));
        Global g;
        QVERIFY(parseGlobal(
            {"cli", "--json", "--address", "0x03", "--timeout", "2.5", "set", "value", "-1"}, &g,
            &error));
        QVERIFY(g.json);
        QCOMPARE(int(g.address), 3);
        QCOMPARE(g.timeoutMs, 2500);
        QCOMPARE(g.command, QStringLiteral("set"));
        QCOMPARE(g.args, (QStringList{"value", "-1"}));
        // Hexadecimal with 0x, decimal otherwise (a leading zero is no octal).
        for (auto [text, address] :
             {std::pair{"0x10", 16}, std::pair{"0X1f", 31}, std::pair{"10", 10},
              std::pair{"010", 10}, std::pair{"--address=0xff", 255}}) {
            const QString arg = QString::fromLatin1(text);
            const QStringList args = arg.startsWith("--")
                                         ? QStringList{"cli", arg, "read"}
                                         : QStringList{"cli", "--address", arg, "read"};
            QVERIFY2(parseGlobal(args, &g, &error), text);
            QCOMPARE(int(g.address), address);
        }
        for (const QStringList &bad : QList<QStringList>{{"cli"},
                                                         {"cli", "--address", "300", "read"},
                                                         {"cli", "--timeout", "0", "read"},
                                                         {"cli", "--verbose", "read"},
                                                         {"cli", "--address", "0x100", "read"},
                                                         {"cli", "--address", "0x", "read"}})
            QVERIFY2(!parseGlobal(bad, &g, &error), qPrintable(bad.join(' ')));
        // The tool's options may follow the command; the command's may not precede it.
        QVERIFY(parseGlobal(
            {"cli", "log", "run.csv", "--json", "--duration", "5m", "--timeout=1", "-2"}, &g,
            &error));
        QVERIFY(g.json);
        QCOMPARE(g.timeoutMs, 1000);
        QCOMPARE(g.command, QStringLiteral("log"));
        QCOMPARE(g.args, (QStringList{"run.csv", "--duration", "5m", "-2"}));
        QVERIFY(!parseGlobal({"cli", "--yes", "factory-reset"}, &g, &error));
        QCOMPARE(error, QStringLiteral("unknown option \"--yes\""));
        QVERIFY(!parseGlobal({"cli", "read", "--address"}, &g, &error));
        QCOMPARE(error, QStringLiteral("--address needs a value"));
    }
    void commandArguments()
    {
        const QStringList flags{"--until-stopped", "--always"};
        const QStringList values{"--duration", "--samples"};
        CommandArgs a;
        QString error;
        QVERIFY(parseCommandArgs(
            {"run.csv", "--duration", "90s", "--always", "-1.5", "--samples=3", "-"}, flags, values,
            &a, &error));
        QCOMPARE(a.positional, (QStringList{"run.csv", "-1.5", "-"}));
        QVERIFY(a.has("--always") && !a.has("--until-stopped"));
        QCOMPARE(a.value("--duration"), QStringLiteral("90s"));
        QCOMPARE(a.value("--samples"), QStringLiteral("3"));
        QVERIFY(!a.hasValue("--count"));
        // A value may look like an option or a negative number.
        QVERIFY(parseCommandArgs({"--duration", "-5", "--samples", "--always"}, flags, values, &a,
                                 &error));
        QCOMPARE(a.value("--duration"), QStringLiteral("-5"));
        QCOMPARE(a.value("--samples"), QStringLiteral("--always"));
        QVERIFY(a.positional.isEmpty() && !a.has("--always"));
        for (auto [args, message] :
             {std::pair{QStringList{"--count", "3"}, "unknown option \"--count\""},
              std::pair{QStringList{"x", "--always=1"}, "unknown option \"--always=1\""},
              std::pair{QStringList{"-x"}, "unknown option \"-x\""},
              std::pair{QStringList{"--"}, "unknown option \"--\""},
              std::pair{QStringList{"x", "--duration"}, "--duration needs a value"}}) {
            QVERIFY2(!parseCommandArgs(args, flags, values, &a, &error),
                     qPrintable(args.join(' ')));
            QCOMPARE(error, QString::fromLatin1(message));
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
