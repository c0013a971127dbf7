#include "firmwareimage.h"

#include <QTemporaryDir>
#include <QtTest>

class TestFirmwareImage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString writeFile(const QString &name, qint64 size)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        QByteArray data(int(size), '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(i % 251);
        f.write(data);
        return path;
    }

private slots:
    void largestAcceptedNextRefused()
    {
        const QString ok = writeFile("max.bin", 1024000);
        const FirmwareImage::LoadResult good = FirmwareImage::load(ok);
        QVERIFY(good.ok());
        QCOMPARE(good.data.size(), 1024000);
        QCOMPARE(good.data.at(1023999), char(1023999 % 251));
        QCOMPARE(good.path, ok);
        QCOMPARE(good.sizeText, QStringLiteral("固件大小:1000.0KB   1024000字节"));

        const FirmwareImage::LoadResult big = FirmwareImage::load(writeFile("big.bin", 1024001));
        QCOMPARE(big.status, FirmwareImage::Status::TooLarge);
        QVERIFY(big.data.isEmpty());
        QCOMPARE(big.boxTitle, QStringLiteral("错误"));
        QCOMPARE(big.boxText, QStringLiteral("固件过大,请选择正确的固件"));
        QCOMPARE(big.logLine, QStringLiteral("固件过大,请选择正确的固件"));
    }

    void emptyAndUnreadable()
    {
        const FirmwareImage::LoadResult empty = FirmwareImage::load(writeFile("empty.bin", 0));
        QCOMPARE(empty.status, FirmwareImage::Status::Empty);
        QCOMPARE(empty.boxTitle, QStringLiteral("错误"));
        QCOMPARE(empty.boxText, QStringLiteral("空的固件"));
        QCOMPARE(empty.logLine, QStringLiteral("固件是空的"));

        const FirmwareImage::LoadResult missing = FirmwareImage::load(m_dir.filePath("none.bin"));
        QCOMPARE(missing.status, FirmwareImage::Status::OpenFailed);
        QCOMPARE(missing.boxTitle, QStringLiteral("error"));
        QCOMPARE(missing.boxText, QStringLiteral("打开文件失败"));
        QCOMPARE(missing.logLine, QStringLiteral("打开文件失败"));

        // A folder opens but cannot be read as an image.
        QVERIFY(!FirmwareImage::load(m_dir.path()).ok());
    }

    void sizeLabels_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<QString>("label");
        QTest::newRow("1") << qint64(1) << QStringLiteral("固件大小:1字节");
        QTest::newRow("1024") << qint64(1024) << QStringLiteral("固件大小:1024字节");
        QTest::newRow("1025") << qint64(1025) << QStringLiteral("固件大小:1.0KB   1025字节");
        QTest::newRow("2048") << qint64(2048) << QStringLiteral("固件大小:2.0KB   2048字节");
    }
    void sizeLabels()
    {
        QFETCH(qint64, size);
        QFETCH(QString, label);
        QCOMPARE(FirmwareImage::sizeLabel(size), label);
        const FirmwareImage::LoadResult r =
            FirmwareImage::load(writeFile(QStringLiteral("s%1.bin").arg(size), size));
        QVERIFY(r.ok());
        QCOMPARE(r.sizeText, label);
    }

    void fixedTexts()
    {
        QCOMPARE(FirmwareImage::openingLogLine(), QStringLiteral("打开文件..."));
        QCOMPARE(FirmwareImage::dialogCaption(), QStringLiteral("打开固件文件"));
        QCOMPARE(FirmwareImage::dialogFilter(), QStringLiteral("BIN文件(*.bin)"));
        QCOMPARE(FirmwareImage::startButtonText(), QStringLiteral("开始下载"));
        QCOMPARE(FirmwareImage::loadedLogLine(), QStringLiteral("读取文件完成..."));
        QCOMPARE(QString::fromLatin1(FirmwareImage::settingsKey), QStringLiteral("file_path"));
    }
};

QTEST_GUILESS_MAIN(TestFirmwareImage)
#include "test_firmware_image.moc"
