#pragma once

#include "hidbackend.h"

#include <QByteArray>
#include <QList>
#include <cstring>

// A main handle stand-in: hands out queued input reports one per read and
// keeps every output report written to it.
class FakeHandle : public hid::Handle
{
public:
    QList<QByteArray> incoming;
    QList<QByteArray> written;
    bool gone = false;    // reads give -1 once the queue is empty
    bool endless = false; // a fresh copy of `incoming.first()` on every read
    int reads = 0;

    int read(unsigned char *data, size_t length, int) override
    {
        ++reads;
        if (incoming.isEmpty())
            return gone ? -1 : 0;
        const QByteArray r = endless ? incoming.first() : incoming.takeFirst();
        const size_t n = qMin(length, size_t(r.size()));
        std::memcpy(data, r.constData(), n);
        return int(n);
    }
    int write(const unsigned char *data, size_t length) override
    {
        written.append(QByteArray(reinterpret_cast<const char *>(data), int(length)));
        return int(length);
    }
    QString manufacturer() override { return QStringLiteral("Maker"); }
    QString product() override { return QStringLiteral("KV37 V1.0.0"); }
    QString serialNumber() override { return QStringLiteral("0123456789"); }
};

// A 64-byte input report AA 05 <address> <kind>, the rest zero; callers set
// the bytes of the layout under test by offset.
inline QByteArray inputReport(unsigned char address, unsigned char kind)
{
    QByteArray r(64, '\0');
    r[0] = char(0xAA);
    r[1] = char(0x05);
    r[2] = char(address);
    r[3] = char(kind);
    return r;
}

inline void putBytes(QByteArray &r, int offset, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        r[offset++] = char(b);
}
