// The SCPI server: its parser (short and long forms, optional nodes, paths,
// parameters, errors), the error queue and event register, the line buffer
// and listen addresses; then the server on a session against the simulated
// instrument, driven by plain TCP clients.
#include "hidbackend.h"
#include "instrumentsession.h"
#include "scpiaddress.h"
#include "scpiinstrument.h"
#include "scpilinebuffer.h"
#include "scpiparser.h"
#include "scpiserver.h"
#include "scpistatus.h"
#include "simserver.h"
#include "socketbackend.h"

#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <arpa/inet.h>
#include <cmath>
#include <limits>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Scpi;

namespace {

// A parsed line in words, e.g. "MeasureVoltage? Current=1.5 E-113".
QString describe(const QList<Item> &items)
{
    static const char *const names[] = {"Identify",
                                        "Reset",
                                        "Clear",
                                        "OperationComplete",
                                        "Wait",
                                        "EventStatus",
                                        "SystemError",
                                        "SystemErrorCount",
                                        "SystemVersion",
                                        "MeasureVoltage",
                                        "MeasureCurrent",
                                        "MeasurePower",
                                        "MeasureResistance",
                                        "MeasureTemperature",
                                        "MeasureAll",
                                        "FetchCapacity",
                                        "FetchEnergy",
                                        "Function",
                                        "Current",
                                        "Voltage",
                                        "Resistance",
                                        "Power",
                                        "Cutoff",
                                        "Input"};
    QStringList out;
    for (const Item &i : items) {
        if (i.error) {
            out << QStringLiteral("E%1").arg(i.error);
            continue;
        }
        const ParsedCommand &c = i.command;
        QString s = QString::fromLatin1(names[int(c.command)]) + (c.query ? "?" : "");
        switch (c.command) {
        case Command::Current:
        case Command::Voltage:
        case Command::Resistance:
        case Command::Power:
        case Command::Cutoff:
            if (!c.query)
                s += QLatin1Char('=') + QString::number(c.number, 'g', 10);
            break;
        case Command::Function:
        case Command::Input:
        case Command::MeasureTemperature:
            if (!c.query || c.command == Command::MeasureTemperature)
                s += QLatin1Char('/') + QString::number(c.choice);
            break;
        default:
            break;
        }
        out << s;
    }
    return out.join(QLatin1Char(' '));
}

// A client of the server in this process: each line gets the event loop
// running until its answer line is in.
class Client
{
public:
    explicit Client(quint16 port)
    {
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        m_socket.waitForConnected(3000);
    }
    QByteArray ask(const QByteArray &text, int ms = 8000)
    {
        m_socket.write(text + '\n');
        return line(ms);
    }
    // The next answer line.
    QByteArray line(int ms = 8000)
    {
        QDeadlineTimer deadline(ms);
        while (!m_socket.canReadLine() && !deadline.hasExpired() &&
               m_socket.state() == QAbstractSocket::ConnectedState)
            QTest::qWait(5);
        return m_socket.canReadLine() ? m_socket.readLine().trimmed() : QByteArray("<none>");
    }
    QTcpSocket &socket() { return m_socket; }

private:
    QTcpSocket m_socket;
};

} // namespace

class TestScpi : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SimServer> m_sim;
    std::unique_ptr<InstrumentSession> m_session;
    std::unique_ptr<ScpiServer> m_server;

    // A load on a private socket, a session on it and the server on a free port.
    void startServer(int timeoutMs)
    {
        m_sim = std::make_unique<SimServer>(SimSetup(), 1.0);
        QString error;
        const QString path = m_dir.filePath(QStringLiteral("load.sock"));
        QVERIFY2(m_sim->listen(path, &error), qPrintable(error));
        hid::setBackend(hid::makeSocketBackend(path));
        m_session = std::make_unique<InstrumentSession>();
        m_session->setTimeoutMs(timeoutMs);
        QVERIFY(m_session->open());
        m_server = std::make_unique<ScpiServer>(*m_session);
        ScpiAddress a;
        a.port = 0;
        QVERIFY2(m_server->listen(a, &error), qPrintable(error));
    }

