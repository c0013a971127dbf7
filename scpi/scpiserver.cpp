#include "scpiserver.h"

#include "scpilinebuffer.h"
#include "scpilog.h"
#include "scpistatus.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <poll.h>

Q_LOGGING_CATEGORY(lcScpi, "usbtester.scpi")

// One connected client: its socket, the lines it sent, the commands waiting
// and the answers of the line being run.
class ScpiClient : public QObject
{
public:
    struct Job
    {
        enum Kind { Command, Error, EndOfLine } kind = Command;
        Scpi::Item item;
    };

    explicit ScpiClient(QTcpSocket *s) : socket(s)
    {
        s->setParent(this);
        peer = QStringLiteral("%1:%2").arg(s->peerAddress().toString()).arg(s->peerPort());
    }

    QTcpSocket *socket;
    QString peer;
    ScpiLineBuffer lines;
    QList<Job> jobs;
    QByteArrayList answers; // of the line being run
    ScpiStatus status;
    bool running = false; // its command is at the instrument
    // The socket is connected; a client that closed it still has the
    // commands it sent run (echo "INP OFF" | nc … must switch the load off).
    bool open = true;
    // Disconnected by the server: what it sent is not run.
    bool dropped = false;

    bool hasWork() const { return !dropped && !jobs.isEmpty(); }
    bool finished() const { return !open && (dropped || (jobs.isEmpty() && !running)); }
};

namespace {

// What the server reads from a socket at one go.
constexpr int ReadChunk = 4096;
// What Qt may hold of a client's unread input; past it, TCP holds the client back.
constexpr qint64 ReadBuffer = 16 * 1024;

} // namespace

ScpiServer::ScpiServer(InstrumentSession &session, QObject *parent)
    : QObject(parent), m_instrument(session), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &ScpiServer::accept);
}

ScpiServer::~ScpiServer()
{
    close();
}

bool ScpiServer::listen(const ScpiAddress &address, QString *error)
{
    if (!m_server->listen(address.host, address.port)) {
        *error = QStringLiteral("cannot listen on %1: %2")
                     .arg(address.toString(), m_server->errorString());
        return false;
    }
    qCDebug(lcScpi) << "listening on" << this->address().toString();
    return true;
}

ScpiAddress ScpiServer::address() const
{
    ScpiAddress a;
    a.host = m_server->serverAddress();
    a.port = m_server->serverPort();
    return a;
}

bool ScpiServer::isListening() const
{
    return m_server->isListening();
}

void ScpiServer::close()
{
    m_server->close();
    for (ScpiClient *c : qAsConst(m_clients)) {
        c->open = false;
        c->dropped = true;
        c->socket->disconnect(this);
        c->socket->abort();
        c->deleteLater();
    }
    m_clients.clear();
}

int ScpiServer::clientCount() const
{
    int n = 0;
    for (const ScpiClient *c : m_clients)
        n += c->open ? 1 : 0;
    return n;
}

bool ScpiServer::peerClosed(ScpiClient *c)
{
    // A client that hung up just before the newcomer came may not have been
    // noticed yet, and may have left a command unread behind it: the system
    // knows it is gone all the same.
    pollfd p{int(c->socket->socketDescriptor()), POLLRDHUP, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0;
}

void ScpiServer::closed(ScpiClient *c)
{
    qCDebug(lcScpi) << "client" << c->peer << "disconnected";
    // Its last lines are taken in whole; a half line without its newline is
    // not a command.
    readFrom(c, true);
    c->open = false;
    c->socket->disconnect(this);
    schedulePump();
}

void ScpiServer::accept()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        // One that hung up holds no place, though its last commands still run.
        int connected = clientCount();
        if (connected >= MaxClients)
            for (ScpiClient *c : qAsConst(m_clients))
                connected -= c->open && peerClosed(c) ? 1 : 0;
        if (connected >= MaxClients) {
            const QString peer =
                QStringLiteral("%1:%2").arg(s->peerAddress().toString()).arg(s->peerPort());
            qCInfo(lcScpi) << "refused" << peer << "- already" << MaxClients << "clients";
            s->abort();
            s->deleteLater();
            emit clientRefused(peer);
            continue;
        }
        auto *c = new ScpiClient(s);
        s->setReadBufferSize(ReadBuffer);
        // The system's share of a client's unread answers stays modest too.
        s->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, int(MaxUnsent));
        s->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        m_clients << c;
        qCDebug(lcScpi) << "client" << c->peer << "connected";
        connect(s, &QTcpSocket::readyRead, this, [this, c] {
            readFrom(c);
            pump();
        });
        connect(s, &QTcpSocket::disconnected, this, [this, c] { closed(c); });
        // Whatever came with the connection.
        readFrom(c);
        pump();
    }
}

