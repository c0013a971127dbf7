#include "chartmenu.h"
#include "dataexport.h"
#include "samplestore.h"
#include "setting.h"

#include <QImage>
#include <QMenu>
#include <QtTest>
#include <memory>
#include <unistd.h>

namespace {

struct Message
{
    QMessageBox::Icon icon;
    QString title, text;
};

void fill(SampleStore &store, int n)
{
    const qint64 start = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)).toMSecsSinceEpoch();
    for (int i = 0; i < n; ++i)
        store.append(start + i * 1000LL,
                     {12.5f, 1.0f, 12.5f, 12.5f, 0.01f * i, 0.8f, 27, 1500, 36.5f, 25});
}

int dataRows(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().count("\n2024-") : -1;
}

} // namespace

class TestDataExport : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString oldCwd, answer;
    std::unique_ptr<QWidget> window;
    DataExport *exporter = nullptr;
    QVector<Message> messages;
    QStringList dialogDirs;
    dialoghooks::MessageFn recordMessage = [this](QWidget *, QMessageBox::Icon icon,
                                                  const QString &title, const QString &text) {
        messages.append({icon, title, text});
    };

    void makePlainFile() { QVERIFY(QFile(dir->filePath("plain")).open(QIODevice::WriteOnly)); }
    void expectWarningNaming(const QString &target)
    {
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].icon, QMessageBox::Warning);
        QCOMPARE(messages[0].title, QString::fromUtf8("错误"));
        QVERIFY2(messages[0].text.contains(target), qPrintable(messages[0].text));
    }

