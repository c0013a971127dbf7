// Discharge control on the readings page: what the value edits and the run
// button put on the wire, the run button's words, and the instrument's
// prompt window with its choices.
#include "cdpoptips.h"
#include "readingsrig.h"

#include <QSignalSpy>

using SimReports::Parameters;
using SimReports::Readings;

namespace {

// Types `text` into `name` as a user would and presses Return.
void typeAndReturn(ReadingsRig &rig, const char *name, const QString &text)
{
    auto *edit = rig.w<QLineEdit>(name);
    edit->setFocus();
    QVERIFY(edit->hasFocus());
    edit->clear();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

void setMode(ReadingsRig &rig, int mode)
{
    Parameters p;
    p.workMode = quint8(mode);
    rig.parameters(p);
}

} // namespace

class TestDischargeControl : public QObject
{
    Q_OBJECT

private slots:
    void setValueGoesOutOnceOnReturn()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        typeAndReturn(rig, "lineEdit_value", QStringLiteral("1.5"));
        QCOMPARE(rig.takeWritten(),
                 QList<QByteArray>{expectedReport(0x21, 0x3F, 0xC0, 0x00, 0x00)});
        QVERIFY(!rig.w<QLineEdit>("lineEdit_value")->hasFocus());
        // Moving on sends nothing more.
        rig.w<QLineEdit>("lineEdit_value_zero_v")->setFocus();
        rig.w<QLineEdit>("lineEdit_value")->setFocus();
        rig.w<QLineEdit>("lineEdit_value_full_v")->setFocus();
        QVERIFY(rig.takeWritten().isEmpty());
        // A value typed and left without Return is not sent either.
        auto *zero = rig.w<QLineEdit>("lineEdit_value_zero_v");
        zero->setFocus();
        QTest::keyClicks(zero, QStringLiteral("9"));
        rig.w<QLineEdit>("lineEdit_value")->setFocus();
        QVERIFY(rig.takeWritten().isEmpty());
    }

