// The main window's pages as a user sees them: the widgets the rest of the
// program fills, their captions, ranges and hints, and readings that stay
// large and whole as the window changes size. With UI_SHOTS_DIR set, every
// page is also saved there as a PNG.
#include "maindialog.h"
#include "startup.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QStackedWidget>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

namespace {

QString shownText(QObject *o)
{
    if (auto *l = qobject_cast<QLabel *>(o))
        return l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(o))
        return b->text();
    if (auto *e = qobject_cast<QLineEdit *>(o))
        return e->text();
    if (auto *g = qobject_cast<QGroupBox *>(o))
        return g->title();
    return QStringLiteral("<not a text widget>");
}

const QStringList readingNames = {"disp_label_VOL", "disp_label_CUR", "disp_label_POW",
                                  "disp_label_RES", "disp_label_ELE", "disp_label_CAP"};

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

private slots:
    void pagesInStackOrder()
    {
        MainDialog d;
        auto *stack = d.findChild<QStackedWidget *>("disp_stackedWidget");
        QVERIFY(stack);
        const QStringList names = {"page",       "page_upgrade", "page_disp", "page_settings",
                                   "page_four",  "page_five",    "page_six",  "RX41_page_1",
                                   "Start_page", "page_2"};
        QCOMPARE(stack->count(), names.size());
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(stack->widget(i)->objectName(), names[i]);
    }

    void texts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const QList<QPair<const char *, const char *>> rows = {
            {"title_text_label", "ORVANE Zavrell System APP V1.0.6"},
            {"labTitle", "主页菜单"},
            {"main_label_tip", "主页"},
            {"RX41_main_label_tip", "主页"},
            {"RX41_labTitle", "RX41/PB62/PB66主页菜单"},
            {"upgrade_label_tip", "返回主页"},
            {"disp_label_tip", "返回主页"},
            {"disp_label_tip_2", "固件升级"},
            {"disp_label_tip_3", "仪表设置"},
            {"settings_label_tip", "返回主页"},
            {"four_label_tip", "返回主页"},
            {"settings_label_tip_2", "返回主页"},
            {"label_left_tips", "Tips:Hello!"},
            {"label_left_tips_2", ""},
            {"label_left_tips_3", ""},
            {"settings_labTitle", "系统设置"},
            {"RX41_settings_labTitle", "系统设置"},
            {"four_labTitle", "协议触发"},
            {"five_labTitle", "快充协议自动检测"},
            {"six_labTitle", "电池容量"},
            {"four_label_text", "此功能正在加点开发中，敬请期待。"},
            {"six_label_text", "此功能正在加点开发中，敬请期待。"},
            // upgrade page
            {"upgrade_groupBox_local", "本地升级"},
            {"upgrade_groupBox_fw", "固件信息"},
            {"upgrade_groupBox_dev", "设备信息"},
            {"upgrade_label_fwsize", "固件大小："},
            {"upgrade_label_openfile", "打开固件："},
            {"upgrade_label_dev", "设备名称："},
            {"upgrade_label_log", "升级日志："},
            {"upgrade_pushButton_openfile", "浏览"},
            {"upgrade_pushButton_start", "开始下载"},
            // readings page
            {"disp_labTitle", "恒电流模式"},
            {"label_cons", "Is:"},
            {"lineEdit_value", "00.0000"},
            {"label_unit", "A"},
            {"label_zero_v", "电池放完电压:"},
            {"lineEdit_value_zero_v", "000.0"},
            {"label_unit_zero_v", "V"},
            {"label_limitime", "限时放电时间:"},
            {"lineEdit_value_lilitime_h", "00"},
            {"label_limitime_colon", "："},
            {"lineEdit_value_limitime_m", "00"},
            {"label_full_v", "电池充满电压:"},
            {"lineEdit_value_full_v", "000.0"},
            {"label_unit_full_v", "V"},
            {"label_full_a", "电池充满电流:"},
            {"label_full_a_less", "<"},
            {"lineEdit_value_full_a", "00.00"},
            {"label_unit_full_a", "A"},
            {"disp_Btn_Run", "开始放电"},
            {"disp_btn_dp_dm", "ELE/CAP"},
            {"disp_btn_cc1_cc2", "CPU/NTC"},
            {"disp_btn_temp", "MOS_T"},
            {"disp_btn_title", "Simple Real-Time Chart"},
            {"disp_label_V", "V"},
            {"disp_label_A", "A"},
            {"disp_label_W", "W"},
            {"disp_label_O", "Ω"},
            {"disp_label_WH", "Wh"},
            {"disp_label_mAh", "mAh"},
            {"disp_label_CPU_DEGREE", "°C"},
            {"disp_label_NTC_DEGREE", "°C"},
            // load settings page
            {"settings_group_01", "01 界面显示风格"},
            {"settings_btn_CN1", "中文数字"},
            {"settings_btn_CN2", "中文曲线"},
            {"settings_btn_EN1", "EN-Numbe"},
            {"settings_btn_EN2", "EN-Curve"},
            {"settings_group_02", "02 工作屏幕亮度"},
            {"settings_label_worklight", "1"},
            {"settings_group_03", "03 待机屏幕亮度"},
            {"settings_label_standlight", "1"},
            {"settings_group_04", "04 进入待机时间"},
            {"settings_label_standtime", "60"},
            {"settings_group_05", "05 限时放电时间"},
            {"settings_edit_timeh", "00"},
            {"settings_edit_timem", "00"},
            {"settings_group_06", "06 参考电压校准"},
            {"settings_lab_voltvalue", "none"},
            {"settings_lab_califact_voltvalue", "1.000"},
            {"settings_group_07", "07 参考电流校准"},
            {"settings_group_08", "08 外部温度校准"},
            {"settings_group_09", "09 空载电流清零"},
            {"settings_btn_clearcurrent", "电流清零"},
            {"settings_group_10", "10 累计数据清零"},
            {"settings_btn_datazero", "数据清零"},
            {"settings_group_11", "11 恢复出厂设置"},
            {"settings_btn_factory_reset", "恢复出厂设置"},
            {"settings_group_12", "12 其他参数设置"},
            {"settings_edit_voltzero_caption", "放电停止电压："},
            {"settings_edit_mosover_caption", "MOS管过温门限："},
            {"settings_edit_mosover_unit", "°C"},
            // tester settings page
            {"RX41_settings_btn_CN", "简体中文"},
            {"RX41_settings_btn_EN", "ENGLISH"},
            {"RX41_settings_label_standlight", "0"},
            {"RX41_settings_group_05", "05 选分流器规格"},
            {"RX41_settings_btn_factory_reset", "恢复出厂设置"},
            {"RX41_settings_edit_overvolt_caption", "过压自动提示："},
            {"RX41_settings_edit_lowvolt_caption", "低压自动提示："},
            {"RX41_settings_edit_overpower_caption", "过功自动提示："},
            {"RX41_settings_edit_ntcover_caption", "探头过温门限："},
            // device panel
            {"btn_search", "点击搜索总线设备"},
        };
        for (const auto &r : rows)
            QTest::newRow(r.first) << QString::fromUtf8(r.first) << QString::fromUtf8(r.second);
    }

    void texts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        MainDialog d;
        QObject *o = d.findChild<QWidget *>(name);
        QVERIFY2(o, qPrintable(name));
        QCOMPARE(shownText(o), text);
    }

    void tooltipsHintsAndSizes()
    {
        MainDialog d;
        auto tip = [&d](const char *n) { return d.findChild<QWidget *>(n)->toolTip(); };
        QCOMPARE(tip("btnMenu_Menu"), QStringLiteral("下拉菜单"));
        QCOMPARE(tip("btnMenu_Min"), QStringLiteral("最小化"));
        QCOMPARE(tip("btnMenu_Max"), QStringLiteral("最大化"));
        QCOMPARE(tip("btnMenu_Close"), QStringLiteral("关闭"));
        QCOMPARE(tip("btnReturn"),
                 QStringLiteral("<html><head/><body><p>主页菜单</p></body></html>"));
        for (const char *n :
             {"upgrade_btnReturn", "disp_btnReturn", "settings_btnReturn", "four_btnReturn",
              "five_btnReturn", "six_btnReturn", "RX41_settings_btnReturn"}) {
            QCOMPARE(tip(n), QStringLiteral("返回主页"));
            QCOMPARE(d.findChild<QPushButton *>(n)->text(), QString(QChar(0xF122)));
        }
        QCOMPARE(tip("disp_btnUpgrade"), QStringLiteral("系统升级快捷键"));
        QCOMPARE(tip("disp_btnSysSet"), QStringLiteral("仪表设置快捷键"));
        QCOMPARE(tip("disp_btn_dp_dm"), QStringLiteral("DP/DM曲线"));
        QCOMPARE(tip("disp_btn_cc1_cc2"), QStringLiteral("CC1/CC2曲线"));
        QCOMPARE(tip("disp_btn_temp"), QStringLiteral("CPU温度曲线"));
        QCOMPARE(tip("disp_Btn_Run"), QStringLiteral("开始放电/停止放电"));
        for (const char *n :
             {"lineEdit_value", "lineEdit_value_zero_v", "lineEdit_value_lilitime_h",
              "lineEdit_value_limitime_m", "lineEdit_value_full_v", "lineEdit_value_full_a"}) {
            auto *e = d.findChild<QLineEdit *>(n);
            QCOMPARE(e->toolTip(), QStringLiteral("单击可设置"));
            QVERIFY2(!e->validator(), n); // any text may be typed; the parse decides
        }
        const QList<QPair<const char *, ushort>> glyphs = {
            {"btnMenu_Menu", 0xF150},  {"btnMenu_Min", 0xF068}, {"btnMenu_Max", 0xF2D0},
            {"btnMenu_Close", 0xF00D}, {"btnReturn", 0xF073},   {"RX41_btnReturn", 0xF073}};
        for (const auto &g : glyphs)
            QCOMPARE(d.findChild<QPushButton *>(g.first)->text(), QString(QChar(g.second)));
        const QList<QPair<const char *, QSize>> fixed = {
            {"title_icon_label", {40, 25}}, {"title_text_label", {220, 20}},
            {"label_main_icon", {184, 20}}, {"btnMenu_Menu", {30, 30}},
            {"btnMenu_Min", {30, 30}},      {"btnMenu_Max", {30, 30}},
            {"btnMenu_Close", {30, 30}}};
        for (const auto &f : fixed) {
            QCOMPARE(d.findChild<QWidget *>(f.first)->minimumSize(), f.second);
            QCOMPARE(d.findChild<QWidget *>(f.first)->maximumSize(), f.second);
        }
        for (const char *n : {"label_left_tips", "label_left_tips_2", "label_left_tips_3"}) {
            const QSize m = d.findChild<QWidget *>(n)->maximumSize();
            QVERIFY(m.width() <= 360 && m.height() <= 21);
        }
        QVERIFY(!d.findChild<QPushButton *>("upgrade_pushButton_start")->isEnabled());
        QVERIFY(!d.findChild<QPushButton *>("upgrade_pushButton_openfile")->icon().isNull());
        QVERIFY(d.findChild<QTextEdit *>("upgrade_text_log"));
        QVERIFY(d.findChild<QProgressBar *>("upgrade_progressBar_fw"));
        QVERIFY(d.findChild<QLabel *>("upgrade_label_connect"));
        QVERIFY(d.findChild<QGridLayout *>("disap_gridLayout"));
        QVERIFY(!d.findChild<QPushButton *>("disp_btn_menu")->icon().isNull());
        QCOMPARE(d.findChild<QPushButton *>("disp_btn_title")->styleSheet(),
                 QStringLiteral("background:transparent;\nborder-width:0px;\nborder-radius:0px;"));
    }

    void slidersAndShuntSizes()
    {
        MainDialog d;
        struct Range
        {
            const char *name;
            int min, max, value;
        };
        const QList<Range> ranges = {{"settings_slider_worklight", 1, 9, 1},
                                     {"settings_slider_standlight", 1, 9, 1},
                                     {"settings_slider_standtime", 10, 60, 60},
                                     {"settings_slider_voltcali", 500, 2000, 1000},
                                     {"settings_slider_currcali", 500, 2000, 1000},
                                     {"settings_slider_tempcali", 500, 2000, 1000},
                                     {"RX41_settings_slider_worklight", 1, 9, 1},
                                     {"RX41_settings_slider_standlight", 0, 9, 0},
                                     {"RX41_settings_slider_standtime", 10, 60, 60},
                                     {"RX41_settings_slider_voltcali", 500, 2000, 1000},
                                     {"RX41_settings_slider_currcali", 500, 2000, 1000},
                                     {"RX41_settings_slider_tempcali", 500, 2000, 1000}};
        for (const Range &r : ranges) {
            auto *s = d.findChild<QSlider *>(r.name);
            QVERIFY2(s, r.name);
            QCOMPARE(s->minimum(), r.min);
            QCOMPARE(s->maximum(), r.max);
            QCOMPARE(s->value(), r.value);
        }
        QCOMPARE(d.findChild<QSlider *>("settings_slider_worklight")->pageStep(), 1);
        auto *combo = d.findChild<QComboBox *>("RX41_setting_comboBox");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items,
                 (QStringList{"30A", "100A", "200A", "300A", "400A", "500A", "600A", "1000A"}));
    }

    void homeMenuButtonsShowTheirColours()
    {
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.setCurrentPage(MainDialog::PageHome);
        auto *b = d.findChild<QToolButton *>("tbtn3");
        const QImage shot = b->grab().toImage();
        // Just inside the rounded corner: the button's own background.
        QCOMPARE(shot.pixelColor(10, shot.height() - 10).name(), QStringLiteral("#c0392b"));
    }

    void readingsStayLargeAndWhole()
    {
        MainDialog d;
        d.setCurrentPage(MainDialog::PageDisp);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QCOMPARE(d.size(), QSize(1232, 900));

        auto check = [&d](int minPx) {
            for (const QString &n : readingNames) {
                auto *l = d.findChild<QLabel *>(n);
                const int width = l->fontMetrics().horizontalAdvance(QStringLiteral("-0000.00"));
                QVERIFY2(width <= l->contentsRect().width(), qPrintable(n));
                QVERIFY2(l->font().pixelSize() >= minPx, qPrintable(n));
            }
        };
        check(40);

        // Smaller windows keep every reading whole, at a smaller size.
        const QSize small(960, 660);
        QVERIFY(d.minimumSizeHint().width() <= small.width());
        QVERIFY(d.minimumSizeHint().height() <= small.height());
        d.resize(small);
        QTRY_COMPARE(d.size(), small);
        QCoreApplication::processEvents();
        check(24);
    }

    void shots()
    {
        const QString dir = qEnvironmentVariable("UI_SHOTS_DIR");
        if (dir.isEmpty())
            QSKIP("UI_SHOTS_DIR not set");
        Startup::applyLook(*qApp);
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        for (int i = 0; i < 10; ++i) {
            d.setCurrentPage(i);
            QCoreApplication::processEvents();
            QVERIFY(d.grab().save(QStringLiteral("%1/page-%2.png").arg(dir).arg(i)));
        }
        d.setDeviceClass(4);
        d.setCurrentPage(MainDialog::PageRx41Home);
        d.findChild<QToolButton *>("RX41_tbtn3")->click();
        QCoreApplication::processEvents();
        QVERIFY(d.grab().save(dir + QStringLiteral("/page-2-tester.png")));
        d.setDeviceClass(1);
        d.setCurrentPage(MainDialog::PageHome);
        d.findChild<QToolButton *>("tbtn3")->click();
        d.resize(960, 660);
        d.setCurrentPage(MainDialog::PageDisp);
        QCoreApplication::processEvents();
        QVERIFY(d.grab().save(dir + QStringLiteral("/page-2-small.png")));
    }
};

QTEST_MAIN(TestPages)
#include "test_pages.moc"
