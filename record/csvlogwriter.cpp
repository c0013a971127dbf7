#include "csvlogwriter.h"

#include "savedatadeal.h"

#include <QDateTime>
#include <QStringList>
#include <QVector>
#include <unistd.h>

namespace {

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

CsvLogWriter::CsvLogWriter(const QString &fileName, quint8 deviceClass)
    : m_fileName(fileName), m_deviceClass(deviceClass), m_syncFile(fileName)
{
}

CsvLogWriter::~CsvLogWriter()
{
    close();
}

bool CsvLogWriter::open()
{
    // Append mode creates a missing file empty; the export writer treats an
    // empty file as new and starts it with the banner and header.
    if (!m_syncFile.open(QIODevice::WriteOnly | QIODevice::Append)) {
        m_error = m_syncFile.errorString();
        return false;
    }
    m_lastSyncMs = nowMs();
    return true;
}

bool CsvLogWriter::append(qint64 timeMs, const SampleStore::Values &v)
{
    if (!m_syncFile.isOpen()) {
        m_error = QStringLiteral("the file is not open");
        return false;
    }
    // The export writer formats the row, so the log and the export never differ.
    auto one = [&](SampleStore::Quantity q) { return QVector<float>{v[size_t(q)]}; };
    saveDataDeal writer;
    const bool ok = writer.writeCsv(
        QStringList{SampleStore::timeText(timeMs)}, one(SampleStore::Voltage),
        one(SampleStore::Current), one(SampleStore::Power), one(SampleStore::Resistance),
        one(SampleStore::Energy), one(SampleStore::Capacity), one(SampleStore::MosTemp),
        one(SampleStore::FanSpeed), one(SampleStore::CpuTemp), one(SampleStore::NtcTemp),
        m_fileName, m_deviceClass);
    if (!ok) {
        m_error = writer.errorString();
        return false;
    }
    ++m_rows;
    if (nowMs() - m_lastSyncMs >= SyncIntervalMs)
        return sync();
    return true;
}

bool CsvLogWriter::sync()
{
    if (!m_syncFile.isOpen())
        return false;
    m_lastSyncMs = nowMs();
    if (::fsync(m_syncFile.handle()) != 0) {
        m_error = QStringLiteral("cannot sync the file to disk");
        return false;
    }
    return true;
}

bool CsvLogWriter::close()
{
    if (!m_syncFile.isOpen())
        return true;
    const bool ok = sync();
    m_syncFile.close();
    return ok;
}
