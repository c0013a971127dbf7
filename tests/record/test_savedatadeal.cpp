#include "csvformat.h"
#include "csvlogwriter.h"
#include "samplestore.h"
#include "savedatadeal.h"

#include <QtTest>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QByteArray LoadBanner = "----------------ORVANE LOAD_Tester Software----------------\n"
                              "---------------------KV33/HM307/HM309----------------------\n"
                              "----------------ORVANE LOAD_Tester Software----------------\n";
const QByteArray PowerBanner = "----------------ORVANE POWER_Tester Software----------------\n"
                               "-----------------------RX41/PB62/PB66-----------------------\n"
                               "----------------ORVANE POWER_Tester Software----------------\n";
const QByteArray Header = "DATE,VOLTAGE(V),CURRENT(A),POWER(W),RESISTANCE(\xce\xa9),"
                          "E_QUANTITY(Wh),E_CAPACITY(mAh),NTC_TEMP(\xe2\x84\x83),"
                          "CPU_TEMP(\xe2\x84\x83),MOS_TEMP(\xe2\x84\x83),FAN_SPEED(RPM),\n";
const qint64 Start = QDateTime(QDate(2024, 3, 5), QTime(23, 59, 55)).toMSecsSinceEpoch();

void fill(SampleStore &store, int n)
{
    for (int i = 0; i < n; ++i)
        store.append(Start + qint64(i) * 1000,
                     {3.0f + 0.013f * i, 1.0f - 0.001f * i, 2.5f * i, 1e5f / (i + 1), 0.0125f * i,
                      12.5f * i, 25.0f + 0.25f * i, float(1000 + 50 * i), 36.45f + 0.1f * i,
                      -5.0f + 0.5f * i});
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The file parsed by Python's csv module, one JSON array per record; an
// empty array when Python is missing or fails.
QJsonArray pythonCsvRows(const QString &path)
{
    QString python = QStringLiteral("/usr/bin/python3");
    if (!QFileInfo(python).isExecutable())
        python = QStandardPaths::findExecutable("python3");
    QProcess p;
    p.start(python, {"-c",
                     "import csv, json, sys\n"
                     "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                     "    print(json.dumps(list(csv.reader(f, strict=True))))\n",
                     path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).array();
}
bool havePython()
{
    return QFileInfo("/usr/bin/python3").isExecutable() ||
           !QStandardPaths::findExecutable("python3").isEmpty();
}

// Writes of this process past `bytes` into a file fail with EFBIG (SIGXFSZ
// ignored), the way a full disk stops them, until the guard goes.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        struct rlimit limit = m_old;
        limit.rlim_cur = rlim_t(bytes);
        m_set = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool isSet() const { return m_set; }

private:
    struct rlimit m_old;
    void (*m_oldHandler)(int);
    bool m_set = false;
};

QString fixed(float v, int decimals)
{
    char buf[csv::MaxFixedLength + 8];
    return QString::fromLatin1(buf, int(csv::formatFixed(buf, v, decimals) - buf));
}

} // namespace

