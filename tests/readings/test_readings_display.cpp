// The readings page and the settings pages as the instrument's reports leave
// them: the texts on screen, edits the user is in left alone, and the
// parameter mirror of both families.
#include "readingsrig.h"
#include "settingsmirror.h"

#include <QComboBox>
#include <QSlider>

using SimReports::Parameters;
using SimReports::Readings;

class TestReadingsDisplay : public QObject
{
    Q_OBJECT

private slots:
    void readingsAsThePageShowsThem()
    {
        ReadingsRig rig;
        Readings r;
        r.voltage = 12.345;
        r.current = -1.5;
        r.power = 18.5;
        r.resistance = 8.23;
        r.energy = 2.5;
        r.capacity = 0;
        r.cpuTemp = 25.3;
        r.ntcTemp = -31.0;
        r.mosTemp = 41.2;
        r.fan = 1200;
        rig.measurement(r);
        QCOMPARE(rig.label("disp_label_VOL"), QStringLiteral("0012.35"));
        QCOMPARE(rig.label("disp_label_CUR"), QStringLiteral("-01.500"));
        QCOMPARE(rig.label("disp_label_POW"), QStringLiteral("0018.50"));
        QCOMPARE(rig.label("disp_label_RES"), QStringLiteral("0008.23"));
        QCOMPARE(rig.label("disp_label_ELE"), QStringLiteral("00002.5"));
        QCOMPARE(rig.label("disp_label_CAP"), QStringLiteral("000000"));
        QCOMPARE(rig.label("disp_label_CPU_VALUE"), QStringLiteral("25.3"));
        QCOMPARE(rig.label("disp_label_NTC_VALUE"), QStringLiteral("--.-"));
        QCOMPARE(rig.label("disp_label_FANT_VALUE"), QStringLiteral("41.2"));
        QCOMPARE(rig.label("disp_label_FANS_VALUE"), QStringLiteral("1200"));
        // The load's settings page shows the same texts; the tester's stays.
        QCOMPARE(rig.label("settings_lab_voltvalue"), QStringLiteral("0012.35"));
        QCOMPARE(rig.label("settings_lab_currvalue"), QStringLiteral("-01.500"));
        QCOMPARE(rig.label("settings_lab_tempvalue"), QStringLiteral("--.-"));
        QCOMPARE(rig.label("RX41_settings_lab_voltvalue"), QStringLiteral("none"));

        r.ntcTemp = -30.0;
        r.capacity = 1234;
        rig.measurement(r);
        QCOMPARE(rig.label("disp_label_NTC_VALUE"), QStringLiteral("-30.0"));
        QCOMPARE(rig.label("disp_label_CAP"), QStringLiteral("001234"));
        QVERIFY(rig.instrument.written.isEmpty());
    }

    void testerLiveValues()
    {
        ReadingsRig rig(4);
        Readings r;
        r.voltage = 20.01;
        r.current = 3.25;
        r.ntcTemp = 36.6;
        rig.measurement(r);
        QCOMPARE(rig.label("RX41_settings_lab_voltvalue"), QStringLiteral("0020.01"));
        QCOMPARE(rig.label("RX41_settings_lab_currvalue"), QStringLiteral("003.250"));
        QCOMPARE(rig.label("RX41_settings_lab_tempvalue"), QStringLiteral("36.6"));
    }

    void editsFollowTheInstrumentExceptWhileTyped()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        Parameters p;
        p.setValue = 1.5f;
        p.cutoffVoltage = 3.2f;
        p.fullVoltage = 4.2f;
        p.fullCurrent = 0.1f;
        p.limitHours = 2;
        p.limitMinutes = 5;
        rig.parameters(p);
        QCOMPARE(rig.edit("lineEdit_value"), QStringLiteral("01.5000"));
        QCOMPARE(rig.edit("lineEdit_value_zero_v"), QStringLiteral("003.2"));
        QCOMPARE(rig.edit("lineEdit_value_full_v"), QStringLiteral("004.2"));
        QCOMPARE(rig.edit("lineEdit_value_full_a"), QStringLiteral("00.10"));
        QCOMPARE(rig.edit("lineEdit_value_lilitime_h"), QStringLiteral("02"));
        QCOMPARE(rig.edit("lineEdit_value_limitime_m"), QStringLiteral("05"));

        auto *value = rig.w<QLineEdit>("lineEdit_value");
        value->setFocus();
        QVERIFY(value->hasFocus());
        value->setText(QStringLiteral("2.7"));
        p.setValue = 2.0f;
        p.limitHours = 3;
        rig.parameters(p);
        QCOMPARE(value->text(), QStringLiteral("2.7"));
        QCOMPARE(rig.edit("lineEdit_value_lilitime_h"), QStringLiteral("03"));

