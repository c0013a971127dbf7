// The readings and settings pages on a fake instrument: what its reports put on
// screen, and what the user's edits, buttons and sliders put on the wire.
#include "cdpoptips.h"
#include "readingsrig.h"
#include "settingsmirror.h"

#include <QComboBox>
#include <QSlider>
#include <cmath>
#include <limits>

using SimReports::Parameters;
using SimReports::Readings;

class TestReadings : public QObject
{
    Q_OBJECT

private slots:
    void readingsAsThePageShowsThem()
    {
        ReadingsRig rig;
        Readings r;
        r.voltage = 12.345;
        r.current = -1.5;
        r.ntcTemp = -31.0;
        rig.measurement(r);
        QCOMPARE(rig.label("disp_label_VOL"), QStringLiteral("0012.35"));
        QCOMPARE(rig.label("disp_label_CUR"), QStringLiteral("-01.500"));
        QCOMPARE(rig.label("disp_label_CAP"), QStringLiteral("000000"));
        QCOMPARE(rig.label("disp_label_NTC_VALUE"), QStringLiteral("--.-"));
        r.ntcTemp = -30.0;
        rig.measurement(r);
        QCOMPARE(rig.label("disp_label_NTC_VALUE"), QStringLiteral("-30.0"));
        QVERIFY(rig.instrument.written.isEmpty());
    }

