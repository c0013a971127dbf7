#include "startup.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>
#include <QTreeWidget>
#include <QtTest>

static QStringList warnings;

class TestResources : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(Startup::applyStyleSheet(*qApp)); }

    // Every path other parts reach by literal exists, and every picture decodes.
    void everyPathResolvesAndDecodes()
    {
        QStringList paths = {":/Language/lib_en.qm", ":/Language/lib_zh.qm"};
        for (const QString &n :
             QString(
                 "main.jpg folder.ico img/searching.gif font/fontawesome-webfont.ttf MoreSettings "
                 "ScrollDisp AccuGrpDisp usb_disconnect usb_connect cn_en ExportData ExportImage "
                 "down up Upgrade back icon_130x20 icon01_130x20 icon02_130x20 icon03_130x20 "
                 "download run pause SysSet list_20x20 menu img/MainIcon img/search img/Tick "
                 "img/UnTick img/01 img/02 img/03 img/04 img/05 img/06 img/07 img/08 img/09 img/10")
                 .split(' '))
            paths << ":/sys/rs/rs/" + n + (n.contains('.') ? "" : ".png");
        for (const QString &path : paths)
            QVERIFY2(QFile::exists(path) && (path.endsWith(".ttf") || path.endsWith(".qm") ||
                                             !QImageReader(path).read().isNull()),
                     qPrintable(path));
    }

    // Plain ASCII, balanced, its pictures exist; no widget warns when it applies.
    void styleSheetIsSoundAndParses()
    {
        QFile f(":/qss/psblack.css");
        QVERIFY(f.open(QFile::ReadOnly));
        const QByteArray bytes = f.readAll();
        for (char c : bytes)
            QVERIFY2(static_cast<unsigned char>(c) < 0x80 && c != '\0', "not plain ASCII");
        const QString qss = QString::fromLatin1(bytes);
        int count = 0;
        const QRegularExpression url("url\\(\\s*([^)\\s]+)\\s*\\)");
        for (auto it = url.globalMatch(qss); it.hasNext(); ++count) {
            const QString path = it.next().captured(1);
            QVERIFY2(path.startsWith(":/") && !QImage(path).isNull(), qPrintable(path));
        }
        QVERIFY(count >= 18);
        QCOMPARE(qss.count('{'), qss.count('}'));

        const QtMessageHandler old =
            qInstallMessageHandler([](QtMsgType t, const QMessageLogContext &, const QString &m) {
                if (t != QtDebugMsg && t != QtInfoMsg)
                    warnings << m;
            });
        qApp->setStyleSheet(QString());
        QVERIFY(Startup::applyStyleSheet(*qApp));
        QWidget w;
        new QTreeWidgetItem(new QTreeWidgetItem(new QTreeWidget(&w), {"设备列表"}), {"主:1"});
        new QSlider(Qt::Horizontal, &w);
        new QPushButton(QStringLiteral("主页菜单"), &w);
        w.resize(300, 200);
        w.grab();
        qInstallMessageHandler(old);
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }

    // State colours are set on one panel; the boxes laid out inside must not hide them.
    void plainContainersLetTheirPanelColourThrough()
    {
        QWidget panel;
        panel.setObjectName("panel");
        panel.setStyleSheet("#panel{background:#C0392B;}");
        panel.resize(100, 60);
        auto *inner = new QWidget(&panel);
        inner->setGeometry(10, 10, 80, 40);
        new QLabel(QStringLiteral("连接"), inner);
        QCOMPARE(panel.grab().toImage().pixelColor(70, 40), QColor("#C0392B"));
    }

    // Live sliders fill cyan, calibration sliders grey; past the handle the groove is dark.
    void sliderFillFollowsObjectName()
    {
        for (const char *name : {"settings_slider_light", "settings_slider_voltcali",
                                 "settings_slider_currcali", "RX41_settings_slider_tempcali"}) {
            QSlider s(Qt::Horizontal);
            s.setObjectName(name);
            s.setRange(0, 100);
            s.setValue(80);
            s.resize(200, 24);
            const QImage img = s.grab().toImage();
            QCOMPARE(img.pixelColor(40, 12), QColor(strstr(name, "cali") ? "#A0A0A0" : "#00ffff"));
            QCOMPARE(img.pixelColor(190, 12), QColor("#484848"));
        }
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
