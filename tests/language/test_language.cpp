// The language menu and the switch between Chinese and English: what the
// window shows, what lands in usb-hid.ini, and what the next start shows.
#include "customcoordinates.h"
#include "deviceinfoui.h"
#include "languagefixture.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>

namespace {

const QStringList loadMenuZh = {"固件升级",   "仪表参数设置", "恒电流模式", "恒电压模式",
                                "恒电阻模式", "恒功率模式",   "测内阻",     "测电源",
                                "测线组",     "充放充",       "充放充放充", "充放电循环测试",
                                "更多功能等待开发"};
const QStringList loadMenuEn = {"Firmware update",     "Setting",        "Constant Current",
                                "Constant Voltage",    "Constant Resistance",
                                "Constant Power",      "Internal_Res_Tester",
                                "Power Tester",        "Cable Tester",   "CDC Mode",
                                "CDCDC Mode",          "CDxn Tester",    "Developing"};
const QStringList testerMenuZh = {"固件升级", "仪表参数设置", "数据图表展示", "更多功能等待开发"};
const QStringList testerMenuEn = {"Firmware update", "Setting", "Chart Display", "Developing"};

// Page each load-menu button opens with an electronic load attached.
const QList<int> loadPages = {
    MainDialog::PageUpgrade, MainDialog::PageSettings, MainDialog::PageDisp, MainDialog::PageDisp,
    MainDialog::PageDisp,    MainDialog::PageDisp,     MainDialog::PageSix,  MainDialog::PageSix,
    MainDialog::PageSix,     MainDialog::PageDisp,     MainDialog::PageDisp, MainDialog::PageSix,
    MainDialog::PageSix};
const QList<int> testerPages = {MainDialog::PageUpgrade, MainDialog::PageRx41Settings,
                                MainDialog::PageDisp, MainDialog::PageSix};

QToolButton *loadButton(const MainDialog &d, int i)
{
    return child<QToolButton>(d, QStringLiteral("tbtn%1").arg(i + 1));
}

QToolButton *testerButton(const MainDialog &d, int i)
{
    return child<QToolButton>(d, QStringLiteral("RX41_tbtn%1").arg(i + 1));
}

void checkMenus(const MainDialog &d, const QStringList &load, const QStringList &tester)
{
    for (int i = 0; i < load.size(); ++i) {
        QToolButton *b = loadButton(d, i);
        QCOMPARE(b->text(), load[i]);
        QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(b->iconSize(), QSize(100, 70));
    }
    for (int i = 0; i < tester.size(); ++i) {
        QToolButton *b = testerButton(d, i);
        QCOMPARE(b->text(), tester[i]);
        QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(b->iconSize(), QSize(100, 70));
    }
}

// Every menu button opens its page, titled with the button's own text.
void checkNavigation(MainDialog &d)
{
    d.setDeviceClass(1);
    for (int i = 0; i < loadPages.size(); ++i) {
        d.setCurrentPage(MainDialog::PageHome);
        QToolButton *b = loadButton(d, i);
        b->click();
        QVERIFY2(d.currentPage() == loadPages[i], qPrintable(b->text()));
    }
    QCOMPARE(labelText(d, "six_labTitle"), loadButton(d, 12)->text());
    d.setDeviceClass(4);
    for (int i = 0; i < testerPages.size(); ++i) {
        d.setCurrentPage(MainDialog::PageRx41Home);
        QToolButton *b = testerButton(d, i);
        b->click();
        QVERIFY2(d.currentPage() == testerPages[i], qPrintable(b->text()));
    }
    QCOMPARE(labelText(d, "disp_labTitle"), testerButton(d, 2)->text());
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT

private slots:
    void firstStartIsChinese()
    {
        IniDir dir;
        MainDialog d;
        QVERIFY(d.translator()->isEmpty());
        QCOMPARE(labelText(d, "Tips_label"), QStringLiteral("请使用数据线将设备的HID口与电脑相连接！"));
        QCOMPARE(d.windowTitle(), QStringLiteral("ORVANE_USB_TESTER"));
        checkMenus(d, loadMenuZh, testerMenuZh);
        QVERIFY(!dir.iniText().contains("anguage="));
    }

    void englishAtOnceStoredAndAtTheNextStart()
    {
        IniDir dir;
        {
            MainDialog d;
            chooseEnglish(d);
            QCOMPARE(labelText(d, "Tips_label"),
                     QStringLiteral("Please connect the HID to the computer!"));
            QCOMPARE(d.windowTitle(), QStringLiteral("ORVANE USB TESTER"));
            QCOMPARE(child<QTreeWidget>(d, "device_treeWidget")->headerItem()->text(0),
                     QStringLiteral("Devices"));
            QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("Main"));
            QCOMPARE(child<QPushButton>(d, "btnMenu_Close")->toolTip(), QStringLiteral("Close"));
            QVERIFY(dir.iniText().contains("language=English"));
        }
        {
            MainDialog next;
            QVERIFY(!next.translator()->isEmpty());
            QCOMPARE(labelText(next, "Tips_label"),
                     QStringLiteral("Please connect the HID to the computer!"));
            checkMenus(next, loadMenuEn, testerMenuEn);
            chooseChinese(next);
            QCOMPARE(labelText(next, "Tips_label"),
                     QStringLiteral("请使用数据线将设备的HID口与电脑相连接！"));
            QCOMPARE(child<QTreeWidget>(next, "device_treeWidget")->headerItem()->text(0),
                     QStringLiteral("设备列表"));
            checkMenus(next, loadMenuZh, testerMenuZh);
            QVERIFY(dir.iniText().contains("language=Chinese"));
        }
        MainDialog third;
        QCOMPARE(third.windowTitle(), QStringLiteral("ORVANE_USB_TESTER"));
    }

