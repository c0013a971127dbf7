#include "samplestore.h"
#include "savedatadeal.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

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

qint64 localMs(int y, int mo, int d, int h, int mi, int s)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s)).toMSecsSinceEpoch();
}

// The sample of the worked example: 12.5 V, 1 A, 12.5 W, 12.5 Ω, 0.01 Wh,
// 0.8 mAh, MOS 27 ℃, fan 1500, CPU 36.5 ℃, NTC 25 ℃ (record order).
SampleStore::Values exampleValues()
{
    return {12.5f, 1.0f, 12.5f, 12.5f, 0.01f, 0.8f, 27.0f, 1500.0f, 36.5f, 25.0f};
}

SampleStore::Values variedValues(int i)
{
    return {3.0f + 0.013f * float(i), 1.0f - 0.001f * float(i), 2.5f * float(i), 1e5f / float(i + 1),
            0.0125f * float(i), 12.5f * float(i), 25.0f + 0.25f * float(i),
            float(1000 + 50 * i), 36.45f + 0.1f * float(i), -5.0f + 0.5f * float(i)};
}

void fill(SampleStore &store, int n, qint64 start)
{
    for (int i = 0; i < n; ++i)
        store.append(start + qint64(i) * 1000, variedValues(i));
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

QList<QByteArray> lines(const QByteArray &text)
{
    QList<QByteArray> l = text.split('\n');
    if (!l.isEmpty() && l.last().isEmpty())
        l.removeLast();
    return l;
}

} // namespace

