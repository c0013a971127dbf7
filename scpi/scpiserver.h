#pragma once

#include "scpiaddress.h"
#include "scpiinstrument.h"

#include <QList>
#include <QObject>

class QTcpServer;
class ScpiClient;

// The instrument as a SCPI instrument on a raw TCP socket: newline-terminated
// program messages in, newline-terminated answers out, one per line that asks
// (several answers of one line joined by ';'). Up to MaxClients at once; each
// has its own error queue and its commands run in order, and the clients take
// turns at the instrument one command at a time. A client can cost the server
// no more than a line's worth of input and MaxUnsent of output: longer lines
// are dropped with -363, garbage gets -102, and a client that does not read
// its answers is disconnected.
class ScpiServer : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxClients = 4;
    // Answers waiting for a client beyond what the system buffers hold.
    static constexpr qint64 MaxUnsent = 64 * 1024;
    // Commands waiting per client before the server stops reading from it.
    static constexpr int MaxQueued = 64;

    explicit ScpiServer(InstrumentSession &session, QObject *parent = nullptr);
    ~ScpiServer() override;

    bool listen(const ScpiAddress &address, QString *error);
    // The address listened on, with the port actually taken.
    ScpiAddress address() const;
    bool isListening() const;
    void close();
    int clientCount() const;

signals:
    // A client came while MaxClients were connected and was closed at once.
    void clientRefused(const QString &peer);
    // A client was disconnected for not reading its answers.
    void clientDropped(const QString &peer);

private:
    void accept();
    bool peerClosed(ScpiClient *c);
    void closed(ScpiClient *c);
    void readFrom(ScpiClient *c, bool all = false);
    void pump();
    void schedulePump();
    bool runLocal(ScpiClient *c);
    void startNext();
    void apply(ScpiClient *c, const ScpiOutcome &o);
    void send(ScpiClient *c, const QByteArray &bytes);
    void drop(ScpiClient *c);
    void removeGone();

    ScpiInstrument m_instrument;
    QTcpServer *m_server;
    QList<ScpiClient *> m_clients;
    int m_turn = 0; // where the next look for an instrument command starts
    bool m_pumpQueued = false;
};
