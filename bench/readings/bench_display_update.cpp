// Cost of one display update of the readings page (decode a measurement
// report, prompt, ten readings, work mode, edits, live values), against a
// baseline measured in the same run: the same report decoded and its ten
// numbers written into ten labels with no formatting rules at all.
#include "devicelink.h"
#include "hidbackend.h"
#include "maindialog.h"
#include "reportdecoder.h"
#include "simreports.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QQueue>
#include <QTextStream>
#include <cstring>

namespace {

constexpr int Rounds = 4000;

class Feeder : public hid::Handle
{
public:
    int read(unsigned char *data, size_t length, int) override
    {
        if (queue.isEmpty())
            return 0;
        const QByteArray r = queue.dequeue();
        std::memcpy(data, r.constData(), qMin(length, size_t(r.size())));
        return int(qMin(length, size_t(r.size())));
    }
    int write(const unsigned char *, size_t length) override { return int(length); }
    QString manufacturer() override { return {}; }
    QString product() override { return {}; }
    QString serialNumber() override { return {}; }
    QQueue<QByteArray> queue;
};

QList<QByteArray> reports()
{
    QList<QByteArray> out;
    for (int i = 0; i < Rounds; ++i) {
        SimReports::Readings r;
        r.voltage = 4.2 - i * 1e-4;
        r.current = 1.5 + (i % 7) * 1e-3;
        r.power = r.voltage * r.current;
        r.resistance = r.voltage / r.current;
        r.energy = i * 1e-3;
        r.capacity = i * 0.4;
        r.cpuTemp = 30 + (i % 50) * 0.1;
        r.ntcTemp = 25 + (i % 30) * 0.1;
        r.mosTemp = 40 + (i % 20) * 0.1;
        r.fan = 1000 + i % 500;
        r.running = true;
        out.append(SimReports::measurement(0x01, r));
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false");
    QApplication app(argc, argv);
    const QList<QByteArray> input = reports();

    // Baseline: decode, then ten plain numbers into ten labels.
    QWidget panel;
    QLabel labels[10];
    for (QLabel &l : labels)
        l.setParent(&panel);
    InstrumentState state;
    QElapsedTimer t;
    t.start();
    for (const QByteArray &r : input) {
        decodeReport(r, state);
        const MeasurementRecord &m = state.record;
        const float v[10] = {m.voltage,  m.current, m.power,   m.resistance, m.energy,
                             m.capacity, m.cpuTemp, m.ntcTemp, m.mosTemp,    m.fanSpeed};
        for (int i = 0; i < 10; ++i)
            labels[i].setText(QString::number(double(v[i])));
    }
    const double baseUs = t.nsecsElapsed() / 1000.0 / Rounds;

    Feeder feeder;
    InstrumentSession windowSession;
    MainDialog window(windowSession);
    if (DeviceLink *link = window.deviceLink()) {
        link->pollTimer()->stop();
        link->readTimer()->stop();
        link->runButtonTimer()->stop();
    }
    window.setMainHandle(&feeder);
    window.setDeviceClass(1);
    window.setCurrentPage(MainDialog::PageDisp);
    t.restart();
    for (const QByteArray &r : input) {
        feeder.queue.enqueue(r);
        window.readTick(); // decodes and runs the display update
    }
    const double updateUs = t.nsecsElapsed() / 1000.0 / Rounds;
    window.setMainHandle(nullptr);

    QTextStream out(stdout);
    out << "display update (decode + page), per report: " << QString::number(updateUs, 'f', 1)
        << " us\n"
        << "baseline (decode + ten plain labels):        " << QString::number(baseUs, 'f', 1)
        << " us\n"
        << "ratio: " << QString::number(updateUs / baseUs, 'f', 2)
        << "; budget at two reports a second: 500000 us\n";
    return 0;
}
