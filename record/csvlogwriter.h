#pragma once

#include "samplestore.h"

#include <QFile>
#include <QString>

// Writes samples to a CSV file one row at a time, as they are taken, in the
// export format of saveDataDeal (banner and header for a new or empty file,
// rows appended to an existing one). Each row is in the file when append()
// returns, so a killed program loses nothing written; the file is synced to
// disk every SyncIntervalMs at most, so a power cut loses at most that much.
class CsvLogWriter
{
public:
    static constexpr qint64 SyncIntervalMs = 5000;

    CsvLogWriter(const QString &fileName, quint8 deviceClass);
    ~CsvLogWriter();
    CsvLogWriter(const CsvLogWriter &) = delete;
    CsvLogWriter &operator=(const CsvLogWriter &) = delete;

    // Creates the file when it is missing and keeps it open for syncing.
    bool open();
    // One row; timeMs is the sample's local wall-clock time, ms since the epoch.
    // Syncs when the last sync is SyncIntervalMs or more ago.
    bool append(qint64 timeMs, const SampleStore::Values &values);
    // Flushes the file to the disk now.
    bool sync();
    // Syncs and closes; further appends fail.
    bool close();

    QString fileName() const { return m_fileName; }
    qint64 rows() const { return m_rows; }
    QString errorString() const { return m_error; }

private:
    QString m_fileName;
    quint8 m_deviceClass;
    QFile m_syncFile;
    qint64 m_rows = 0;
    qint64 m_lastSyncMs = 0;
    QString m_error;
};