class TestSaveDataDeal : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void exampleRowAndColumnFormats()
    {
        SampleStore store;
        store.append(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)).toMSecsSinceEpoch(),
                     {12.5f, 1.0f, 12.5f, 12.5f, 0.01f, 0.8f, 27.0f, 1500.0f, 36.5f, 25.0f});
        QVERIFY(saveDataDeal().writeCsv(store, dir.filePath("example.csv"), 1));
        QCOMPARE(readAll(dir.filePath("example.csv")),
                 LoadBanner + Header +
                     "2024-03-05_14:07:09,12.500000,1.000000,12.500000,12.500,"
                     "0.010,0.800,25.000,36.5,27.000,1500\n");
        // 36.47 on the CPU shows one decimal; -0.0004 A keeps its sign; class 0 has no banner.
        SampleStore odd;
        odd.append(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5)).toMSecsSinceEpoch(),
                   {12.5f, -0.0004f, 0.0f, 999999.0f, 0.0005f, 1234.5678f, 101.25f, 1500.0f, 36.47f,
                    -12.0625f});
        QVERIFY(saveDataDeal().writeCsv(odd, dir.filePath("formats.csv"), 0));
        QCOMPARE(readAll(dir.filePath("formats.csv")),
                 Header + "2024-01-02_03:04:05,12.500000,-0.000400,0.000000,999999.000,0.001,"
                          "1234.568,-12.063,36.5,101.250,1500\n");
    }

    void bannersOnceRowsAppended_data()
    {
        QTest::addColumn<int>("cls");
        QTest::addColumn<QByteArray>("start");
        QTest::newRow("load") << 1 << LoadBanner + Header;
        QTest::newRow("power") << 4 << PowerBanner + Header;
        QTest::newRow("none") << 0 << Header;
    }
    void bannersOnceRowsAppended()
    {
        QFETCH(int, cls);
        QFETCH(QByteArray, start);
        SampleStore store;
        fill(store, 10);
        const QString path = dir.filePath(QString("twice%1.csv").arg(cls));
        QFile(path).open(QIODevice::WriteOnly); // an empty file still gets its header
        QVERIFY(saveDataDeal().writeCsv(store, path, quint8(cls)));
        const QByteArray once = readAll(path);
        QVERIFY(once.startsWith(start) && !once.contains('\r'));
        const QByteArray rows = once.mid(start.size());
        QCOMPARE(rows.count('\n'), 10);
        QVERIFY(rows.split('\n')[5].startsWith("2024-03-06_00:00:00,"));
        QVERIFY(saveDataDeal().writeCsv(store, path, quint8(cls)));
        QCOMPARE(readAll(path), once + rows);
    }

    void failedWritesAreReported()
    {
        SampleStore store;
        fill(store, 10);
        QFile(dir.filePath("plain")).open(QIODevice::WriteOnly);
        const QString ro = dir.filePath("readonly.csv");
        QVERIFY(saveDataDeal().writeCsv(store, ro, 1));
        const QByteArray before = readAll(ro);
        QVERIFY(QFile::setPermissions(ro, QFileDevice::ReadOwner));
        QStringList targets = {dir.filePath("missing/data.csv"), dir.filePath("plain/data.csv"),
                               dir.path()};
        if (QFile::exists("/dev/full")) {
            targets << "/dev/full"; // accepts the open but no data
            saveDataDeal full;
            QVERIFY(!full.writeCsv(store, "/dev/full", 1));
            QCOMPARE(full.errorString(), QString::fromLocal8Bit(strerror(ENOSPC)));
        }
        if (::access(QFile::encodeName(ro).constData(), W_OK) != 0)
            targets << ro; // the superuser writes anyway
        for (const QString &t : targets) {
            saveDataDeal deal;
            QVERIFY2(!deal.writeCsv(store, t, 1), qPrintable(t));
            QVERIFY(!deal.errorString().isEmpty());
        }
        QVERIFY(!QFile::exists(dir.filePath("missing/data.csv")));
        QCOMPARE(readAll(ro), before);
    }

    void pythonCsvReaderReadsItBack()
    {
        if (!havePython())
            QSKIP("python3 is not installed");
        SampleStore store;
        fill(store, 30);
        const QString path = dir.filePath("read back.csv");
        QVERIFY(saveDataDeal().writeCsv(store, path, 1));
        const QJsonArray rows = pythonCsvRows(path);
        QCOMPARE(rows.size(), 3 + 1 + 30);
        const QJsonArray header = rows[3].toArray();
        QCOMPARE(header.size(), 12); // the trailing comma gives an empty last field
        QCOMPARE(header[4].toString(), QString::fromUtf8("RESISTANCE(Ω)"));
        QCOMPARE(header[7].toString(), QString::fromUtf8("NTC_TEMP(℃)"));
        const SampleStore::Quantity order[] = {SampleStore::Voltage, SampleStore::Current,
                                               SampleStore::Power,   SampleStore::Resistance,
                                               SampleStore::Energy,  SampleStore::Capacity,
                                               SampleStore::NtcTemp, SampleStore::CpuTemp,
                                               SampleStore::MosTemp, SampleStore::FanSpeed};
        const double tolerance[] = {1e-6, 1e-6, 1e-6, 1e-3, 1e-3, 1e-3, 1e-3, 0.1, 1e-3, 1};
        for (int i = 0; i < 30; ++i) {
            const QJsonArray row = rows[4 + i].toArray();
            QCOMPARE(row.size(), 11);
            QCOMPARE(row[0].toString(), store.timeTextAt(size_t(i)));
            for (int c = 0; c < 10; ++c)
                QVERIFY2(qAbs(row[c + 1].toString().toDouble() -
                              store.valueAt(order[c], size_t(i))) <= tolerance[c] / 2 + 1e-9,
                         qPrintable(QString("row %1 col %2").arg(i).arg(c)));
        }
    }

    // A disk that fills in the middle of a row: the write fails with the
    // system's reason, and the file is cut back to its last whole row, for the
    // export (rows in blocks) and the log (a row at a time) alike.
    void fullDiskLeavesWholeRows()
    {
        SampleStore store;
        fill(store, 500);
        const QString whole = dir.filePath("whole.csv"), cut = dir.filePath("cut.csv");
        QVERIFY(saveDataDeal().writeCsv(store, whole, 1));
        const QByteArray expected = readAll(whole);
        const QString tooLarge = QString::fromLocal8Bit(strerror(EFBIG));
        {
            saveDataDeal deal;
            bool written = true;
            {
                FileSizeLimit limit(5000); // stops the block in the middle of a row
                QVERIFY(limit.isSet());
                written = deal.writeCsv(store, cut, 1);
            }
            QVERIFY(!written);
            QCOMPARE(deal.errorString(), tooLarge);
        }
        QByteArray got = readAll(cut);
        QVERIFY2(got.size() > 4000 && got.size() <= 5000, qPrintable(QString::number(got.size())));
        QVERIFY(got.endsWith('\n'));
        QCOMPARE(got, expected.left(got.size()));
        const int rowsKept = got.count('\n') - 4;

        // The log goes on in the same file, then meets the limit in a row.
        CsvLogWriter log(cut, 1);
        QVERIFY(log.open());
        const SampleStore::Values v = store.valuesAt(0);
        QVERIFY(log.append(Start, v));
        const qint64 before = QFileInfo(cut).size();
        {
            FileSizeLimit limit(before + 40);
            QVERIFY(!log.append(Start + 1000, v));
        }
        QCOMPARE(log.errorString(), tooLarge);
        QCOMPARE(QFileInfo(cut).size(), before);
        QVERIFY(log.append(Start + 2000, v)); // room again: the next row is whole
        QVERIFY(log.close());
        got = readAll(cut);
        QVERIFY(got.endsWith('\n'));
        QCOMPARE(got.count("DATE,"), 1);
        if (!havePython())
            QSKIP("python3 is not installed");
        const QJsonArray rows = pythonCsvRows(cut);
        QCOMPARE(rows.size(), 4 + rowsKept + 2);
        for (int i = 4; i < rows.size(); ++i)
            QCOMPARE(rows[i].toArray().size(), 11);
        QCOMPARE(rows.last().toArray()[0].toString(), SampleStore::timeText(Start + 2000));
    }

    // Rows appended to a file whose last line has no line end start a line of
    // their own, from the export and from the log.
    void appendAfterAnUnfinishedLine()
    {
        SampleStore store;
        fill(store, 10);
        QVERIFY(saveDataDeal().writeCsv(store, dir.filePath("rows.csv"), 0));
        const QByteArray rows = readAll(dir.filePath("rows.csv")).mid(Header.size());
        const QByteArray foreign = Header + "2024-03-05_23:59:50,1,2,3,4,5,6,7,8,9,10";
        const QString exported = dir.filePath("unfinished-export.csv");
        const QString logged = dir.filePath("unfinished-log.csv");
        for (const QString &path : {exported, logged}) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(foreign) == foreign.size());
        }
        QVERIFY(saveDataDeal().writeCsv(store, exported, 1));
        QCOMPARE(readAll(exported), foreign + '\n' + rows);
        CsvLogWriter log(logged, 1);
        QVERIFY(log.open());
        QVERIFY(log.append(store.timeAt(0), store.valuesAt(0)));
        QVERIFY(log.append(store.timeAt(1), store.valuesAt(1)));
        QVERIFY(log.close());
        QCOMPARE(readAll(logged),
                 foreign + '\n' + rows.left(rows.indexOf('\n', rows.indexOf('\n') + 1) + 1));
    }

    void fastFormatterEqualsQt()
    {
        const float inf = std::numeric_limits<float>::infinity();
        for (float v :
             {0.0f, -0.0f, 12.5f, 36.47f, 1500.5f, 2.5f, -2.5f, 0.0625f, -0.0004f, -1e-30f, 1e-45f,
              4095.9995f, 8388607.5f, 3.4e38f, -3.4e38f, inf, -inf, std::nanf("")})
            for (int d = 0; d <= 9; ++d)
                QCOMPARE(fixed(v, d), QString::number(double(v), 'f', d));
        QRandomGenerator rng(20240305);
        const int decimals[] = {0, 1, 3, 6};
        for (int i = 0; i < 200000; ++i) {
            float v;
            if (i % 4 == 0) { // any finite float
                do {
                    const quint32 bits = rng.generate();
                    std::memcpy(&v, &bits, sizeof v);
                } while (!std::isfinite(v));
            } else if (i % 4 == 1) { // readings an instrument gives
                v = float(rng.generateDouble() * 400.0 - 100.0);
            } else if (i % 4 == 2) { // a 1/2^k grid, where halves of the last digit live
                v = float(int(rng.bounded(2000000)) - 1000000) / float(1 << rng.bounded(12));
            } else { // whole numbers and their neighbours
                v = std::nextafter(float(rng.bounded(100000)), i % 8 == 3 ? 0.0f : 1e9f);
            }
            const int d = decimals[rng.bounded(4)];
            const QString expected = QString::number(double(v), 'f', d);
            if (fixed(v, d) != expected)
                QFAIL(qPrintable(
                    QString("%1 at %2: %3").arg(double(v), 0, 'g', 17).arg(d).arg(expected)));
        }
    }

    void timeTextEqualsStoreText()
    {
        csv::TimeTextCache cache;
        QRandomGenerator rng(7);
        qint64 t = Start;
        for (int i = 0; i < 20000; ++i) { // mostly a second apart, sometimes a gap or a step back
            t += (i % 97 == 0   ? -int(rng.bounded(120000))
                  : i % 89 == 0 ? 3600000
                                : 1000) +
                 int(rng.bounded(3)) - 1;
            QCOMPARE(QString::fromLatin1(cache.text(t)), SampleStore::timeText(t));
        }
        for (qint64 ms : {qint64(-1), qint64(-500), qint64(-60001)}) // before 1970
            QCOMPARE(QString::fromLatin1(cache.text(ms)), SampleStore::timeText(ms));
    }
};

QTEST_GUILESS_MAIN(TestSaveDataDeal)
#include "test_savedatadeal.moc"
