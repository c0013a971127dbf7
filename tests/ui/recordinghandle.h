#pragma once

#include "hidbackend.h"

#include <QByteArray>
#include <QList>

// A main handle that keeps every report written to it.
class RecordingHandle : public hid::Handle
{
public:
    int read(unsigned char *, size_t, int) override { return 0; }
    int write(const unsigned char *data, size_t length) override
    {
        written.append(QByteArray(reinterpret_cast<const char *>(data), int(length)));
        return int(length);
    }
    QString manufacturer() override { return QString(); }
    QString product() override { return QString(); }
    QString serialNumber() override { return QString(); }

    // Byte 3 of every report: the command codes in the order they went out.
    QList<int> codes() const
    {
        QList<int> out;
        for (const QByteArray &r : written)
            out.append(r.size() > 3 ? int(quint8(r.at(3))) : -1);
        return out;
    }

    QList<QByteArray> written;
};
