// Firmware images, packets and the upgrade against the simulated bootloader.
#include "crc16.h"
#include "firmwareimage.h"
#include "firmwarepacket.h"
#include "firmwareupgrade.h"
#include "simbootloader.h"
#include "upgradetexts.h"

#include <QQueue>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

using Warnings = QList<QPair<QString, QString>>;
int byteAt(const QByteArray &a, int i)
{
    return static_cast<unsigned char>(a.at(i));
}
QString bar(const char *percent)
{
    return QStringLiteral("当前进度为：%1%").arg(QLatin1String(percent));
}
QByteArray randomImage(int n, quint32 seed)
{
    QRandomGenerator gen(seed);
    QByteArray image(n, '\0');
    for (int i = 0; i < n; ++i)
        image[i] = char(gen.bounded(256));
    return image;
}

QByteArray reply(int code, int b2 = 0, int b3 = 0)
{
    return (QByteArray(1, char(0xAA)) + char(code) + char(b2) + char(b3)).leftJustified(64, '\0');
}

// Data packet indices in the order they went out on the wire.
QList<int> dataIndices(const QList<QByteArray> &wire)
{
    QList<int> indices;
    for (const QByteArray &report : wire)
        if (byteAt(report, 1) == 0xCC)
            indices << (byteAt(report, 3) | (byteAt(report, 4) << 8));
    return indices;
}

// What the window does around the upgrade: the poll tick puts the instrument into
// its bootloader, the link thread writes 0x55 + packet bytes 0..62, replies
// arrive one by one, and the clock moves only when the test moves it.
struct Rig : QObject
{
    FirmwareUpgrade up;
    UpgradeTexts texts{&up}; // what the upgrade page shows of it
    SimBootloader boot;
    qint64 nowMs = 1700000000000, msPerExchange = 0;
    QList<QByteArray> wire;
    QQueue<QByteArray> inbox;
    QList<QByteArray> taken; // replies handed to the upgrade, in order
    QStringList log;
    Warnings warnings;
    QList<QPair<int, QString>> progress;
    QList<QPair<QString, bool>> buttons;
    bool hold = false; // ticks leave the replies waiting in the inbox

    Rig()
    {
        up.setClock([this] { return nowMs; });
        connect(&up, &FirmwareUpgrade::entryFrameRequested, this, [this] {
            if (up.takeEntryRequest())
                boot.begin(nowMs);
        });
        connect(&up, &FirmwareUpgrade::packetReady, this, [this](const QByteArray &packet) {
            const QByteArray report =
                (QByteArray(1, char(0x55)) + packet.left(63)).leftJustified(64, '\0');
            wire << report;
            inbox << boot.receive(report, nowMs);
        });
        connect(&texts, &UpgradeTexts::logCleared, this, [this] { log.clear(); });
        connect(&texts, &UpgradeTexts::logLine, this, [this](const QString &l) { log << l; });
        connect(&texts, &UpgradeTexts::warning, this,
                [this](QString t, QString x) { warnings << qMakePair(t, x); });
        connect(&texts, &UpgradeTexts::progressChanged, this,
                [this](int v, QString f) { progress << qMakePair(v, f); });
        connect(&texts, &UpgradeTexts::startButtonChanged, this,
                [this](QString t, bool e) { buttons << qMakePair(t, e); });
    }
    void startAndEnter(const QByteArray &image)
    {
        QVERIFY(up.start(image));
        nowMs += FirmwareUpgrade::EntryWaitMs;
        up.entryWaitElapsed();
    }
    void pump()
    {
        while (!inbox.isEmpty()) {
            taken << inbox.dequeue();
            up.receive(taken.last());
            nowMs += msPerExchange;
        }
    }
    void tick(int ticks)
    {
        for (int i = 0; i < ticks; ++i) {
            nowMs += FirmwareUpgrade::SilenceTickMs;
            inbox << boot.due(nowMs);
            if (!hold)
                pump();
            up.silenceTick();
        }
    }
    void runToEnd()
    {
        pump();
        for (int i = 0; i < 1000 && up.isActive(); ++i)
            tick(1);
    }
};

} // namespace

