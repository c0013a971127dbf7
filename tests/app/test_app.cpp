// The program's start: the style sheet, font and codec, and usb-hid.ini in the
// working directory.
#include "setting.h"
#include "startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

class TestApp : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QByteArray onDisk()
    {
        QFile f(dir.path() + "/usb-hid.ini");
        return f.open(QFile::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { QVERIFY(QDir::setCurrent(dir.path())); }

    void styleSheetSetsPalette()
    {
        const QPalette before = qApp->palette();
        QVERIFY(!Startup::applyStyleSheet(*qApp, ":/no/such.css")); // a missing one changes nothing
        QCOMPARE(qApp->palette(), before);
        QVERIFY(qApp->styleSheet().isEmpty());
        QVERIFY(Startup::applyStyleSheet(*qApp));
        QCOMPARE(qApp->palette().color(QPalette::Window), QColor("#444444"));
        QLabel label("文字");
        label.ensurePolished();
        QCOMPARE(label.palette().color(QPalette::WindowText), QColor("#DCDCDC"));
        // The sheet ends at a zero byte.
        QTemporaryFile f;
        QVERIFY(f.open());
        f.write("QPalette{background:#123456;}*{color:#DCDCDC;}\0garbage", 54);
        f.close();
        QVERIFY(Startup::applyStyleSheet(*qApp, f.fileName()));
        QCOMPARE(qApp->palette().color(QPalette::Window), QColor("#123456"));
        QVERIFY(!qApp->styleSheet().contains("garbage"));
    }

    void fontAndCodec()
    {
        Startup::applyLook(*qApp);
        QCOMPARE(QString::fromLocal8Bit("主页菜单"), QString::fromUtf8("主页菜单"));
        // Chinese must resolve to a font that has the glyphs, not to boxes.
        QFontMetrics fm(qApp->font());
        QVERIFY(fm.inFont(QChar(0x4E3B)) && fm.inFont(QChar(0x9875)));
    }

    void readWriteAndLetterCase()
    {
        QCOMPARE(Setting().read("Language"), QString());
        QVERIFY(!QFile::exists(dir.path() + "/usb-hid.ini")); // reading creates nothing
        Setting().write("language", "English");
        QVERIFY(onDisk().contains("language=English")); // on disk when the call returns
        QCOMPARE(Setting().read("Language"), QString("English"));
        // A later write under another spelling replaces the one entry.
        Setting().write("LANGUAGE", "Chinese");
        QCOMPARE(Setting().read("language"), QString("Chinese"));
        QCOMPARE(onDisk().toLower().count("language="), 1);
        QVERIFY(onDisk().contains("language=Chinese"));
        Setting().write("save_path", "/tmp/a,b folder");
        QCOMPARE(Setting().read("save_path"), QString("/tmp/a,b folder"));
        Setting().write("six_title", QString::fromUtf8("电池容量"));
        QCOMPARE(Setting().read("six_title"), QString::fromUtf8("电池容量"));
    }

    void otherWorkingDirectoryIsOtherFile()
    {
        Setting().write("report_id", "85");
        QTemporaryDir other;
        QDir::setCurrent(other.path());
        QCOMPARE(Setting().read("report_id"), QString());
        Setting().write("report_id", "7");
        QVERIFY(QFile::exists(other.path() + "/usb-hid.ini"));
        QDir::setCurrent(dir.path());
        QCOMPARE(Setting().read("report_id"), QString("85"));
    }

    // A link planted at usb-hid.ini in a shared working directory: saving does
    // not overwrite the file it points at.
    void plantedLinkIsNotWrittenThrough()
    {
        QTemporaryDir shared;
        const QString victim = shared.filePath("victim.txt");
        QFile v(victim);
        QVERIFY(v.open(QFile::WriteOnly) && v.write("someone else's file\n") > 0);
        v.close();
        QVERIFY(QFile::link(victim, shared.filePath("usb-hid.ini")));
        QDir::setCurrent(shared.path());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not saving .*symbolic link"));
        Setting().write("language", "English");
        QDir::setCurrent(dir.path());
        QFile check(victim);
        QVERIFY(check.open(QFile::ReadOnly));
        QCOMPARE(check.readAll(), QByteArray("someone else's file\n"));
        QVERIFY(QFileInfo(shared.filePath("usb-hid.ini")).isSymLink());
    }
};

QTEST_MAIN(TestApp)
#include "test_app.moc"
