#include "readingformat.h"

#include <QtTest>

namespace F = ReadingFormat;

class TestReadingFormat : public QObject
{
    Q_OBJECT
private slots:
    void readings_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("voltage rounds to 2 decimals") << F::voltage(12.345f) << "0012.35";
        QTest::newRow("voltage small") << F::voltage(5.1f) << "0005.10";
        QTest::newRow("current") << F::current(1.5f) << "001.500";
        QTest::newRow("negative current keeps sign before zeros") << F::current(-1.5f) << "-01.500";
        QTest::newRow("power") << F::power(7.25f) << "0007.25";
        QTest::newRow("resistance") << F::resistance(348.33f) << "0348.33";
        QTest::newRow("energy one decimal") << F::energy(1.26f) << "00001.3";
        QTest::newRow("capacity zero") << F::capacity(0.0f) << "000000";
        QTest::newRow("capacity") << F::capacity(1234.0f) << "001234";
        QTest::newRow("cpu") << F::cpuTemperature(25.3f) << "25.3";
        QTest::newRow("cpu negative") << F::cpuTemperature(-5.0f) << "-5.0";
        QTest::newRow("mos") << F::mosTemperature(7.0f) << "07.0";
        QTest::newRow("fan") << F::fanSpeed(1500.0f) << "1500";
        QTest::newRow("fan small") << F::fanSpeed(0.0f) << "0000";
        QTest::newRow("too wide stays whole") << F::voltage(123456.0f) << "123456.00";
    }
    void readings()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void negativeFitsItsField()
    {
        QCOMPARE(F::current(-1.5f).size(), 7);
        QVERIFY(F::current(-1.5f).startsWith(QLatin1Char('-')));
    }

    void probeBelowMinus30IsAbsent()
    {
        QCOMPARE(F::ntcTemperature(-31.0f), QStringLiteral("--.-"));
        QCOMPARE(F::ntcTemperature(-30.0f), QStringLiteral("-30.0"));
        QCOMPARE(F::ntcTemperature(25.04f), QStringLiteral("25.0"));
    }

    void parameters()
    {
        QCOMPARE(F::fullCurrent(0.1f), QStringLiteral("00.10"));
        QCOMPARE(F::fullVoltage(4.2f), QStringLiteral("004.2"));
        QCOMPARE(F::cutoffVoltage(3.0f), QStringLiteral("003.0"));
        QCOMPARE(F::overCurrent(20.0f), QStringLiteral("20.00"));
        QCOMPARE(F::overPower(150.0f), QStringLiteral("0150"));
        QCOMPARE(F::ntcOverTemperature(80.0f), QStringLiteral("080"));
        QCOMPARE(F::mosOverTemperature(100.0f), QStringLiteral("100"));
        QCOMPARE(F::twoDigits(5), QStringLiteral("05"));
        QCOMPARE(F::twoDigits(30), QStringLiteral("30"));
        QCOMPARE(F::calibrationFactor(1.0234f), QStringLiteral("1.023"));
        QCOMPARE(F::calibrationSliderValue(1.0234f), 1023);
        QCOMPARE(F::calibrationSliderValue(1.0f), 1000);
    }

    void setValueByMode()
    {
        QCOMPARE(F::setValue(0, 1.5f), QStringLiteral("01.5000"));
        QCOMPARE(F::setValue(1, 12.0f), QStringLiteral("012.00"));
        QCOMPARE(F::setValue(2, 8.2f), QStringLiteral("0008.20"));
        QCOMPARE(F::setValue(3, 25.0f), QStringLiteral("0025.0"));
        QCOMPARE(F::setValue(9, 2.0f), QStringLiteral("02.0000"));
        QCOMPARE(F::setValue(10, 2.0f), QString());
    }

    void workModeTitles()
    {
        using T = F::TitleTarget;
        F::WorkMode m = F::workMode(0, 1);
        QCOMPARE(m.titleTarget, T::DisplayTitle);
        QCOMPARE(m.title, QStringLiteral("恒电流模式"));
        QCOMPARE(m.caption, QStringLiteral("Is:"));
        QCOMPARE(m.unit, QStringLiteral("A"));
        QCOMPARE(F::workMode(0, 4).title, QStringLiteral("数据图表展示"));
        // An unknown family keeps the title but still gets caption and unit.
        m = F::workMode(0, 0);
        QCOMPARE(m.titleTarget, T::None);
        QVERIFY(m.captionChanges);
        m = F::workMode(2, 1);
        QCOMPARE(m.title, QStringLiteral("恒电阻模式"));
        QCOMPARE(m.caption, QStringLiteral("Rs:"));
        QCOMPARE(m.unit, QStringLiteral("Ω"));
        m = F::workMode(3, 1);
        QCOMPARE(m.caption, QStringLiteral("Ps:"));
        QCOMPARE(m.unit, QStringLiteral("W"));
        // Test functions go to the test-function page's title.
        m = F::workMode(4, 1);
        QCOMPARE(m.titleTarget, T::SixTitle);
        QCOMPARE(m.title, QStringLiteral("测内阻"));
        QCOMPARE(F::workMode(8, 1).title, QStringLiteral("充放充放充"));
        QCOMPARE(F::workMode(8, 1).titleTarget, T::DisplayTitle);
        m = F::workMode(9, 1);
        QCOMPARE(m.titleTarget, T::SixTitle);
        QVERIFY(!m.captionChanges);
        m = F::workMode(10, 1);
        QVERIFY(!m.known);
        QCOMPARE(m.titleTarget, T::None);
    }
};

QTEST_GUILESS_MAIN(TestReadingFormat)
#include "test_readingformat.moc"
