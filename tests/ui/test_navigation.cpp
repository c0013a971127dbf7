// Navigation of the main window: menu entries, shortcuts and return buttons,
// checked by the pages shown, the titles and the reports that reach the wire.
#include "../common/fakehandle.h"
#include "hidbackend.h"
#include "maindialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QToolButton>
#include <QTranslator>
#include <QtTest>

namespace {

constexpr quint8 Address = 0x03;

using RecordingHandle = FakeHandle;

// The 64-byte reports for these codes: 0x03 is the settings read request
// 55 05 aa 03 00 00 00 EE FF, any other a command 55 05 aa CODE 00 00 00 00 EE FF.
QList<QByteArray> wire(const QList<int> &codes, quint8 address = Address)
{
    QList<QByteArray> out;
    for (int code : codes) {
        QByteArray r = QByteArray::fromHex("5505") + char(address) + char(code);
        r += QByteArray(code == 0x03 ? 3 : 4, '\0') + QByteArray::fromHex("eeff");
        out << r + QByteArray(64 - r.size(), '\0');
    }
    return out;
}

// English for one menu entry, as the translation file gives it.
struct EnglishMenu : QTranslator
{
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *source, const char *, int) const override
    {
        return QString::fromUtf8(source) == "恒电流模式" ? "Constant Current" : QString();
    }
};

} // namespace

class TestNavigation : public QObject
{
    Q_OBJECT
    InstrumentSession *session = nullptr;
    MainDialog *dialog = nullptr;
    RecordingHandle *handle = nullptr;

    template <class T = QPushButton> T *child(const QString &name)
    {
        T *w = dialog->findChild<T *>(name);
        if (!w)
            qFatal("no widget %s", qPrintable(name));
        return w;
    }
    QString text(const QString &label) { return child<QLabel>(label)->text(); }
    void clickMenu(int deviceClass, const QString &button)
    {
        dialog->setDeviceClass(quint8(deviceClass));
        dialog->setCurrentPage(deviceClass == 4 ? MainDialog::PageRx41Home : MainDialog::PageHome);
        child<QToolButton>(button)->click();
    }

private slots:
    void init()
    {
        session = new InstrumentSession;
        dialog = new MainDialog(*session);
        handle = new RecordingHandle;
        dialog->setMainHandle(handle);
        dialog->setBusAddress(Address);
    }
    void cleanup() { delete dialog, delete session, delete handle; }

