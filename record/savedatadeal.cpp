#include "savedatadeal.h"

#include "csvappendfile.h"
#include "csvformat.h"
#include "samplestore.h"

#include <array>

namespace {

#ifdef Q_OS_WIN
constexpr char LineEnd[] = "\r\n";
#else
constexpr char LineEnd[] = "\n";
#endif

// Rows are gathered into blocks of this size before they go to the file, each
// block in one write of whole rows.
constexpr int BlockSize = 1 << 20;

struct Column
{
    SampleStore::Quantity quantity;
    int decimals;
};

// CSV columns 2 to 11: where each quantity of the record goes and its decimals.
constexpr std::array<Column, SampleStore::QuantityCount> Columns = {{
    {SampleStore::Voltage, 6},
    {SampleStore::Current, 6},
    {SampleStore::Power, 6},
    {SampleStore::Resistance, 3},
    {SampleStore::Energy, 3},
    {SampleStore::Capacity, 3},
    {SampleStore::NtcTemp, 3},
    {SampleStore::CpuTemp, 1},
    {SampleStore::MosTemp, 3},
    {SampleStore::FanSpeed, 0},
}};

void appendFields(QByteArray &out, const char *time, int timeLength, const SampleStore::Values &v)
{
    char fields[SampleStore::QuantityCount * (csv::MaxFixedLength + 1) + sizeof LineEnd];
    char *p = fields;
    for (const Column &c : Columns) {
        *p++ = ',';
        p = csv::formatFixed(p, v[c.quantity], c.decimals);
    }
    for (const char *e = LineEnd; *e; ++e)
        *p++ = *e;
    out.append(time, timeLength);
    out.append(fields, int(p - fields));
}

} // namespace

saveDataDeal::saveDataDeal(QObject *parent) : QObject(parent) {}

QStringList saveDataDeal::bannerLines(quint8 deviceClass)
{
    switch (deviceClass) {
    case 1:
        return {QStringLiteral("----------------ORVANE LOAD_Tester Software----------------"),
                QStringLiteral("---------------------KV33/HM307/HM309----------------------"),
                QStringLiteral("----------------ORVANE LOAD_Tester Software----------------")};
    case 4:
        return {QStringLiteral("----------------ORVANE POWER_Tester Software----------------"),
                QStringLiteral("-----------------------RX41/PB62/PB66-----------------------"),
                QStringLiteral("----------------ORVANE POWER_Tester Software----------------")};
    default:
        return {};
    }
}

QString saveDataDeal::headerLine()
{
    // A stored file format: the same words in every language.
    return QStringLiteral("DATE,VOLTAGE(V),CURRENT(A),POWER(W),RESISTANCE(Ω),E_QUANTITY(Wh),"
                          "E_CAPACITY(mAh),NTC_TEMP(℃),CPU_TEMP(℃),MOS_TEMP(℃),FAN_SPEED(RPM),");
}

QByteArray saveDataDeal::leadIn(const CsvAppendFile &file, quint8 deviceClass)
{
    // An empty file has nothing to continue, so it gets the banner and header.
    if (file.isEmpty()) {
        QByteArray head;
        for (const QString &line : bannerLines(deviceClass)) {
            head += line.toUtf8();
            head += LineEnd;
        }
        head += headerLine().toUtf8();
        head += LineEnd;
        return head;
    }
    // Without its line end the last line would take the first row into it.
    return file.endsMidLine() ? QByteArray(LineEnd) : QByteArray();
}

void saveDataDeal::appendRow(QByteArray &out, const QByteArray &timeText,
                             const SampleStore::Values &values)
{
    appendFields(out, timeText.constData(), timeText.size(), values);
}

template <typename RowSource>
bool saveDataDeal::write(qint64 rows, const QString &fileName, quint8 deviceClass,
                         RowSource &&appendRowTo)
{
    m_error.clear();
    CsvAppendFile file;
    if (!file.open(fileName)) {
        m_error = file.errorString();
        return false;
    }

    QByteArray block;
    block.reserve(BlockSize + 4096);
    block += leadIn(file, deviceClass);
    int rowsFrom = block.size();
    auto flushBlock = [&]() {
        if (block.isEmpty())
            return true;
        if (!file.append(block, rowsFrom)) {
            m_error = file.errorString();
            return false;
        }
        block.clear();
        rowsFrom = 0;
        return true;
    };

    for (qint64 i = 0; i < rows; ++i) {
        appendRowTo(block, i);
        if (block.size() >= BlockSize) {
            if (!flushBlock())
                return false;
            if (m_progress)
                m_progress(i + 1, rows);
        }
    }
    if (!flushBlock())
        return false;
    if (!file.close()) {
        m_error = file.errorString();
        return false;
    }
    if (m_progress)
        m_progress(rows, rows);
    return true;
}

bool saveDataDeal::writeCsv(const SampleStore &store, const QString &fileName, quint8 deviceClass)
{
    csv::TimeTextCache times;
    return write(qint64(store.size()), fileName, deviceClass, [&](QByteArray &out, qint64 i) {
        const QByteArray &t = times.text(store.timeAt(size_t(i)));
        appendFields(out, t.constData(), t.size(), store.valuesAt(size_t(i)));
    });
}
