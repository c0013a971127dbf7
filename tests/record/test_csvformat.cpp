#include "csvformat.h"
#include "samplestore.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <ctime>
#include <limits>

namespace {

QString fixed(float v, int decimals)
{
    char buf[csv::MaxFixedLength + 8];
    char *end = csv::formatFixed(buf, v, decimals);
    return QString::fromLatin1(buf, int(end - buf));
}

float fromBits(quint32 bits)
{
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

} // namespace

class TestCsvFormat : public QObject
{
    Q_OBJECT
private slots:
    void fixedEqualsQtOnChosenValues_data()
    {
        QTest::addColumn<float>("value");
        const float values[] = {0.0f, -0.0f, 1.0f, -1.0f, 12.5f, 36.47f, 1500.0f, 0.01f, 0.8f,
                                // exact halves at 0, 1, 3 and 6 decimals
                                0.5f, 1.5f, 2.5f, -2.5f, 1500.5f, 0.25f, 0.75f, -0.25f, 0.0625f,
                                0.5625f, 1.0f / 64, 1.0f / 128, 3.0f / 1024, -0.0009765625f,
                                // negatives that round to zero keep their sign
                                -0.0001f, -0.0004f, -1e-7f, -1e-30f,
                                // tiny, subnormal, large, huge
                                1e-45f, 1.17549435e-38f, 4095.9995f, 65535.0f, 8388607.5f,
                                16777216.0f, 1e10f, 3.4e10f, 1e20f, 3.4e38f, -3.4e38f};
        for (float v : values)
            QTest::newRow(qPrintable(QString::number(double(v), 'g', 9))) << v;
    }
    void fixedEqualsQtOnChosenValues()
    {
        QFETCH(float, value);
        for (int d = 0; d <= 9; ++d)
            QCOMPARE(fixed(value, d), QString::number(double(value), 'f', d));
    }

    void fixedEqualsQtOnManyValues()
    {
        QRandomGenerator rng(20240305);
        const int decimals[] = {0, 1, 3, 6};
        int checked = 0;
        for (int i = 0; i < 200000; ++i) {
            float v;
            switch (i % 4) {
            case 0: // any finite float
                do {
                    v = fromBits(rng.generate());
                } while (!std::isfinite(v));
                break;
            case 1: // readings an instrument gives
                v = float(rng.generateDouble() * 400.0 - 100.0);
                break;
            case 2: // values on a 1/2^k grid, where halves of the last digit live
                v = float(int(rng.bounded(2000000)) - 1000000) / float(1 << rng.bounded(12));
                break;
            default: // whole numbers and their neighbours
                v = std::nextafter(float(rng.bounded(100000)), i % 8 == 3 ? 0.0f : 1e9f);
                break;
            }
            const int d = decimals[i % 4 == 3 ? rng.bounded(4) : (i / 4) % 4];
            const QString expected = QString::number(double(v), 'f', d);
            const QString got = fixed(v, d);
            if (got != expected)
                QFAIL(qPrintable(QString("%1 at %2 decimals: %3, expected %4")
                                     .arg(double(v), 0, 'g', 17)
                                     .arg(d)
                                     .arg(got, expected)));
            ++checked;
        }
        QCOMPARE(checked, 200000);
    }

    void fixedOfInfinityAndNan()
    {
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        for (float v : {inf, -inf, nan})
            QCOMPARE(fixed(v, 3), QString::number(double(v), 'f', 3));
    }

    void timeTextEqualsStoreText()
    {
        csv::TimeTextCache cache;
        const qint64 start = QDateTime(QDate(2024, 3, 5), QTime(23, 58, 30)).toMSecsSinceEpoch();
        QRandomGenerator rng(7);
        qint64 t = start;
        for (int i = 0; i < 20000; ++i) {
            // Mostly one a second, sometimes a gap or a step back in time.
            const int step = i % 97 == 0 ? -int(rng.bounded(120000)) : i % 89 == 0 ? 3600000 : 1000;
            t += step + int(rng.bounded(3)) - 1;
            QCOMPARE(QString::fromLatin1(cache.text(t)), SampleStore::timeText(t));
        }
        // Before 1970 the milliseconds still belong to the earlier second.
        for (qint64 ms : {qint64(-1), qint64(-500), qint64(-1000), qint64(-60001), qint64(0)})
            QCOMPARE(QString::fromLatin1(cache.text(ms)), SampleStore::timeText(ms));
    }

    void timeTextAcrossZoneChanges_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qint64>("startUtc");
        // Summer time starts, summer time ends, a 45-minute offset, and an
        // offset with seconds (no whole-minute shortcut possible).
        QTest::newRow("spring") << QByteArray("Europe/Berlin") << qint64(1711846800 - 900);
        QTest::newRow("autumn") << QByteArray("Europe/Berlin") << qint64(1729990800 - 900);
        QTest::newRow("quarter") << QByteArray("Asia/Kathmandu") << qint64(1700000000);
        QTest::newRow("seconds") << QByteArray("Africa/Monrovia") << qint64(60000000);
    }
    void timeTextAcrossZoneChanges()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, startUtc);
        if (!QFile::exists("/usr/share/zoneinfo/" + zone))
            QSKIP("zone data missing");
        const QByteArray oldTz = qgetenv("TZ");
        const bool hadTz = qEnvironmentVariableIsSet("TZ");
        qputenv("TZ", zone);
        tzset();
        csv::TimeTextCache cache;
        bool ok = true;
        QString failure;
        for (qint64 s = startUtc; s < startUtc + 1800 && ok; ++s) {
            const qint64 ms = s * 1000 + 250;
            const QString got = QString::fromLatin1(cache.text(ms));
            const QString expected = SampleStore::timeText(ms);
            if (got != expected) {
                ok = false;
                failure = got + " != " + expected;
            }
        }
        if (hadTz)
            qputenv("TZ", oldTz);
        else
            qunsetenv("TZ");
        tzset();
        QVERIFY2(ok, qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(TestCsvFormat)
#include "test_csvformat.moc"
