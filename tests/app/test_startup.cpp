#include "startup.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTemporaryFile>
#include <QtTest>

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void styleSheetFirstLineAndPalette()
    {
        QFile f(":/qss/psblack.css");
        QVERIFY(f.open(QFile::ReadOnly));
        const QByteArray first = f.readLine();
        QVERIFY(first.startsWith("QPalette{background:#444444;}*{outline:0px;color:#DCDCDC;}"));
        QCOMPARE(QString::fromLatin1(first.mid(20, 7)), QString("#444444"));

        QVERIFY(Startup::applyStyleSheet(*qApp));
        QCOMPARE(qApp->palette().color(QPalette::Window), QColor("#444444"));
        QLabel label("文字");
        label.ensurePolished();
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor("#DCDCDC"));
    }

    void missingSheetChangesNothing()
    {
        qApp->setStyleSheet(QString());
        const QPalette before = qApp->palette();
        QVERIFY(!Startup::applyStyleSheet(*qApp, ":/no/such.css"));
        QCOMPARE(qApp->palette(), before);
        QVERIFY(qApp->styleSheet().isEmpty());
    }

    void sheetStopsAtZeroByte()
    {
        QTemporaryFile f;
        QVERIFY(f.open());
        f.write("QPalette{background:#123456;}*{color:#DCDCDC;}");
        f.write(QByteArray(1, '\0'));
        f.write("garbage");
        f.close();
        QVERIFY(Startup::applyStyleSheet(*qApp, f.fileName()));
        QCOMPARE(qApp->palette().color(QPalette::Window), QColor("#123456"));
        QVERIFY(!qApp->styleSheet().contains("garbage"));
    }

    void fontAndCodec()
    {
        Startup::applyLook(*qApp);
        QCOMPARE(qApp->font().family(), QString("Microsoft Yahei"));
        QCOMPARE(qApp->font().pointSize(), 9);
        QCOMPARE(QString::fromLocal8Bit("主页菜单"), QString::fromUtf8("主页菜单"));
        // Chinese must resolve to a font that has the glyphs, not to boxes.
        QFontMetrics fm(qApp->font());
        QVERIFY(fm.inFont(QChar(0x4E3B)));
        QVERIFY(fm.inFont(QChar(0x9875)));
    }
};

QTEST_MAIN(TestStartup)
#include "test_startup.moc"
