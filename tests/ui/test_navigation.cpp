// Navigation of the main window: menu entries, shortcuts and return buttons,
// checked by the pages shown, the titles and the reports that reach the wire.
#include "maindialog.h"
#include "recordinghandle.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>
#include <QTranslator>
#include <QtTest>

namespace {

constexpr quint8 Address = 0x03;

template <class T> T *child(const MainDialog &d, const QString &name)
{
    T *w = d.findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

QString text(const MainDialog &d, const QString &name)
{
    return child<QLabel>(d, name)->text();
}

// A long command frame with a zero value field, then zeros.
void checkPlain(const QByteArray &r, int code)
{
    QCOMPARE(r.size(), 64);
    QCOMPARE(quint8(r[0]), quint8(0x55));
    QCOMPARE(quint8(r[1]), quint8(0x05));
    QCOMPARE(quint8(r[2]), Address);
    QCOMPARE(int(quint8(r[3])), code);
    for (int i = 4; i < 8; ++i)
        QCOMPARE(quint8(r[i]), quint8(0));
    QCOMPARE(quint8(r[8]), quint8(0xEE));
    QCOMPARE(quint8(r[9]), quint8(0xFF));
    QCOMPARE(r.mid(10), QByteArray(54, '\0'));
}

// The 9-byte settings read request 55 05 aa 03 00 00 00 EE FF, then zeros.
void checkReadRequest(const QByteArray &r)
{
    const QByteArray expected = QByteArray::fromHex("550503030000 00eeff") + QByteArray(55, '\0');
    QCOMPARE(r.toHex(' '), expected.toHex(' '));
}

// English for two menu entries, as the translation file gives them.
class EnglishMenu : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "MainDialog") != 0)
            return QString();
        if (QString::fromUtf8(source) == QStringLiteral("恒电流模式"))
            return QStringLiteral("Constant Current");
        if (QString::fromUtf8(source) == QStringLiteral("仪表参数设置"))
            return QStringLiteral("Setting");
        return QString();
    }
};

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        dialog = new MainDialog;
        handle = new RecordingHandle;
        dialog->setMainHandle(handle);
        dialog->setBusAddress(Address);
    }
    void cleanup()
    {
        delete dialog;
        delete handle;
    }

    void startsOnConnectHint()
    {
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageStart));
        QCOMPARE(text(*dialog, "Tips_label"),
                 QStringLiteral("请使用数据线将设备的HID口与电脑相连接！"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("ORVANE_USB_TESTER"));
        QCOMPARE(int(dialog->windowFlags() & 0xE800), 0xE800);
        QVERIFY(dialog->testAttribute(Qt::WA_TranslucentBackground));
        QCOMPARE(dialog->size(), QSize(1232, 900));
        QCOMPARE(dialog->findChild<QWidget *>("widgetTitle")->property("form").toString(),
                 QStringLiteral("title"));
        QVERIFY(handle->written.isEmpty());
    }

    void homeMenusCarryTextsIconsAndColours()
    {
        const QStringList load = {"固件升级",        "仪表参数设置", "恒电流模式", "恒电压模式",
                                  "恒电阻模式",      "恒功率模式",   "测内阻",     "测电源",
                                  "测线组",          "充放充",       "充放充放充", "充放电循环测试",
                                  "更多功能等待开发"};
        for (int i = 0; i < load.size(); ++i) {
            auto *b = child<QToolButton>(*dialog, QStringLiteral("tbtn%1").arg(i + 1));
            QCOMPARE(b->text(), load[i]);
            QVERIFY(!b->icon().isNull());
            QCOMPARE(b->iconSize(), QSize(100, 70));
            QCOMPARE(b->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        }
        const QStringList tester = {"固件升级", "仪表参数设置", "数据图表展示", "更多功能等待开发"};
        for (int i = 0; i < tester.size(); ++i)
            QCOMPARE(child<QToolButton>(*dialog, QStringLiteral("RX41_tbtn%1").arg(i + 1))->text(),
                     tester[i]);
        QCOMPARE(
            child<QToolButton>(*dialog, "tbtn3")->styleSheet(),
            QStringLiteral("QToolButton{font:15px;background:#C0392B;}"
                           "QToolButton{border:none;border-radius:8px;padding:5px;}"
                           "QToolButton:pressed{background:#737A97;}"
                           "QToolButton:hover{ border-style: outset; border: 2px groove green;}"));
    }

    void menuEntry_data()
    {
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("titleLabel");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("runText");

        QTest::newRow("firmware") << 1 << "tbtn1" << 1 << "upgrade_labTitle" << QList<int>{} << ""
                                  << ""
                                  << "";
        QTest::newRow("settings") << 1 << "tbtn2" << 3 << "settings_labTitle"
                                  << QList<int>{0x03, 0x46} << ""
                                  << ""
                                  << "";
        QTest::newRow("current") << 1 << "tbtn3" << 2 << "disp_labTitle" << QList<int>{0x47}
                                 << "Is:"
                                 << "A"
                                 << "开始放电";
        QTest::newRow("voltage") << 1 << "tbtn4" << 2 << "disp_labTitle" << QList<int>{0x48}
                                 << "Vs:"
                                 << "V"
                                 << "开始放电";
        QTest::newRow("resistance")
            << 1 << "tbtn5" << 2 << "disp_labTitle" << QList<int>{0x49} << "Rs:"
            << "Ω"
            << "开始放电";
        QTest::newRow("power") << 1 << "tbtn6" << 2 << "disp_labTitle" << QList<int>{0x4A} << "Ps:"
                               << "W"
                               << "开始放电";
        QTest::newRow("internal res")
            << 1 << "tbtn7" << 6 << "six_labTitle" << QList<int>{0x4B} << ""
            << ""
            << "";
        QTest::newRow("supply") << 1 << "tbtn8" << 6 << "six_labTitle" << QList<int>{0x4C} << ""
                                << ""
                                << "";
        QTest::newRow("cable") << 1 << "tbtn9" << 6 << "six_labTitle" << QList<int>{0x4D} << ""
                               << ""
                               << "";
        QTest::newRow("cdc") << 1 << "tbtn10" << 2 << "disp_labTitle" << QList<int>{0x4E} << "Is:"
                             << "A"
                             << "开始";
        QTest::newRow("cdcdc") << 1 << "tbtn11" << 2 << "disp_labTitle" << QList<int>{0x4F} << "Is:"
                               << "A"
                               << "开始";
        QTest::newRow("cycles") << 1 << "tbtn12" << 6 << "six_labTitle" << QList<int>{0x50} << ""
                                << ""
                                << "";
        QTest::newRow("more") << 1 << "tbtn13" << 6 << "six_labTitle" << QList<int>{0x51} << ""
                              << ""
                              << "";
        QTest::newRow("tester firmware")
            << 4 << "RX41_tbtn1" << 1 << "upgrade_labTitle" << QList<int>{} << ""
            << ""
            << "";
        QTest::newRow("tester settings")
            << 4 << "RX41_tbtn2" << 9 << "RX41_settings_labTitle" << QList<int>{0x03, 0x46} << ""
            << ""
            << "";
        QTest::newRow("tester chart")
            << 4 << "RX41_tbtn3" << 2 << "disp_labTitle" << QList<int>{0x47} << ""
            << ""
            << "";
        QTest::newRow("tester more")
            << 4 << "RX41_tbtn4" << 6 << "six_labTitle" << QList<int>{0x51} << ""
            << ""
            << "";
    }

    void menuEntry()
    {
        QFETCH(int, deviceClass);
        QFETCH(QString, button);
        QFETCH(int, page);
        QFETCH(QString, titleLabel);
        QFETCH(QList<int>, codes);
        QFETCH(QString, caption);
        QFETCH(QString, unit);
        QFETCH(QString, runText);

        dialog->setDeviceClass(quint8(deviceClass));
        dialog->setCurrentPage(deviceClass == 1 ? MainDialog::PageHome : MainDialog::PageRx41Home);
        auto *b = child<QToolButton>(*dialog, button);
        const QString entry = b->text();
        b->click();

        QCOMPARE(dialog->currentPage(), page);
        QCOMPARE(text(*dialog, titleLabel), entry);
        QCOMPARE(handle->codes(), codes);
        if (codes.size() == 2) {
            checkReadRequest(handle->written[0]);
            checkPlain(handle->written[1], 0x46);
        } else if (codes.size() == 1) {
            checkPlain(handle->written[0], codes[0]);
        }
        if (!caption.isEmpty()) {
            QCOMPARE(text(*dialog, "label_cons"), caption);
            QCOMPARE(text(*dialog, "label_unit"), unit);
        }
        if (!runText.isEmpty()) {
            auto *run = child<QPushButton>(*dialog, "disp_Btn_Run");
            QCOMPARE(run->text(), runText);
            QCOMPARE(run->toolTip(), runText == "开始" ? QStringLiteral("开始/停止")
                                                       : QStringLiteral("开始放电/停止放电"));
        }
        if (page == MainDialog::PageUpgrade) {
            auto *bar = child<QProgressBar>(*dialog, "upgrade_progressBar_fw");
            QCOMPARE(bar->format(), QStringLiteral("loading"));
            QCOMPARE(bar->value(), 0);
            QCOMPARE(bar->maximum(), 100);
        }
    }

    void dispatchFollowsTheLanguage()
    {
        EnglishMenu english;
        QCoreApplication::installTranslator(&english);
        dialog->retranslate();
        auto *b = child<QToolButton>(*dialog, "tbtn3");
        QCOMPARE(b->text(), QStringLiteral("Constant Current"));
        dialog->setDeviceClass(1);
        dialog->setCurrentPage(MainDialog::PageHome);
        b->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageDisp));
        QCOMPARE(text(*dialog, "disp_labTitle"), QStringLiteral("Constant Current"));
        QCOMPARE(handle->codes(), QList<int>{0x47});
        QCoreApplication::removeTranslator(&english);
        dialog->retranslate();
        QCOMPARE(b->text(), QStringLiteral("恒电流模式"));
    }

    void settingsEntryWithoutClassKeepsPageButAsks()
    {
        dialog->setCurrentPage(MainDialog::PageHome);
        child<QToolButton>(*dialog, "tbtn2")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageHome));
        QCOMPARE(handle->codes(), (QList<int>{0x03, 0x46}));
        checkReadRequest(handle->written[0]);
        checkPlain(handle->written[1], 0x46);
    }

    void unknownTextDoesNothing()
    {
        dialog->setDeviceClass(1);
        dialog->setCurrentPage(MainDialog::PageHome);
        auto *b = child<QToolButton>(*dialog, "tbtn3");
        b->setText(QStringLiteral("Constant Current?"));
        b->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageHome));
        QVERIFY(handle->written.isEmpty());
    }

    void chartDisplayHidesLoadControlsUntilALoadModeIsChosen()
    {
        dialog->show();
        dialog->setDeviceClass(4);
        dialog->setCurrentPage(MainDialog::PageRx41Home);
        child<QToolButton>(*dialog, "RX41_tbtn3")->click();
        for (const char *name :
             {"widgetConsValue", "disp_Btn_Run", "lineEdit_value_zero_v", "lineEdit_value_full_a",
              "disp_btn_temp", "disp_label_FANT_VALUE", "disp_label_FANS_VALUE"})
            QVERIFY2(!child<QWidget>(*dialog, name)->isVisible(), name);
        QVERIFY(child<QWidget>(*dialog, "disp_label_VOL")->isVisible());

        dialog->setDeviceClass(1);
        dialog->setCurrentPage(MainDialog::PageHome);
        child<QToolButton>(*dialog, "tbtn3")->click();
        QVERIFY(child<QWidget>(*dialog, "widgetConsValue")->isVisible());
        QVERIFY(child<QWidget>(*dialog, "disp_Btn_Run")->isVisible());
    }

    void returnButtons_data()
    {
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("homeTitle");
        QTest::addColumn<QList<int>>("codes");

        const QList<int> home{0x45};
        QTest::newRow("readings, load")
            << 1 << 2 << "disp_btnReturn" << 0 << "测试仪主界面" << home;
        QTest::newRow("readings, tester")
            << 4 << 2 << "disp_btnReturn" << 7 << "电能表主界面" << home;
        QTest::newRow("readings, none") << 0 << 2 << "disp_btnReturn" << 2 << "主页菜单" << home;
        QTest::newRow("upgrade, load")
            << 1 << 1 << "upgrade_btnReturn" << 0 << "测试仪主界面" << home;
        QTest::newRow("upgrade, tester")
            << 4 << 1 << "upgrade_btnReturn" << 7 << "电能表主界面" << home;
        QTest::newRow("settings") << 1 << 3 << "settings_btnReturn" << 0 << "测试仪主界面" << home;
        QTest::newRow("four") << 4 << 4 << "four_btnReturn" << 0 << "测试仪主界面" << home;
        QTest::newRow("five") << 0 << 5 << "five_btnReturn" << 0 << "测试仪主界面" << home;
        QTest::newRow("six, load") << 1 << 6 << "six_btnReturn" << 0 << "测试仪主界面" << home;
        QTest::newRow("six, tester") << 4 << 6 << "six_btnReturn" << 7 << "主页菜单" << home;
        QTest::newRow("six, none") << 0 << 6 << "six_btnReturn" << 6 << "主页菜单" << home;
        QTest::newRow("tester settings")
            << 4 << 9 << "RX41_settings_btnReturn" << 7 << "RX41主界面" << QList<int>{};
    }

    void returnButtons()
    {
        QFETCH(int, deviceClass);
        QFETCH(int, from);
        QFETCH(QString, button);
        QFETCH(int, to);
        QFETCH(QString, homeTitle);
        QFETCH(QList<int>, codes);

        dialog->setDeviceClass(quint8(deviceClass));
        dialog->setCurrentPage(from);
        child<QPushButton>(*dialog, button)->click();
        QCOMPARE(dialog->currentPage(), to);
        QCOMPARE(text(*dialog, "labTitle"), homeTitle);
        QCOMPARE(handle->codes(), codes);
        if (!codes.isEmpty())
            checkPlain(handle->written[0], 0x45);
        QCOMPARE(child<QPushButton>(*dialog, "btnReturn")->text(), QString(QChar(0xF073)));
    }

    void returnButtonsDoNothingOnHomePage()
    {
        dialog->setDeviceClass(4);
        dialog->setCurrentPage(MainDialog::PageHome);
        for (const char *name : {"disp_btnReturn", "upgrade_btnReturn", "settings_btnReturn",
                                 "four_btnReturn", "five_btnReturn", "six_btnReturn",
                                 "RX41_settings_btnReturn", "btnReturn", "RX41_btnReturn"})
            child<QPushButton>(*dialog, name)->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageHome));
        QCOMPARE(text(*dialog, "labTitle"), QStringLiteral("主页菜单"));
        QVERIFY(handle->written.isEmpty());
    }

    void shortcutsOfTheReadingsPage()
    {
        dialog->setDeviceClass(4);
        dialog->setCurrentPage(MainDialog::PageDisp);
        child<QPushButton>(*dialog, "disp_btnUpgrade")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageUpgrade));
        QCOMPARE(text(*dialog, "upgrade_labTitle"), QStringLiteral("固件升级"));
        QCOMPARE(child<QProgressBar>(*dialog, "upgrade_progressBar_fw")->format(),
                 QStringLiteral("loading"));
        QVERIFY(handle->written.isEmpty());

        dialog->setCurrentPage(MainDialog::PageDisp);
        child<QPushButton>(*dialog, "disp_btnSysSet")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageRx41Settings));
        QCOMPARE(text(*dialog, "settings_labTitle"), QStringLiteral("仪表参数设置"));
        QCOMPARE(handle->codes(), (QList<int>{0x03, 0x46}));

        handle->written.clear();
        dialog->setDeviceClass(0);
        dialog->setCurrentPage(MainDialog::PageDisp);
        child<QPushButton>(*dialog, "disp_btnSysSet")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageDisp));
        QCOMPARE(handle->codes(), (QList<int>{0x03, 0x46}));
    }

    void nothingIsWrittenWithoutHandle()
    {
        dialog->setMainHandle(nullptr);
        dialog->setDeviceClass(1);
        for (int i = 1; i <= 13; ++i) {
            dialog->setCurrentPage(MainDialog::PageHome);
            child<QToolButton>(*dialog, QStringLiteral("tbtn%1").arg(i))->click();
            QVERIFY(dialog->currentPage() != MainDialog::PageHome);
            child<QPushButton>(*dialog, "disp_btnReturn")->click();
        }
        child<QPushButton>(*dialog, "disp_btnSysSet")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageSettings));
        QVERIFY(handle->written.isEmpty());
    }

    void senderZeroFillsAndBoundsTheReport()
    {
        const unsigned char frame[] = {0x55, 0x05, 0x01, 0x25, 0x01, 0x00, 0x00, 0x00, 0xEE, 0xFF};
        dialog->send_data(frame, 10);
        QCOMPARE(handle->written.size(), 1);
        QCOMPARE(handle->written[0].left(10).toHex(), QByteArray("5505012501000000eeff"));
        QCOMPARE(handle->written[0].mid(10), QByteArray(54, '\0'));

        // Lengths outside one report never read past the frame or write more.
        unsigned char big[80];
        memset(big, 0x66, sizeof big);
        dialog->send_data(big, 80);
        dialog->send_data(big, -5);
        dialog->send_data(nullptr, 10);
        QCOMPARE(handle->written.size(), 4);
        QCOMPARE(handle->written[1], QByteArray(64, char(0x66)));
        QCOMPARE(handle->written[2], QByteArray(64, '\0'));
        QCOMPARE(handle->written[3], QByteArray(64, '\0'));

        handle->written.clear();
        dialog->setBusAddress(0x00);
        dialog->send_command(0x45);
        QCOMPARE(handle->written[0].left(10).toHex(), QByteArray("5505004500000000eeff"));
    }

    void returnKeyInAnEditPressesNoButton()
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        dialog->setDeviceClass(1);
        dialog->setCurrentPage(MainDialog::PageDisp);
        int clicks = 0;
        for (QPushButton *b : dialog->findChildren<QPushButton *>())
            connect(b, &QPushButton::clicked, this, [&clicks] { ++clicks; });
        // A button that had the focus once would be the dialog's default.
        auto *search = child<QPushButton>(*dialog, "btn_search");
        search->setFocus();
        auto *edit = child<QLineEdit>(*dialog, "lineEdit_value");
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(clicks, 0);
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageDisp));
        // Return commits the edit's own value, once, and presses nothing else.
        QCOMPARE(handle->written.size(), 1);
        QCOMPARE(quint8(handle->written[0].at(3)), quint8(0x21));
    }

    void maximizeAndTitleDoubleClickRestoreTheRectangle()
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QRect before(31, 17, 1111, 777);
        dialog->setGeometry(before);
        QCOMPARE(dialog->geometry(), before);
        child<QPushButton>(*dialog, "btnMenu_Max")->click();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(dialog->geometry().topLeft(), screen.topLeft());
        QVERIFY(!dialog->isMaximized()); // resized, never put into the platform's state
        QTest::mouseDClick(child<QWidget>(*dialog, "widgetTitle"), Qt::LeftButton, {},
                           QPoint(400, 10));
        QCOMPARE(dialog->geometry(), before);
    }

    void closeTellsTheLinkFirst()
    {
        dialog->show();
        QSignalSpy spy(dialog, &MainDialog::aboutToClose);
        child<QPushButton>(*dialog, "btnMenu_Close")->click();
        QCOMPARE(spy.count(), 1);
        QVERIFY(!dialog->isVisible());
    }

private:
    MainDialog *dialog = nullptr;
    RecordingHandle *handle = nullptr;
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