    void everyEditItsFrame_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("report");
        QTest::newRow("cut-off") << "lineEdit_value_zero_v"
                                 << "3.0" << floatReport(0x29, 3.0f);
        QTest::newRow("full voltage") << "lineEdit_value_full_v"
                                      << "4.2" << floatReport(0x2A, 4.2f);
        QTest::newRow("full current") << "lineEdit_value_full_a"
                                      << "0.05" << floatReport(0x2B, 0.05f);
        QTest::newRow("negative as typed") << "lineEdit_value"
                                           << "-1" << expectedReport(0x21, 0xBF, 0x80, 0, 0);
        QTest::newRow("hours 2") << "lineEdit_value_lilitime_h"
                                 << "2" << expectedReport(0x31, 0x02, 0, 0, 0x01);
        QTest::newRow("hours 300, low 8 bits") << "lineEdit_value_lilitime_h"
                                               << "300" << expectedReport(0x31, 0x2C, 0, 0, 0x01);
        QTest::newRow("minutes 45") << "lineEdit_value_limitime_m"
                                    << "45" << expectedReport(0x31, 45, 0, 0, 0x02);
    }
    void everyEditItsFrame()
    {
        QFETCH(QString, edit);
        QFETCH(QString, text);
        QFETCH(QByteArray, report);
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        typeAndReturn(rig, edit.toLatin1().constData(), text);
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{report});
    }

    void textThatIsNoNumberShowsTheBox_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("text");
        QTest::newRow("letters") << "lineEdit_value"
                                 << "abc";
        QTest::newRow("two points") << "lineEdit_value_zero_v"
                                    << "1.2.3";
        QTest::newRow("empty") << "lineEdit_value_full_a"
                               << "";
        QTest::newRow("not a number") << "lineEdit_value"
                                      << "nan";
        QTest::newRow("infinite") << "lineEdit_value_full_v"
                                  << "inf";
        QTest::newRow("hours with a point") << "lineEdit_value_lilitime_h"
                                            << "1.5";
        QTest::newRow("minutes in letters") << "lineEdit_value_limitime_m"
                                            << "ten";
    }
    void textThatIsNoNumberShowsTheBox()
    {
        QFETCH(QString, edit);
        QFETCH(QString, text);
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        BoxCatcher box;
        box.arm();
        typeAndReturn(rig, edit.toLatin1().constData(), text);
        QVERIFY(box.seen);
        QCOMPARE(box.title, QStringLiteral("提示"));
        QCOMPARE(box.text,
                 QStringLiteral("<font color='red'>文本框含有非法字符，请重新输入！</font>"));
        QCOMPARE(box.buttons, 1);
        QVERIFY(rig.takeWritten().isEmpty());
        // The text stays for the user to mend; the focus is gone.
        QCOMPARE(rig.edit(edit.toLatin1().constData()), text);
        QVERIFY(!rig.w<QLineEdit>(edit.toLatin1().constData())->hasFocus());
    }

    void noHandleNoFrameNoError()
    {
        ReadingsRig rig;
        rig.dialog.setMainHandle(nullptr);
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        typeAndReturn(rig, "lineEdit_value", QStringLiteral("2"));
        rig.w<QPushButton>("disp_Btn_Run")->click();
        QVERIFY(rig.instrument.written.isEmpty());
        QCOMPARE(rig.w<QPushButton>("disp_Btn_Run")->text(), QStringLiteral("停止放电"));
    }

    void runButtonWordsByMode_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("runText");
        QTest::addColumn<QString>("runTip");
        QTest::addColumn<QString>("stopText");
        QTest::addColumn<QString>("stopTip");
        QTest::newRow("constant current") << 0 << "停止放电"
                                          << "单击停止放电"
                                          << "开始放电"
                                          << "单击开始放电";
        QTest::newRow("constant power") << 3 << "停止放电"
                                        << "单击停止放电"
                                        << "开始放电"
                                        << "单击开始放电";
        QTest::newRow("cycle 7") << 7 << "停止"
                                 << "单击停止"
                                 << "开始"
                                 << "单击开始";
        QTest::newRow("cycle 8") << 8 << "停止"
                                 << "单击停止"
                                 << "开始"
                                 << "单击开始";
    }
    void runButtonWordsByMode()
    {
        QFETCH(int, mode);
        ReadingsRig rig;
        setMode(rig, mode);
        auto *run = rig.w<QPushButton>("disp_Btn_Run");
        run->click();
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{expectedReport(0x25, 1, 0, 0, 0)});
        QTEST(run->text(), "runText");
        QTEST(run->toolTip(), "runTip");
        QVERIFY(rig.dialog.instrumentState().running);
        run->click();
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{expectedReport(0x25, 0, 0, 0, 0)});
        QTEST(run->text(), "stopText");
        QTEST(run->toolTip(), "stopTip");
        QVERIFY(!rig.dialog.instrumentState().running);
    }

    void runButtonFollowsTheInstrumentButNotUnderThePointer()
    {
        ReadingsRig rig;
        QVERIFY(rig.showOn(MainDialog::PageDisp));
        auto *run = rig.w<QPushButton>("disp_Btn_Run");
        pointAway();
        run->click();
        QCOMPARE(run->text(), QStringLiteral("停止放电"));
        // The instrument did not start: the next report says so.
        Readings r;
        r.running = false;
        rig.measurement(r);
        pointAt(run);
        QMetaObject::invokeMethod(&rig.dialog, "runButtonRefresh");
        QCOMPARE(run->text(), QStringLiteral("停止放电"));
        pointAway();
        QMetaObject::invokeMethod(&rig.dialog, "runButtonRefresh");
        QCOMPARE(run->text(), QStringLiteral("开始放电"));
        QCOMPARE(run->toolTip(), QStringLiteral("单击开始放电"));
        // A run the instrument started on its own, in a cycle mode.
        setMode(rig, 8);
        r.running = true;
        rig.measurement(r);
        QMetaObject::invokeMethod(&rig.dialog, "runButtonRefresh");
        QCOMPARE(run->text(), QStringLiteral("停止"));
        QCOMPARE(run->toolTip(), QStringLiteral("单击停止"));
        rig.dialog.setRunButtonTexts(false);
        QCOMPARE(run->text(), QStringLiteral("开始"));
    }

    void promptWithTwoChoices()
    {
        ReadingsRig rig;
        setMode(rig, 7);
        Readings r;
        r.promptCountdown = 6;
        r.promptChoices = 2;
        r.promptSelection = 2;
        rig.measurement(r);
        CDPopTips *tips = rig.dialog.popTips();
        QVERIFY(tips->isVisible());
        QCOMPARE(tips->windowTitle(), QStringLiteral("Tips"));
        QCOMPARE(tips->size(), QSize(373, 241));
        auto *btn1 = tips->findChild<QPushButton *>("Btn1");
        auto *btn2 = tips->findChild<QPushButton *>("Btn2");
        auto *btn3 = tips->findChild<QPushButton *>("Btn3");
        QVERIFY(btn2->isHidden());
        QCOMPARE(btn3->geometry(), QRect(20, 188, 281, 45));
        QCOMPARE(btn3->styleSheet(), CDPopTips::highlightStyle());
        QCOMPARE(btn1->styleSheet(), CDPopTips::normalStyle());
        QCOMPARE(tips->findChild<QLabel *>("lab_count")->text(), QStringLiteral("6"));
        QCOMPARE(tips->findChild<QLabel *>("lab_count")->geometry(), QRect(336, 120, 16, 20));
        QCOMPARE(btn1->geometry(), QRect(20, 150, 281, 23));
        QCOMPARE(tips->findChild<QPushButton *>("Btnok")->geometry(), QRect(310, 180, 51, 31));
        QCOMPARE(btn1->text(), QStringLiteral("返回"));
        QCOMPARE(btn3->text(), QStringLiteral("清除数据并开始新一轮放电"));
        // The whole warning is shown, whatever font stands in for the form's.
        auto *warning = tips->findChild<QLabel *>("lab_Tips");
        QCOMPARE(warning->pos(), QPoint(10, 10));
        QCOMPARE(warning->width(), 351);
        QVERIFY(warning->height() >= 111 && warning->geometry().bottom() < 150);
        QVERIFY(warning->text().contains(QStringLiteral("battery explosion")));

        btn3->click();
        QCOMPARE(rig.takeWritten(), QList<QByteArray>{expectedReport(0x35, 2, 0, 0, 0)});
        btn1->click();
        tips->findChild<QPushButton *>("Btnok")->click();
        QCOMPARE(rig.takeWritten(), (QList<QByteArray>{expectedReport(0x35, 1, 0, 0, 0),
                                                       expectedReport(0x35, 5, 0, 0, 0)}));
        // A click does not close it; the instrument's next report does.
        QVERIFY(tips->isVisible());
        r.promptCountdown = 5;
        r.promptSelection = 1;
        rig.measurement(r);
        QCOMPARE(tips->findChild<QLabel *>("lab_count")->text(), QStringLiteral("5"));
        QCOMPARE(btn1->styleSheet(), CDPopTips::highlightStyle());
        QCOMPARE(btn3->styleSheet(), CDPopTips::normalStyle());
        r.promptCountdown = 0;
        rig.measurement(r);
        QVERIFY(!tips->isVisible());
    }

    void promptWithThreeChoices()
    {
        ReadingsRig rig;
        setMode(rig, 8);
        Readings r;
        r.promptCountdown = 8;
        r.promptChoices = 3;
        r.promptSelection = 2;
        rig.measurement(r);
        CDPopTips *tips = rig.dialog.popTips();
        auto *btn2 = tips->findChild<QPushButton *>("Btn2");
        auto *btn3 = tips->findChild<QPushButton *>("Btn3");
        QVERIFY(tips->isVisible());
        QVERIFY(!btn2->isHidden());
        QCOMPARE(btn3->geometry(), QRect(20, 210, 281, 23));
        QCOMPARE(btn2->styleSheet(), CDPopTips::highlightStyle());
        btn2->click();
        btn3->click();
        QCOMPARE(rig.takeWritten(), (QList<QByteArray>{expectedReport(0x35, 2, 0, 0, 0),
                                                       expectedReport(0x35, 3, 0, 0, 0)}));
        // Two choices and back to three: the last button returns to its place.
        tips->setChoiceCount(2);
        tips->setChoiceCount(3);
        QCOMPARE(btn3->geometry(), QRect(20, 210, 281, 23));
        tips->setChoiceCount(4);
        QVERIFY(!btn2->isHidden());
    }

    void noPromptOutsideTheCycles_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("countdown");
        QTest::addColumn<int>("choices");
        QTest::newRow("constant current") << 0 << 8 << 2;
        QTest::newRow("cycle test 9") << 9 << 8 << 3;
        QTest::newRow("no countdown") << 7 << 0 << 2;
        QTest::newRow("no choices") << 8 << 4 << 0;
    }
    void noPromptOutsideTheCycles()
    {
        QFETCH(int, mode);
        ReadingsRig rig;
        setMode(rig, mode);
        Readings r;
        QFETCH(int, countdown);
        QFETCH(int, choices);
        r.promptCountdown = quint8(countdown);
        r.promptChoices = quint8(choices);
        r.promptSelection = 1;
        rig.measurement(r);
        QVERIFY(!rig.dialog.popTips()->isVisible());
    }
};

QTEST_MAIN(TestDischargeControl)
#include "test_discharge_control.moc"
