// Cost of one display update of the readings page (decode a measurement
// report, prompt, ten readings, work mode, edits, live values) as the user
// waits for it: the window shown and the changed widgets repainted, against a
// baseline measured in the same run: the same report decoded and its ten
// numbers written into ten shown labels with no formatting rules at all. The
// same pair without painting shows what the paint costs.
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
#include <QVBoxLayout>
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

// One update per report of `input`, then (when painted) the repaint it asked
// for; microseconds per report.
template <typename Update>
double perReportUs(const QList<QByteArray> &input, bool painted, Update update)
{
    QElapsedTimer t;
    t.start();
    for (const QByteArray &r : input) {
        update(r);
        if (painted)
            QCoreApplication::processEvents(); // the repaint of what changed
    }
    return double(t.nsecsElapsed()) / 1000.0 / input.size();
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
    auto *layout = new QVBoxLayout(&panel);
    QLabel labels[10];
    for (QLabel &l : labels)
        layout->addWidget(&l);
    InstrumentState state;
    const auto plain = [&](const QByteArray &r) {
        decodeReport(r, state);
        const MeasurementRecord &m = state.record;
        const float v[10] = {m.voltage,  m.current, m.power,   m.resistance, m.energy,
                             m.capacity, m.cpuTemp, m.ntcTemp, m.mosTemp,    m.fanSpeed};
        for (int i = 0; i < 10; ++i)
            labels[i].setText(QString::number(double(v[i])));
    };
    const double baseHiddenUs = perReportUs(input, false, plain);
    panel.show();
    QCoreApplication::processEvents();
    const double basePaintedUs = perReportUs(input, true, plain);
    panel.hide();

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
    const auto page = [&](const QByteArray &r) {
        feeder.queue.enqueue(r);
        window.readTick(); // decodes and runs the display update
    };
    const double hiddenUs = perReportUs(input, false, page);
    window.resize(1280, 800);
    window.show();
    QCoreApplication::processEvents();
    const double paintedUs = perReportUs(input, true, page);
    window.setMainHandle(nullptr);

    QTextStream out(stdout);
    out << "display update of the readings page, per report (decode, texts, repaint of what "
           "changed; window 1280x800, offscreen):\n"
        << "  window shown and painted:  " << QString::number(paintedUs, 'f', 1) << " us"
        << "   baseline, ten plain labels painted: " << QString::number(basePaintedUs, 'f', 1)
        << " us   ratio " << QString::number(paintedUs / basePaintedUs, 'f', 1) << "\n"
        << "  window hidden (no paint):  " << QString::number(hiddenUs, 'f', 1) << " us"
        << "   baseline, hidden:                   " << QString::number(baseHiddenUs, 'f', 1)
        << " us   ratio " << QString::number(hiddenUs / baseHiddenUs, 'f', 1) << "\n"
        << "  target: a report painted within its 500000 us (two a second): "
        << (paintedUs <= 500000 ? "met" : "MISSED") << "\n";
    return 0;
}
