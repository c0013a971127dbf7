#pragma once

#include "csvappendfile.h"
#include "samplestore.h"

#include <QString>

// Writes samples to a CSV file one row at a time, as they are taken, in the
// export format of saveDataDeal (banner and header for a new or empty file,
// rows appended to an existing one, on a new line when its last line lacks
// its end). Each row goes to the file in one write when append() returns, so a
// killed program loses nothing written and never leaves half a row; a full
// disk leaves the file ending at the last whole row. The file is synced to
// disk every SyncIntervalMs at most, so a power cut loses at most that much.
class CsvLogWriter
{
public:
    static constexpr qint64 SyncIntervalMs = 5000;

    CsvLogWriter(const QString &fileName, quint8 deviceClass);
    ~CsvLogWriter();
    CsvLogWriter(const CsvLogWriter &) = delete;
    CsvLogWriter &operator=(const CsvLogWriter &) = delete;

    // Creates the file when it is missing and keeps it open.
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
    // The system's reason for the last failure, e.g. "No space left on device".
    QString errorString() const { return m_error; }

private:
    QString m_fileName;
    quint8 m_deviceClass;
    CsvAppendFile m_file;
    qint64 m_rows = 0;
    qint64 m_lastSyncMs = 0;
    QString m_error;
};
