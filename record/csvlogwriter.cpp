#include "csvlogwriter.h"

#include "savedatadeal.h"

#include <QDateTime>

namespace {

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

CsvLogWriter::CsvLogWriter(const QString &fileName, quint8 deviceClass)
    : m_fileName(fileName), m_deviceClass(deviceClass)
{
}

CsvLogWriter::~CsvLogWriter()
{
    close();
}

bool CsvLogWriter::open()
{
    // A missing file is created empty; the first row brings the banner and
    // header along, so a log that never takes a row leaves an empty file.
    if (!m_file.open(m_fileName)) {
        m_error = m_file.errorString();
        return false;
    }
    m_lastSyncMs = nowMs();
    return true;
}

bool CsvLogWriter::append(qint64 timeMs, const SampleStore::Values &v)
{
    if (!m_file.isOpen()) {
        m_error = QStringLiteral("the file is not open");
        return false;
    }
    // The export writer formats the row, so the log and the export never differ.
    QByteArray lines = saveDataDeal::leadIn(m_file, m_deviceClass);
    const int rowsFrom = lines.size();
    saveDataDeal::appendRow(lines, SampleStore::timeText(timeMs).toUtf8(), v);
    if (!m_file.append(lines, rowsFrom)) {
        m_error = m_file.errorString();
        return false;
    }
    ++m_rows;
    if (nowMs() - m_lastSyncMs >= SyncIntervalMs)
        return sync();
    return true;
}

bool CsvLogWriter::sync()
{
    if (!m_file.isOpen())
        return false;
    m_lastSyncMs = nowMs();
    if (!m_file.sync()) {
        m_error = QStringLiteral("cannot sync the file to disk: %1").arg(m_file.errorString());
        return false;
    }
    return true;
}

bool CsvLogWriter::close()
{
    if (!m_file.isOpen())
        return true;
    const bool synced = sync();
    const bool closed = m_file.close();
    if (!closed)
        m_error = m_file.errorString();
    return synced && closed;
}
