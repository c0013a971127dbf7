#include "setting.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestSetting : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        m_old = QDir::currentPath();
        QDir::setCurrent(m_dir->path());
    }
    void cleanup() { QDir::setCurrent(m_old); }

    void missingFileReadsEmpty()
    {
        QVERIFY(!QFile::exists(m_dir->path() + "/usb-hid.ini"));
        QCOMPARE(Setting().read("Language"), QString());
        QCOMPARE(Setting().read("save_path"), QString());
        // Reading must not create the file.
        QVERIFY(!QFile::exists(m_dir->path() + "/usb-hid.ini"));
    }

    void keysIgnoreLetterCase()
    {
        Setting().write("language", "English");
        QCOMPARE(Setting().read("Language"), QString("English"));
        // A later write under another spelling replaces the one entry.
        Setting().write("LANGUAGE", "Chinese");
        QCOMPARE(Setting().read("language"), QString("Chinese"));
        QFile f(m_dir->path() + "/usb-hid.ini");
        QVERIFY(f.open(QFile::ReadOnly));
        const QByteArray text = f.readAll();
        QCOMPARE(text.toLower().count("language="), 1);
        QVERIFY(text.contains("language=Chinese"));
    }

    void writeIsOnDiskWhenCallReturns()
    {
        Setting().write("VBUS_col", "#ff0000");
        QFile f(m_dir->path() + "/usb-hid.ini");
        QVERIFY(f.open(QFile::ReadOnly));
        QVERIFY(f.readAll().contains("VBUS_col=#ff0000"));
    }

    void valuesStayText()
    {
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
        QDir::setCurrent(m_dir->path());
        QCOMPARE(Setting().read("report_id"), QString("85"));
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_old;
};

QTEST_GUILESS_MAIN(TestSetting)
#include "test_setting.moc"
