#include "clioutput.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonValue printableValue(const QJsonValue &v)
{
    if (v.isString())
        return CliOutput::printable(v.toString());
    if (v.isArray()) {
        QJsonArray a;
        for (const QJsonValue &e : v.toArray())
            a.append(printableValue(e));
        return a;
    }
    if (v.isObject()) {
        QJsonObject o = v.toObject();
        for (auto it = o.begin(); it != o.end(); ++it)
            it.value() = printableValue(it.value());
        return o;
    }
    return v;
}

} // namespace

QString CliOutput::printable(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F))
            c = QLatin1Char('?');
    }
    return out;
}

CliOutput::CliOutput(FILE *out, FILE *err, bool errIsTerminal)
    : m_out(out), m_err(err), m_errTerminal(errIsTerminal)
{
}

void CliOutput::line(const QString &text)
{
    endStatus();
    const QByteArray bytes = printable(text).toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void CliOutput::object(const QJsonObject &o)
{
    endStatus();
    const QByteArray bytes =
        QJsonDocument(printableValue(o).toObject()).toJson(QJsonDocument::Compact);
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_out);
    std::fputc('\n', m_out);
    std::fflush(m_out);
}

void CliOutput::message(const QString &text)
{
    endStatus();
    const QByteArray bytes = printable(text).toUtf8();
    std::fprintf(m_err, "usb-tester-cli: %s\n", bytes.constData());
    std::fflush(m_err);
}

void CliOutput::status(const QString &text)
{
    if (!m_errTerminal)
        return;
    // Carriage return and erase-line keep the status on one refreshed line.
    const QByteArray bytes = printable(text).toUtf8();
    std::fprintf(m_err, "\r\033[K%s", bytes.constData());
    std::fflush(m_err);
    m_statusShown = true;
}

void CliOutput::endStatus()
{
    if (!m_statusShown)
        return;
    std::fputc('\n', m_err);
    std::fflush(m_err);
    m_statusShown = false;
}
