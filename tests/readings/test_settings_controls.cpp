// The two settings pages as a user works them: style buttons, sliders that
// speak only under the pointer, calibration factors, plain buttons, edits
// and the shunt box, checked by the frames on the wire.
#include "readingsrig.h"
#include "settingsmirror.h"

#include <QComboBox>
#include <QSlider>

using SimReports::Parameters;

namespace {

void typeAndReturn(ReadingsRig &rig, const char *name, const QString &text)
{
    auto *edit = rig.w<QLineEdit>(name);
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

} // namespace

class TestSettingsControls : public QObject
{
    Q_OBJECT

private slots:
    void styleButtons()
    {
        ReadingsRig rig;
        const char *names[] = {"settings_btn_CN1", "settings_btn_CN2", "settings_btn_EN1",
                               "settings_btn_EN2"};
        for (int style = 1; style <= 4; ++style) {
            rig.w<QPushButton>(names[style - 1])->click();
            QCOMPARE(rig.takeWritten(), QList<QByteArray>{expectedReport(0x20, style, 0, 0, 0)});
            for (int i = 0; i < 4; ++i)
                QCOMPARE(rig.w<QPushButton>(names[i])->styleSheet(),
                         i == style - 1 ? SettingsMirror::selectedStyle()
                                        : SettingsMirror::normalStyle());
        }
        ReadingsRig tester(4);
        tester.w<QPushButton>("RX41_settings_btn_EN")->click();
        tester.w<QPushButton>("RX41_settings_btn_CN")->click();
        QCOMPARE(tester.takeWritten(), (QList<QByteArray>{expectedReport(0x20, 2, 0, 0, 0),
                                                          expectedReport(0x20, 1, 0, 0, 0)}));
        QCOMPARE(tester.w<QPushButton>("RX41_settings_btn_CN")->styleSheet(),
                 SettingsMirror::selectedStyle());
        QCOMPARE(tester.w<QPushButton>("RX41_settings_btn_EN")->styleSheet(),
                 SettingsMirror::normalStyle());
        QCOMPARE(SettingsMirror::selectedStyle(),
                 QStringLiteral("QPushButton{background-color: rgb(0, 170, 0);}"
                                "QPushButton:hover{background-color:rgb(126, 255, 206); color: "
                                "black;}QPushButton:pressed{background-color:rgb(0, 255, 0);"
                                "border-style: inset;}"));
    }

    void levelSlidersSpeakOnlyUnderThePointer_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("slider");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("value");
        const int load = MainDialog::PageSettings, tester = MainDialog::PageRx41Settings;
        QTest::newRow("brightness") << load << "settings_slider_worklight"
                                    << "settings_label_worklight" << 0x22 << 5;
        QTest::newRow("standby") << load << "settings_slider_standlight"
                                 << "settings_label_standlight" << 0x23 << 4;
        QTest::newRow("standby time") << load << "settings_slider_standtime"
                                      << "settings_label_standtime" << 0x24 << 45;
        QTest::newRow("tester brightness") << tester << "RX41_settings_slider_worklight"
                                           << "RX41_settings_label_worklight" << 0x22 << 9;
        QTest::newRow("tester standby") << tester << "RX41_settings_slider_standlight"
                                        << "RX41_settings_label_standlight" << 0x23 << 3;
        QTest::newRow("tester standby time") << tester << "RX41_settings_slider_standtime"
                                             << "RX41_settings_label_standtime" << 0x24 << 20;
    }
    void levelSlidersSpeakOnlyUnderThePointer()
    {
        QFETCH(int, page);
        QFETCH(QString, slider);
        QFETCH(QString, label);
        QFETCH(int, code);
        QFETCH(int, value);
        ReadingsRig rig{quint8(page == MainDialog::PageSettings ? 1 : 4)};
        QVERIFY(rig.showOn(page));
        auto *s = rig.w<QSlider>(slider.toLatin1().constData());
        pointAt(s);
        s->setValue(value);
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{expectedReport(code, 0, 0, 0, value)});
        QCOMPARE(rig.label(label.toLatin1().constData()), QString::number(value));