    void editWithTheFocusIsNotOverwritten()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        Parameters p;
        p.setValue = 1.5f;
        rig.parameters(p);
        QCOMPARE(rig.edit("lineEdit_value"), QStringLiteral("01.5000"));
        auto *value = rig.w<QLineEdit>("lineEdit_value");
        value->setFocus();
        value->setText(QStringLiteral("2.7"));
        p.setValue = 2.0f;
        p.limitHours = 3;
        rig.parameters(p);
        QCOMPARE(value->text(), QStringLiteral("2.7"));
        QCOMPARE(rig.edit("lineEdit_value_lilitime_h"), QStringLiteral("03"));
        // The focus leaves without Return: nothing is sent, the next report writes.
        rig.w<QLineEdit>("lineEdit_value_zero_v")->setFocus();
        rig.parameters(p);
        QCOMPARE(value->text(), QStringLiteral("02.0000"));
        QVERIFY(rig.instrument.written.isEmpty());
    }

    void reportFillsTheSettingsSilently()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageSettings));
        rig.w<QLabel>("disp_labTitle")->setText(QStringLiteral("<kept>"));
        auto *light = rig.w<QSlider>("settings_slider_worklight");
        pointAt(light); // the instrument's values do not go back to it even so
        Parameters p;
        p.workMode = 4;
        p.displayStyle = 3;
        p.workBrightness = 7;
        p.voltCalibration = 1.0234f;
        p.currCalibration = 1.234f; // 1.2339999 in single precision: the nearest step
        rig.parameters(p);
        QCOMPARE(rig.label("six_labTitle"), QStringLiteral("测内阻"));
        QCOMPARE(rig.label("disp_labTitle"), QStringLiteral("<kept>"));
        const char *styles[] = {"settings_btn_CN1", "settings_btn_CN2", "settings_btn_EN1",
                                "settings_btn_EN2"};
        for (int i = 0; i < 4; ++i)
            QCOMPARE(rig.w<QPushButton>(styles[i])->styleSheet(),
                     i == 2 ? SettingsMirror::selectedStyle() : SettingsMirror::normalStyle());
        QCOMPARE(light->value(), 7);
        QCOMPARE(rig.w<QSlider>("settings_slider_voltcali")->value(), 1023);
        QCOMPARE(rig.label("settings_lab_califact_voltvalue"), QStringLiteral("1.023"));
        QCOMPARE(rig.w<QSlider>("settings_slider_currcali")->value(), 1234);
        QCOMPARE(rig.label("settings_lab_califact_currvalue"), QStringLiteral("1.234"));
        QVERIFY(rig.instrument.written.isEmpty());

        ReadingsRig tester(4);
        auto *combo = tester.w<QComboBox>("RX41_setting_comboBox");
        for (auto [byte53, shunt] : {std::pair{10, "1000A"}, std::pair{3, "300A"}}) {
            QByteArray report = SimReports::parameters(ReadingsRig::Address, p, true);
            report[53] = char(byte53);
            tester.feed(report);
            QCOMPARE(combo->currentText(), QLatin1String(shunt));
        }
        QVERIFY(tester.instrument.written.isEmpty());
    }

    void editsOnTheWire()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        rig.type("lineEdit_value", QStringLiteral("1.5"));
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{frame(0x21, 0x3F, 0xC0, 0x00, 0x00)});
        // Moving on sends nothing more.
        rig.w<QLineEdit>("lineEdit_value_zero_v")->setFocus();
        rig.w<QLineEdit>("lineEdit_value")->setFocus();
        rig.w<QLineEdit>("lineEdit_value_full_v")->setFocus();
        QVERIFY(rig.takeWritten().isEmpty());
        // Hours go out as their low 8 bits, unit 1.
        rig.type("lineEdit_value_lilitime_h", QStringLiteral("300"));
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{frame(0x31, 0x2C, 0, 0, 0x01)});
        // Words, and the numbers no instrument may get: the box, nothing sent.
        for (const char *bad : {"abc", "nan", "inf", "-inf", "1e39"}) {
            rig.dialog.activateWindow(); // the last box had the focus
            QVERIFY(QTest::qWaitForWindowActive(&rig.dialog));
            BoxCatcher box;
            rig.type("lineEdit_value", QString::fromLatin1(bad));
            QCOMPARE(box.text,
                     QStringLiteral("<font color='red'>文本框含有非法字符，请重新输入！</font>"));
            QVERIFY2(rig.takeWritten().isEmpty(), bad);
        }
    }

    // A parameter report with values no instrument can have: each such field
    // reads "--" (the slider of a calibration stays put), the sound fields of
    // the same report are shown, and nothing is ever sent back.
    void nonsenseParametersShowAsDashes()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        Parameters p;
        p.setValue = -99999.0f;
        p.cutoffVoltage = std::nanf("");
        p.fullCurrent = 3.4e38f;
        p.overCurrent = -std::numeric_limits<float>::infinity();
        p.voltCalibration = std::nanf("");
        p.currCalibration = 1.234f;
        p.limitHours = 80;
        p.limitMinutes = 119;
        rig.parameters(p);
        for (const char *dashed :
             {"lineEdit_value", "lineEdit_value_zero_v", "lineEdit_value_full_a",
              "lineEdit_value_lilitime_h", "lineEdit_value_limitime_m", "settings_edit_voltzero",
              "settings_edit_currfull", "settings_edit_currover", "settings_edit_timeh"})
            QVERIFY2(rig.edit(dashed) == QStringLiteral("--"), dashed);
        QCOMPARE(rig.edit("lineEdit_value_full_v"), QStringLiteral("004.2"));
        QCOMPARE(rig.edit("settings_edit_poweover"), QStringLiteral("0150"));
        QCOMPARE(rig.label("settings_lab_califact_voltvalue"), QStringLiteral("--"));
        QCOMPARE(rig.w<QSlider>("settings_slider_voltcali")->value(), 1000);
        QCOMPARE(rig.w<QSlider>("settings_slider_currcali")->value(), 1234);
        // Return in a dashed edit is text that is no number: the box, nothing sent.
        BoxCatcher box;
        QLineEdit *cutoff = rig.w<QLineEdit>("lineEdit_value_zero_v");
        cutoff->setFocus();
        QTest::keyClick(cutoff, Qt::Key_Return);
        QVERIFY(!box.text.isEmpty());
        QVERIFY(rig.takeWritten().isEmpty());
    }

    void runButtonAndCyclePrompt()
    {
        ReadingsRig rig;
        rig.mode(7);
        auto *run = rig.w<QPushButton>("disp_Btn_Run");
        run->click();
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{frame(0x25, 1, 0, 0, 0)});
        QCOMPARE(run->text(), QStringLiteral("停止"));
        QCOMPARE(run->toolTip(), QStringLiteral("单击停止"));

        Readings r;
        r.promptCountdown = 6;
        r.promptChoices = 2;
        r.promptSelection = 2;
        rig.measurement(r);
        CDPopTips *tips = rig.dialog.popTips();
        QVERIFY(tips->isVisible());
        auto *btn3 = tips->findChild<QPushButton *>("Btn3");
        QVERIFY(tips->findChild<QPushButton *>("Btn2")->isHidden());
        QCOMPARE(btn3->geometry(), QRect(20, 188, 281, 45));
        btn3->click();
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{frame(0x35, 2, 0, 0, 0)});

        // Only the two cycle modes with a countdown and choices raise it.
        using Case = std::tuple<int, int, int>; // mode, countdown, choices
        for (auto [mode, countdown, choices] : {Case{0, 8, 2}, Case{9, 8, 3}, Case{7, 0, 2}}) {
            ReadingsRig other;
            other.mode(mode);
            r.promptCountdown = quint8(countdown);
            r.promptChoices = quint8(choices);
            other.measurement(r);
            QVERIFY2(!other.dialog.popTips()->isVisible(), qPrintable(QString::number(mode)));
        }
    }

    void userSettingsOnTheWire()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageSettings));
        auto *light = rig.w<QSlider>("settings_slider_worklight");
        pointAt(light);
        light->setValue(5);
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{frame(0x22, 0, 0, 0, 5)});
        pointAway();
        light->setValue(4);
        QVERIFY(rig.takeWritten().isEmpty());
        auto *cali = rig.w<QSlider>("settings_slider_voltcali");
        pointAt(cali);
        cali->setValue(1234);
        QCOMPARE(rig.label("settings_lab_califact_voltvalue"), QStringLiteral("1.234"));
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{frame(0x27, 0x3F, 0x9D, 0xF3, 0xB6)});
        auto *standby = rig.w<QSlider>("settings_slider_standlight");
        standby->setValue(-5);
        QCOMPARE(standby->value(), 1);

        ReadingsRig tester(4);
        QVERIFY(tester.showOn(MainDialog::PageRx41Settings));
        auto *combo = tester.w<QComboBox>("RX41_setting_comboBox");
        combo->setFocus();
        QVERIFY(combo->hasFocus());
        combo->setCurrentIndex(combo->findText(QStringLiteral("1000A")));
        QCOMPARE(tester.takeWritten(), QList<QByteArray>{frame(0x36, 0, 0, 0, 7)});
        auto *testerStandby = tester.w<QSlider>("RX41_settings_slider_standlight");
        pointAway();
        testerStandby->setValue(-5);
        QCOMPARE(testerStandby->value(), 0);
        QCOMPARE(tester.label("RX41_settings_label_standlight"), QStringLiteral("0"));
    }
};

QTEST_MAIN(TestReadings)
#include "test_readings.moc"
