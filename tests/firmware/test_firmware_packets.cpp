#include "crc16.h"
#include "firmwarepacket.h"

#include <QtTest>

// Bytes the bootloader must see, checked against values worked out by hand
// (and, for the CRC, against the standard check value).
class TestFirmwarePackets : public QObject
{
    Q_OBJECT

    static QByteArray pattern(int n)
    {
        QByteArray image(n, '\0');
        for (int i = 0; i < n; ++i)
            image[i] = char((i * 7 + 3) & 0xFF);
        return image;
    }
    static int byteAt(const QByteArray &a, int i) { return static_cast<unsigned char>(a.at(i)); }

private slots:
    void crcCheckValue()
    {
        QCOMPARE(Crc16::modbus(QByteArray("123456789")), quint16(0x4B37));
        QCOMPARE(Crc16::modbus(QByteArray()), quint16(0xFFFF));
    }

    void handshakeWorked_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QByteArray>("hex");
        QTest::newRow("1") << 1 << QByteArray("aa07010001ad6c");
        QTest::newRow("10") << 10 << QByteArray("aa0701000aecab");
        QTest::newRow("57") << 57 << QByteArray("aa07010039acbe");
        QTest::newRow("58") << 58 << QByteArray("aa070100006cac");
        QTest::newRow("59") << 59 << QByteArray("aa070200015d6c");
        QTest::newRow("116") << 116 << QByteArray("aa070200009cac");
        QTest::newRow("1024000") << 1024000 << QByteArray("aa07f8440a0f9a");
    }
    void handshakeWorked()
    {
        QFETCH(int, n);
        QFETCH(QByteArray, hex);
        const QByteArray packet = FirmwarePacket::handshake(n);
        QCOMPARE(packet.size(), 64);
        QCOMPARE(packet.left(7).toHex(), hex);
        QCOMPARE(packet.mid(7), QByteArray(57, '\0'));
    }

    // Every size class: 1..57 (one short packet), 58*k (all full), 59.
    void handshakeCountsAndLastSize()
    {
        QList<int> sizes;
        for (int n = 1; n <= 59; ++n)
            sizes << n;
        for (int k : {2, 3, 100, 2000, 17656})
            sizes << 58 * k;
        for (int n : sizes) {
            const QByteArray p = FirmwarePacket::handshake(n);
            const int count = (n + 57) / 58;
            QCOMPARE(byteAt(p, 2) | (byteAt(p, 3) << 8), count);
            QCOMPARE(byteAt(p, 4), n % 58);
            const quint16 crc = Crc16::modbus(p.left(5));
            QCOMPARE(byteAt(p, 5), crc & 0xFF);
            QCOMPARE(byteAt(p, 6), crc >> 8);
        }
    }

    void fullPacketLayout()
    {
        const QByteArray image = pattern(1000);
        for (int index : {0, 5}) {
            const QByteArray p = FirmwarePacket::data(image, index);
            QCOMPARE(p.size(), 64);
            QCOMPARE(byteAt(p, 0), 0xCC);
            QCOMPARE(byteAt(p, 1), 0x40);
            QCOMPARE(byteAt(p, 2), index);
            QCOMPARE(byteAt(p, 3), 0);
            QCOMPARE(p.mid(4, 58), image.mid(index * 58, 58));
            // CRC over bytes 0..61; its high byte fills byte 63.
            const quint16 expected = index == 0 ? 0x4792 : 0xC272;
            QCOMPARE(byteAt(p, 62), expected & 0xFF);
            QCOMPARE(byteAt(p, 63), expected >> 8);
        }
    }

    void lastPacketLayout()
    {
        const QByteArray image = pattern(59);
        const QByteArray p = FirmwarePacket::data(image, 1);
        QCOMPARE(p.left(7).toHex(), QByteArray("cc07010099a4ce"));
        QCOMPARE(p.mid(7), QByteArray(57, '\0'));

        // 10 bytes: the only packet has L = 16 and zeros behind its CRC.
        const QByteArray small = pattern(10);
        const QByteArray q = FirmwarePacket::data(small, 0);
        QCOMPARE(byteAt(q, 1), 16);
        QCOMPARE(q.mid(4, 10), small);
        const quint16 crc = Crc16::modbus(q.left(14));
        QCOMPARE(byteAt(q, 14) | (byteAt(q, 15) << 8), int(crc));
        QCOMPARE(q.mid(16), QByteArray(48, '\0'));
    }

    void highIndexAndPastTheEnd()
    {
        const QByteArray image(FirmwarePacket::MaxImageSize, char(0x5A));
        const QByteArray p = FirmwarePacket::data(image, 17655);
        QCOMPARE(byteAt(p, 1), 10 + 6); // 1,024,000 = 17,655 x 58 + 10
        QCOMPARE(byteAt(p, 2) | (byteAt(p, 3) << 8), 17655);
        QVERIFY(FirmwarePacket::data(image, 17656).isEmpty());
        QVERIFY(FirmwarePacket::data(image, -1).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestFirmwarePackets)
#include "test_firmware_packets.moc"