private slots:
    void init()
    {
        dir.reset(new QTemporaryDir);
        oldCwd = QDir::currentPath();
        QDir::setCurrent(dir->path()); // usb-hid.ini lands here
        window.reset(new QWidget);
        exporter = new DataExport(window.get());
        messages.clear(), dialogDirs.clear(), answer.clear();
        exporter->setMessageBox(recordMessage);
        exporter->setSaveFileDialog(
            [this](QWidget *, const QString &, const QString &d, const QString &) {
                dialogDirs << d;
                return answer;
            });
        exporter->setApplicationDir(dir->filePath("app"));
        QVERIFY(QDir().mkdir(dir->filePath("app")));
    }
    void cleanup() { window.reset(), QDir::setCurrent(oldCwd); }

    void rememberedFolder()
    {
        const QString cases[][2] = {{"C:/data.csv", "C:/"},
                                    {"C:/Users/x/data.csv", "C:/Users/x"},
                                    {"data.csv", ""},
                                    {"/data.csv", "/"}};
        for (const auto &c : cases)
            QCOMPARE(DataExport::folderOf(c[0]), c[1]);
    }

    void nineSamplesAreTooFewTenAreWritten()
    {
        SampleStore store;
        fill(store, 9);
        answer = dir->filePath("out/data.csv");
        QCOMPARE(exporter->exportCsv(store, 1), DataExport::TooFewSamples);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].icon, QMessageBox::Information);
        QCOMPARE(messages[0].title, QString::fromUtf8("提示信息"));
        QCOMPARE(messages[0].text,
                 QString::fromUtf8("<font color='red'>数据太少了吧，请记录至少十条数据。</font>"));
        QVERIFY(dialogDirs.isEmpty());

        fill(store, 1);
        messages.clear();
        QVERIFY(QDir().mkdir(dir->filePath("out")));
        QCOMPARE(exporter->exportCsv(store, 1), DataExport::Written);
        QCOMPARE(dialogDirs, QStringList{dir->filePath("app/Data")}); // made beside the program
        QVERIFY(QFileInfo(dir->filePath("app/Data")).isDir());
        QVERIFY(messages.isEmpty());
        QCOMPARE(dataRows(answer), 10);
        QCOMPARE(Setting().read("save_path"), dir->filePath("out"));
        answer.clear(); // the next export starts where the last one saved
        QCOMPARE(exporter->exportCsv(store, 1), DataExport::Cancelled);
        QCOMPARE(dialogDirs.last(), dir->filePath("out"));
    }

    // A name typed without a suffix is saved as .csv; a suffix of the user's own is kept.
    void csvNameWithoutSuffixGetsOne()
    {
        SampleStore store;
        fill(store, 10);
        for (const QString name : {"run", "run.txt", "second.csv"}) {
            answer = dir->filePath(name);
            QCOMPARE(exporter->exportCsv(store, 1), DataExport::Written);
            const QString saved = QFileInfo(name).suffix().isEmpty() ? answer + ".csv" : answer;
            QCOMPARE(dataRows(saved), 10);
            QCOMPARE(QFile::exists(answer), saved == answer);
        }
    }

    void unwritableTargetWarnsAndKeepsFolder()
    {
        Setting().write("save_path", "/kept/folder");
        SampleStore store;
        fill(store, 12);
        makePlainFile();
        QStringList targets = {dir->filePath("plain/data.csv")};
        const QString ro = dir->filePath("readonly.csv");
        QVERIFY(QFile(ro).open(QIODevice::WriteOnly));
        QVERIFY(QFile::setPermissions(ro, QFileDevice::ReadOwner));
        if (::access(QFile::encodeName(ro).constData(), W_OK) != 0)
            targets << ro; // the superuser writes read-only files anyway
        for (const QString &t : targets) {
            messages.clear();
            answer = t;
            QCOMPARE(exporter->exportCsv(store, 1), DataExport::Failed);
            expectWarningNaming(t);
            QVERIFY(messages[0].text.size() >
                    messages[0].text.indexOf(t) + t.size() + 1); // and why
            QCOMPARE(Setting().read("save_path"), QString("/kept/folder"));
        }
    }

    void defaultFolderFallsBackToDocuments()
    {
        const QString documents =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString expected = documents.isEmpty() ? QDir::homePath() : documents;
        exporter->setApplicationDir(dir->filePath("missing/bin")); // a missing parent is not made
        QCOMPARE(exporter->startFolder(), expected);
        QVERIFY(!QFileInfo::exists(dir->filePath("missing")));
        makePlainFile();
        exporter->setApplicationDir(dir->filePath("plain")); // nothing can be made below a file
        SampleStore store;
        fill(store, 10);
        QCOMPARE(exporter->exportCsv(store, 0), DataExport::Cancelled);
        QCOMPARE(dialogDirs.last(), expected);
        QCOMPARE(Setting().read("save_path"), QString());
    }

    void chartImageExport()
    {
        ChartMenu menu(window.get());
        menu.setMessageBox(recordMessage);
        menu.setSaveFileDialog([this](QWidget *, const QString &, const QString &,
                                      const QString &) { return answer; });
        std::unique_ptr<QMenu> built(menu.buildMenu());
        QCOMPARE(built->actions().at(0)->text(), QString::fromUtf8("导出数据(.csv)"));
        QCOMPARE(built->actions().at(1)->text(), QString::fromUtf8("导出图片(.png)"));
        // The record can be cleared from the chart menu, whatever the model.
        QAction *clear = built->actions().value(5);
        QVERIFY(clear);
        QCOMPARE(clear->text(), QString::fromUtf8("清除记录"));
        QSignalSpy clearAsked(&menu, &ChartMenu::clearRecordRequested);
        clear->trigger();
        QCOMPARE(clearAsked.count(), 1);
        QWidget view; // a known colour at a known size
        view.resize(320, 200);
        view.setAutoFillBackground(true);
        view.setPalette(QPalette(QColor(10, 200, 30)));
        // No suffix, or one that is no picture format, gets ".png"; ".png" is kept.
        for (const QString name : {"chart", "notes.txt", "mine.png"}) {
            answer = dir->filePath(name);
            QVERIFY(menu.exportImage(&view));
            const QString saved = name.endsWith(".png") ? answer : answer + ".png";
            QCOMPARE(QFile::exists(answer), saved == answer);
            QImage image(saved, "PNG");
            QCOMPARE(image.size(), view.grab().size());
            QCOMPARE(QColor(image.pixel(5, 5)), QColor(10, 200, 30));
        }
        QVERIFY(messages.isEmpty());
        makePlainFile();
        answer = dir->filePath("plain/chart.png");
        QVERIFY(!menu.exportImage(&view));
        expectWarningNaming(answer);
    }
};

QTEST_MAIN(TestDataExport)
#include "test_dataexport.moc"
