#include "upgraderig.h"

#include <QRandomGenerator>
#include <QtTest>

// The upgrade state machine against the simulated bootloader, as the window
// will run it, with time advanced by the test.
class TestFirmwareTransfer : public QObject
{
    Q_OBJECT

    static QByteArray randomImage(int n, quint32 seed)
    {
        QRandomGenerator gen(seed);
        QByteArray image(n, '\0');
        for (int i = 0; i < n; ++i)
            image[i] = char(gen.bounded(256));
        return image;
    }
    static QString bar(const char *percent)
    {
        return QStringLiteral("当前进度为：%1%").arg(QLatin1String(percent));
    }

private slots:
    void wholeTransfer_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("10 bytes") << 10;
        QTest::newRow("57") << 57;
        QTest::newRow("58") << 58;
        QTest::newRow("59") << 59;
        QTest::newRow("58 x 3") << 58 * 3;
        QTest::newRow("58 x 2000") << 58 * 2000; // the last step is 99.95 %
        QTest::newRow("200 KB random") << 200 * 1024;
    }
    void wholeTransfer()
    {
        QFETCH(int, n);
        const QByteArray image = randomImage(n, quint32(n));
        UpgradeRig rig;
        rig.boot.setBurnTimeMs(2000);
        QVERIFY(rig.startAndEnter(image));
        QCOMPARE(rig.up.state(), FirmwareUpgrade::State::Handshaking);
        QVERIFY(rig.up.isSilenceTimerRunning());
        QCOMPARE(rig.buttonText, QStringLiteral("正在下载"));
        QVERIFY(!rig.buttonEnabled);
        rig.runToEnd();

        QVERIFY2(!rig.boot.failed(), qPrintable(rig.boot.error()));
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::Done);
        QVERIFY(!rig.up.isActive());
        QVERIFY(!rig.up.isSilenceTimerRunning());
        QVERIFY(rig.boot.burned());
        QCOMPARE(rig.boot.image(), image);
        QCOMPARE(rig.finishedCount, 1);
        QVERIFY(rig.warnings.isEmpty());

        // Handshake plus one report per packet, each 0x55 + 63 packet bytes.
        const int packets = (n + 57) / 58;
        QCOMPARE(rig.wire.size(), 1 + packets);
        for (const QByteArray &report : qAsConst(rig.wire)) {
            QCOMPARE(report.size(), 64);
            QCOMPARE(static_cast<unsigned char>(report.at(0)), 0x55);
        }

        // 100 only with the burn's end; 99.9 at most before.
        QCOMPARE(rig.progress.last(), qMakePair(100, bar("100.0")));
        for (int i = 0; i + 1 < rig.progress.size(); ++i) {
            QVERIFY(rig.progress.at(i).first <= 99);
            QVERIFY2(!rig.progress.at(i).second.contains("100"),
                     qPrintable(rig.progress.at(i).second));
        }
        QCOMPARE(rig.progress.at(rig.progress.size() - 2), qMakePair(99, bar("99.9")));

        QCOMPARE(rig.log.first(), QStringLiteral("开始连接设备..."));
        const QStringList tail = rig.log.mid(rig.log.size() - 3);
        QCOMPARE(tail,
                 QStringList({QStringLiteral("下载烧写过程耗时2秒"), QStringLiteral("烧写完成..."),
                              QStringLiteral("本次下载结束")}));
        QCOMPARE(rig.buttonText, QStringLiteral("开始下载"));
        QVERIFY(!rig.buttonEnabled);
    }

    void logOfAQuickAndASlowTransfer()
    {
        // Answers within the same second: no rate can be divided out.
        UpgradeRig quick;
        quick.boot.setBurnTimeMs(0);
        quick.startAndEnter(randomImage(1000, 1));
        quick.runToEnd();
        QCOMPARE(quick.log,
                 QStringList({"开始连接设备...", "握手成功...", "开始传输固件...", "传输完成...",
                              "传输耗时0秒", "1000字节/<1秒", "请等待设备烧写完成...",
                              "下载烧写过程耗时0秒", "烧写完成...", "本次下载结束"}));

        // 3,532 packets at 2 ms each: 7 s for 204,800 bytes.
        UpgradeRig slow;
        slow.nowMs = 1700000000000 - 3000; // the handshake is accepted on a whole second
        slow.msPerExchange = 2;
        slow.startAndEnter(randomImage(200 * 1024, 2));
        slow.runToEnd();
        QVERIFY(slow.log.contains("传输耗时7秒"));
        QVERIFY(slow.log.contains("28.57KB/秒"));
    }

    void speedLines()
    {
        QCOMPARE(FirmwareUpgrade::speedLine(1000, 1), QStringLiteral("1000字节/秒"));
        QCOMPARE(FirmwareUpgrade::speedLine(1024, 1), QStringLiteral("1024字节/秒"));
        QCOMPARE(FirmwareUpgrade::speedLine(1025, 1), QStringLiteral("1.00KB/秒"));
        QCOMPARE(FirmwareUpgrade::speedLine(1024000, 10), QStringLiteral("100.00KB/秒"));
        QCOMPARE(FirmwareUpgrade::speedLine(500, 0), QStringLiteral("500字节/<1秒"));
    }

    void entryRequestAndTheWait()
    {
        UpgradeRig rig;
        QSignalSpy entry(&rig.up, &FirmwareUpgrade::entryFrameRequested);
        rig.up.disconnect(&rig); // no poll tick takes the request here
        QVERIFY(rig.up.start(QByteArray(100, 'x')));
        QCOMPARE(entry.count(), 1);
        QVERIFY(rig.up.entryFramePending());
        QCOMPARE(rig.up.state(), FirmwareUpgrade::State::Entering);

        // Replies during the wait are not looked at.
        QSignalSpy packets(&rig.up, &FirmwareUpgrade::packetReady);
        QByteArray bb(64, '\0');
        bb[1] = char(0xBB);
        rig.up.receive(bb);
        rig.up.silenceTick();
        QCOMPARE(packets.count(), 0);
        QCOMPARE(rig.up.timeoutCount(), 0);

        QVERIFY(rig.up.takeEntryRequest());
        QVERIFY(!rig.up.takeEntryRequest());
        rig.up.entryWaitElapsed();
        QCOMPARE(packets.count(), 1); // the handshake
        QVERIFY(rig.up.isActive());

        // Images the loader would refuse never start.
        UpgradeRig other;
        QVERIFY(!other.up.start(QByteArray()));
        QVERIFY(!other.up.start(QByteArray(1024001, 'x')));
        QCOMPARE(other.up.state(), FirmwareUpgrade::State::Idle);
    }

    void repeatedOldAcknowledgement()
    {
        UpgradeRig rig;
        rig.boot.setFault(SimBootloader::Fault::WrongAckIndex, 3);
        rig.startAndEnter(randomImage(58 * 10, 3));
        rig.up.silenceTick();
        rig.up.silenceTick();
        rig.pump(); // packets 0..3 go out; packet 3 is answered with index 2
        QCOMPARE(rig.wire.size(), 1 + 4);
        QCOMPARE(rig.up.timeoutCount(), 0);
        QCOMPARE(rig.up.packetIndex(), 4);

        // Once more, by hand: the count is reset and still nothing is sent.
        rig.tick(5);
        QCOMPARE(rig.up.timeoutCount(), 5);
        QByteArray ack(64, '\0');
        ack[1] = char(0xDD);
        ack[3] = char(2);
        rig.up.receive(ack);
        QCOMPARE(rig.up.timeoutCount(), 0);
        QCOMPARE(rig.wire.size(), 1 + 4);

        rig.tick(119);
        QVERIFY(rig.up.isActive());
        rig.tick(1);
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::TimedOut);
        QCOMPARE(rig.warnings, (QList<QPair<QString, QString>>{{"错误", "USB更新失败,超时"}}));
    }

    void badHandshakeCrcTimesOut()
    {
        UpgradeRig rig;
        rig.boot.setFault(SimBootloader::Fault::BadHandshakeCrc);
        rig.startAndEnter(randomImage(500, 4));
        rig.pump();
        const qint64 handshakeAt = rig.nowMs;
        rig.tick(119);
        QCOMPARE(rig.wire.size(), 1); // no data packet after the refused reply
        QVERIFY(rig.up.isActive());
        QVERIFY(rig.warnings.isEmpty());
        rig.tick(1);
        QCOMPARE(rig.nowMs - handshakeAt, qint64(12000));
        QVERIFY(!rig.up.isActive());
        QVERIFY(!rig.up.isSilenceTimerRunning());
        QCOMPARE(rig.warnings, (QList<QPair<QString, QString>>{{"错误", "USB更新失败,超时"}}));
        QCOMPARE(rig.buttonText, QStringLiteral("正在下载"));
        QVERIFY(!rig.buttonEnabled);
    }

    // The length byte of a BB reply decides where its CRC is read.
    void handshakeReplyLengthByte()
    {
        const auto makeReply = [](int length) {
            QByteArray r(64, '\0');
            r[0] = char(0xAA);
            r[1] = char(0xBB);
            r[2] = char(length);
            return r;
        };
        const auto signAt = [](QByteArray r, int length) {
            auto *u = reinterpret_cast<unsigned char *>(r.data());
            quint16 crc = 0xFFFF;
            for (int i = 1; i <= length - 2; ++i) {
                crc ^= u[i];
                for (int b = 0; b < 8; ++b)
                    crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
            }
            u[length - 1] = crc & 0xFF;
            u[length] = crc >> 8;
            return r;
        };
        // Below 3 or above 63 the CRC would lie on the code byte or past the report.
        for (int length : {0, 1, 2, 64, 200, 255}) {
            UpgradeRig rig;
            rig.startAndEnter(QByteArray(100, 'x'));
            rig.up.receive(makeReply(length));
            QCOMPARE(rig.up.state(), FirmwareUpgrade::State::Handshaking);
            QCOMPARE(rig.wire.size(), 1);
        }
        for (int length : {4, 7, 63}) {
            UpgradeRig rig;
            rig.startAndEnter(QByteArray(100, 'x'));
            rig.inbox.clear();
            rig.up.receive(signAt(makeReply(length), length));
            QCOMPARE(rig.up.state(), FirmwareUpgrade::State::Transferring);
            QCOMPARE(rig.wire.size(), 2);
        }
    }

    void instrumentReportsFailure()
    {
        UpgradeRig rig;
        rig.boot.setFault(SimBootloader::Fault::FailReply, 4);
        rig.startAndEnter(randomImage(58 * 20, 5));
        rig.runToEnd();
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::Failed);
        QCOMPARE(rig.warnings, (QList<QPair<QString, QString>>{{"error", "更新失败"}}));
        QVERIFY(!rig.up.isActive());
        QVERIFY(!rig.up.isSilenceTimerRunning());
        QCOMPARE(rig.buttonText, QStringLiteral("正在下载"));
        QCOMPARE(rig.progress.last().first, 25); // the bar keeps its last value

        // A failure during the burn, after 0xEE.
        UpgradeRig burn;
        burn.boot.setFault(SimBootloader::Fault::FailReply, SimBootloader::AtBurn);
        burn.startAndEnter(randomImage(300, 6));
        burn.runToEnd();
        QCOMPARE(burn.up.outcome(), FirmwareUpgrade::Outcome::Failed);
        QVERIFY(burn.log.contains("请等待设备烧写完成..."));
        QCOMPARE(burn.progress.last(), qMakePair(99, bar("99.9")));
    }

    void silenceDuringTheBurn()
    {
        UpgradeRig rig;
        rig.boot.setFault(SimBootloader::Fault::Silence, SimBootloader::AtBurn);
        rig.startAndEnter(randomImage(300, 7));
        rig.runToEnd();
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::TimedOut);
        QCOMPARE(rig.boot.image().size(), 300);
        QCOMPARE(rig.warnings.size(), 1);
    }

    void failedWriteEndsTheUpgrade()
    {
        UpgradeRig rig;
        rig.boot.setFault(SimBootloader::Fault::Silence, 2);
        rig.startAndEnter(randomImage(58 * 5, 8));
        rig.pump();
        QVERIFY(rig.up.isActive());
        rig.up.sendError();
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::SendError);
        QVERIFY(!rig.up.isActive());
        QVERIFY(!rig.up.isSilenceTimerRunning());
        QCOMPARE(rig.warnings, (QList<QPair<QString, QString>>{{"错误", "USB发送数据异常"}}));

        // A late acknowledgement finds nothing to continue.
        const int sent = rig.wire.size();
        QByteArray ack(64, '\0');
        ack[1] = char(0xDD);
        ack[3] = char(2);
        rig.up.receive(ack);
        QCOMPARE(rig.wire.size(), sent);
    }

    void unpluggedInstrumentTimesOut()
    {
        UpgradeRig rig;
        rig.linkOpen = false;
        rig.startAndEnter(QByteArray(100, 'x'));
        rig.runToEnd();
        QVERIFY(rig.wire.isEmpty());
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::TimedOut);
        QCOMPARE(rig.up.timeoutCount(), FirmwareUpgrade::timeoutLimit);
    }

    void secondHandshakeRestartsFromPacketZero()
    {
        UpgradeRig rig;
        rig.boot.setFault(SimBootloader::Fault::Silence, 3);
        const QByteArray image = randomImage(58 * 6, 9);
        rig.startAndEnter(image);
        QByteArray bb = rig.inbox.head(); // keep the accepted reply for later
        rig.pump();
        QCOMPARE(rig.up.packetIndex(), 4);
        rig.boot.setFault(SimBootloader::Fault::None);
        rig.boot.begin(rig.nowMs);
        rig.boot.receive(rig.wire.first(), rig.nowMs); // the bootloader sees the handshake again
        rig.up.receive(bb);
        rig.runToEnd();
        QCOMPARE(rig.up.outcome(), FirmwareUpgrade::Outcome::Done);
        QCOMPARE(rig.boot.image(), image);
    }
};

QTEST_GUILESS_MAIN(TestFirmwareTransfer)
#include "test_firmware_transfer.moc"
