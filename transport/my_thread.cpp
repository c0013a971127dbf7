#include "my_thread.h"

#include "threadhooks.h"

#include <QDeadlineTimer>
#include <QMutexLocker>

my_thread::my_thread(QObject *parent) : QThread(parent)
{
    setObjectName(QStringLiteral("usb-bus-scan"));
}

my_thread::~my_thread()
{
    // A window closed mid-scan must not destroy a running thread.
    do {
        cancel();
    } while (!wait(20));
}

void my_thread::cancel()
{
    QMutexLocker lock(&m_mutex);
    m_cancel = true;
    m_wake.wakeAll();
}

bool my_thread::pause(int ms)
{
    QMutexLocker lock(&m_mutex);
    QDeadlineTimer deadline(ms, Qt::PreciseTimer);
    while (!m_cancel && !deadline.hasExpired())
        m_wake.wait(&m_mutex, deadline);
    return !m_cancel;
}

void my_thread::run()
{
    ThreadHooks::runThreadStartHook();
    if (!pause(StartDelayMs))
        return;
    for (int addr = FirstAddress; addr <= LastAddress; ++addr) {
        emit ThreadSendData_Signal(qint16(addr));
        if (!pause(ProbeToReadMs))
            return;
        emit ThreadRecvData_Signal();
    }
    emit ThreadShowData_Signal();
}
