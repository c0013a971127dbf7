// The tool's runner in-process: firmware upgrades against a simulated
// bootloader with faults switched from here, and the CSV log writer.
#include "clirunner.h"
#include "csvlogwriter.h"
#include "hidbackend.h"
#include "savedatadeal.h"
#include "simbootloader.h"
#include "simserver.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cstdio>

namespace {

struct Result
{
    int code = -1;
    QString out;
    QString err;
};

QString readAll(FILE *f)
{
    std::fflush(f);
    std::rewind(f);
    QByteArray bytes;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, int(n));
    return QString::fromUtf8(bytes);
}

Result runCli(const QStringList &args)
{
    FILE *out = std::tmpfile();
    FILE *err = std::tmpfile();
    Result r;
    {
        CliRunner runner(out, err, false);
        r.code = runner.run(QStringList{QStringLiteral("usb-tester-cli")} + args);
    }
    r.out = readAll(out);
    r.err = readAll(err);
    std::fclose(out);
    std::fclose(err);
    return r;
}

QByteArray image(int size)
{
    QByteArray data(size, '\0');
    for (int i = 0; i < size; ++i)
        data[i] = char((i * 7 + 3) & 0xFF);
    return data;
}

} // namespace

class TestCliInProcess : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    }

    void flashSucceeds()
    {
        const QByteArray firmware = image(58 * 20 + 17);
        const QString file = writeImage(QStringLiteral("good.bin"), firmware);
        SimBootloader boot;
        boot.setBurnTimeMs(200);
        SimServer server;
        const QString path = m_dir.filePath(QStringLiteral("flash-ok.sock"));
        QVERIFY(server.listen(path));
        server.setUpgradeTarget(&boot);
        const Result r = runCli({"--device", "socket:" + path, "--json", "flash", file});
        server.setUpgradeTarget(nullptr);
        server.close();
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QVERIFY(boot.burned());
        QCOMPARE(boot.image(), firmware);
        const QJsonObject o = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(o.value("event").toString(), QStringLiteral("flash-end"));
        QCOMPARE(o.value("ok").toBool(), true);
        QCOMPARE(o.value("bytes").toInt(), firmware.size());
    }

    void flashFailureIsReported()
    {
        const QString file = writeImage(QStringLiteral("fails.bin"), image(58 * 10));
        SimBootloader boot;
        boot.setFault(SimBootloader::Fault::FailReply, 4);
        SimServer server;
        const QString path = m_dir.filePath(QStringLiteral("flash-fail.sock"));
        QVERIFY(server.listen(path));
        server.setUpgradeTarget(&boot);
        const Result r = runCli({"--device", "socket:" + path, "flash", file});
        server.setUpgradeTarget(nullptr);
        server.close();
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(QLatin1String("reported the upgrade failed")), qPrintable(r.err));
        QVERIFY(!boot.burned());
    }

    void badImagesAreRefusedBeforeConnecting()
    {
        const QString empty = writeImage(QStringLiteral("empty.bin"), QByteArray());
        Result r = runCli({"--device", "socket:/nonexistent", "flash", empty});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QLatin1String("is empty")));
        const QString big = writeImage(QStringLiteral("big.bin"), QByteArray(1024001, 'x'));
        r = runCli({"--device", "socket:/nonexistent", "flash", big});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains(QLatin1String("too large")));
        r = runCli({"--device", "socket:/nonexistent", "flash", m_dir.filePath("missing.bin")});
        QCOMPARE(r.code, 2);
    }

    void simulatedInstrumentInProcess()
    {
        const Result r = runCli({"--simulate=RX41", "read"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(QLatin1String("RX41 V1.0.0 at bus address 1, power tester")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QRegularExpression(QStringLiteral("Shunt size +30A"))));
    }

    void logWriterMatchesTheExport()
    {
        const QString logged = m_dir.filePath(QStringLiteral("logged.csv"));
        const QString exported = m_dir.filePath(QStringLiteral("exported.csv"));
        const qint64 t0 = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)).toMSecsSinceEpoch();
        SampleStore store;
        {
            CsvLogWriter writer(logged, 1);
            QVERIFY(writer.open());
            for (int i = 0; i < 3; ++i) {
                const SampleStore::Values v = {12.5f - i, 1.0f,  12.5f,   12.5f,  0.01f * i,
                                               0.8f,      27.0f, 1500.0f, 36.47f, 25.0f};
                store.append(t0 + i * 1000, v);
                QVERIFY(writer.append(t0 + i * 1000, v));
                // Each row is on disk before the next is taken.
                QFile f(logged);
                QVERIFY(f.open(QIODevice::ReadOnly));
                QCOMPARE(f.readAll().count('\n'), 4 + i + 1);
            }
            QCOMPARE(writer.rows(), qint64(3));
            QVERIFY(writer.close());
        }
        saveDataDeal exporter;
        QVERIFY(exporter.writeCsv(store, exported, 1));
        QFile a(logged), b(exported);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray bytes = a.readAll();
        QCOMPARE(bytes, b.readAll());
        QVERIFY(bytes.contains("2024-03-05_14:07:09,12.500000,1.000000,12.500000,12.500,0.000,"
                               "0.800,25.000,36.5,27.000,1500\n"));

        // A second log continues the file below the rows already there.
        CsvLogWriter again(logged, 1);
        QVERIFY(again.open());
        QVERIFY(again.append(t0 + 5000, store.valuesAt(0)));
        QVERIFY(again.close());
        a.close();
        QVERIFY(a.open(QIODevice::ReadOnly));
        const QByteArray after = a.readAll();
        QCOMPARE(after.count("DATE,"), 1);
        QCOMPARE(after.count('\n'), 4 + 4);
        QVERIFY(!again.append(t0, store.valuesAt(0)));

        CsvLogWriter nowhere(m_dir.filePath(QStringLiteral("no/such/dir.csv")), 1);
        QVERIFY(!nowhere.open());
        QVERIFY(!nowhere.errorString().isEmpty());
    }

private:
    QString writeImage(const QString &name, const QByteArray &data)
    {
        const QString file = m_dir.filePath(name);
        QFile f(file);
        if (f.open(QIODevice::WriteOnly))
            f.write(data);
        return file;
    }

    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestCliInProcess)
#include "test_cli_inprocess.moc"
