#include "startup.h"

#include <QApplication>
#include <QFile>
#include <QFontDatabase>
#include <QImage>
#include <QImageReader>
#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QSlider>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Every path other parts reach by literal.
const char *const kPaths[] = {
    ":/qss/psblack.css",
    ":/qss/psblack/add_bottom.png", ":/qss/psblack/add_left.png", ":/qss/psblack/add_right.png",
    ":/qss/psblack/add_top.png", ":/qss/psblack/branch_close.png", ":/qss/psblack/branch_open.png",
    ":/qss/psblack/calendar_nextmonth.png", ":/qss/psblack/calendar_prevmonth.png",
    ":/qss/psblack/checkbox_checked.png", ":/qss/psblack/checkbox_checked_disable.png",
    ":/qss/psblack/checkbox_parcial.png", ":/qss/psblack/checkbox_parcial_disable.png",
    ":/qss/psblack/checkbox_unchecked.png", ":/qss/psblack/checkbox_unchecked_disable.png",
    ":/qss/psblack/radiobutton_checked.png", ":/qss/psblack/radiobutton_checked_disable.png",
    ":/qss/psblack/radiobutton_unchecked.png", ":/qss/psblack/radiobutton_unchecked_disable.png",
    ":/sys/rs/rs/img/01.png", ":/sys/rs/rs/img/02.png", ":/sys/rs/rs/img/03.png",
    ":/sys/rs/rs/img/04.png", ":/sys/rs/rs/img/05.png", ":/sys/rs/rs/img/06.png",
    ":/sys/rs/rs/img/07.png", ":/sys/rs/rs/img/08.png", ":/sys/rs/rs/img/09.png",
    ":/sys/rs/rs/img/10.png", ":/sys/rs/rs/img/MainIcon.png", ":/sys/rs/rs/img/search.png",
    ":/sys/rs/rs/img/searching.gif", ":/sys/rs/rs/img/Tick.png", ":/sys/rs/rs/img/UnTick.png",
    ":/sys/rs/rs/font/fontawesome-webfont.ttf",
    ":/sys/rs/rs/MoreSettings.png", ":/sys/rs/rs/ScrollDisp.png", ":/sys/rs/rs/AccuGrpDisp.png",
    ":/sys/rs/rs/usb_disconnect.png", ":/sys/rs/rs/usb_connect.png", ":/sys/rs/rs/cn_en.png",
    ":/sys/rs/rs/ExportData.png", ":/sys/rs/rs/ExportImage.png", ":/sys/rs/rs/down.png",
    ":/sys/rs/rs/up.png", ":/sys/rs/rs/Upgrade.png", ":/sys/rs/rs/back.png",
    ":/sys/rs/rs/icon_130x20.png", ":/sys/rs/rs/icon01_130x20.png",
    ":/sys/rs/rs/icon02_130x20.png", ":/sys/rs/rs/icon03_130x20.png", ":/sys/rs/rs/main.jpg",
    ":/sys/rs/rs/download.png", ":/sys/rs/rs/run.png", ":/sys/rs/rs/pause.png",
    ":/sys/rs/rs/SysSet.png", ":/sys/rs/rs/list_20x20.png", ":/sys/rs/rs/menu.png",
    ":/sys/rs/rs/folder.ico",
    ":/Language/lib_en.qm", ":/Language/lib_zh.qm",
};

