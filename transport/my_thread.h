#pragma once

#include <QMutex>
#include <QThread>
#include <QWaitCondition>

// Paces a bus scan: after 1000 ms it asks for a probe of addresses 1 to 10 in
// turn, each followed 150 ms later by a read, then for the device list. The
// probes and reads themselves run on the receiver's thread.
class my_thread : public QThread
{
    Q_OBJECT
public:
    explicit my_thread(QObject *parent = nullptr);
    ~my_thread() override;

    static constexpr int StartDelayMs = 1000;
    static constexpr int ProbeToReadMs = 150;
    static constexpr int FirstAddress = 1;
    static constexpr int LastAddress = 10;

    // The window is closing: ends a running scan at once (without its list
    // signal), and any scan started later ends before its first probe.
    void cancel();

signals:
    void ThreadSendData_Signal(qint16 addr);
    void ThreadRecvData_Signal();
    void ThreadShowData_Signal();

protected:
    void run() override;

private:
    // Sleeps ms unless cancelled; false when cancelled.
    bool pause(int ms);

    QMutex m_mutex;
    QWaitCondition m_wake;
    bool m_cancel = false;
};
