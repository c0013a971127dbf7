#pragma once

#include "hidbackend.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

// A simulated instrument on a private socket, reached by the socket backend
// exactly as the program reaches it behind --device socket:PATH.
struct SimFixture
{
    explicit SimFixture(const SimSetup &setup = SimSetup(), double speed = 1.0)
        : server(std::make_unique<SimServer>(setup, speed))
    {
        path = dir.filePath(QStringLiteral("i.sock"));
        QString error;
        if (!server->listen(path, &error))
            qFatal("cannot serve the simulator: %s", qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(path));
    }
    ~SimFixture()
    {
        hid::setBackend(nullptr);
        server.reset();
    }

    static QByteArray report(std::initializer_list<int> bytes)
    {
        QByteArray r(hid::ReportSize, '\0');
        int i = 0;
        for (int b : bytes)
            r[i++] = char(b);
        return r;
    }
    static QByteArray probe(int address)
    {
        return report({0x55, 0x05, address, 0x04, 0, 0, 0, 0, 0xEE, 0xFF});
    }
    static int write(hid::Handle *h, const QByteArray &r)
    {
        return h->write(reinterpret_cast<const unsigned char *>(r.constData()), size_t(r.size()));
    }
    static QByteArray read(hid::Handle *h, int timeoutMs = 2000)
    {
        unsigned char buffer[hid::ReportSize];
        const int n = h->read(buffer, sizeof buffer, timeoutMs);
        return n > 0 ? QByteArray(reinterpret_cast<const char *>(buffer), n) : QByteArray();
    }
    // Waits until the server has seen `count` connections come and go.
    bool waitConnections(int count, int timeoutMs = 3000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (server->connectionCount() != count && !deadline.hasExpired())
            QTest::qWait(10);
        return server->connectionCount() == count;
    }

    QTemporaryDir dir;
    QString path;
    std::unique_ptr<SimServer> server;
};