QStringList warnings;
void collect(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        warnings << msg;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Startup::applyStyleSheet(*qApp)); }

    void everyPathResolvesAndDecodes()
    {
        for (const char *p : kPaths) {
            const QString path = QString::fromLatin1(p);
            QVERIFY2(QFile::exists(path), p);
            if (path.endsWith(".png") || path.endsWith(".jpg") || path.endsWith(".gif")
                || path.endsWith(".ico")) {
                QImageReader reader(path);
                QVERIFY2(!reader.read().isNull(), qPrintable(path + ": " + reader.errorString()));
            }
        }
    }

    void imageSizesSuitTheirPlaces()
    {
        // The banners and the list icon carry their size in their names.
        for (const char *p : {":/sys/rs/rs/icon_130x20.png", ":/sys/rs/rs/icon01_130x20.png",
                              ":/sys/rs/rs/icon02_130x20.png", ":/sys/rs/rs/icon03_130x20.png"})
            QCOMPARE(QImage(p).size(), QSize(130, 20));
        QCOMPARE(QImage(":/sys/rs/rs/list_20x20.png").size(), QSize(20, 20));
        // Installed as the 256x256 desktop icon.
        QCOMPARE(QImage(":/sys/rs/rs/img/MainIcon.png").size(), QSize(256, 256));
        // Home-menu buttons show 100x70: same shape, no letterboxing, room for sharpness.
        for (int i = 1; i <= 10; ++i) {
            const QSize s = QImage(QString(":/sys/rs/rs/img/%1.png").arg(i, 2, 10, QChar('0'))).size();
            QVERIFY(s.width() >= 100 && s.width() * 70 == s.height() * 100);
        }
        QMovie spinner(":/sys/rs/rs/img/searching.gif");
        QVERIFY(spinner.isValid());
        QVERIFY(spinner.frameCount() > 1);
        // Linked and unlinked pictures must not be mistaken for each other.
        QVERIFY(QImage(":/sys/rs/rs/usb_connect.png") != QImage(":/sys/rs/rs/usb_disconnect.png"));
    }

    void styleSheetIsAsciiAndItsImagesExist()
    {
        QFile f(":/qss/psblack.css");
        QVERIFY(f.open(QFile::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("QPalette{background:#444444;}*{outline:0px;color:#DCDCDC;}\n"));
        for (char c : bytes)
            QVERIFY2(static_cast<unsigned char>(c) < 0x80 && c != '\0', "sheet must be plain ASCII");

        const QString qss = QString::fromLatin1(bytes);
        QRegularExpression url(QStringLiteral("url\\(\\s*([^)\\s]+)\\s*\\)"));
        int count = 0;
        for (auto it = url.globalMatch(qss); it.hasNext(); ++count) {
            const QString path = it.next().captured(1);
            QVERIFY2(path.startsWith(":/"), qPrintable(path));
            QVERIFY2(!QImage(path).isNull(), qPrintable(path));
        }
        QVERIFY(count >= 18);
        QCOMPARE(qss.count('{'), qss.count('}'));
    }

    void sheetParsesOnEveryCommonWidget()
    {
        warnings.clear();
        const QtMessageHandler old = qInstallMessageHandler(collect);
        qApp->setStyleSheet(QString());
        QVERIFY(Startup::applyStyleSheet(*qApp));
        QWidget w;
        auto *tree = new QTreeWidget(&w);
        auto *top = new QTreeWidgetItem(tree, {QStringLiteral("设备列表")});
        new QTreeWidgetItem(top, {QStringLiteral("主:1")});
        tree->expandAll();
        new QSlider(Qt::Horizontal, &w);
        new QPushButton(QStringLiteral("主页菜单"), &w);
        w.resize(300, 200);
        w.grab();
        qInstallMessageHandler(old);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }

    void plainContainersLetTheirPanelColourThrough()
    {
        // State colours are set on one panel; the boxes laid out inside it must not hide them.
        QWidget panel;
        panel.setObjectName("panel");
        panel.setStyleSheet("#panel{background:#C0392B;}");
        panel.resize(100, 60);
        auto *inner = new QWidget(&panel);
        inner->setGeometry(10, 10, 80, 40);
        new QLabel(QStringLiteral("连接"), inner);
        const QImage img = panel.grab().toImage();
        QCOMPARE(img.pixelColor(70, 40), QColor("#C0392B"));
    }

    void sliderFillFollowsObjectName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("fill");
        QTest::newRow("live") << "settings_slider_light" << QColor("#00ffff");
        for (const char *n : {"settings_slider_voltcali", "settings_slider_currcali",
                              "settings_slider_tempcali", "RX41_settings_slider_voltcali",
                              "RX41_settings_slider_currcali", "RX41_settings_slider_tempcali"})
            QTest::newRow(n) << n << QColor("#A0A0A0");
    }

    void sliderFillFollowsObjectName()
    {
        QFETCH(QString, name);
        QFETCH(QColor, fill);
        QSlider s(Qt::Horizontal);
        s.setObjectName(name);
        s.setRange(0, 100);
        s.setValue(80);
        s.resize(200, 24);
        const QImage img = s.grab().toImage();
        QCOMPARE(img.pixelColor(40, img.height() / 2), fill);
        // Past the handle the groove is dark.
        QCOMPARE(img.pixelColor(190, img.height() / 2), QColor("#484848"));
    }

    void titleButtonsLightUpUnderThePointer()
    {
        QWidget root;
        root.resize(200, 80);
        auto *title = new QWidget(&root);
        title->setProperty("form", "title");
        title->setGeometry(0, 0, 200, 30);
        auto *close = new QPushButton(title), *min = new QPushButton(title);
        close->setObjectName("btnMenu_Close");
        min->setObjectName("btnMenu_Min");
        close->setGeometry(170, 0, 30, 30);
        min->setGeometry(140, 0, 30, 30);
        auto *plain = new QPushButton(QStringLiteral("x"), &root);
        plain->setGeometry(0, 40, 60, 30);
        root.show();
        QVERIFY(QTest::qWaitForWindowExposed(&root));

        auto hovered = [](QPushButton *b) {
            QTest::mouseMove(b, b->rect().center());
            QCoreApplication::processEvents();
            const QImage img = b->grab().toImage();
            return img.pixelColor(img.rect().center());
        };
        // Flat while the pointer is elsewhere: the title bar shows through.
        QTest::mouseMove(&root, QPoint(10, 75));
        QCoreApplication::processEvents();
        QCOMPARE(close->grab().toImage().pixelColor(15, 15).alpha(), 0);

        const QColor red = hovered(close);
        QVERIFY2(red.red() > 2 * red.green() && red.red() > 2 * red.blue(), qPrintable(red.name()));
        const QColor blue = hovered(min);
        QVERIFY2(blue.blue() > blue.red() + 80, qPrintable(blue.name()));
        // Ordinary buttons get the lighter grey gradient instead.
        const QColor grey = hovered(plain);
        QVERIFY2(grey.red() > 0x50 && qAbs(grey.red() - grey.blue()) < 4, qPrintable(grey.name()));
    }

    void iconFontLoadsWithTheGlyphsInUse()
    {
        const int id = QFontDatabase::addApplicationFont(":/sys/rs/rs/font/fontawesome-webfont.ttf");
        QVERIFY(id >= 0);
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        QVERIFY(!families.isEmpty());
        QVERIFY(!families.first().isEmpty());

        QFont font(families.first());
        font.setPixelSize(16);
        const QRawFont raw = QRawFont::fromFont(font);
        QVERIFY(raw.isValid());
        // Title bar, home menus and return buttons.
        for (uint code : {0xF150u, 0xF068u, 0xF2D0u, 0xF00Du, 0xF073u, 0xF122u, 0xF01Bu, 0xF085u,
                          0xF013u, 0xF108u})
            QVERIFY2(raw.supportsCharacter(code), qPrintable(QString::number(code, 16)));
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
