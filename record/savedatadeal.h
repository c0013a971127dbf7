#pragma once

#include "samplestore.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class CsvAppendFile;

// Writes the record store as a CSV file: banner lines by device class and the
// header for a new file, then one row per sample; an existing file gets the
// rows appended, on a new line when its last line lacks its end. The file only
// ever ends at a row boundary: a write that fails (a full disk) is cut back.
// Made on the stack for one export.
class saveDataDeal : public QObject
{
    Q_OBJECT
public:
    // Rows written so far and rows in all; called now and then while writing.
    using ProgressHandler = std::function<void(qint64 done, qint64 total)>;

    explicit saveDataDeal(QObject *parent = nullptr);

    void setProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }

    // deviceClass: 1 electronic load, 4 power tester, anything else no banner.
    // Returns false when the file could not be opened or written completely;
    // errorString() then gives the system's reason.
    bool writeCsv(const SampleStore &store, const QString &fileName, quint8 deviceClass);

    QString errorString() const { return m_error; }

    // Lines a new file starts with for this device class, line ends excluded.
    static QStringList bannerLines(quint8 deviceClass);
    static QString headerLine();

    // What goes before the first row appended to `file`: banner and header
    // for an empty file, a line end for one whose last line is unfinished.
    static QByteArray leadIn(const CsvAppendFile &file, quint8 deviceClass);
    // One row with its line end: the time-stamp text, then the ten values.
    static void appendRow(QByteArray &out, const QByteArray &timeText,
                          const SampleStore::Values &values);

private:
    template <typename RowSource>
    bool write(qint64 rows, const QString &fileName, quint8 deviceClass, RowSource &&source);

    ProgressHandler m_progress;
    QString m_error;
};