class TestFirmware : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void handshake_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("1") << 1 << QByteArray("aa07010001ad6c");
        QTest::newRow("57") << 57 << QByteArray("aa07010039acbe");
        QTest::newRow("58") << 58 << QByteArray("aa070100006cac");
        QTest::newRow("59") << 59 << QByteArray("aa070200015d6c");
        QTest::newRow("1024000") << 1024000 << QByteArray("aa07f8440a0f9a");
    }
    void handshake()
    {
        QFETCH(int, n);
        QFETCH(QByteArray, hex);
        QCOMPARE(Crc16::modbus(QByteArray("123456789")), quint16(0x4B37));
        const QByteArray packet = FirmwarePacket::handshake(n);
        QCOMPARE(packet.size(), 64);
        QCOMPARE(packet.left(7).toHex(), hex);
        QCOMPARE(packet.mid(7), QByteArray(57, '\0'));
    }
    void packetLayouts()
    {
        QByteArray image(1000, '\0');
        for (int i = 0; i < image.size(); ++i)
            image[i] = char((i * 7 + 3) & 0xFF);
        for (int index : {0, 5}) {
            const QByteArray p = FirmwarePacket::data(image, index);
            QCOMPARE(p.size(), 64);
            QCOMPARE(p.left(4), QByteArray("\xcc\x40", 2) + char(index) + char(0));
            QCOMPARE(p.mid(4, 58), image.mid(index * 58, 58));
            const int crc = index == 0 ? 0x4792 : 0xC272; // over bytes 0..61, high byte in 63
            QCOMPARE(byteAt(p, 62) | (byteAt(p, 63) << 8), crc);
        }
        // The last packet of 59 bytes: L = 1 + 6, zeros behind the CRC.
        const QByteArray last = FirmwarePacket::data(image.left(59), 1);
        QCOMPARE(last.left(7).toHex(), QByteArray("cc07010099a4ce"));
        QCOMPARE(last.mid(7), QByteArray(57, '\0'));
    }
    void imageSizes()
    {
        const auto write = [this](const QString &name, int size) {
            QFile f(m_dir.filePath(name));
            if (f.open(QIODevice::WriteOnly))
                f.write(QByteArray(size, 'x'));
            return f.fileName();
        };
        const FirmwareImage::LoadResult good = FirmwareImage::load(write("max.bin", 1024000));
        QVERIFY(good.ok());
        QCOMPARE(good.data.size(), 1024000);
        QCOMPARE(ImageTexts::describe(good).sizeText,
                 QStringLiteral("固件大小:1000.0KB   1024000字节"));
        const FirmwareImage::LoadResult big = FirmwareImage::load(write("big.bin", 1024001));
        QCOMPARE(big.status, FirmwareImage::Status::TooLarge);
        QCOMPARE(ImageTexts::describe(big).boxText, QStringLiteral("固件过大,请选择正确的固件"));
        QCOMPARE(ImageTexts::describe(FirmwareImage::load(write("1024.bin", 1024))).sizeText,
                 QStringLiteral("固件大小:1024字节"));
        QCOMPARE(ImageTexts::describe(FirmwareImage::load(write("1025.bin", 1025))).sizeText,
                 QStringLiteral("固件大小:1.0KB   1025字节"));
        QCOMPARE(ImageTexts::describe(FirmwareImage::load(write("empty.bin", 0))).boxText,
                 QStringLiteral("空的固件"));
        // The page's open-file dialog can pick a named pipe: refused without
        // opening it (which would wait for a writer), with the open failure's texts.
        const QString fifo = m_dir.filePath("fw.pipe");
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const QString &path : {fifo, m_dir.path()}) {
            const FirmwareImage::LoadResult r = FirmwareImage::load(path);
            QCOMPARE(r.status, FirmwareImage::Status::NotRegular);
            QCOMPARE(ImageTexts::describe(r).boxText, QStringLiteral("打开文件失败"));
        }
    }
    void wholeTransfer_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("10 bytes") << 10;
        QTest::newRow("58 x 2000") << 58 * 2000; // the last step is 99.95 %
        QTest::newRow("200 KB random") << 200 * 1024;
    }
    void wholeTransfer()
    {
        QFETCH(int, n);
        const QByteArray image = randomImage(n, quint32(n));
        Rig rig;
        rig.boot.setBurnTimeMs(2000);
        rig.startAndEnter(image);
        rig.runToEnd();
        QVERIFY2(!rig.boot.failed(), qPrintable(rig.boot.error()));
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::Done);
        QVERIFY(!rig.up.isSilenceTimerRunning() && rig.warnings.isEmpty());
        QVERIFY(rig.boot.burned());
        QCOMPARE(rig.boot.image(), image);
        QCOMPARE(rig.wire.size(), 1 + (n + 57) / 58); // handshake plus one report per packet
        for (const QByteArray &report : qAsConst(rig.wire))
            QCOMPARE(byteAt(report, 0), 0x55);
        // 100 only with the burn's end (0xFF); 99.9 at most before.
        QCOMPARE(rig.progress.last(), qMakePair(100, bar("100.0")));
        QCOMPARE(rig.progress.at(rig.progress.size() - 2), qMakePair(99, bar("99.9")));
        for (int i = 0; i + 1 < rig.progress.size(); ++i)
            QVERIFY(rig.progress.at(i).first <= 99 && !rig.progress.at(i).second.contains("100"));
        QCOMPARE(rig.log.mid(rig.log.size() - 3),
                 QStringList({"下载烧写过程耗时2秒", "烧写完成...", "本次下载结束"}));
    }
    void speedLines()
    {
        Rig quick; // answers within the same second: no rate can be divided out
        quick.boot.setBurnTimeMs(0);
        quick.startAndEnter(randomImage(1000, 1));
        quick.runToEnd();
        QCOMPARE(quick.log,
                 QStringList({"开始连接设备...", "握手成功...", "开始传输固件...", "传输完成...",
                              "传输耗时0秒", "1000字节/<1秒", "请等待设备烧写完成...",
                              "下载烧写过程耗时0秒", "烧写完成...", "本次下载结束"}));
        Rig slow;           // 3,532 packets at 2 ms each: 7 s for 204,800 bytes
        slow.nowMs -= 3000; // the handshake is accepted on a whole second
        slow.msPerExchange = 2;
        slow.startAndEnter(randomImage(200 * 1024, 2));
        slow.runToEnd();
        QVERIFY(slow.log.contains("传输耗时7秒") && slow.log.contains("28.57KB/秒"));
        QCOMPARE(UpgradeTexts::speedLine(1025, 1), QStringLiteral("1.00KB/秒"));
    }
    // A bootloader stuck on packet 3 re-sends the acknowledgement of packet 2
    // every 3 s forever: only progress keeps the upgrade alive, so it ends 12 s
    // after the real acknowledgement of packet 2.
    void staleAcknowledgementsTimeOut()
    {
        Rig rig;
        rig.boot.setFault(SimBootloader::Fault::StaleAck, 3);
        rig.startAndEnter(randomImage(58 * 10, 3));
        rig.pump(); // packets 0..3 go out; packet 3 is answered with index 2
        QCOMPARE(rig.wire.size(), 1 + 4);
        rig.tick(119);
        // The real acknowledgement of packet 2, its stale repeat in answer to
        // packet 3, then one every 3 s.
        QCOMPARE(rig.taken.count(reply(0xDD, 5, 2)), 1 + 1 + 3);
        QVERIFY(rig.up.isActive());
        QCOMPARE(rig.up.timeoutCount(), 119);
        rig.tick(1);
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::TimedOut);
        QVERIFY(!rig.up.pastDeadline());
        QCOMPARE(rig.wire.size(), 1 + 4); // nothing re-sent
        QCOMPARE(rig.warnings, (Warnings{{"错误", "USB更新失败,超时"}}));
        QCOMPARE(rig.log.last(), QStringLiteral("USB更新失败,超时"));
        QCOMPARE(rig.buttons.last(), qMakePair(QStringLiteral("开始下载"), true));

        // Repeats of a reply already taken are not progress either: the
        // acknowledgement of the last packet, 0xEE, and the handshake reply.
        Rig repeats;
        repeats.boot.setFault(SimBootloader::Fault::Silence, SimBootloader::AtBurn);
        repeats.startAndEnter(randomImage(58 * 3, 4));
        QVERIFY(repeats.inbox.size() == 1 && byteAt(repeats.inbox.head(), 1) == 0xBB);
        const QByteArray handshakeReply = repeats.inbox.head();
        QList<QByteArray> ackLastAndEnd;
        while (!repeats.inbox.isEmpty()) { // holds back 0xEE for now
            const QByteArray r = repeats.inbox.dequeue();
            if (byteAt(r, 1) == 0xEE)
                ackLastAndEnd << r;
            else
                repeats.up.receive(r);
            if (byteAt(r, 1) == 0xDD && byteAt(r, 3) == 2)
                ackLastAndEnd.prepend(r);
        }
        QCOMPARE(repeats.up.acknowledgedIndex(), 2);
        repeats.tick(50);
        repeats.up.receive(ackLastAndEnd.at(0));
        repeats.up.receive(handshakeReply);
        QCOMPARE(repeats.up.timeoutCount(), 50);
        repeats.up.receive(ackLastAndEnd.at(1)); // 0xEE: the burn starts, and that is progress
        QCOMPARE(repeats.up.state(), FirmwareUpgrade::State::Burning);
        QCOMPARE(repeats.up.timeoutCount(), 0);
        repeats.tick(50);
        repeats.up.receive(ackLastAndEnd.at(1));
        repeats.up.receive(ackLastAndEnd.at(0));
        QCOMPARE(repeats.up.timeoutCount(), 50);
        repeats.tick(70);
        QCOMPARE(repeats.up.outcome(), FirmwareUpgrade::Outcome::TimedOut);
        QCOMPARE(repeats.wire.size(), 1 + 3);
    }

    // Each reply comes 11 s after the last, always inside the silence limit;
    // the whole run's deadline (1 s a packet plus 30 s) still ends it.
    void slowUpgradeEndsAtItsDeadline()
    {
        Rig rig;
        rig.hold = true;
        rig.boot.setBurnTimeMs(0);
        rig.startAndEnter(randomImage(58 * 3, 6));
        const qint64 handshakeAt = rig.nowMs;
        for (int i = 0; i < 20 && rig.up.isActive(); ++i) {
            rig.tick(110);
            if (rig.up.isActive() && !rig.inbox.isEmpty())
                rig.up.receive(rig.inbox.dequeue());
        }
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::TimedOut);
        QVERIFY(rig.up.pastDeadline());
        QCOMPARE(rig.nowMs - handshakeAt, qint64(33000));
        QCOMPARE(rig.boot.packetsReceived(), 2);
        QCOMPARE(rig.warnings, (Warnings{{"错误", "USB更新失败,超时"}}));
    }

    // "Burn completed" (0xFF) or "all received" (0xEE) before the last packet
    // is acknowledged: the image was not written, whatever the instrument says.
    void completionBeforeTheLastAcknowledgementFails_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("step"); // the packet it comes in answer to; -1 the handshake
        QTest::addColumn<int>("sent"); // data packets sent by then
        QTest::newRow("FF to the handshake") << 0xFF << -1 << 0;
        QTest::newRow("FF to packet 2") << 0xFF << 2 << 3;
        QTest::newRow("FF to the last packet") << 0xFF << 4 << 5;
        QTest::newRow("EE to packet 1") << 0xEE << 1 << 2;
    }
    void completionBeforeTheLastAcknowledgementFails()
    {
        QFETCH(int, code);
        QFETCH(int, step);
        QFETCH(int, sent);
        Rig rig;
        rig.boot.setFault(
            code == 0xFF ? SimBootloader::Fault::EarlyFinish : SimBootloader::Fault::Silence, step);
        rig.startAndEnter(randomImage(58 * 5, 7));
        rig.pump();
        if (code != 0xFF)
            rig.inbox << reply(code); // after the silent step, instead of its acknowledgement
        rig.runToEnd();
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::EndedEarly);
        QCOMPARE(dataIndices(rig.wire).size(), sent);
        QCOMPARE(rig.warnings, (Warnings{{"错误", "设备提前结束了升级"}}));
        QCOMPARE(rig.log.last(), QStringLiteral("设备提前结束了升级"));
        QVERIFY(!rig.log.contains("烧写完成..."));
        QCOMPARE(rig.buttons.last(), qMakePair(QStringLiteral("开始下载"), true));
        QVERIFY(rig.progress.isEmpty() || rig.progress.last().first < 100);
        QVERIFY(!rig.up.isSilenceTimerRunning());
    }

    // The handshake reply again in the middle of the transfer (or twice at its
    // start) must not send packet 0 again: the rebuilt image stays whole.
    void repeatedHandshakeReplyIsIgnored()
    {
        for (int step : {SimBootloader::AtHandshake, 2, 6}) {
            Rig rig;
            rig.boot.setFault(SimBootloader::Fault::RepeatHandshake, step);
            const QByteArray image = randomImage(58 * 6 + 20, 8);
            rig.startAndEnter(image);
            rig.runToEnd();
            QVERIFY2(!rig.boot.failed(), qPrintable(rig.boot.error()));
            QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::Done);
            QCOMPARE(rig.boot.image(), image);
            QCOMPARE(dataIndices(rig.wire), (QList<int>{0, 1, 2, 3, 4, 5, 6}));
            QCOMPARE(rig.log.count("握手成功..."), 1);
        }
    }
    void badHandshakeCrcTimesOut()
    {
        Rig rig;
        rig.boot.setFault(SimBootloader::Fault::BadHandshakeCrc);
        rig.startAndEnter(randomImage(500, 4));
        rig.pump();
        const qint64 handshakeAt = rig.nowMs;
        rig.tick(119);
        QCOMPARE(rig.wire.size(), 1); // no data packet after the refused reply
        QVERIFY(rig.warnings.isEmpty());
        rig.tick(1);
        QCOMPARE(rig.nowMs - handshakeAt, qint64(12000));
        QVERIFY(!rig.up.isActive() && !rig.up.isSilenceTimerRunning());
        QCOMPARE(rig.warnings, (Warnings{{"错误", "USB更新失败,超时"}}));
    }
    // Below 3 or above 63 the CRC of a BB reply would lie on the code byte or past the report.
    void handshakeReplyLengthByte()
    {
        for (int length : {0, 1, 2, 64, 255, 4, 63}) {
            QByteArray r = reply(0xBB, length);
            if (length >= 3 && length <= 63) {
                const quint16 crc = Crc16::modbus(r.mid(1, length - 2));
                r[length - 1] = char(crc & 0xFF);
                r[length] = char(crc >> 8);
            }
            Rig rig;
            rig.startAndEnter(QByteArray(100, 'x'));
            rig.inbox.clear();
            rig.up.receive(r);
            const bool ok = length >= 3 && length <= 63;
            QCOMPARE(rig.up.state(), ok ? FirmwareUpgrade::State::Transferring
                                        : FirmwareUpgrade::State::Handshaking);
            QCOMPARE(rig.wire.size(), ok ? 2 : 1);
        }
    }
    void instrumentReportsFailure()
    {
        Rig rig;
        rig.boot.setFault(SimBootloader::Fault::FailReply, 4); // 0x11
        rig.startAndEnter(randomImage(58 * 20, 5));
        rig.runToEnd();
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::Failed);
        QCOMPARE(rig.warnings, (Warnings{{"error", "更新失败"}}));
        QVERIFY(!rig.up.isSilenceTimerRunning());
        QCOMPARE(rig.progress.last().first, 25); // the bar keeps its last value
        QCOMPARE(rig.log.last(), QStringLiteral("更新失败"));
        QCOMPARE(rig.buttons.last(), qMakePair(QStringLiteral("开始下载"), true));
    }
    // The instrument gets its whole 3 s to enter the bootloader before the
    // handshake goes out (two starts, at different phases of the clock).
    void entryWaitIsNeverShort()
    {
        for (int run = 0; run < 2; ++run) {
            FirmwareUpgrade up;
            QElapsedTimer since;
            qint64 handshakeAfter = -1;
            connect(&up, &FirmwareUpgrade::packetReady, this, [&] {
                if (handshakeAfter < 0)
                    handshakeAfter = since.elapsed();
            });
            QTest::qWait(137 * run);
            since.start();
            QVERIFY(up.start(randomImage(100, 9)));
            QTRY_VERIFY_WITH_TIMEOUT(handshakeAfter >= 0, 5000);
            QVERIFY2(handshakeAfter >= FirmwareUpgrade::EntryWaitMs,
                     qPrintable(QString::number(handshakeAfter)));
        }
    }
    void failedWriteEndsTheUpgrade()
    {
        Rig rig;
        rig.boot.setFault(SimBootloader::Fault::Silence, 2);
        rig.startAndEnter(randomImage(58 * 5, 8));
        rig.pump();
        rig.up.sendError();
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::SendError);
        QVERIFY(!rig.up.isActive() && !rig.up.isSilenceTimerRunning());
        QCOMPARE(rig.warnings, (Warnings{{"错误", "USB发送数据异常"}}));
        QCOMPARE(rig.log.last(), QStringLiteral("USB发送数据异常"));
        QCOMPARE(rig.buttons.last(), qMakePair(QStringLiteral("开始下载"), true));
        const int sent = rig.wire.size(); // a late acknowledgement finds nothing to continue
        rig.up.receive(reply(0xDD, 0, 2));
        QCOMPARE(rig.wire.size(), sent);
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "test_firmware.moc"
