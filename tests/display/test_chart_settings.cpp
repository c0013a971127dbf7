#include "chartfixture.h"
#include "curvesettingspanel.h"
#include "customcoordinates.h"
#include "setting.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace QtCharts;

class TestChartSettings : public QObject
{
    Q_OBJECT
    ChartFixture f;

    static void typeInto(QLineEdit *box, const QString &text)
    {
        box->setFocus();
        box->selectAll();
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
    }

private slots:
    void init() { f.enter(); }
    void cleanup() { f.leave(); }

    // --- curve appearance ---

    void freshSettingsGiveBlackThinnestCurvesUnderLight()
    {
        auto c = f.makeChart();
        QCOMPARE(c->chart()->theme(), QChart::ChartThemeLight);
        for (int curve = 0; curve < Curves::Count; ++curve) {
            QCOMPARE(c->appearance().colour(curve), QColor(Qt::black));
            QCOMPARE(c->appearance().width(curve), 0.0);
        }
        QCOMPARE(c->series(Curves::Voltage)->pen().color(), QColor(Qt::black));
        QCOMPARE(c->series(Curves::Voltage)->pen().widthF(), 0.0);
        QCOMPARE(c->series(Curves::Voltage)->pen().capStyle(), Qt::SquareCap);
        QCOMPARE(c->series(Curves::Voltage)->pen().joinStyle(), Qt::BevelJoin);
        // Nothing is written until the user chooses.
        QVERIFY(!QFile::exists("usb-hid.ini"));

        QWidget area;
        area.resize(1000, 700);
        CurveSettingsPanel *p = c->showCurveSettings(&area);
        QCOMPARE(p->widthBox(0)->currentText(), QString("0.5"));
        QCOMPARE(p->themeBox()->currentText(), QString("Light"));
        // At least 320 x 330, large enough for every row and column, and
        // wholly inside the chart area (left of and above its centre).
        QVERIFY(p->width() >= 320 && p->height() >= 330);
        int contentW = p->verticalHeader()->width();
        for (int col = 0; col < 3; ++col)
            contentW += p->columnWidth(col);
        int contentH = p->horizontalHeader()->height();
        for (int row = 0; row < 10; ++row)
            contentH += p->rowHeight(row);
        QVERIFY(p->width() >= contentW && p->height() >= contentH);
        QVERIFY(QRect(QPoint(0, 0), area.size()).contains(p->geometry()));
        QVERIFY(p->x() + p->width() / 2 < 500 && p->y() + p->height() / 2 < 350);
        QCOMPARE(p->model()->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("曲线颜色"));
        QCOMPARE(p->model()->index(8, 0).data().toString(), QString::fromUtf8("背景颜色风格："));
        QCOMPARE(p->model()->index(7, 0).data().toString(), QString("MOS_Temp"));
        QVERIFY(!QFile::exists("usb-hid.ini"));  // building the panel changes nothing
        QCOMPARE(c->showCurveSettings(&area), p);  // one panel at a time
        p->okButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

        // A small chart area still holds the whole panel.
        QWidget small;
        small.resize(600, 300);
        CurveSettingsPanel *q = c->showCurveSettings(&small);
        QVERIFY(q != nullptr);
        QVERIFY(QRect(QPoint(0, 0), small.size()).contains(q->geometry()));
        q->okButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void pureRedIsWrittenAndComesBack()
    {
        {
            auto c = f.makeChart();
            QWidget area;
            CurveSettingsPanel *p = c->showCurveSettings(&area);
            c->setColourPicker([](const QColor &, QWidget *) { return QColor(255, 0, 0); });
            p->colourButton(Curves::MosTemp)->click();
            QCOMPARE(Setting().read("CPU_Temp_col"), QString("ffff0000"));
            QCOMPARE(p->colourButton(Curves::MosTemp)->styleSheet(), QString("background:rgb(255,0,0)"));
            p->colourButton(Curves::Voltage)->click();
            QCOMPARE(Setting().read("VBUS_col"), QString("ffff0000"));
            QCOMPARE(c->series(Curves::Voltage)->pen().color(), QColor(Qt::red));
            QCOMPARE(c->valueAxis(Curves::LeftAxis)->linePenColor(), QColor(Qt::red));
        }
        auto restarted = f.makeChart();
        QCOMPARE(restarted->series(Curves::Voltage)->pen().color(), QColor(Qt::red));
        QCOMPARE(restarted->appearance().colour(Curves::MosTemp), QColor(Qt::red));
        QCOMPARE(restarted->valueAxis(Curves::LeftAxis)->linePenColor(), QColor(Qt::red));
    }

    void cancellingTheColourDialogKeepsTheColour()
    {
        Setting().write("IBUS_col", "ff1570a5");
        auto c = f.makeChart();
        QWidget area;
        CurveSettingsPanel *p = c->showCurveSettings(&area);
        c->setColourPicker([](const QColor &, QWidget *) { return QColor(); });
        p->colourButton(Curves::Current)->click();
        QCOMPARE(c->appearance().colour(Curves::Current), QColor(0x15, 0x70, 0xa5));
        QCOMPARE(Setting().read("IBUS_col"), QString("ff1570a5"));
        QCOMPARE(c->series(Curves::Current)->pen().color(), QColor(0x15, 0x70, 0xa5));
    }

    void widthSurvivesColourThemeAndRestart()
    {
        {
            auto c = f.makeChart();
            QWidget area;
            CurveSettingsPanel *p = c->showCurveSettings(&area);
            p->widthBox(Curves::Power)->setCurrentIndex(4);
            QCOMPARE(Setting().read("POWER_lw"), QString("2.5"));
            QCOMPARE(c->series(Curves::Power)->pen().widthF(), 2.5);
            c->setColourPicker([](const QColor &, QWidget *) { return QColor(0, 128, 0); });
            p->colourButton(Curves::Power)->click();
            QCOMPARE(c->series(Curves::Power)->pen().widthF(), 2.5);
            p->themeBox()->setCurrentIndex(2);
            QCOMPARE(Setting().read("ChartTheme"), QString("Dark"));
            QCOMPARE(c->chart()->theme(), QChart::ChartThemeDark);
            QCOMPARE(c->series(Curves::Power)->pen().widthF(), 2.5);
            QCOMPARE(c->series(Curves::Power)->pen().color(), QColor(0, 128, 0));
            QCOMPARE(c->series(Curves::Voltage)->pen().color(), QColor(Qt::black));
        }
        auto restarted = f.makeChart();
        QCOMPARE(restarted->chart()->theme(), QChart::ChartThemeDark);
        QCOMPARE(restarted->series(Curves::Power)->pen().widthF(), 2.5);
        QWidget area;
        CurveSettingsPanel *p = restarted->showCurveSettings(&area);
        QCOMPARE(p->widthBox(Curves::Power)->currentText(), QString("2.5"));
        QCOMPARE(p->themeBox()->currentText(), QString("Dark"));
    }

    void unreadableAppearanceTextsReadAsDefaults()
    {
        Setting().write("VBUS_col", "not a colour");
        Setting().write("VBUS_lw", "wide");
        Setting().write("ChartTheme", "Neon");
        auto c = f.makeChart();
        QCOMPARE(c->appearance().colour(Curves::Voltage), QColor(Qt::black));
        QCOMPARE(c->appearance().width(Curves::Voltage), 0.0);
        QCOMPARE(c->chart()->theme(), QChart::ChartThemeLight);
    }

    // --- custom ranges ---

    void freshRangePanelShowsZeroesAndAllOff()
    {
        auto c = f.makeChart();
        customcoordinates panel;
        c->setCustomRanges(&panel);
        QCOMPARE(panel.size(), QSize(367, 341));
        for (int curve = 0; curve < Curves::Count; ++curve) {
            const QString zero = curve == Curves::MosTemp ? "0.0" : "0.00";
            QCOMPARE(panel.minBox(curve)->text(), zero);
            QCOMPARE(panel.maxBox(curve)->text(), zero);
            QCOMPARE(panel.switchButton(curve)->text(), QString::fromUtf8("关闭"));
            QCOMPARE(panel.switchButton(curve)->styleSheet(), customcoordinates::offStyle());
            QVERIFY(!panel.isOpen(curve));
        }
        QCOMPARE(panel.findChild<QLineEdit *>("edit_VBUS_Min")->geometry(), QRect(100, 60, 60, 20));
        QCOMPARE(panel.findChild<QPushButton *>("btn_CPU")->geometry(), QRect(290, 270, 51, 23));
        // Voltage on with 0..0 is no range: the chart stays as it is.
        QSignalSpy spy(&panel, &customcoordinates::RangChang_signal);
        connect(&panel, &customcoordinates::RangChang_signal, c.get(), &RealTimeChart::applyCustomRanges);
        panel.switchButton(Curves::Voltage)->click();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(panel.switchButton(Curves::Voltage)->text(), QString::fromUtf8("启用"));
        QCOMPARE(Setting().read("VbusIsOpen"), QString("1"));
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 20.0);
    }

