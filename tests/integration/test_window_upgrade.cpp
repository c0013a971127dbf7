// A firmware upgrade through the window's upgrade page against the simulated
// instrument's bootloader: the file, the entry frame, the transfer, the burn.
#include "firmwareupgrade.h"
#include "setting.h"
#include "windowrig.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTextEdit>

namespace {

template <class T> T *child(const QObject *parent, const QString &name)
{
    T *w = parent->findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

QByteArray randomImage(int size)
{
    QByteArray image(size, '\0');
    QRandomGenerator rng(20240305);
    for (char &c : image)
        c = char(rng.bounded(256));
    return image;
}

} // namespace

class TestWindowUpgrade : public QObject
{
    Q_OBJECT

private slots:
    void wholeUpgradeThroughThePage()
    {
        WindowRig rig;
        MainDialog &w = rig.open();
        QVERIFY(rig.waitForList(4000));
        rig.boot.setBurnTimeMs(1500);

        // Not a multiple of 58: the last packet is a short one.
        const QByteArray image = randomImage(20000);
        const QString path = rig.dir.filePath(QStringLiteral("fw.bin"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(image), qint64(image.size()));
        }
        QString startDir;
        w.setOpenFileDialog([&](QWidget *, const QString &, const QString &dir, const QString &) {
            startDir = dir;
            return path;
        });

        QTest::mouseClick(child<QPushButton>(&w, QStringLiteral("disp_btnUpgrade")),
                          Qt::LeftButton);
        QCOMPARE(w.currentPage(), int(MainDialog::PageUpgrade));
        auto *start = child<QPushButton>(&w, QStringLiteral("upgrade_pushButton_start"));
        auto *log = child<QTextEdit>(&w, QStringLiteral("upgrade_text_log"));
        auto *bar = child<QProgressBar>(&w, QStringLiteral("upgrade_progressBar_fw"));
        QVERIFY(!start->isEnabled());

        QTest::mouseClick(child<QPushButton>(&w, QStringLiteral("upgrade_pushButton_openfile")),
                          Qt::LeftButton);
        QVERIFY(startDir.isEmpty());
        QCOMPARE(log->toPlainText(), QStringLiteral("打开文件...\n读取文件完成..."));
        QCOMPARE(child<QLabel>(&w, QStringLiteral("upgrade_label_fwsizevalue"))->text(),
                 QStringLiteral("固件大小:19.5KB   20000字节"));
        QCOMPARE(child<QLineEdit>(&w, QStringLiteral("upgrade_lineEdit_filename"))->text(), path);
        QCOMPARE(Setting().read(QStringLiteral("file_path")), path);
        QVERIFY(start->isEnabled());
        QCOMPARE(start->text(), QStringLiteral("开始下载"));

        // Start: the entry frame goes out through the poll cycle on the main
        // handle at once; the button is inactive during the 3 s wait.
        const int before = rig.sent().size();
        QTest::mouseClick(start, Qt::LeftButton);
        QVERIFY(!start->isEnabled());
        QCOMPARE(start->text(), QStringLiteral("正在下载"));
        QCOMPARE(bar->value(), 0);
        QTRY_VERIFY(rig.sent().size() > before);
        QCOMPARE(rig.sent().at(before).toHex(' '),
                 (QByteArray::fromHex("55050902000000eeff") + QByteArray(55, '\0')).toHex(' '));
        // Rather than wait out the 3 s.
        w.firmwareUpgrade()->entryWaitElapsed();

        QTRY_VERIFY_WITH_TIMEOUT(
            log->toPlainText().endsWith(QStringLiteral("请等待设备烧写完成...")), 20000);
        QCOMPARE(bar->value(), 99);
        QCOMPARE(bar->format(), QStringLiteral("当前进度为：99.9%"));
        QVERIFY(!rig.boot.burned());
        rig.server->advanceClock(1500);
        QTRY_COMPARE(bar->value(), 100);
        QCOMPARE(bar->format(), QStringLiteral("当前进度为：100.0%"));

        QVERIFY2(rig.boot.burned(), qPrintable(rig.boot.error()));
        QCOMPARE(rig.boot.image().size(), image.size());
        QVERIFY(rig.boot.image() == image);
        QCOMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::Done);

        const QStringList lines = log->toPlainText().split(QLatin1Char('\n'));
        QCOMPARE(lines.first(), QStringLiteral("开始连接设备..."));
        const QStringList expected = {
            QStringLiteral("握手成功..."), QStringLiteral("开始传输固件..."),
            QStringLiteral("传输完成..."), QStringLiteral("请等待设备烧写完成..."),
            QStringLiteral("烧写完成..."), QStringLiteral("本次下载结束")};
        for (const QString &line : expected)
            QVERIFY2(lines.contains(line), qPrintable(line));
        QVERIFY(lines.filter(QStringLiteral("传输耗时")).size() == 1);
        QVERIFY(lines.filter(QStringLiteral("下载烧写过程耗时")).size() == 1);
        QCOMPARE(start->text(), QStringLiteral("开始下载"));
        QVERIFY(!start->isEnabled());
        QVERIFY(rig.boxes.isEmpty());

        // The next dialog opens at the last good file. Loaded while the link
        // is down, the image does not enable the start button.
        QSignalSpy lost(w.deviceLink(), &DeviceLink::linkLost);
        rig.server->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(lost.count(), 1, 2000);
        QTest::mouseClick(child<QPushButton>(&w, QStringLiteral("upgrade_pushButton_openfile")),
                          Qt::LeftButton);
        QCOMPARE(startDir, path);
        QVERIFY(!start->isEnabled());
        QVERIFY(log->toPlainText().contains(QStringLiteral("设备已断开")));
    }

    // A packet the link cannot write ends the upgrade with one warning box.
    void sendErrorEndsTheUpgrade()
    {
        WindowRig rig;
        MainDialog &w = rig.open();
        QVERIFY(rig.waitForList(4000));
        const QString path = rig.dir.filePath(QStringLiteral("fw.bin"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(randomImage(2000));
        }
        w.setOpenFileDialog(
            [&](QWidget *, const QString &, const QString &, const QString &) { return path; });
        w.setCurrentPage(MainDialog::PageUpgrade);
        QTest::mouseClick(child<QPushButton>(&w, QStringLiteral("upgrade_pushButton_openfile")),
                          Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(&w, QStringLiteral("upgrade_pushButton_start")),
                          Qt::LeftButton);
        rig.server->failWrites();
        w.firmwareUpgrade()->entryWaitElapsed();
        QTRY_COMPARE(rig.boxes.size(), 1);
        QCOMPARE(rig.boxes.first().title, QStringLiteral("错误"));
        QCOMPARE(rig.boxes.first().text, QStringLiteral("USB发送数据异常"));
        QVERIFY(!w.firmwareUpgrade()->isActive());
        QCOMPARE(w.firmwareUpgrade()->outcome(), FirmwareUpgrade::Outcome::SendError);
        QTest::qWait(300);
        QCOMPARE(rig.boxes.size(), 1);
        QVERIFY(!rig.boot.handshakeSeen());
    }
};

QTEST_MAIN(TestWindowUpgrade)
#include "test_window_upgrade.moc"