    // A finished scan names the family of the master's model word: a known
    // one sets the class and leaves the start page for its home menu.
    void identificationPages()
    {
        // recognised, class, page
        const auto idf = [](const char *model, quint8 cls, int page) {
            const MainDialog::Identification id =
                MainDialog::identify(QString::fromLatin1(model), cls, page);
            return QVector<int>({id.recognised, int(id.deviceClass), id.page});
        };
        QCOMPARE(idf("KV37", 0, MainDialog::PageStart), QVector<int>({1, 1, 0}));
        QCOMPARE(idf("PB62", 0, MainDialog::PageStart), QVector<int>({1, 4, 7}));
        QCOMPARE(idf("rx41", 1, MainDialog::PageStart),
                 QVector<int>({0, 1, MainDialog::PageStart}));
        // The other family while its settings page is open: class follows, page stays.
        QCOMPARE(idf("RX41", 1, MainDialog::PageSettings),
                 QVector<int>({1, 4, MainDialog::PageSettings}));
    }
    void menuEntry_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<int>("page");
        QTest::addColumn<QList<int>>("codes");
        QTest::addColumn<QString>("caption"); // value caption and unit, run button
        auto row = [](const char *button, const char *entry, int page, QList<int> codes,
                      const char *caption = "") {
            QTest::newRow(button) << QString(button) << QString::fromUtf8(entry) << page << codes
                                  << QString::fromUtf8(caption);
        };
        row("tbtn1", "固件升级", 1, {}), row("tbtn2", "仪表参数设置", 3, {0x03, 0x46});
        row("tbtn3", "恒电流模式", 2, {0x47}, "Is: A 开始放电");
        row("tbtn4", "恒电压模式", 2, {0x48}, "Vs: V 开始放电");
        row("tbtn5", "恒电阻模式", 2, {0x49}, "Rs: Ω 开始放电");
        row("tbtn6", "恒功率模式", 2, {0x4A}, "Ps: W 开始放电");
        row("tbtn7", "测内阻", 6, {0x4B}), row("tbtn8", "测电源", 6, {0x4C});
        row("tbtn9", "测线组", 6, {0x4D}), row("tbtn12", "充放电循环测试", 6, {0x50});
        row("tbtn10", "充放充", 2, {0x4E}, "Is: A 开始");
        row("tbtn11", "充放充放充", 2, {0x4F}, "Is: A 开始");
        row("tbtn13", "测试程序", 11, {});
        row("tbtn14", "更多功能等待开发", 6, {0x51});
        row("RX41_tbtn1", "固件升级", 1, {}), row("RX41_tbtn3", "数据图表展示", 2, {0x47});
        row("RX41_tbtn2", "仪表参数设置", 9, {0x03, 0x46});
        row("RX41_tbtn4", "更多功能等待开发", 6, {0x51});
    }
    void menuEntry()
    {
        QFETCH(QString, button);
        QFETCH(QString, entry);
        QFETCH(int, page);
        QFETCH(QList<int>, codes);
        QFETCH(QString, caption);
        QCOMPARE(child<QToolButton>(button)->text(), entry);
        clickMenu(button.startsWith("RX41") ? 4 : 1, button);
        QCOMPARE(dialog->currentPage(), page);
        const char *title[] = {"", "upgrade_", "disp_",          "settings_", "",        "", "six_",
                               "", "",         "RX41_settings_", "history_",  "program_"};
        QCOMPARE(text(title[page] + QStringLiteral("labTitle")), entry);
        QCOMPARE(handle->written, wire(codes));
        if (!caption.isEmpty())
            QCOMPARE(text("label_cons") + ' ' + text("label_unit") + ' ' +
                         child("disp_Btn_Run")->text(),
                     caption);
    }

    void dispatchGoesByTheShownText()
    {
        EnglishMenu english;
        QCoreApplication::installTranslator(&english);
        dialog->retranslate();
        clickMenu(1, "tbtn3");
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageDisp));
        QCOMPARE(text("disp_labTitle"), QStringLiteral("Constant Current"));
        QCOMPARE(handle->written, wire({0x47}));
        QCoreApplication::removeTranslator(&english);
        handle->written.clear();
        // Settings with no device class yet: the page stays, the settings are asked for.
        clickMenu(0, "tbtn2");
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageHome));
        QCOMPARE(handle->written, wire({0x03, 0x46}));
        // A text no entry knows does nothing.
        handle->written.clear();
        child<QToolButton>("tbtn3")->setText(QStringLiteral("Constant Current?"));
        clickMenu(1, "tbtn3");
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageHome));
        QVERIFY(handle->written.isEmpty());
        // Return buttons do nothing on the home page.
        for (const char *name : {"disp_btnReturn", "upgrade_btnReturn", "settings_btnReturn",
                                 "four_btnReturn", "five_btnReturn", "six_btnReturn",
                                 "RX41_settings_btnReturn", "btnReturn", "RX41_btnReturn"})
            child(name)->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageHome));
        QCOMPARE(text("labTitle"), QStringLiteral("主页菜单"));
        QVERIFY(handle->written.isEmpty());
    }

    void chartDisplayHidesLoadControlsUntilALoadModeIsChosen()
    {
        dialog->show();
        clickMenu(4, "RX41_tbtn3");
        for (const char *name :
             {"widgetConsValue", "disp_Btn_Run", "lineEdit_value_zero_v", "lineEdit_value_full_a",
              "disp_btn_temp", "disp_label_FANT_VALUE", "disp_label_FANS_VALUE"})
            QVERIFY2(!child<QWidget>(name)->isVisible(), name);
        QVERIFY(child<QWidget>("disp_label_VOL")->isVisible());
        clickMenu(1, "tbtn3");
        QVERIFY(child<QWidget>("widgetConsValue")->isVisible());
        QVERIFY(child("disp_Btn_Run")->isVisible());
    }

    void returnButtons_data()
    {
        QTest::addColumn<int>("deviceClass");
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("homeTitle");
        auto row = [](int cls, int from, const char *button, int to, const char *title) {
            QTest::addRow("%s, class %d", button, cls)
                << cls << from << QString(button) << to << QString::fromUtf8(title);
        };
        const char *load = "测试仪主界面", *meter = "电能表主界面", *menu = "主页菜单";
        row(1, 2, "disp_btnReturn", 0, load), row(4, 2, "disp_btnReturn", 7, meter);
        row(0, 2, "disp_btnReturn", 2, menu), row(1, 3, "settings_btnReturn", 0, load);
        row(1, 1, "upgrade_btnReturn", 0, load), row(4, 1, "upgrade_btnReturn", 7, meter);
        row(4, 4, "four_btnReturn", 0, load), row(0, 5, "five_btnReturn", 0, load);
        row(1, 6, "six_btnReturn", 0, load), row(4, 6, "six_btnReturn", 7, menu);
        row(0, 6, "six_btnReturn", 6, menu), row(4, 9, "RX41_settings_btnReturn", 7, "RX41主界面");
    }
    void returnButtons()
    {
        QFETCH(int, deviceClass);
        QFETCH(int, from);
        QFETCH(QString, button);
        QFETCH(int, to);
        QFETCH(QString, homeTitle);
        dialog->setDeviceClass(quint8(deviceClass));
        dialog->setCurrentPage(from);
        child(button)->click();
        QCOMPARE(dialog->currentPage(), to);
        QCOMPARE(text("labTitle"), homeTitle);
        // Every return tells the device, except from the tester's settings.
        QCOMPARE(handle->written, wire(from == 9 ? QList<int>{} : QList<int>{0x45}));
    }

    void shortcutsOfTheReadingsPage()
    {
        dialog->setDeviceClass(4);
        dialog->setCurrentPage(MainDialog::PageDisp);
        child("disp_btnUpgrade")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageUpgrade));
        QCOMPARE(text("upgrade_labTitle"), QStringLiteral("固件升级"));
        QVERIFY(handle->written.isEmpty());

        dialog->setCurrentPage(MainDialog::PageDisp);
        child("disp_btnSysSet")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageRx41Settings));
        QCOMPARE(text("settings_labTitle"), QStringLiteral("仪表参数设置"));
        QCOMPARE(handle->written, wire({0x03, 0x46}));
    }

    void nothingIsWrittenWithoutHandle()
    {
        dialog->setMainHandle(nullptr);
        for (int i = 1; i <= 14; ++i) {
            clickMenu(1, QStringLiteral("tbtn%1").arg(i));
            QVERIFY(dialog->currentPage() != MainDialog::PageHome);
            child("disp_btnReturn")->click();
        }
        child("disp_btnSysSet")->click();
        QCOMPARE(dialog->currentPage(), int(MainDialog::PageSettings));
        QVERIFY(handle->written.isEmpty());
    }

    void senderZeroFillsAndBoundsTheReport()
    {
        const unsigned char frame[] = {0x55, 0x05, 0x01, 0x25, 0x01, 0x00, 0x00, 0x00, 0xEE, 0xFF};
        dialog->send_data(frame, 10);
        // Lengths outside one report never read past the frame or write more.
        unsigned char big[80];
        memset(big, 0x66, sizeof big);
        dialog->send_data(big, 80);
        dialog->send_data(big, -5);
        dialog->send_data(nullptr, 10);
        dialog->setBusAddress(0x00);
        dialog->send_command(0x45);
        QCOMPARE(handle->written.size(), 5);
        QCOMPARE(handle->written[0].toHex(), "5505012501000000eeff" + QByteArray(108, '0'));
        QCOMPARE(handle->written[1], QByteArray(64, char(0x66)));
        QCOMPARE(handle->written[2] + handle->written[3], QByteArray(128, '\0'));
        QCOMPARE(handle->written[4], wire({0x45}, 0x00)[0]);
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
        child("btn_search")->setFocus(); // a button that had the focus once would be the default
        auto *edit = child<QLineEdit>("lineEdit_value");
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

    void titleBarMaximizeRestoreAndClose()
    {
        dialog->show();
        QVERIFY(QTest::qWaitForWindowExposed(dialog));
        const QRect before(31, 17, 1111, 777);
        dialog->setGeometry(before);
        child("btnMenu_Max")->click();
        QCOMPARE(dialog->geometry().topLeft(),
                 QGuiApplication::primaryScreen()->availableGeometry().topLeft());
        QVERIFY(!dialog->isMaximized()); // resized, never put into the platform's state
        dialog->move(10, 10);            // moved while maximized: still comes back to where it was
        QTest::mouseDClick(child<QWidget>("widgetTitle"), Qt::LeftButton, {}, QPoint(400, 10));
        QCOMPARE(dialog->geometry(), before);
        // Closing tells the link first.
        QSignalSpy spy(dialog, &MainDialog::aboutToClose);
        child("btnMenu_Close")->click();
        QCOMPARE(spy.count(), 1);
        QVERIFY(!dialog->isVisible());
    }
};

QTEST_MAIN(TestNavigation)
#include "test_navigation.moc"
