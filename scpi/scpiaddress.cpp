#include "scpiaddress.h"

QString ScpiAddress::toString() const
{
    if (host == QHostAddress(QHostAddress::Any))
        return QStringLiteral("*:%1").arg(port);
    if (host.protocol() == QAbstractSocket::IPv6Protocol)
        return QStringLiteral("[%1]:%2").arg(host.toString()).arg(port);
    return QStringLiteral("%1:%2").arg(host.toString()).arg(port);
}

bool ScpiAddress::parse(const QString &text, ScpiAddress *address, QString *error)
{
    const QString t = text.trimmed();
    QString hostText, portText;
    if (t.startsWith(QLatin1Char('['))) {
        const int close = t.indexOf(QLatin1Char(']'));
        if (close < 0 || t.mid(close + 1, 1) != QLatin1String(":")) {
            *error = QStringLiteral("\"%1\" is not HOST:PORT (an IPv6 address goes in brackets, "
                                    "e.g. [::1]:5025)")
                         .arg(text);
            return false;
        }
        hostText = t.mid(1, close - 1);
        portText = t.mid(close + 2);
    } else {
        const int colon = t.lastIndexOf(QLatin1Char(':'));
        if (colon <= 0 || t.indexOf(QLatin1Char(':')) != colon) {
            *error = QStringLiteral("\"%1\" is not HOST:PORT, e.g. 127.0.0.1:5025").arg(text);
            return false;
        }
        hostText = t.left(colon);
        portText = t.mid(colon + 1);
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok, 10);
    if (!ok || port > 65535 || portText.startsWith(QLatin1Char('+'))) {
        *error = QStringLiteral("the port in \"%1\" is not a number from 0 to 65535").arg(text);
        return false;
    }
    ScpiAddress a;
    a.port = quint16(port);
    if (hostText == QLatin1String("localhost"))
        a.host = QHostAddress(QHostAddress::LocalHost);
    else if (hostText == QLatin1String("*"))
        a.host = QHostAddress(QHostAddress::Any);
    else if (!a.host.setAddress(hostText)) {
        *error = QStringLiteral("\"%1\" is not an IP address (or localhost, or * for every "
                                "address)")
                     .arg(hostText);
        return false;
    }
    *address = a;
    return true;
}
