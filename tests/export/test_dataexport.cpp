#include "dataexport.h"
#include "samplestore.h"
#include "setting.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>

#include <unistd.h>

namespace {

struct Message
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

struct DialogCall
{
    QString caption;
    QString dir;
    QString filter;
    QWidget *parent;
};

void fill(SampleStore &store, int n)
{
    const qint64 start = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)).toMSecsSinceEpoch();
    for (int i = 0; i < n; ++i)
        store.append(start + i * 1000LL,
                     {12.5f, 1.0f, 12.5f, 12.5f, 0.01f * float(i), 0.8f, 27.0f, 1500.0f, 36.5f,
                      25.0f});
}

int dataRows(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    int rows = 0;
    while (!f.atEnd())
        rows += f.readLine().startsWith("2024-") ? 1 : 0;
    return rows;
}

// Sees every progress dialog that is shown during an export.
class ShowWatcher : public QObject
{
public:
    int shown = 0;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::Show && qobject_cast<QProgressDialog *>(o))
            ++shown;
        return false;
    }
};

} // namespace

class TestDataExport : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        m_oldCwd = QDir::currentPath();
        QDir::setCurrent(m_dir->path()); // usb-hid.ini lands here
        m_window.reset(new QWidget);
        m_export = new DataExport(m_window.data());
        m_messages.clear();
        m_dialogs.clear();
        m_answer.clear();
        m_export->setMessageBox([this](QWidget *parent, QMessageBox::Icon icon,
                                       const QString &title, const QString &text) {
            QCOMPARE(parent, m_window.data());
            m_messages.append({icon, title, text});
        });
        m_export->setSaveFileDialog([this](QWidget *parent, const QString &caption,
                                           const QString &dir, const QString &filter) {
            m_dialogs.append({caption, dir, filter, parent});
            return m_answer;
        });
        m_export->setApplicationDir(m_dir->filePath("app"));
        QVERIFY(QDir().mkdir(m_dir->filePath("app")));
    }
    void cleanup()
    {
        m_window.reset();
        QDir::setCurrent(m_oldCwd);
    }

    void rememberedFolder_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<QString>("folder");
        QTest::newRow("drive root") << "C:/data.csv"
                                    << "C:/";
        QTest::newRow("nested") << "C:/Users/x/data.csv"
                                << "C:/Users/x";
        QTest::newRow("bare name") << "data.csv" << "";
        QTest::newRow("unix") << "/home/u/logs/data.csv"
                              << "/home/u/logs";
        QTest::newRow("unix root") << "/data.csv"
                                   << "/";
    }
    void rememberedFolder()
    {
        QFETCH(QString, fileName);
        QFETCH(QString, folder);
        QCOMPARE(DataExport::folderOf(fileName), folder);
    }

    void nineSamplesAreTooFew()
    {
        Setting().write("save_path", m_dir->path());
        SampleStore store;
        fill(store, 9);
        m_answer = m_dir->filePath("nine.csv");
        QCOMPARE(m_export->exportCsv(store, 1), DataExport::TooFewSamples);
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, QMessageBox::Information);
        QCOMPARE(m_messages[0].title, QString::fromUtf8("提示信息"));
        QCOMPARE(m_messages[0].text,
                 QString::fromUtf8("<font color='red'>数据太少了吧，请记录至少十条数据。</font>"));
        QVERIFY(m_dialogs.isEmpty());
        QVERIFY(!QFile::exists(m_answer));
    }

    void tenSamplesAreWrittenAndFolderRemembered()
    {
        SampleStore store;
        fill(store, 10);
        QVERIFY(QDir().mkdir(m_dir->filePath("out")));
        m_answer = m_dir->filePath("out/ten.csv");
        QCOMPARE(m_export->exportCsv(store, 1), DataExport::Written);
        QCOMPARE(m_dialogs.size(), 1);
        QCOMPARE(m_dialogs[0].caption, QString("Excel file"));
        QCOMPARE(m_dialogs[0].filter, QString("Files (*.csv)"));
        QCOMPARE(m_dialogs[0].parent, m_window.data());
        QCOMPARE(m_dialogs[0].dir, m_dir->filePath("app/Data"));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(dataRows(m_answer), 10);
        QCOMPARE(Setting().read("save_path"), m_dir->filePath("out"));

        // The next export starts where the last one saved.
        m_answer.clear();
        QCOMPARE(m_export->exportCsv(store, 1), DataExport::Cancelled);
        QCOMPARE(m_dialogs[1].dir, m_dir->filePath("out"));
        QCOMPARE(Setting().read("save_path"), m_dir->filePath("out"));
    }

    void unwritableTargetWarnsAndKeepsFolder()
    {
        Setting().write("save_path", "/kept/folder");
        SampleStore store;
        fill(store, 12);
        QFile plain(m_dir->filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        QStringList targets = {m_dir->filePath("plain/data.csv")};

        const QString ro = m_dir->filePath("readonly.csv");
        QFile roFile(ro);
        QVERIFY(roFile.open(QIODevice::WriteOnly));
        roFile.close();
        QVERIFY(QFile::setPermissions(ro, QFileDevice::ReadOwner));
        if (::access(QFile::encodeName(ro).constData(), W_OK) != 0)
            targets << ro; // the superuser writes read-only files anyway

        for (const QString &t : targets) {
            m_messages.clear();
            m_answer = t;
            QCOMPARE(m_export->exportCsv(store, 1), DataExport::Failed);
            QCOMPARE(m_messages.size(), 1);
            QCOMPARE(m_messages[0].icon, QMessageBox::Warning);
            QCOMPARE(m_messages[0].title, QString::fromUtf8("错误"));
            QVERIFY2(m_messages[0].text.contains(t), qPrintable(m_messages[0].text));
            // The reason follows the name.
            QVERIFY(m_messages[0].text.size() > m_messages[0].text.indexOf(t) + t.size() + 1);
            QCOMPARE(Setting().read("save_path"), QString("/kept/folder"));
        }
    }

    void defaultFolderBesideExecutable()
    {
        QVERIFY(!QFileInfo::exists(m_dir->filePath("app/Data")));
        QCOMPARE(m_export->startFolder(), m_dir->filePath("app/Data"));
        QVERIFY(QFileInfo(m_dir->filePath("app/Data")).isDir());
    }

    void defaultFolderFallsBackToDocuments()
    {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString expected = documents.isEmpty() ? QDir::homePath() : documents;
        // A missing parent is not made, and nothing can be made below a file.
        m_export->setApplicationDir(m_dir->filePath("missing/bin"));
        QCOMPARE(m_export->startFolder(), expected);
        QVERIFY(!QFileInfo::exists(m_dir->filePath("missing")));

        QFile plain(m_dir->filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        m_export->setApplicationDir(m_dir->filePath("plain"));
        QCOMPARE(m_export->startFolder(), expected);

        SampleStore store;
        fill(store, 10);
        m_answer.clear();
        QCOMPARE(m_export->exportCsv(store, 0), DataExport::Cancelled);
        QCOMPARE(m_dialogs.last().dir, expected);
        QCOMPARE(Setting().read("save_path"), QString());
    }

    void longExportShowsProgress()
    {
        SampleStore store;
        fill(store, 60000);
        ShowWatcher watcher;
        qApp->installEventFilter(&watcher);
        m_export->setProgressDelay(0);
        m_answer = m_dir->filePath("long.csv");
        const DataExport::Result r = m_export->exportCsv(store, 4);
        qApp->removeEventFilter(&watcher);
        QCOMPARE(r, DataExport::Written);
        QVERIFY(watcher.shown >= 1);
        QCOMPARE(dataRows(m_answer), 60000);
        QVERIFY(!QApplication::activeModalWidget());
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QString m_oldCwd;
    QScopedPointer<QWidget> m_window;
    DataExport *m_export = nullptr;
    QVector<Message> m_messages;
    QVector<DialogCall> m_dialogs;
    QString m_answer;
};

QTEST_MAIN(TestDataExport)
#include "test_dataexport.moc"
