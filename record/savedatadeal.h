#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class SampleStore;

// Writes the record store as a CSV file: banner lines by device class and the
// header for a new file, then one row per sample; an existing file gets the
// rows appended. Made on the stack for one export.
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
    // errorString() then says why.
    bool writeCsv(const SampleStore &store, const QString &fileName, quint8 deviceClass);

    // The same from the eleven lists of the record: time-stamp texts and the ten
    // quantities in record order (voltage, current, power, resistance, energy,
    // capacity, MOS temperature, fan speed, CPU temperature, NTC temperature).
    bool writeCsv(const QStringList &times, const QVector<float> &voltage,
                  const QVector<float> &current, const QVector<float> &power,
                  const QVector<float> &resistance, const QVector<float> &energy,
                  const QVector<float> &capacity, const QVector<float> &mosTemp,
                  const QVector<float> &fanSpeed, const QVector<float> &cpuTemp,
                  const QVector<float> &ntcTemp, const QString &fileName, quint8 deviceClass);

    QString errorString() const { return m_error; }

    // Lines a new file starts with for this device class, line ends excluded.
    static QStringList bannerLines(quint8 deviceClass);
    static QString headerLine();

private:
    template <typename RowSource>
    bool write(qint64 rows, const QString &fileName, quint8 deviceClass, RowSource &&source);

    ProgressHandler m_progress;
    QString m_error;
};