        // The focus leaves without Return: nothing is sent, the next report writes.
        rig.w<QLineEdit>("lineEdit_value_zero_v")->setFocus();
        QVERIFY(!value->hasFocus());
        rig.parameters(p);
        QCOMPARE(value->text(), QStringLiteral("02.0000"));
        QVERIFY(rig.instrument.written.isEmpty());
    }

    void workModeTitles_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<QString>("dispTitle");
        QTest::addColumn<QString>("sixTitle");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("setValue");
        const QString keep = QStringLiteral("<kept>");
        QTest::newRow("0 load") << 0 << 1 << "恒电流模式" << keep << "Is:"
                                << "A"
                                << "12.3457";
        QTest::newRow("0 tester") << 0 << 4 << "数据图表展示" << keep << "Is:"
                                  << "A"
                                  << "12.3457";
        QTest::newRow("0 unknown") << 0 << 0 << keep << keep << "Is:"
                                   << "A"
                                   << "12.3457";
        QTest::newRow("1") << 1 << 1 << "恒电压模式" << keep << "Vs:"
                           << "V"
                           << "012.35";
        QTest::newRow("2") << 2 << 1 << "恒电阻模式" << keep << "Rs:"
                           << "Ω"
                           << "0012.35";
        QTest::newRow("3") << 3 << 1 << "恒功率模式" << keep << "Ps:"
                           << "W"
                           << "0012.3";
        QTest::newRow("4") << 4 << 1 << keep << "测内阻"
                           << "Is:"
                           << "A"
                           << "12.3457";
        QTest::newRow("7") << 7 << 1 << "充放充" << keep << "Is:"
                           << "A"
                           << "12.3457";
        QTest::newRow("8") << 8 << 1 << "充放充放充" << keep << "Is:"
                           << "A"
                           << "12.3457";
        QTest::newRow("9") << 9 << 1 << keep << "充放电循环测试" << keep << keep << "12.3457";
        QTest::newRow("10") << 10 << 1 << keep << keep << keep << keep << "";
    }
    void workModeTitles()
    {
        QFETCH(int, mode);
        QFETCH(int, deviceClass);
        ReadingsRig rig{quint8(deviceClass)};
        const QString keep = QStringLiteral("<kept>");
        for (const char *name : {"disp_labTitle", "six_labTitle", "label_cons", "label_unit"})
            rig.w<QLabel>(name)->setText(keep);
        Parameters p;
        p.workMode = quint8(mode);
        p.setValue = 12.34567f;
        rig.parameters(p);
        QTEST(rig.label("disp_labTitle"), "dispTitle");
        QTEST(rig.label("six_labTitle"), "sixTitle");
        QTEST(rig.label("label_cons"), "caption");
        QTEST(rig.label("label_unit"), "unit");
        QTEST(rig.edit("lineEdit_value"), "setValue");
    }

    void loadSettingsMirror()
    {
        ReadingsRig rig;
        Parameters p;
        p.displayStyle = 3;
        p.workBrightness = 7;
        p.standbyBrightness = 2;
        p.standbyTime = 30;
        p.voltCalibration = 1.0234f;
        p.currCalibration = 1.234f;
        p.tempCalibration = 0.9996f;
        p.cutoffVoltage = 3.0f;
        p.fullVoltage = 4.2f;
        p.fullCurrent = 0.05f;
        p.overCurrent = 20.5f;
        p.overPower = 150.0f;
        p.ntcOverTemp = 80.0f;
        p.mosOverTemp = 100.0f;
        p.limitHours = 1;
        p.limitMinutes = 30;
        rig.parameters(p);

        const char *styles[] = {"settings_btn_CN1", "settings_btn_CN2", "settings_btn_EN1",
                                "settings_btn_EN2"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.w<QPushButton>(styles[i])->styleSheet(),
                     i == 2 ? SettingsMirror::selectedStyle() : SettingsMirror::normalStyle());
        QCOMPARE(rig.w<QSlider>("settings_slider_worklight")->value(), 7);
        QCOMPARE(rig.label("settings_label_worklight"), QStringLiteral("7"));
        QCOMPARE(rig.w<QSlider>("settings_slider_standlight")->value(), 2);
        QCOMPARE(rig.label("settings_label_standlight"), QStringLiteral("2"));
        QCOMPARE(rig.w<QSlider>("settings_slider_standtime")->value(), 30);
        QCOMPARE(rig.label("settings_label_standtime"), QStringLiteral("30"));
        QCOMPARE(rig.w<QSlider>("settings_slider_voltcali")->value(), 1023);
        QCOMPARE(rig.label("settings_lab_califact_voltvalue"), QStringLiteral("1.023"));
        // 1.234 is 1.2339999 in single precision: the nearest step, not the one below.
        QCOMPARE(rig.w<QSlider>("settings_slider_currcali")->value(), 1234);
        QCOMPARE(rig.label("settings_lab_califact_currvalue"), QStringLiteral("1.234"));
        QCOMPARE(rig.w<QSlider>("settings_slider_tempcali")->value(), 1000);
        QCOMPARE(rig.label("settings_lab_califact_tempvalue"), QStringLiteral("1.000"));
        QCOMPARE(rig.edit("settings_edit_voltzero"), QStringLiteral("003.0"));
        QCOMPARE(rig.edit("settings_edit_voltfull"), QStringLiteral("004.2"));
        QCOMPARE(rig.edit("settings_edit_currfull"), QStringLiteral("00.05"));
        QCOMPARE(rig.edit("settings_edit_currover"), QStringLiteral("20.50"));
        QCOMPARE(rig.edit("settings_edit_poweover"), QStringLiteral("0150"));
        QCOMPARE(rig.edit("settings_edit_ntcover"), QStringLiteral("080"));
        QCOMPARE(rig.edit("settings_edit_mosover"), QStringLiteral("100"));
        QCOMPARE(rig.edit("settings_edit_timeh"), QStringLiteral("01"));
        QCOMPARE(rig.edit("settings_edit_timem"), QStringLiteral("30"));
        // The tester's page is not the load's.
        QCOMPARE(rig.w<QSlider>("RX41_settings_slider_worklight")->value(), 1);

        // A style outside 1..4 leaves the looks; the flag is consumed once.
        p.displayStyle = 9;
        p.workBrightness = 3;
        rig.parameters(p);
        QCOMPARE(rig.w<QPushButton>("settings_btn_EN1")->styleSheet(),
                 SettingsMirror::selectedStyle());
        rig.w<QSlider>("settings_slider_worklight")->setValue(9);
        QMetaObject::invokeMethod(&rig.dialog, "updateDisplay");
        QCOMPARE(rig.w<QSlider>("settings_slider_worklight")->value(), 9);
        QVERIFY(rig.instrument.written.isEmpty());
    }

    void testerSettingsMirror_data()
    {
        QTest::addColumn<int>("byte53");
        QTest::addColumn<QString>("shunt");
        QTest::newRow("10 is 1000A") << 10 << "1000A";
        QTest::newRow("3 is 300A") << 3 << "300A";
        QTest::newRow("30 is 30A") << 30 << "30A";
        // No item stands for these: the box keeps what it showed.
        QTest::newRow("0 keeps") << 0 << "200A";
        QTest::newRow("7 keeps") << 7 << "200A";
        QTest::newRow("99 keeps") << 99 << "200A";
    }
    void testerSettingsMirror()
    {
        QFETCH(int, byte53);
        ReadingsRig rig(4);
        auto *combo = rig.w<QComboBox>("RX41_setting_comboBox");
        combo->setCurrentIndex(2);
        Parameters p;
        p.displayStyle = 2;
        p.workBrightness = 4;
        p.standbyBrightness = 0;
        p.standbyTime = 15;
        p.voltCalibration = 1.0234f;
        p.cutoffVoltage = 4.5f;
        p.fullVoltage = 21.0f;
        p.overPower = 65.0f;
        p.ntcOverTemp = 70.0f;
        QByteArray report = SimReports::parameters(ReadingsRig::Address, p, true);
        report[53] = char(byte53);
        rig.feed(report);
        QTEST(combo->currentText(), "shunt");
        QCOMPARE(rig.w<QPushButton>("RX41_settings_btn_EN")->styleSheet(),
                 SettingsMirror::selectedStyle());
        QCOMPARE(rig.w<QPushButton>("RX41_settings_btn_CN")->styleSheet(),
                 SettingsMirror::normalStyle());
        QCOMPARE(rig.w<QSlider>("RX41_settings_slider_worklight")->value(), 4);
        QCOMPARE(rig.w<QSlider>("RX41_settings_slider_standlight")->value(), 0);
        QCOMPARE(rig.label("RX41_settings_label_standlight"), QStringLiteral("0"));
        QCOMPARE(rig.w<QSlider>("RX41_settings_slider_standtime")->value(), 15);
        QCOMPARE(rig.w<QSlider>("RX41_settings_slider_voltcali")->value(), 1023);
        QCOMPARE(rig.label("RX41_settings_lab_califact_voltvalue"), QStringLiteral("1.023"));
        QCOMPARE(rig.edit("RX41_settings_edit_lowvolt"), QStringLiteral("004.5"));
        QCOMPARE(rig.edit("RX41_settings_edit_overvolt"), QStringLiteral("021.0"));
        QCOMPARE(rig.edit("RX41_settings_edit_overpower"), QStringLiteral("0065"));
        QCOMPARE(rig.edit("RX41_settings_edit_ntcover"), QStringLiteral("070"));
        // Nothing of this goes back to the instrument.
        QVERIFY(rig.instrument.written.isEmpty());
        // The load's page is not the tester's.
        QCOMPARE(rig.w<QSlider>("settings_slider_voltcali")->value(), 1000);
    }

    void noFamilyNoMirror()
    {
        ReadingsRig rig(0);
        Parameters p;
        p.workBrightness = 8;
        rig.parameters(p);
        QCOMPARE(rig.w<QSlider>("settings_slider_worklight")->value(), 1);
        QCOMPARE(rig.w<QSlider>("RX41_settings_slider_worklight")->value(), 1);
        QVERIFY(!rig.dialog.instrumentState().parametersArrived);
    }
};

QTEST_MAIN(TestReadingsDisplay)
#include "test_readings_display.moc"
