#include "instrumentsession.h"

#include "commandframe.h"
#include "devicemodel.h"
#include "firmwareupgrade.h"
#include "framesender.h"
#include "hidbackend.h"

namespace {

// How often a wait looks for answers, and asks again for missing ones.
constexpr int PumpMs = 20;
constexpr int ResendMs = 500;

} // namespace

InstrumentSession::InstrumentSession(const SettingsAccess &settings, QObject *parent)
    : QObject(parent), m_poll(m_state), m_scan(m_state),
      m_link(std::make_unique<DeviceLink>(settings))
{
    m_clock.start();
    m_pumpTimer.setInterval(PumpMs);
    m_resendTimer.setInterval(ResendMs);
    m_deadline.setSingleShot(true);
    connect(&m_pumpTimer, &QTimer::timeout, this, [this] { readTick(); });
    connect(&m_resendTimer, &QTimer::timeout, this, [this] { requestFor(m_wait); });
    connect(&m_deadline, &QTimer::timeout, this, [this] { finishWait(false); });
    connect(&m_poll, &PollCycle::sampleTick, this, &InstrumentSession::sampleTick);
    connect(&m_poll, &PollCycle::displayRefresh, this, &InstrumentSession::displayRefresh);

    // Connected before any front end, so the handle is current when they hear of it.
    DeviceLink *link = m_link.get();
    connect(link, &DeviceLink::deviceListCleared, this, [this] { m_handle = nullptr; });
    connect(link, &DeviceLink::mainHandleFailed, this, [this] { m_handle = nullptr; });
    connect(link, &DeviceLink::mainHandleOpened, this, [this] {
        m_handle = m_link->mainHandle();
        const bool again = !m_connected && m_everConnected;
        m_connected = true;
        m_everConnected = true;
        emit connectedToInstrument();
        if (again)
            emit reconnected();
    });
    connect(link, &DeviceLink::linkLost, this, [this] {
        m_connected = false;
        // Answers owed by the lost instrument never come.
        m_parametersOutstanding.clear();
        m_measurementsOutstanding.clear();
        emit lost();
    });
    connect(link, &DeviceLink::pollTick, this, [this] {
        if (m_polling)
            pollTick();
    });
    connect(link, &DeviceLink::readTick, this, [this] {
        if (m_polling)
            readTick();
    });
}

InstrumentSession::~InstrumentSession()
{
    close();
}

bool InstrumentSession::open()
{
    m_link->start();
    return m_connected && handle() != nullptr;
}

void InstrumentSession::close()
{
    cancelWait();
    m_polling = false;
    m_link->shutdown();
    m_connected = false;
}

hid::Handle *InstrumentSession::handle() const
{
    return m_handle;
}

void InstrumentSession::setHandle(hid::Handle *handle)
{
    m_handle = handle;
}

QString InstrumentSession::product() const
{
    return m_link->productText();
}

QString InstrumentSession::model() const
{
    return DeviceModel::modelWord(product());
}

QString InstrumentSession::version() const
{
    return product().section(QLatin1Char(' '), 1, 1);
}

QString InstrumentSession::manufacturer() const
{
    return m_link->manufacturerText();
}

QString InstrumentSession::serialNumber() const
{
    return m_link->serialNumberText();
}

quint8 InstrumentSession::deviceClass() const
{
    return DeviceModel::classOf(model());
}

bool InstrumentSession::send(const QByteArray &frame)
{
    return sendFrame(handle(), frame) == hid::ReportSize;
}

// --- ticks ---

void InstrumentSession::startPolling()
{
    m_polling = true;
}

void InstrumentSession::stopPolling()
{
    m_polling = false;
}

PollCycle::Tick InstrumentSession::pollTick()
{
    const PollCycle::Tick t = m_poll.pollTick(handle());
    if (t.writeResult == hid::ReportSize) {
        if (t.sent == PollCycle::Request::Parameters)
            m_parametersOutstanding.sent(m_clock.elapsed());
        else if (t.sent == PollCycle::Request::Measurements)
            m_measurementsOutstanding.sent(m_clock.elapsed());
    }
    emit polled(t);
    return t;
}

int InstrumentSession::readTick()
{
    return m_poll.readTick(handle(), [this](Report::Outcome o) { countReport(o); });
}

void InstrumentSession::countReport(Report::Outcome outcome)
{
    if (outcome == Report::Outcome::Parameters) {
        ++m_parametersSeen;
        m_parametersOutstanding.answered(m_clock.elapsed());
        if (m_waiting) {
            if (m_skipParameters > 0)
                --m_skipParameters;
            else
                ++m_freshParameters;
        }
    } else if (outcome == Report::Outcome::Measurements) {
        ++m_measurementsSeen;
        m_measurementsOutstanding.answered(m_clock.elapsed());
        if (m_waiting) {
            if (m_skipMeasurements > 0)
                --m_skipMeasurements;
            else
                ++m_freshMeasurements;
        }
    }
    emit reportDecoded(outcome);
    if (m_waiting && (!m_wait.parameters || m_freshParameters > 0) &&
        (!m_wait.measurements || m_freshMeasurements > 0) &&
        (!m_wait.satisfied || m_wait.satisfied()))
        finishWait(true);
}

// --- the fresh-report exchange ---

void InstrumentSession::requestFor(const Wait &w)
{
    if (w.parameters && send(CommandFrame::parameterPoll(m_state.busAddress)))
        m_parametersOutstanding.sent(m_clock.elapsed());
    if (w.measurements && send(CommandFrame::measurementPoll(m_state.busAddress)))
        m_measurementsOutstanding.sent(m_clock.elapsed());
}

void InstrumentSession::await(const Wait &wait, std::function<void(bool)> done)
{
    cancelWait();
    // Answers already waiting are old: taken in now, they leave only the
    // requests still in flight to be skipped.
    readTick();
    m_wait = wait;
    m_done = std::move(done);
    m_waiting = true;
    m_skipParameters = m_parametersOutstanding.pending(m_clock.elapsed());
    m_skipMeasurements = m_measurementsOutstanding.pending(m_clock.elapsed());
    m_freshParameters = m_freshMeasurements = 0;
    requestFor(m_wait);
    m_pumpTimer.start();
    m_resendTimer.start();
    m_deadline.start(m_timeoutMs);
}

void InstrumentSession::cancelWait()
{
    m_waiting = false;
    m_pumpTimer.stop();
    m_resendTimer.stop();
    m_deadline.stop();
    m_done = nullptr;
}

void InstrumentSession::finishWait(bool ok)
{
    if (!m_waiting)
        return;
    std::function<void(bool)> done = std::move(m_done);
    cancelWait();
    // The caller may start the next wait; let this read loop finish first.
    QMetaObject::invokeMethod(
        this,
        [done, ok] {
            if (done)
                done(ok);
        },
        Qt::QueuedConnection);
}

// --- firmware ---

void InstrumentSession::attachUpgrade(FirmwareUpgrade *upgrade)
{
    connect(upgrade, &FirmwareUpgrade::entryFrameRequested, this, [this, upgrade] {
        if (upgrade->takeEntryRequest())
            m_poll.enterUpgrade(handle());
    });
    USBThread *usb = m_link->usbThread();
    connect(upgrade, &FirmwareUpgrade::packetReady, this,
            [usb](const QByteArray &packet) { usb->write(packet); });
    connect(usb, &USBThread::new_data, upgrade, &FirmwareUpgrade::receive);
    connect(usb, &USBThread::usb_send_error, upgrade, &FirmwareUpgrade::sendError);
}
