#include "simsetup.h"

#include <QRegularExpression>
#include <QStringList>

SimSetup::Family SimSetup::family() const
{
    static const QStringList powerTesters{QStringLiteral("RX41"), QStringLiteral("PB66"),
                                          QStringLiteral("PB62")};
    return powerTesters.contains(model) ? Family::PowerTester : Family::ElectronicLoad;
}

QString SimSetup::productString() const
{
    return model + QLatin1Char(' ') + version;
}

bool SimSetup::parse(const QString &text, SimSetup *setup, QString *error)
{
    SimSetup result;
    const QStringList parts = text.split(QLatin1Char(','));
    static const QRegularExpression word(QStringLiteral("^[A-Za-z0-9]{1,16}$"));
    if (!text.isEmpty()) {
        if (!word.match(parts.first()).hasMatch()) {
            *error = QStringLiteral("bad model word \"%1\" (letters and digits, e.g. KV37)")
                         .arg(parts.first());
            return false;
        }
        result.model = parts.first();
    }
    for (int i = 1; i < parts.size(); ++i) {
        const QString &part = parts.at(i);
        if (part.startsWith(QLatin1String("ir=")) || part.startsWith(QLatin1String("cap="))) {
            const bool ir = part.startsWith(QLatin1String("ir="));
            bool ok = false;
            const double v = part.mid(ir ? 3 : 4).toDouble(&ok);
            // A battery from a thousandth of an ohm to ten, and from 1 mAh to 1000 Ah.
            if (!ok || !(ir ? v >= 1 && v <= 10000 : v >= 1 && v <= 1e6)) {
                *error =
                    ir ? QStringLiteral("bad internal resistance \"%1\" (1 to 10000 mOhm)")
                             .arg(part.mid(3))
                       : QStringLiteral("bad capacity \"%1\" (1 to 1000000 mAh)").arg(part.mid(4));
                return false;
            }
            if (ir)
                result.batteryOhm = v / 1000.0;
            else
                result.batteryAh = v / 1000.0;
            continue;
        }
        if (!part.startsWith(QLatin1String("slaves="))) {
            *error = QStringLiteral("unknown setup item \"%1\" (expected slaves=A+B..., ir=MOHM "
                                    "or cap=MAH)")
                         .arg(part);
            return false;
        }
        const QStringList addresses = part.mid(7).split(QLatin1Char('+'));
        for (const QString &a : addresses) {
            bool ok = false;
            const int address = a.toInt(&ok, 10);
            if (!ok || address < 2 || address > 255) {
                *error = QStringLiteral("bad slave address \"%1\" (2 to 255)").arg(a);
                return false;
            }
            if (!result.slaves.contains(quint8(address)))
                result.slaves.append(quint8(address));
        }
    }
    *setup = result;
    return true;
}
