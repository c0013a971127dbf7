#pragma once

#include <QHostAddress>
#include <QString>

// Where the server listens: HOST:PORT, HOST an IPv4 address, [IPv6] in
// brackets, "localhost", or "*" for every address; PORT 0 takes a free one.
struct ScpiAddress
{
    static constexpr quint16 DefaultPort = 5025; // the usual raw-socket SCPI port
    QHostAddress host = QHostAddress(QHostAddress::LocalHost);
    quint16 port = DefaultPort;

    // Only this machine can reach a loopback address; anything else lets
    // whoever reaches the port drive the load.
    bool isLoopback() const { return host.isLoopback(); }
    QString toString() const;

    // False with a message for text that is not HOST:PORT.
    static bool parse(const QString &text, ScpiAddress *address, QString *error);
};
