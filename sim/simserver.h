#pragma once

#include "siminstrument.h"
#include "simsetup.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class SimUpgradeTarget;

// Serves a simulated instrument on a Unix-domain SOCK_SEQPACKET socket, the
// virtual instrument protocol: one connection per open handle, an identity
// datagram first, then one report per datagram; every input report goes to
// every connection. It runs in a thread of its own, so a busy caller never
// delays its replies; every public call is safe from any thread.
class SimServer
{
public:
    // speed: how many instrument milliseconds pass per real millisecond (0
    // keeps the clock still; tests then move it with advanceClock).
    explicit SimServer(const SimSetup &setup = SimSetup(), double speed = 1.0);
    ~SimServer();

    bool listen(const QString &path, QString *error = nullptr);
    void close();
    QString path() const;

    // Faults.
    void unplug(); // closes every connection and refuses new ones
    void replug();
    bool isPlugged() const;
    void setReplyDelay(int ms);     // on the instrument's clock
    void setDropReplies(int count); // the next count replies are lost; -1: all until reset
    // Open connections stop taking output reports (the host's write fails)
    // until they are closed; new connections are not affected.
    void failWrites();
    // Closes the newest connection alone (the program's main handle, opened
    // after its link handle), as if that one handle had failed.
    void hangUpNewest();

    // The instrument's clock.
    void advanceClock(qint64 ms);
    qint64 clockMs() const;
    void setSpeed(double factor);

    int connectionCount() const;
    int reportsReceived() const;
    // The last output reports received (at most ReceivedKept), oldest first.
    QList<QByteArray> receivedReports() const;
    static constexpr int ReceivedKept = 256;
    void setUpgradeTarget(SimUpgradeTarget *target);
    // Runs fn on the instrument while nothing else touches it.
    void withInstrument(const std::function<void(SimInstrument &)> &fn);

    static constexpr int TickMs = 50;

private:
    struct Client
    {
        int fd = -1;
        bool writesFailed = false;
    };
    struct Pending
    {
        qint64 dueMs;
        QByteArray report;
    };

    void loop();
    bool bindLocked(QString *error);
    void closeClientsLocked();
    void acceptLocked();
    void readClientLocked(Client &c, bool *closed);
    void scheduleLocked(const QList<QByteArray> &replies);
    void flushLocked();
    void runClockLocked(qint64 ms);
    void wake();

    mutable std::mutex m_mutex;
    SimInstrument m_instrument;
    QString m_path;
    double m_speed;
    double m_clockCarry = 0;
    int m_listenFd = -1;
    int m_wakeFd = -1;
    bool m_plugged = true;
    std::vector<Client> m_clients;
    std::vector<Pending> m_pending;
    int m_replyDelayMs = 0;
    int m_dropReplies = 0;
    int m_reportsReceived = 0;
    QList<QByteArray> m_received;
    // Bumped whenever descriptors change behind the loop's back.
    unsigned m_generation = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};
