// serve: the instrument as a SCPI instrument on a TCP port, until Ctrl-C.
#include "clicommand.h"
#include "scpiserver.h"

#include <QJsonObject>

namespace {

using CliOptions::CommandArgs;

class ServeCommand : public CliCommand
{
public:
    ServeCommand(const CliOptions::Global &g, CliOutput &out, InstrumentSession &s,
                 const ScpiAddress &address)
        : CliCommand(g, out, s), m_address(address)
    {
    }

    void start() override
    {
        m_server = std::make_unique<ScpiServer>(m_session);
        QString error;
        if (!m_server->listen(m_address, &error))
            return fail(error);
        const ScpiAddress bound = m_server->address();
        if (!bound.isLoopback())
            m_out.message(QStringLiteral("warning: listening on %1, not on this machine's "
                                         "loopback: anyone who can reach this port controls "
                                         "the load")
                              .arg(bound.toString()));
        connect(&m_session, &InstrumentSession::reconnected, this,
                [this] { m_out.message(QStringLiteral("the instrument is back")); });
        connect(m_server.get(), &ScpiServer::clientRefused, this, [this](const QString &peer) {
            m_out.message(QStringLiteral("refused %1: %2 clients are connected already")
                              .arg(peer)
                              .arg(ScpiServer::MaxClients));
        });
        connect(m_server.get(), &ScpiServer::clientDropped, this, [this](const QString &peer) {
            m_out.message(QStringLiteral("disconnected %1: it did not read its answers").arg(peer));
        });
        if (m_out.json()) {
            QJsonObject o;
            o[QStringLiteral("event")] = QStringLiteral("listening");
            o[QStringLiteral("address")] = bound.host.toString();
            o[QStringLiteral("port")] = bound.port;
            o[QStringLiteral("model")] = m_session.model();
            m_out.object(o);
        } else {
            m_out.line(QStringLiteral("SCPI server for the %1 listening on %2")
                           .arg(m_session.model(), bound.toString()));
        }
    }

    void interrupt() override
    {
        if (m_server)
            m_server->close();
        finish(CliExit::Done);
    }

    void instrumentLost() override
    {
        m_out.message(
            QStringLiteral("the instrument is gone; commands answer -241 until it is back"));
    }

private:
    ScpiAddress m_address;
    std::unique_ptr<ScpiServer> m_server;
};

} // namespace

std::unique_ptr<CliCommand> makeServeCommand(const CliOptions::Global &g, CliOutput &out,
                                             InstrumentSession &s, QString *error)
{
    if (g.command != QLatin1String("serve"))
        return nullptr;
    CommandArgs a;
    if (!CliOptions::parseCommandArgs(g.args, {}, {"--listen"}, &a, error))
        return nullptr;
    if (!a.positional.isEmpty()) {
        *error = QStringLiteral("usage: usb-tester-cli serve [--listen HOST:PORT]");
        return nullptr;
    }
    ScpiAddress address;
    if (a.hasValue(QStringLiteral("--listen")) &&
        !ScpiAddress::parse(a.value(QStringLiteral("--listen")), &address, error))
        return nullptr;
    return std::make_unique<ServeCommand>(g, out, s, address);
}