    void customVoltageRangeAppliesAndHolds()
    {
        auto c = f.makeChart();
        customcoordinates panel;
        c->setCustomRanges(&panel);
        connect(&panel, &customcoordinates::RangChang_signal, c.get(), &RealTimeChart::applyCustomRanges);
        panel.show();
        QSignalSpy spy(&panel, &customcoordinates::RangChang_signal);
        typeInto(panel.minBox(Curves::Voltage), "11.5");
        typeInto(panel.maxBox(Curves::Voltage), "12.5");
        QCOMPARE(spy.count(), 0);  // off: keys written, chart untouched
        QCOMPARE(Setting().read("Vbus_Min_Value"), QString("11.50"));
        QCOMPARE(Setting().read("Vbus_Max_Value"), QString("12.50"));
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 0.0);

        panel.switchButton(Curves::Voltage)->click();
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 11.5);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 12.5);
        const QStringList labels = axisLabels(c->valueAxis(Curves::LeftAxis));
        QCOMPARE(labels.size(), 11);
        QCOMPARE(labels.first(), QString("11.50V"));
        QCOMPARE(labels.at(1), QString("11.60V"));
        QCOMPARE(labels.last(), QString("12.50V"));

        c->connected();
        for (int t = 1; t <= 4; ++t) {
            f.clockMs += 500;
            c->pollTick(quint32(t), {4, false, true, false}, sampleValues(30.0f));
        }
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 12.5);

        // A value out of the accepted input is neither stored nor applied.
        typeInto(panel.maxBox(Curves::Voltage), "5000");
        QCOMPARE(Setting().read("Vbus_Max_Value"), QString("12.50"));
        QCOMPARE(panel.maxValue(Curves::Voltage), 12.5f);

        // Off again: the default at once.
        panel.switchButton(Curves::Voltage)->click();
        QCOMPARE(Setting().read("VbusIsOpen"), QString("0"));
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 0.0);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 20.0);
        QCOMPARE(axisLabels(c->valueAxis(Curves::LeftAxis)).last(), QString("20.00V"));

        // A later start reads them back.
        customcoordinates again;
        QCOMPARE(again.minBox(Curves::Voltage)->text(), QString("11.50"));
        QVERIFY(!again.isOpen(Curves::Voltage));
    }

    void rangesOfAHiddenGroupWaitForIt()
    {
        Setting().write("PDIsOpen", "7");
        Setting().write("PD_Min_Value", "1.00");
        Setting().write("PD_Max_Value", "2.00");
        Setting().write("CPUIsOpen", "junk");
        auto c = f.makeChart();
        customcoordinates panel;
        QVERIFY(panel.isOpen(Curves::Energy));
        QVERIFY(!panel.isOpen(Curves::MosTemp));
        c->setCustomRanges(&panel);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 20.0);
        c->toggleGroup(Curves::EnergyGroup);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->min(), 1.0);
        QCOMPARE(c->valueAxis(Curves::LeftAxis)->max(), 2.0);
        QCOMPARE(axisLabels(c->valueAxis(Curves::LeftAxis)).first(), QString("1.00Wh"));
        QCOMPARE(c->valueAxis(Curves::InnerRightAxis)->max(), 100.0);
    }

    void panelTogglesOverTheChartArea()
    {
        QWidget area;
        area.resize(1000, 700);
        auto *panel = new customcoordinates(&area);
        panel->hide();
        area.show();
        panel->toggleOver(&area);
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->pos(), QPoint((1000 - 367) / 2 - 10, (700 - 341) / 2 - 10));
        panel->toggleOver(&area);
        QVERIFY(!panel->isVisible());
        panel->toggleOver(&area);
        panel->findChild<QPushButton *>("btn_CLOS_SET")->click();
        QVERIFY(!panel->isVisible());
    }
};

QTEST_MAIN(TestChartSettings)
#include "test_chart_settings.moc"
