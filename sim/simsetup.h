#pragma once

#include <QList>
#include <QString>

// What the simulated instrument is: a model word, the bus addresses of
// further instruments behind it, and for a load the battery on it. Written as
// e.g. "KV37", "RX41,slaves=3+5" or "KV37,ir=45,cap=2000" (internal
// resistance in milliohm, capacity in mAh).
struct SimSetup
{
    enum class Family { ElectronicLoad, PowerTester };

    QString model = QStringLiteral("KV37");
    QString version = QStringLiteral("V1.0.0");
    QString serial = QStringLiteral("4B56333730303031");
    QList<quint8> slaves;
    double batteryOhm = 0; // 0: the battery's own
    double batteryAh = 0;  // 0: the battery's own

    Family family() const;
    // The USB product string: model word, one blank, version.
    QString productString() const;

    // False with a message in *error for text it cannot read.
    static bool parse(const QString &text, SimSetup *setup, QString *error);
    static constexpr quint8 MasterAddress = 0x01;
};