        // The same change made elsewhere (keyboard, or the instrument's answer).
        pointAway();
        s->setValue(value - 1);
        QCOMPARE(rig.label(label.toLatin1().constData()), QString::number(value - 1));
        QVERIFY(rig.takeWritten().isEmpty());
    }

    void answerMovesTheSliderSilentlyEvenUnderThePointer()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageSettings));
        auto *light = rig.w<QSlider>("settings_slider_worklight");
        auto *cali = rig.w<QSlider>("settings_slider_voltcali");
        Parameters p;
        p.workBrightness = 5;
        p.voltCalibration = 1.0234f;
        pointAway();
        rig.parameters(p);
        QCOMPARE(light->value(), 5);
        QCOMPARE(rig.label("settings_label_worklight"), QStringLiteral("5"));
        QVERIFY(rig.takeWritten().isEmpty());
        // With the pointer resting on them the instrument's own values still
        // do not go back to it (1.0234 must not become 1.023).
        pointAt(light);
        p.workBrightness = 6;
        rig.parameters(p);
        pointAt(cali);
        p.voltCalibration = 1.1f;
        rig.parameters(p);
        QCOMPARE(light->value(), 6);
        QCOMPARE(cali->value(), 1100);
        QCOMPARE(rig.label("settings_lab_califact_voltvalue"), QStringLiteral("1.100"));
        QVERIFY(rig.takeWritten().isEmpty());
    }

    void calibrationSliders_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("slider");
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("code");
        const int load = MainDialog::PageSettings, tester = MainDialog::PageRx41Settings;
        QTest::newRow("voltage") << load << "settings_slider_voltcali"
                                 << "settings_lab_califact_voltvalue" << 0x27;
        QTest::newRow("current") << load << "settings_slider_currcali"
                                 << "settings_lab_califact_currvalue" << 0x28;
        QTest::newRow("temperature") << load << "settings_slider_tempcali"
                                     << "settings_lab_califact_tempvalue" << 0x26;
        QTest::newRow("tester voltage") << tester << "RX41_settings_slider_voltcali"
                                        << "RX41_settings_lab_califact_voltvalue" << 0x27;
        QTest::newRow("tester current") << tester << "RX41_settings_slider_currcali"
                                        << "RX41_settings_lab_califact_currvalue" << 0x28;
        QTest::newRow("tester temperature") << tester << "RX41_settings_slider_tempcali"
                                            << "RX41_settings_lab_califact_tempvalue" << 0x26;
    }
    void calibrationSliders()
    {
        QFETCH(int, page);
        QFETCH(QString, slider);
        QFETCH(QString, label);
        QFETCH(int, code);
        ReadingsRig rig{quint8(page == MainDialog::PageSettings ? 1 : 4)};
        QVERIFY(rig.showOn(page));
        auto *s = rig.w<QSlider>(slider.toLatin1().constData());
        const QString before = rig.label(label.toLatin1().constData());
        pointAway();
        s->setValue(1500);
        QCOMPARE(rig.label(label.toLatin1().constData()), before);
        QVERIFY(rig.takeWritten().isEmpty());
        pointAt(s);
        s->setValue(1234);
        QCOMPARE(rig.label(label.toLatin1().constData()), QStringLiteral("1.234"));
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{floatReport(code, 1.234f)});

        // The instrument reports the factor back: the slider stays where the user put it.
        Parameters p;
        p.voltCalibration = p.currCalibration = p.tempCalibration = 1.234f;
        pointAway();
        s->clearFocus();
        rig.parameters(p, page != MainDialog::PageSettings);
        QCOMPARE(s->value(), 1234);
    }

    void plainButtons_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("code");
        QTest::newRow("zero current") << "settings_btn_clearcurrent" << 0x32;
        QTest::newRow("clear data") << "settings_btn_datazero" << 0x34;
        QTest::newRow("factory reset") << "settings_btn_factory_reset" << 0x33;
        QTest::newRow("tester zero current") << "RX41_settings_btn_clearcurrent" << 0x32;
        QTest::newRow("tester clear data") << "RX41_settings_btn_datazero" << 0x34;
        QTest::newRow("tester factory reset") << "RX41_settings_btn_factory_reset" << 0x33;
    }
    void plainButtons()
    {
        QFETCH(QString, button);
        QFETCH(int, code);
        ReadingsRig rig;
        rig.w<QPushButton>(button.toLatin1().constData())->click();
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{expectedReport(code, 0, 0, 0, 0)});
    }

    void edits_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("report");
        const int load = MainDialog::PageSettings, tester = MainDialog::PageRx41Settings;
        QTest::newRow("hours 300") << load << "settings_edit_timeh"
                                   << "300" << expectedReport(0x31, 0x2C, 0, 0, 1);
        QTest::newRow("minutes 20") << load << "settings_edit_timem"
                                    << "20" << expectedReport(0x31, 20, 0, 0, 2);
        QTest::newRow("cut-off") << load << "settings_edit_voltzero"
                                 << "2.8" << floatReport(0x29, 2.8f);
        QTest::newRow("full voltage") << load << "settings_edit_voltfull"
                                      << "4.2" << floatReport(0x2A, 4.2f);
        QTest::newRow("full current") << load << "settings_edit_currfull"
                                      << "0.1" << floatReport(0x2B, 0.1f);
        QTest::newRow("over-current") << load << "settings_edit_currover"
                                      << "12" << floatReport(0x2C, 12.0f);
        QTest::newRow("over-power") << load << "settings_edit_poweover"
                                    << "150" << floatReport(0x2D, 150.0f);
        QTest::newRow("probe over-temperature") << load << "settings_edit_ntcover"
                                                << "80" << floatReport(0x2E, 80.0f);
        QTest::newRow("MOS over-temperature") << load << "settings_edit_mosover"
                                              << "95.5" << floatReport(0x2F, 95.5f);
        QTest::newRow("tester over-voltage") << tester << "RX41_settings_edit_overvolt"
                                             << "21" << floatReport(0x2A, 21.0f);
        QTest::newRow("tester low voltage") << tester << "RX41_settings_edit_lowvolt"
                                            << "4.4" << floatReport(0x29, 4.4f);
        QTest::newRow("tester over-power") << tester << "RX41_settings_edit_overpower"
                                           << "60" << floatReport(0x2D, 60.0f);
        QTest::newRow("tester probe") << tester << "RX41_settings_edit_ntcover"
                                      << "70" << floatReport(0x2E, 70.0f);
    }
    void edits()
    {
        QFETCH(int, page);
        QFETCH(QString, edit);
        QFETCH(QString, text);
        QFETCH(QByteArray, report);
        ReadingsRig rig{quint8(page == MainDialog::PageSettings ? 1 : 4)};
        QVERIFY(rig.showOn(page));
        typeAndReturn(rig, edit.toLatin1().constData(), text);
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{report});
        rig.w<QLineEdit>(edit.toLatin1().constData())->setFocus();
        rig.dialog.setFocus();
        QVERIFY(rig.takeWritten().isEmpty());

        BoxCatcher box;
        box.arm();
        typeAndReturn(rig, edit.toLatin1().constData(), QStringLiteral("x1"));
        QVERIFY(box.seen);
        QCOMPARE(box.text,
                 QStringLiteral("<font color='red'>文本框含有非法字符，请重新输入！</font>"));
        QVERIFY(rig.takeWritten().isEmpty());
    }

    void shuntBoxSendsOnlyTheUsersChoice()
    {
        ReadingsRig rig(4);
        QVERIFY(rig.showOn(MainDialog::PageRx41Settings));
        auto *combo = rig.w<QComboBox>("RX41_setting_comboBox");
        QCOMPARE(combo->count(), 8);
        combo->setFocus();
        QVERIFY(combo->hasFocus());
        combo->setCurrentIndex(combo->findText(QStringLiteral("1000A")));
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{expectedReport(0x36, 0, 0, 0, 7)});
        QVERIFY(!combo->hasFocus());
        // The answer's value selects the item and sends nothing.
        Parameters p;
        p.shuntIndex = 3;
        rig.parameters(p, true);
        QCOMPARE(combo->currentText(), QStringLiteral("300A"));
        QVERIFY(rig.takeWritten().isEmpty());
    }

    void standbySliderRanges()
    {
        ReadingsRig rig;
        auto *tester = rig.w<QSlider>("RX41_settings_slider_standlight");
        auto *load = rig.w<QSlider>("settings_slider_standlight");
        tester->setValue(-5);
        load->setValue(-5);
        QCOMPARE(tester->value(), 0);
        QCOMPARE(rig.label("RX41_settings_label_standlight"), QStringLiteral("0"));
        QCOMPARE(load->value(), 1);
    }
};

QTEST_MAIN(TestSettingsControls)
#include "test_settings_controls.moc"
