#include "commandframe.h"

#include <QtTest>

using namespace CommandFrame;

class TestCommandFrame : public QObject
{
    Q_OBJECT
private slots:
    void workedFrames_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("start") << withLeadByte(1, RunStop, 1) << QByteArray("5505012501000000eeff");
        QTest::newRow("set 1.5") << withFloat(1, SetValue, 1.5f)
                                 << QByteArray("550501213fc00000eeff");
        QTest::newRow("12.0") << withFloat(1, SetValue, 12.0f)
                              << QByteArray("5505012141400000eeff");
        QTest::newRow("-1.0") << withFloat(1, SetValue, -1.0f)
                              << QByteArray("55050121bf800000eeff");
        QTest::newRow("0.0") << withFloat(1, SetValue, 0.0f) << QByteArray("5505012100000000eeff");
        QTest::newRow("2 hours") << withTime(1, 2, Hours) << QByteArray("5505013102000001eeff");
        QTest::newRow("300 min") << withTime(1, 300, Minutes) << QByteArray("550501312c000002eeff");
        QTest::newRow("probe 3") << scanProbe(3) << QByteArray("5505030400000000eeff");
        QTest::newRow("poll odd") << measurementPoll(1) << QByteArray("550501050b008ceeff");
        QTest::newRow("poll even") << parameterPoll(1) << QByteArray("550501030b008ceeff");
        QTest::newRow("settings read")
            << parameterRequest(1) << QByteArray("550501030000 00eeff").replace(" ", "");
        QTest::newRow("download") << firmwareDownloadRequest()
                                  << QByteArray("550509020000 00eeff").replace(" ", "");
        QTest::newRow("address 0") << plain(0, PageHome) << QByteArray("5505004500000000eeff");
        QTest::newRow("shunt low byte")
            << withLowByte(2, ShuntSize, 7) << QByteArray("5505023600000007eeff");
    }
    void workedFrames()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, hex);
        QCOMPARE(frame.toHex(), hex);
    }

    void reportIsFrameThenZeros()
    {
        for (const QByteArray &frame : {measurementPoll(1), withFloat(1, SetValue, 3.0f)}) {
            const QByteArray report = toReport(frame);
            QCOMPARE(report.size(), 64);
            QCOMPARE(report.left(frame.size()), frame);
            QCOMPARE(report.mid(frame.size()), QByteArray(64 - frame.size(), '\0'));
        }
        QCOMPARE(toReport(QByteArray(80, 'x')).size(), 64);
    }
};

QTEST_GUILESS_MAIN(TestCommandFrame)
#include "test_commandframe.moc"
