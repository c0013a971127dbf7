#include "readingformat.h"
#include "readingsview.h"

#include <QtTest>

namespace F = ReadingFormat;

class TestReadingFormat : public QObject
{
    Q_OBJECT
private slots:
    void texts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("voltage rounds to 2 decimals") << F::voltage(12.345f) << "0012.35";
        QTest::newRow("negative current keeps sign before zeros") << F::current(-1.5f) << "-01.500";
        QTest::newRow("energy one decimal") << F::energy(1.26f) << "00001.3";
        QTest::newRow("cpu negative") << F::cpuTemperature(-5.0f) << "-5.0";
        QTest::newRow("too wide stays whole") << F::voltage(123456.0f) << "123456.00";
        QTest::newRow("probe below -30 absent") << F::ntcTemperature(-31.0f) << "--.-";
        QTest::newRow("probe at -30") << F::ntcTemperature(-30.0f) << "-30.0";
        QTest::newRow("full voltage") << F::fullVoltage(4.2f) << "004.2";
        QTest::newRow("over power") << F::overPower(150.0f) << "0150";
        QTest::newRow("calibration") << F::calibrationFactor(1.0234f) << "1.023";
        QTest::newRow("set current") << F::setValue(0, 1.5f) << "01.5000";
        QTest::newRow("set voltage") << F::setValue(1, 12.0f) << "012.00";
        QTest::newRow("set, unknown mode") << F::setValue(10, 2.0f) << "";
    }
    void texts()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    void calibrationSliderRounds()
    {
        QCOMPARE(F::calibrationSliderValue(1.0234f), 1023);
        QCOMPARE(F::calibrationSliderValue(1.0f), 1000);
    }

    void workModeTitles()
    {
        using T = F::TitleTarget;
        const F::WorkMode cc = F::workMode(0, 1);
        QCOMPARE(cc.titleTarget, T::DisplayTitle);
        QCOMPARE(ReadingsView::modeTitle(0, 1) + cc.caption + cc.unit,
                 QStringLiteral("恒电流模式Is:A"));
        QCOMPARE(F::workMode(0, 0).titleTarget, T::None); // unknown family: caption and unit only
        QVERIFY(F::workMode(0, 0).captionChanges);
        QCOMPARE(ReadingsView::modeTitle(2, 1) + F::workMode(2, 1).caption + F::workMode(2, 1).unit,
                 QStringLiteral("恒电阻模式Rs:Ω"));
        QCOMPARE(F::workMode(4, 1).titleTarget, T::SixTitle); // test functions: their page's title
        QCOMPARE(ReadingsView::modeTitle(4, 1), QStringLiteral("测内阻"));
        QVERIFY(!F::workMode(9, 1).captionChanges);
        QVERIFY(!F::workMode(10, 1).known);
    }
};

QTEST_GUILESS_MAIN(TestReadingFormat)
#include "test_readingformat.moc"
