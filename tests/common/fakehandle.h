#pragma once

#include "hidbackend.h"

#include <QByteArray>
#include <QList>
#include <cstring>

// A main handle for tests: hands out the queued input reports in order and
// keeps every report written to it. Once the queue is empty a read gives 0,
// or -1 when the instrument is marked gone.
struct FakeHandle : hid::Handle
{
    QList<QByteArray> incoming, written;
    bool gone = false;

    int read(unsigned char *data, size_t length, int) override
    {
        if (incoming.isEmpty())
            return gone ? -1 : 0;
        const QByteArray r = incoming.takeFirst();
        const size_t n = qMin(length, size_t(r.size()));
        std::memcpy(data, r.constData(), n);
        return int(n);
    }
    int write(const unsigned char *data, size_t length) override
    {
        written.append(QByteArray(reinterpret_cast<const char *>(data), int(length)));
        return int(length);
    }
    QString manufacturer() override { return {}; }
    QString product() override { return {}; }
    QString serialNumber() override { return {}; }
};
