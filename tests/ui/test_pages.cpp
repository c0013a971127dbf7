// Readings that stay large and whole as the window changes size; the chart title
// edited through an input dialog; every page's controls reach their slots. With
// UI_SHOTS_DIR set, every page is saved as a PNG.
#include "maindialog.h"
#include "startup.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Warnings of Qt's connection by name, kept while a window is built.
QStringList *byNameWarnings = nullptr;
QtMessageHandler previousHandler = nullptr;

void keepByNameWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (byNameWarnings && text.contains(QLatin1String("connectSlotsByName")))
        byNameWarnings->append(text);
    previousHandler(type, context, text);
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT
    QString preset; // what the last input dialog offered

    // Clicks the title and answers its input dialog with `text`, or cancels it.
    void edit(QPushButton *title, const QString &text, bool accept = true)
    {
        preset = "<no dialog>";
        QTimer::singleShot(0, this, [this, text, accept] {
            if (auto *dlg = qobject_cast<QInputDialog *>(QApplication::activeModalWidget())) {
                preset = dlg->windowTitle() + '|' + dlg->labelText() + '|' + dlg->textValue();
                dlg->setTextValue(text);
                accept ? dlg->accept() : dlg->reject();
            }
        });
        title->click();
    }

private slots:
    void readingsStayLargeAndWhole()
    {
        InstrumentSession dSession;
        MainDialog d(dSession);
        d.setCurrentPage(MainDialog::PageDisp);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        // The designed size, unless the screen leaves less room.
        QVERIFY(d.width() <= 1232 && d.height() <= 900);
        auto check = [&d](int minPx) {
            for (const char *n : {"disp_label_VOL", "disp_label_CUR", "disp_label_POW",
                                  "disp_label_RES", "disp_label_ELE", "disp_label_CAP"}) {
                auto *l = d.findChild<QLabel *>(n);
                const int width = l->fontMetrics().horizontalAdvance(QStringLiteral("-0000.00"));
                QVERIFY2(width <= l->contentsRect().width(), n);
                QVERIFY2(l->font().pixelSize() >= minPx, n);
            }
        };
        d.resize(1232, 900); // the designed size, whatever this screen's
        QTRY_COMPARE(d.size(), QSize(1232, 900));
        QCoreApplication::processEvents();
        check(40);
        // Smaller windows keep every reading whole, at a smaller size.
        const QSize small(960, 660);
        QCOMPARE(d.minimumSizeHint().boundedTo(small), d.minimumSizeHint());
        d.resize(small);
        QTRY_COMPARE(d.size(), small);
        QCoreApplication::processEvents();
        check(24);
    }

    // A search with no instrument on the bus lists nothing and says so; the start page tells
    // a Linux user what a real instrument needs.
    void searchWithoutAnInstrumentListsNothing()
    {
        InstrumentSession session;
        MainDialog d(session);
        auto *search = d.findChild<QPushButton *>("btn_search");
        auto *tree = d.findChild<QTreeWidget *>("device_treeWidget");
        auto *note = d.findChild<QLabel *>("label_left_tips_2");
        QVERIFY(search && tree && note);
        QCOMPARE(note->text(), QString());
        search->click();
        QTRY_VERIFY_WITH_TIMEOUT(!d.instrumentState().scanning, 6000);
        QCOMPARE(tree->topLevelItemCount(), 0);
        QVERIFY(d.deviceList().pairs().isEmpty());
        QCOMPARE(note->text(), QStringLiteral("未找到仪器。"));
#ifdef Q_OS_LINUX
        auto *udev = d.findChild<QLabel *>("start_label_udev");
        QVERIFY(udev);
        QVERIFY2(udev->text().contains("udev") &&
                     udev->text().contains("udevadm trigger --subsystem-match=hidraw"),
                 qPrintable(udev->text()));
#endif
    }

    // At the first start the window takes at most the screen's free area.
    void windowFitsTheScreen()
    {
        const QSize designed(1232, 900), minimum(935, 600);
        QCOMPARE(MainDialog::initialSize(designed, minimum, QSize(1920, 1040)), designed);
        QCOMPARE(MainDialog::initialSize(designed, minimum, QSize(1366, 738)), QSize(1232, 738));
        QCOMPARE(MainDialog::initialSize(designed, minimum, QSize(1280, 690)), QSize(1232, 690));
        QCOMPARE(MainDialog::initialSize(designed, minimum, QSize(800, 600)), QSize(935, 600));
        InstrumentSession session;
        MainDialog d(session);
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        if (d.minimumSizeHint().width() <= available.width() &&
            d.minimumSizeHint().height() <= available.height())
            QVERIFY(available.contains(d.frameGeometry()));
        QVERIFY(d.size().width() <= 1232 && d.size().height() <= 900);
    }

    void chartTitleCancelKeepsOkSetsEvenEmpty()
    {
        InstrumentSession dialogSession;
        MainDialog dialog(dialogSession);
        auto *title = dialog.findChild<QPushButton *>("disp_btn_title");
        QCOMPARE(title->text(), QStringLiteral("Simple Real-Time Chart"));
        edit(title, QStringLiteral("Battery 18650 #2"));
        QCOMPARE(preset, QStringLiteral("标题变更对话框|请输入标题:|Simple Real-Time Chart"));
        QCOMPARE(title->text(), QStringLiteral("Battery 18650 #2"));
        edit(title, QStringLiteral("discarded"), false);
        QCOMPARE(preset, QStringLiteral("标题变更对话框|请输入标题:|Battery 18650 #2"));
        QCOMPARE(title->text(), QStringLiteral("Battery 18650 #2"));
        edit(title, QString());
        QCOMPARE(title->text(), QString());
        QVERIFY(title->isEnabled()); // an empty title stays clickable
        edit(title, QStringLiteral("mine"));
        QCOMPARE(title->text(), QStringLiteral("mine"));
        dialog.retranslate(); // a language switch restores the default title
        QCOMPARE(title->text(), QStringLiteral("Simple Real-Time Chart"));
    }

    // Each page connects its own controls by name: a slot whose widget is on
    // another page, or misspelt, would leave a control that does nothing.
    void everyDesignerSlotFindsItsWidget()
    {
        QStringList warnings;
        byNameWarnings = &warnings;
        previousHandler = qInstallMessageHandler(keepByNameWarnings);
        {
            InstrumentSession session;
            MainDialog window(session);
        }
        qInstallMessageHandler(previousHandler);
        byNameWarnings = nullptr;
        QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    }

    void shots()
    {
        const QString dir = qEnvironmentVariable("UI_SHOTS_DIR");
        if (dir.isEmpty())
            QSKIP("UI_SHOTS_DIR not set");
        Startup::applyLook(*qApp);
        InstrumentSession dSession;
        MainDialog d(dSession);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        for (int i = 0; i <= MainDialog::PageProgram; ++i) {
            d.setCurrentPage(i);
            QCoreApplication::processEvents();
            QVERIFY(d.grab().save(QStringLiteral("%1/page-%2.png").arg(dir).arg(i)));
        }
    }
};

QTEST_MAIN(TestPages)
#include "test_pages.moc"
