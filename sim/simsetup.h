#pragma once

#include <QList>
#include <QString>

// What the simulated instrument is: a model word and the bus addresses of
// further instruments behind it. Written as e.g. "KV37" or "RX41,slaves=3+5".
struct SimSetup
{
    enum class Family { ElectronicLoad, PowerTester };

    QString model = QStringLiteral("KV37");
    QString version = QStringLiteral("V1.0.0");
    QString serial = QStringLiteral("4B56333730303031");
    QList<quint8> slaves;

    Family family() const;
    // The USB product string: model word, one blank, version.
    QString productString() const;

    // False with a message in *error for text it cannot read.
    static bool parse(const QString &text, SimSetup *setup, QString *error);
    static constexpr quint8 MasterAddress = 0x01;
};