    void activeLanguageChangesNothingButIsWritten()
    {
        IniDir dir;
        MainDialog d;
        // A retranslation would put the default chart title back.
        auto *title = child<QPushButton>(d, "disp_btn_title");
        title->setText(QStringLiteral("run 7"));
        chooseChinese(d);
        QCOMPARE(title->text(), QStringLiteral("run 7"));
        QVERIFY(dir.iniText().contains("language=Chinese"));

        chooseEnglish(d);
        QCOMPARE(title->text(), QStringLiteral("Simple Real-Time Chart"));
        title->setText(QStringLiteral("run 8"));
        QFile::remove(dir.iniPath());
        chooseEnglish(d);
        QCOMPARE(title->text(), QStringLiteral("run 8"));
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("Main"));
        QVERIFY(dir.iniText().contains("language=English"));
    }

    void switchFollowsTheScreenNotAStaleFile()
    {
        IniDir dir;
        MainDialog d;
        chooseEnglish(d);
        // The file is changed behind the program's back.
        dir.writeIni("[General]\nlanguage=Chinese\n");
        chooseChinese(d);
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("主页"));
        dir.writeIni("[General]\nlanguage=English\n");
        chooseEnglish(d);
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("Main"));
    }

    void menusCarryNewTextsAndStillNavigate()
    {
        IniDir dir;
        MainDialog d;
        chooseEnglish(d);
        checkMenus(d, loadMenuEn, testerMenuEn);
        checkNavigation(d);
        QCOMPARE(labelText(d, "six_labTitle"), QStringLiteral("Developing"));
        chooseChinese(d);
        checkMenus(d, loadMenuZh, testerMenuZh);
        checkNavigation(d);
        QCOMPARE(labelText(d, "disp_labTitle"), QStringLiteral("数据图表展示"));
    }

    void lowerCaseEnglishMeansChinese()
    {
        IniDir dir;
        dir.writeIni("[General]\nlanguage=english\n");
        MainDialog d;
        QVERIFY(d.translator()->isEmpty());
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("主页"));
        checkMenus(d, loadMenuZh, testerMenuZh);
        // Choosing English is a real switch, not "already active".
        chooseEnglish(d);
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("Main"));
        QVERIFY(dir.iniText().contains("language=English"));
    }

    void menuOffersBothLanguages()
    {
        IniDir dir;
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto *button = child<QPushButton>(d, "btnMenu_Menu");
        QStringList texts;
        bool chineseIcon = false;
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            const QList<QAction *> actions = menu->actions();
            for (QAction *a : actions)
                texts << a->text();
            chineseIcon = !actions.isEmpty() && !actions[0]->icon().isNull();
            if (actions.size() == 2)
                actions[1]->trigger();
            menu->close();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(texts, QStringList({"简体中文", "English"}));
        QVERIFY(chineseIcon);
        QCOMPARE(button->styleSheet(), QStringLiteral("QPushButton::menu-indicator{image:none}"));
        QVERIFY(!button->menu());
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("Main"));
        QVERIFY(dir.iniText().contains("language=English"));

        // In English the entries read the same.
        texts.clear();
        QTimer::singleShot(0, [&] {
            auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
            if (!menu)
                return;
            for (QAction *a : menu->actions())
                texts << a->text();
            menu->actions().first()->trigger();
            menu->close();
        });
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(texts, QStringList({"简体中文", "English"}));
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("主页"));
        QVERIFY(dir.iniText().contains("language=Chinese"));
    }

    void deviceEntriesShowTheirDefaultsAndTheFirstItsState()
    {
        IniDir dir;
        MainDialog d;
        d.ThreadShowData_Slot(); // the list as a scan with no answers leaves it
        QCOMPARE(d.deviceList().pairs().size(), 1);
        DeviceInfoUI *first = d.deviceList().pairs().first().entry;
        QVERIFY(first);
        auto text = [first](const char *name) { return child<QLabel>(*first, name)->text(); };
        first->setSerialText(QStringLiteral("ABC123"));
        QCOMPARE(text("label_connect_type"), QStringLiteral("连接"));
        QCOMPARE(text("label_index_value"), QStringLiteral("主:1"));
        QVERIFY(first->isTicked());

        chooseEnglish(d);
        QCOMPARE(text("label_model"), QStringLiteral("Model"));
        QCOMPARE(text("label_model_value"), QStringLiteral("Simulator"));
        QCOMPARE(text("label_serial_value"), QStringLiteral("[none]"));
        QCOMPARE(text("label_index_value"), QString());
        QCOMPARE(child<QPushButton>(*first, "btn_Tick")->toolTip(),
                 QStringLiteral("Click to add device"));
        // The window shows the link state of the first entry again.
        QCOMPARE(text("label_connect_type"), QStringLiteral("Connect"));
        QCOMPARE(child<QWidget>(*first, "widget_background")->styleSheet(),
                 QStringLiteral("background-color: rgb(16, 157, 56);"));

        first->setState(EntryState::Error);
        chooseChinese(d);
        QCOMPARE(text("label_model_value"), QStringLiteral("模拟器"));
        QCOMPARE(text("label_connect_type"), QStringLiteral("错误"));

        // An idle first entry keeps the default word.
        first->setState(EntryState::Idle);
        chooseEnglish(d);
        QCOMPARE(text("label_connect_type"), QStringLiteral("none"));
    }

    void rangePanelKeepsItsVoltageMinimum()
    {
        IniDir dir;
        dir.writeIni("[General]\nVbus_Min_Value=12.50\nVbus_Max_Value=13.25\nVbusIsOpen=1\n");
        QWidget area;
        customcoordinates panel(&area);
        auto *vmin = child<QLineEdit>(panel, "edit_VBUS_Min");
        QCOMPARE(vmin->text(), QStringLiteral("12.50"));

        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/Language/lib_en.qm")));
        QCoreApplication::installTranslator(&english);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(vmin->text(), QStringLiteral("12.50"));
        QCOMPARE(child<QLineEdit>(panel, "edit_VBUS_Max")->text(), QStringLiteral("13.25"));
        QCOMPARE(child<QPushButton>(panel, "btn_VBUS")->text(), QStringLiteral("Enable"));
        QCOMPARE(child<QPushButton>(panel, "btn_IBUS")->text(), QStringLiteral("Close"));
        QCOMPARE(child<QPushButton>(panel, "btn_CLOS_SET")->text(), QStringLiteral("OK"));
        QStringList headers;
        for (QLabel *l : panel.findChildren<QLabel *>())
            headers << l->text();
        for (const char *h : {"Data axis", "Minimum value", "Maximum value", "State"})
            QVERIFY2(headers.contains(QLatin1String(h)), h);

        QCoreApplication::removeTranslator(&english);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(vmin->text(), QStringLiteral("12.50"));
        QCOMPARE(child<QPushButton>(panel, "btn_VBUS")->text(), QStringLiteral("启用"));

        // The window's own panel, through the language menu's switch.
        MainDialog d;
        auto *own = child<customcoordinates>(d, QString());
        chooseEnglish(d);
        QCOMPARE(child<QLineEdit>(*own, "edit_VBUS_Min")->text(), QStringLiteral("12.50"));
        QCOMPARE(child<QPushButton>(*own, "btn_VBUS")->text(), QStringLiteral("Enable"));
    }
};

QTEST_MAIN(TestLanguage)
#include "test_language.moc"