void ScpiServer::readFrom(ScpiClient *c, bool all)
{
    if (!c->open || c->dropped)
        return;
    // Only as much as the queue takes: the rest waits in TCP, holding the client back.
    while ((all || c->jobs.size() < MaxQueued) && c->socket->bytesAvailable() > 0) {
        char buffer[ReadChunk];
        const qint64 n = c->socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        c->lines.append(buffer, int(n));
        while (c->lines.hasLine()) {
            const ScpiLineBuffer::Line line = c->lines.takeLine();
            ScpiClient::Job job;
            job.kind = ScpiClient::Job::Error;
            if (line.status == ScpiLineBuffer::Line::TooLong) {
                job.item.error = ScpiError::InputOverrun;
                job.item.info = "line longer than " + QByteArray::number(ScpiLineBuffer::MaxLine) +
                                " bytes dropped";
                c->jobs << job;
            } else if (line.status == ScpiLineBuffer::Line::Binary) {
                job.item.error = ScpiError::Syntax;
                job.item.info = "binary data in a line";
                c->jobs << job;
            } else {
                qCDebug(lcScpi) << c->peer << "<<" << line.text;
                for (const Scpi::Item &item : Scpi::parseLine(line.text)) {
                    ScpiClient::Job j;
                    j.kind = item.error ? ScpiClient::Job::Error : ScpiClient::Job::Command;
                    j.item = item;
                    c->jobs << j;
                }
            }
            c->jobs << ScpiClient::Job{ScpiClient::Job::EndOfLine, {}};
        }
    }
}

void ScpiServer::schedulePump()
{
    if (m_pumpQueued)
        return;
    m_pumpQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_pumpQueued = false;
            pump();
        },
        Qt::QueuedConnection);
}

void ScpiServer::pump()
{
    // Work that needs no instrument never waits for it; reading goes on as
    // the queues empty.
    for (bool progress = true; progress;) {
        progress = false;
        for (int k = 0; k < m_clients.size(); ++k) {
            ScpiClient *c = m_clients.at(k);
            if (runLocal(c))
                progress = true;
            if (c->open && c->jobs.size() < MaxQueued && c->socket->bytesAvailable() > 0) {
                readFrom(c);
                progress = true;
            }
        }
    }
    removeGone();
    startNext();
}

bool ScpiServer::runLocal(ScpiClient *c)
{
    bool progress = false;
    while (!c->running && c->hasWork()) {
        const ScpiClient::Job &head = c->jobs.first();
        if (head.kind == ScpiClient::Job::Command && !Scpi::isLocal(head.item.command.command))
            break;
        const ScpiClient::Job job = c->jobs.takeFirst();
        progress = true;
        if (job.kind == ScpiClient::Job::Error) {
            c->status.push(job.item.error, job.item.info);
            continue;
        }
        if (job.kind == ScpiClient::Job::EndOfLine) {
            if (!c->answers.isEmpty())
                send(c, c->answers.join(';') + '\n');
            c->answers.clear();
            continue;
        }
        const Scpi::ParsedCommand &cmd = job.item.command;
        switch (cmd.command) {
        case Scpi::Command::Clear:
            c->status.clear();
            break;
        case Scpi::Command::OperationComplete:
            // Commands run in order, so everything before this one is done.
            if (cmd.query)
                c->answers << "1";
            else
                c->status.setEvent(ScpiStatus::OperationComplete);
            break;
        case Scpi::Command::Wait:
            break;
        case Scpi::Command::EventStatus:
            c->answers << QByteArray::number(c->status.takeEvents());
            break;
        case Scpi::Command::SystemError:
            c->answers << c->status.next();
            break;
        case Scpi::Command::SystemErrorCount:
            c->answers << QByteArray::number(c->status.count());
            break;
        case Scpi::Command::SystemVersion:
            c->answers << "1999.0";
            break;
        default:
            break;
        }
    }
    return progress;
}

void ScpiServer::startNext()
{
    if (m_instrument.busy() || m_clients.isEmpty())
        return;
    m_turn %= m_clients.size();
    // The clients take turns, so one that sends a flood of commands delays
    // the others by one command at a time.
    const int n = m_clients.size();
    for (int k = 0; k < n; ++k) {
        ScpiClient *c = m_clients.at((m_turn + k) % n);
        if (c->running || !c->hasWork() || c->jobs.first().kind != ScpiClient::Job::Command)
            continue;
        m_turn = (m_turn + k + 1) % n;
        const Scpi::ParsedCommand cmd = c->jobs.takeFirst().item.command;
        c->running = true;
        QPointer<ScpiClient> client(c);
        m_instrument.execute(cmd, [this, client](const ScpiOutcome &o) {
            if (client) {
                client->running = false;
                apply(client, o);
            }
            pump();
        });
        return;
    }
}

void ScpiServer::apply(ScpiClient *c, const ScpiOutcome &o)
{
    if (o.error)
        c->status.push(o.error, o.info);
    if (o.replied)
        c->answers << o.reply;
}

void ScpiServer::send(ScpiClient *c, const QByteArray &bytes)
{
    if (!c->open)
        return;
    qCDebug(lcScpi) << c->peer << ">>" << bytes.trimmed();
    c->socket->write(bytes);
    if (c->socket->bytesToWrite() > MaxUnsent) {
        qCInfo(lcScpi) << "disconnected" << c->peer << "- it does not read its answers";
        emit clientDropped(c->peer);
        drop(c);
    }
}

void ScpiServer::drop(ScpiClient *c)
{
    c->open = false;
    c->dropped = true;
    c->jobs.clear();
    c->socket->disconnect(this);
    c->socket->abort();
    schedulePump();
}

void ScpiServer::removeGone()
{
    for (int k = m_clients.size() - 1; k >= 0; --k) {
        ScpiClient *c = m_clients.at(k);
        if (!c->finished())
            continue;
        c->socket->disconnect(this);
        m_clients.removeAt(k);
        c->deleteLater();
    }
}