class TestSaveDataDeal : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
    }

    void exampleRowByteForByte()
    {
        SampleStore store;
        store.append(localMs(2024, 3, 5, 14, 7, 9), exampleValues());
        const QString path = m_dir->filePath("example.csv");
        saveDataDeal deal;
        QVERIFY(deal.writeCsv(store, path, 1));
        QCOMPARE(readAll(path), LoadBanner + Header +
                                    "2024-03-05_14:07:09,12.500000,1.000000,12.500000,12.500,"
                                    "0.010,0.800,25.000,36.5,27.000,1500\n");
    }

    void bannersByDeviceClass()
    {
        SampleStore store;
        fill(store, 10, localMs(2024, 3, 5, 14, 7, 9));
        const struct {
            quint8 cls;
            QByteArray start;
        } cases[] = {{1, LoadBanner + Header}, {4, PowerBanner + Header}, {0, Header},
                     {2, Header}};
        for (const auto &c : cases) {
            const QString path = m_dir->filePath(QString("class%1.csv").arg(c.cls));
            QVERIFY(saveDataDeal().writeCsv(store, path, c.cls));
            const QByteArray text = readAll(path);
            QVERIFY2(text.startsWith(c.start), qPrintable(QString::number(c.cls)));
            // UTF-8 without a byte order mark, one line end per line.
            QVERIFY(!text.startsWith("\xef\xbb\xbf"));
            QVERIFY(!text.contains('\r'));
            QCOMPARE(lines(text.mid(c.start.size())).size(), 10);
        }
    }

    void tenRowsThenAppendedOnce()
    {
        SampleStore store;
        fill(store, 10, localMs(2024, 3, 5, 23, 59, 55));
        const QString path = m_dir->filePath("twice.csv");
        QVERIFY(saveDataDeal().writeCsv(store, path, 1));
        const QList<QByteArray> first = lines(readAll(path));
        QCOMPARE(first.size(), 3 + 1 + 10);
        QCOMPARE(first[4].left(20), QByteArray("2024-03-05_23:59:55,"));
        QCOMPARE(first[9].left(20), QByteArray("2024-03-06_00:00:00,"));

        QVERIFY(saveDataDeal().writeCsv(store, path, 1));
        const QList<QByteArray> both = lines(readAll(path));
        QCOMPARE(both.size(), 3 + 1 + 20);
        QCOMPARE(both.count(Header.trimmed()), 1);
        QCOMPARE(both.mid(0, 14), first);
        QCOMPARE(both.mid(14), first.mid(4));
    }

    void emptyExistingFileGetsHeader()
    {
        const QString path = m_dir->filePath("empty.csv");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        SampleStore store;
        fill(store, 10, localMs(2024, 3, 5, 8, 0, 0));
        QVERIFY(saveDataDeal().writeCsv(store, path, 4));
        QVERIFY(readAll(path).startsWith(PowerBanner + Header));
    }

    void numberFormatsOfEachColumn()
    {
        SampleStore store;
        // 36.47 ℃ on the CPU is shown with one decimal; -0.0004 A keeps its sign.
        store.append(localMs(2024, 1, 2, 3, 4, 5),
                     {12.5f, -0.0004f, 0.0f, 999999.0f, 0.0005f, 1234.5678f, 101.25f, 1500.0f,
                      36.47f, -12.0625f});
        const QString path = m_dir->filePath("formats.csv");
        QVERIFY(saveDataDeal().writeCsv(store, path, 0));
        QCOMPARE(lines(readAll(path)).last(),
                 QByteArray("2024-01-02_03:04:05,12.500000,-0.000400,0.000000,999999.000,0.001,"
                            "1234.568,-12.063,36.5,101.250,1500"));
    }

    void listsGiveTheSameFileAsTheStore()
    {
        SampleStore store;
        fill(store, 25, localMs(2024, 3, 5, 14, 7, 9));
        QStringList times;
        QVector<QVector<float>> lists(SampleStore::QuantityCount);
        for (size_t i = 0; i < store.size(); ++i) {
            times << store.timeTextAt(i);
            for (int q = 0; q < SampleStore::QuantityCount; ++q)
                lists[q] << store.valueAt(SampleStore::Quantity(q), i);
        }
        const QString a = m_dir->filePath("store.csv"), b = m_dir->filePath("lists.csv");
        QVERIFY(saveDataDeal().writeCsv(store, a, 1));
        QVERIFY(saveDataDeal().writeCsv(times, lists[0], lists[1], lists[2], lists[3], lists[4],
                                        lists[5], lists[6], lists[7], lists[8], lists[9], b, 1));
        QCOMPARE(readAll(b), readAll(a));

        // A list shorter than the time stamps is refused before the file is touched.
        lists[7].removeLast();
        const QString c = m_dir->filePath("short.csv");
        saveDataDeal deal;
        QVERIFY(!deal.writeCsv(times, lists[0], lists[1], lists[2], lists[3], lists[4], lists[5],
                               lists[6], lists[7], lists[8], lists[9], c, 1));
        QVERIFY(!deal.errorString().isEmpty());
        QVERIFY(!QFile::exists(c));
    }

    void failuresAreReported()
    {
        SampleStore store;
        fill(store, 10, localMs(2024, 3, 5, 14, 7, 9));

        // A folder that does not exist, a file standing where a folder should be,
        // a folder where the file should be.
        QFile plain(m_dir->filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QString targets[] = {m_dir->filePath("missing/data.csv"),
                                   m_dir->filePath("plain/data.csv"), m_dir->path()};
        for (const QString &t : targets) {
            saveDataDeal deal;
            QVERIFY2(!deal.writeCsv(store, t, 1), qPrintable(t));
            QVERIFY(!deal.errorString().isEmpty());
        }
        QVERIFY(!QFile::exists(m_dir->filePath("missing/data.csv")));

        // A device that accepts the open but no data.
        if (QFile::exists("/dev/full")) {
            saveDataDeal deal;
            QVERIFY(!deal.writeCsv(store, "/dev/full", 1));
            QVERIFY(!deal.errorString().isEmpty());
        }

    }

    void readOnlyFileIsRefused()
    {
        SampleStore store;
        fill(store, 10, localMs(2024, 3, 5, 14, 7, 9));
        // Refused and left as it was (the superuser may write anyway).
        const QString ro = m_dir->filePath("readonly.csv");
        QVERIFY(saveDataDeal().writeCsv(store, ro, 1));
        const QByteArray before = readAll(ro);
        QVERIFY(QFile::setPermissions(ro, QFileDevice::ReadOwner | QFileDevice::ReadGroup));
        if (::access(QFile::encodeName(ro).constData(), W_OK) == 0)
            QSKIP("running with rights that ignore file permissions");
        saveDataDeal deal;
        QVERIFY(!deal.writeCsv(store, ro, 1));
        QVERIFY(!deal.errorString().isEmpty());
        QCOMPARE(readAll(ro), before);
    }

    void progressReachesTheEnd()
    {
        SampleStore store;
        fill(store, 40000, localMs(2024, 3, 5, 14, 7, 9));
        QVector<qint64> done;
        saveDataDeal deal;
        deal.setProgressHandler([&](qint64 d, qint64 total) {
            QCOMPARE(total, qint64(40000));
            done << d;
        });
        QVERIFY(deal.writeCsv(store, m_dir->filePath("progress.csv"), 1));
        QVERIFY(done.size() >= 2); // at least one block before the end
        QCOMPARE(done.last(), qint64(40000));
        QVERIFY(std::is_sorted(done.begin(), done.end()));
    }

    void independentReaderSeesElevenColumns()
    {
        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        SampleStore store;
        fill(store, 30, localMs(2024, 3, 5, 14, 7, 9));
        const QString path = m_dir->filePath("read back.csv");
        QVERIFY(saveDataDeal().writeCsv(store, path, 1));

        QProcess p;
        p.start(python, {"-c",
                         "import csv, json, sys\n"
                         "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                         "    print(json.dumps(list(csv.reader(f))))\n",
                         path});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QJsonArray rows = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
        QCOMPARE(rows.size(), 3 + 1 + 30);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rows[i].toArray().size(), 1);
        const QJsonArray header = rows[3].toArray();
        QCOMPARE(header.size(), 12); // the trailing comma gives an empty last field
        QCOMPARE(header[0].toString(), QString("DATE"));
        QCOMPARE(header[4].toString(), QString::fromUtf8("RESISTANCE(Ω)"));
        QCOMPARE(header[7].toString(), QString::fromUtf8("NTC_TEMP(℃)"));
        QCOMPARE(header[11].toString(), QString());

        const SampleStore::Quantity order[] = {
            SampleStore::Voltage,  SampleStore::Current, SampleStore::Power,
            SampleStore::Resistance, SampleStore::Energy, SampleStore::Capacity,
            SampleStore::NtcTemp,  SampleStore::CpuTemp, SampleStore::MosTemp,
            SampleStore::FanSpeed};
        const double tolerance[] = {1e-6, 1e-6, 1e-6, 1e-3, 1e-3, 1e-3, 1e-3, 0.1, 1e-3, 1};
        for (int i = 0; i < 30; ++i) {
            const QJsonArray row = rows[4 + i].toArray();
            QCOMPARE(row.size(), 11);
            QCOMPARE(row[0].toString(), store.timeTextAt(size_t(i)));
            for (int c = 0; c < 10; ++c) {
                const double recorded = double(store.valueAt(order[c], size_t(i)));
                const double read = row[c + 1].toString().toDouble();
                QVERIFY2(qAbs(read - recorded) <= tolerance[c] / 2 + 1e-9,
                         qPrintable(QString("row %1 column %2: %3 vs %4")
                                        .arg(i)
                                        .arg(c + 2)
                                        .arg(read)
                                        .arg(recorded)));
            }
        }
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
};

QTEST_GUILESS_MAIN(TestSaveDataDeal)
#include "test_savedatadeal.moc"