private slots:
    void cleanup()
    {
        m_server.reset();
        m_session.reset();
        hid::setBackend(nullptr);
        m_sim.reset();
    }

    // --- the parser ---

    void parseLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("parsed");
        auto row = [](const char *line, const char *parsed) {
            QTest::newRow(line) << QByteArray(line) << QString::fromLatin1(parsed);
        };
        // Short and long forms in any case, optional nodes left out or given.
        row("*IDN?", "Identify?");
        row("*idn?", "Identify?");
        row("MEAS:VOLT?", "MeasureVoltage?");
        row("MEASURE:VOLTAGE?", "MeasureVoltage?");
        row("measure:scalar:voltage:dc?", "MeasureVoltage?");
        row("MeAs:ScAl:VoLt:Dc?", "MeasureVoltage?");
        row(":MEAS:VOLT:DC?", "MeasureVoltage?");
        row("MEAS:POW?;RES?", "MeasurePower? MeasureResistance?");
        row("MEAS:ALL?", "MeasureAll?");
        row("FETC:CAP?;FETCh:ENERgy?", "FetchCapacity? FetchEnergy?");
        row("SYST:ERR?", "SystemError?");
        row("SYSTem:ERRor:NEXT?", "SystemError?");
        row("SYST:ERR:COUN?", "SystemErrorCount?");
        row("system:version?", "SystemVersion?");
        row("*RST;*CLS;*OPC;*OPC?;*WAI;*ESR?",
            "Reset Clear OperationComplete OperationComplete? Wait EventStatus?");
        // Neither the short nor the long form.
        row("MEASU:VOLT?", "E-113");
        row("MEA:VOLT?", "E-113");
        row("MEAS:VOLTAGES?", "E-113");
        row("CURRE 1", "E-113");
        // A header is looked up under the previous command's path first.
        row("MEAS:VOLT?;CURR?", "MeasureVoltage? MeasureCurrent?");
        row("MEAS:VOLT?;:CURR?", "MeasureVoltage? Current?");
        row("SOUR:CURR 1.5;VOLT:CUT 3", "Current=1.5 Cutoff=3");
        row("VOLT:CUT 3;CUT?", "Cutoff=3 Cutoff?");
        row("VOLT:CUT 3;VOLT 4", "Cutoff=3 Voltage=4");
        row("FUNC CURR;INP ON", "Function/0 Input/1");
        // Common commands leave the path as it was.
        row("MEAS:VOLT?;*OPC?;CURR?", "MeasureVoltage? OperationComplete? MeasureCurrent?");
        row("  ;; *OPC? ; ", "OperationComplete?");
        // Parameters.
        row("FUNCtion resistance", "Function/2");
        row("FUNC POW;FUNC?", "Function/3 Function?");
        row("SOUR:FUNC VOLT", "Function/1");
        row("INP ON;INP off;INPut:STATe 1;INP 0", "Input/1 Input/0 Input/1 Input/0");
        row("CURR 1.5", "Current=1.5");
        row("SOURce:CURRent:LEVel 1.5A", "Current=1.5");
        row("CURR 1500mA", "Current=1.5");
        row("CURR 1500 MA", "Current=1.5");
        row("CURR +.5", "Current=0.5");
        row("CURR 5.", "Current=5");
        row("CURR 1e-1", "Current=0.1");
        row("CURR 2 E2", "Current=200");
        row("VOLT 3300 mV", "Voltage=3.3");
        row("RES 2 KOHM;RES 1 MOHM", "Resistance=2000 Resistance=1000000");
        row("POW 500 MW", "Power=0.5");
        row("CURR -1", "Current=-1"); // the range is the instrument's to judge
        row("MEAS:TEMP?", "MeasureTemperature?/0");
        row("MEAS:TEMP? mos;TEMP? CPU;TEMP? ntc", "MeasureTemperature?/1 MeasureTemperature?/2 "
                                                  "MeasureTemperature?/0");
        // Whole commands in the wrong form: the line goes on.
        row("*IDN", "E-100");
        row("*RST?", "E-100");
        row("MEAS:VOLT", "E-100");
        row("*IDN? 1", "E-100");
        row("FUNC? POW", "E-100");
        row("INP MAYBE", "E-100");
        row("INP", "E-100");
        row("CURR", "E-100");
        row("CURR 1,2", "E-100");
        row("CURR 1.5 V", "E-100");
        row("CURR ON", "E-100");
        row("MEAS:TEMP? FOO", "E-100");
        row("FOO;*OPC?", "E-113 OperationComplete?");
        row("CURR 1e400", "E-222");
        // Text that is no command ends the line.
        row("CURR 1.2.3;*OPC?", "E-102");
        row("MEAS:VOLT?;CURR #H1F;*OPC?", "MeasureVoltage? E-102");
        row("CURR 'one", "E-102");
        row("CURR 1,", "E-102");
        row("*OPC?x", "E-102");
        row("1234", "E-102");
        row("MEAS::VOLT?", "E-102");
        row("MEAS:VOLT?!", "E-102");
    }
    void parseLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, parsed);
        QCOMPARE(describe(Scpi::parseLine(line)), parsed);
    }

    // --- the error queue and the event register ---

    void errorQueue()
    {
        ScpiStatus s;
        QCOMPARE(s.next(), QByteArray("0,\"No error\""));
        s.push(ScpiError::UndefinedHeader, "FOO");
        s.push(ScpiError::DataOutOfRange, "say \"hi\"\x01\n");
        QCOMPARE(s.count(), 2);
        QCOMPARE(s.next(), QByteArray("-113,\"Undefined header;FOO\""));
        QCOMPARE(s.next(), QByteArray("-222,\"Data out of range;say hi\""));
        QCOMPARE(s.next(), QByteArray("0,\"No error\""));

        // Full: the newest entry becomes -350, the oldest stay.
        for (int k = 0; k < ScpiStatus::QueueSize + 5; ++k)
            s.push(ScpiError::UndefinedHeader, QByteArray::number(k));
        QCOMPARE(s.count(), ScpiStatus::QueueSize);
        QList<int> expected;
        for (int k = 0; k < ScpiStatus::QueueSize - 1; ++k)
            expected << ScpiError::UndefinedHeader;
        expected << ScpiError::QueueOverflow;
        QCOMPARE(s.codes(), expected);
        QCOMPARE(s.next(), QByteArray("-113,\"Undefined header;0\""));
        s.clear();
        QCOMPARE(s.count(), 0);
    }

    void eventRegister()
    {
        ScpiStatus s;
        s.push(ScpiError::Syntax);
        QCOMPARE(int(s.takeEvents()), 0x20);
        QCOMPARE(int(s.takeEvents()), 0); // reading clears it
        s.push(ScpiError::Hardware);
        s.push(ScpiError::InputOverrun);
        QCOMPARE(int(s.takeEvents()), 0x10 | 0x08);
        s.setEvent(ScpiStatus::OperationComplete);
        s.push(ScpiError::SettingsConflict);
        s.clear();
        QCOMPARE(int(s.takeEvents()), 0);
        QCOMPARE(s.count(), 0);
    }

    // --- lines ---

    void lineBuffer()
    {
        ScpiLineBuffer b;
        b.append(QByteArray("*ID"));
        QVERIFY(!b.hasLine());
        b.append(QByteArray("N?\r\n\n\r\n  \nMEAS:VOLT?\n*O"));
        QCOMPARE(b.lineCount(), 2);
        QCOMPARE(b.takeLine().text, QByteArray("*IDN?"));
        QCOMPARE(b.takeLine().text, QByteArray("MEAS:VOLT?"));
        QCOMPARE(b.partialSize(), 2);

        // Exactly MaxLine bytes is a line; one more is not.
        ScpiLineBuffer c;
        c.append(QByteArray(ScpiLineBuffer::MaxLine, 'A') + "\r\n");
        c.append(QByteArray(ScpiLineBuffer::MaxLine + 1, 'A') + "\n*OPC?\n");
        QCOMPARE(c.lineCount(), 3);
        QCOMPARE(c.takeLine().text.size(), ScpiLineBuffer::MaxLine);
        QCOMPARE(c.takeLine().status, ScpiLineBuffer::Line::TooLong);
        QCOMPARE(c.takeLine().text, QByteArray("*OPC?"));

        // Megabytes without a newline hold no more than a line.
        const QByteArray chunk(64 * 1024, 'x');
        for (int k = 0; k < 160; ++k) {
            c.append(chunk);
            QVERIFY(c.partialSize() <= ScpiLineBuffer::MaxLine + 1);
        }
        QVERIFY(!c.hasLine());
        c.append(QByteArray("tail\n*IDN?\n"));
        QCOMPARE(c.takeLine().status, ScpiLineBuffer::Line::TooLong);
        QCOMPARE(c.takeLine().text, QByteArray("*IDN?"));

        // Bytes no program message has.
        for (const QByteArray &garbage : {QByteArray("\x00*IDN?", 6), QByteArray("*IDN?\xff"),
                                          QByteArray("\x1b[2J"), QByteArray("MEAS\rVOLT?")}) {
            ScpiLineBuffer g;
            g.append(garbage + '\n');
            QCOMPARE(g.lineCount(), 1);
            QCOMPARE(g.takeLine().status, ScpiLineBuffer::Line::Binary);
        }
        ScpiLineBuffer tab;
        tab.append(QByteArray("CURR\t1\n"));
        QCOMPARE(tab.takeLine().text, QByteArray("CURR\t1"));
    }

    // --- addresses ---

    void listenAddress_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("loopback");
        QTest::newRow("ipv4") << "127.0.0.1:5025" << true << "127.0.0.1:5025" << true;
        QTest::newRow("localhost") << "localhost:6000" << true << "127.0.0.1:6000" << true;
        QTest::newRow("ipv6 loopback") << "[::1]:5025" << true << "[::1]:5025" << true;
        QTest::newRow("free port") << "127.0.0.1:0" << true << "127.0.0.1:0" << true;
        QTest::newRow("all ipv4") << "0.0.0.0:5025" << true << "0.0.0.0:5025" << false;
        QTest::newRow("every address") << "*:5025" << true << "*:5025" << false;
        QTest::newRow("lan") << "192.168.1.20:5025" << true << "192.168.1.20:5025" << false;
        QTest::newRow("no host") << "5025" << false << "" << false;
        QTest::newRow("no port") << "127.0.0.1:" << false << "" << false;
        QTest::newRow("port too big") << "127.0.0.1:65536" << false << "" << false;
        QTest::newRow("port sign") << "127.0.0.1:+5" << false << "" << false;
        QTest::newRow("hostname") << "example.com:5025" << false << "" << false;
        QTest::newRow("bare ipv6") << "::1:5025" << false << "" << false;
    }
    void listenAddress()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(QString, shown);
        QFETCH(bool, loopback);
        ScpiAddress a;
        QString error;
        QCOMPARE(ScpiAddress::parse(text, &a, &error), valid);
        if (!valid) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QCOMPARE(a.toString(), shown);
        QCOMPARE(a.isLoopback(), loopback);
    }
    void defaultAddress()
    {
        const ScpiAddress a;
        QCOMPARE(a.toString(), QStringLiteral("127.0.0.1:5025"));
        QVERIFY(a.isLoopback());
    }

    // --- answers ---

    void answerTexts()
    {
        QCOMPARE(ScpiInstrument::number(double(3.7125f)), QByteArray("3.7125"));
        QCOMPARE(ScpiInstrument::number(0), QByteArray("0"));
        QCOMPARE(ScpiInstrument::number(-0.012), QByteArray("-0.012"));
        QCOMPARE(ScpiInstrument::number(1.5e7), QByteArray("1.5E+07"));
        // A value that is no number never reaches a client as "nan" or "inf".
        QCOMPARE(ScpiInstrument::number(std::numeric_limits<double>::quiet_NaN()),
                 QByteArray("9.91E+37"));
        QCOMPARE(ScpiInstrument::number(std::numeric_limits<double>::infinity()),
                 QByteArray("9.91E+37"));
        // Fields of *IDN? hold no commas, semicolons or control bytes.
        QCOMPARE(ScpiInstrument::identity(QStringLiteral("Maker, Inc.;\n"), QStringLiteral("KV37"),
                                          QString(), QStringLiteral("V1.0.0")),
                 QByteArray("Maker Inc.,KV37,0,V1.0.0"));
    }

    // --- the server on a session ---

    // The session polls as the window's does while clients change settings and
    // read: every change is confirmed and every reading comes, no errors.
    void commandsWhileTheSessionPolls()
    {
        startServer(5000);
        m_session->startPolling();
        Client a(m_server->address().port), b(m_server->address().port);
        QCOMPARE(a.ask("FUNC CURR;CURR 1.5;INP ON;*OPC?"), QByteArray("1"));
        // A reading comes from a report newer than the command: after b's
        // change is confirmed, a's next reading shows it.
        for (int k = 0; k < 10; ++k) {
            const QByteArray level = QByteArray::number(1.1 + k / 10.0);
            QCOMPARE(b.ask("CURR " + level + ";CURR?"), level);
            const double amps = a.ask("MEAS:CURR?").toDouble();
            QVERIFY2(std::fabs(amps - level.toDouble()) < 0.05,
                     qPrintable(QString::number(amps) + " at " + level));
        }
        QCOMPARE(b.ask("INP OFF;INP?"), QByteArray("0"));
        QCOMPARE(a.ask("SYST:ERR?"), QByteArray("0,\"No error\""));
        QCOMPARE(b.ask("SYST:ERR?"), QByteArray("0,\"No error\""));
    }

    // Answers the instrument lost are forgotten: once it answers again, the
    // next command is confirmed within the timeout instead of waiting for
    // answers to requests that will never come.
    void answersLostThenBack()
    {
        startServer(1000);
        Client c(m_server->address().port);
        QCOMPARE(c.ask("FUNC CURR;*OPC?"), QByteArray("1"));
        m_sim->setDropReplies(-1);
        QCOMPARE(c.ask("CURR 1.25;SYST:ERR?").left(5), QByteArray("-240,"));
        QCOMPARE(c.ask("CURR 1.25;SYST:ERR?").left(5), QByteArray("-240,"));
        m_sim->setDropReplies(0);
        for (int k = 0; k < 3; ++k)
            QCOMPARE(c.ask("CURR 1.5;SYST:ERR?"), QByteArray("0,\"No error\""));
        QCOMPARE(c.ask("CURR?"), QByteArray("1.5"));
    }

    // An instrument that goes away during a command ends it with -241 at
    // once rather than as unconfirmed at its timeout.
    void instrumentGoneDuringACommand()
    {
        startServer(30000);
        Client c(m_server->address().port);
        QCOMPARE(c.ask("*OPC?"), QByteArray("1"));
        m_sim->setDropReplies(-1);
        c.socket().write("MEAS:VOLT?;*OPC?\n");
        QTest::qWait(300);
        m_sim->unplug();
        QCOMPARE(c.line(10000), QByteArray("1"));
        QCOMPARE(c.ask("SYST:ERR?", 1000).left(5), QByteArray("-241,"));
        QCOMPARE(c.ask("*IDN?;SYST:ERR?", 1000).left(5), QByteArray("-241,"));
    }

    // A client that sends far more than its commands can run is held back
    // (its lines wait in TCP), and the others take their turns meanwhile.
    void floodDoesNotStarveOthers()
    {
        startServer(5000);
        Client flood(m_server->address().port), other(m_server->address().port);
        QByteArray many;
        for (int k = 0; k < 2000; ++k)
            many += "MEAS:VOLT?\n";
        flood.socket().write(many);
        QCOMPARE(other.ask("*IDN?").left(21), QByteArray("USB Tester Simulator,"));
        QCOMPARE(m_server->clientCount(), 2);
    }

    // A client that hung up with a command still unread holds no place: the
    // next one is served at once, and the hung-up client's command still runs.
    void hungUpClientFreesItsPlace()
    {
        startServer(5000);
        const quint16 port = m_server->address().port;
        Client a(port), b(port), c(port);
        QCOMPARE(a.ask("FUNC CURR;CURR 0.5;INP ON;INP?"), QByteArray("1"));
        // Plain sockets: the server sees nothing of them until its loop runs.
        auto plain = [port] {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(port);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            return ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0 ? fd : -1;
        };
        const int leaving = plain();
        QVERIFY(leaving >= 0);
        QTRY_COMPARE(m_server->clientCount(), 4);
        QCOMPARE(::send(leaving, "INP OFF\n", 8, 0), ssize_t(8));
        ::close(leaving);
        const int next = plain();
        QVERIFY(next >= 0);
        QCOMPARE(::send(next, "*OPC?\n", 6, 0), ssize_t(6));
        QByteArray answer;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                char buffer[64];
                const ssize_t n = ::recv(next, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0)
                    answer.append(buffer, int(n));
                return n == 0 || answer.endsWith('\n');
            }(),
            5000);
        ::close(next);
        QCOMPARE(answer, QByteArray("1\n"));
        QTRY_COMPARE_WITH_TIMEOUT(b.ask("INP?"), QByteArray("0"), 8000);
    }
};

QTEST_GUILESS_MAIN(TestScpi)
#include "test_scpi.moc"
