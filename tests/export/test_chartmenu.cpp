#include "chartmenu.h"

#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

struct Message
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

} // namespace

class TestChartMenu : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new QTemporaryDir);
        QVERIFY(m_dir->isValid());
        m_window.reset(new QWidget);
        m_menu = new ChartMenu(m_window.data());
        m_messages.clear();
        m_captions.clear();
        m_menu->setMessageBox([this](QWidget *, QMessageBox::Icon icon, const QString &title,
                                     const QString &text) {
            m_messages.append({icon, title, text});
        });
        m_menu->setSaveFileDialog(
            [this](QWidget *, const QString &caption, const QString &dir, const QString &filter) {
                m_captions << caption << dir << filter;
                return m_answer;
            });
        // A stand-in for the chart view: a known colour at a known size.
        m_view.reset(new QWidget);
        m_view->resize(320, 200);
        m_view->setAutoFillBackground(true);
        QPalette pal = m_view->palette();
        pal.setColor(QPalette::Window, QColor(10, 200, 30));
        m_view->setPalette(pal);
    }
    void cleanup()
    {
        m_view.reset();
        m_window.reset();
    }

    void entriesTextsAndIcons()
    {
        std::unique_ptr<QMenu> menu(m_menu->buildMenu());
        QCOMPARE(menu->parent(), m_window.data());
        const QList<QAction *> actions = menu->actions();
        const QStringList texts = {"导出数据(.csv)", "导出图片(.png)", "曲线设置",
                                   "累计图显",       "滚动图显",       "开发中..."};
        QCOMPARE(actions.size(), texts.size());
        for (int i = 0; i < actions.size(); ++i) {
            QCOMPARE(actions[i]->text(), texts[i]);
            // Five entries carry their picture at 100 x 100; the last has none.
            QCOMPARE(actions[i]->icon().isNull(), i == 5);
            if (i < 5)
                QVERIFY(actions[i]->icon().availableSizes().contains(QSize(100, 100)));
        }
    }

    void entriesAnnounceTheirChoice()
    {
        std::unique_ptr<QMenu> menu(m_menu->buildMenu());
        QSignalSpy data(m_menu, &ChartMenu::exportDataRequested);
        QSignalSpy image(m_menu, &ChartMenu::exportImageRequested);
        QSignalSpy curves(m_menu, &ChartMenu::curveSettingsRequested);
        QSignalSpy mode(m_menu, &ChartMenu::displayModeChanged);
        const QList<QAction *> actions = menu->actions();

        actions[5]->trigger(); // still being made: nothing happens
        QCOMPARE(data.count() + image.count() + curves.count() + mode.count(), 0);

        actions[0]->trigger();
        actions[1]->trigger();
        actions[2]->trigger();
        QCOMPARE(data.count(), 1);
        QCOMPARE(image.count(), 1);
        QCOMPARE(curves.count(), 1);
        actions[3]->trigger();
        actions[4]->trigger();
        QCOMPARE(mode.count(), 2);
        QCOMPARE(mode[0][0].toInt(), 1);
        QCOMPARE(mode[1][0].toInt(), 2);
    }

    void execDropsMenuArrowAndReturns()
    {
        QPushButton button;
        QTimer::singleShot(50, [] {
            if (QWidget *popup = QApplication::activePopupWidget())
                popup->close();
        });
        m_menu->exec(&button, QPoint(10, 10));
        QCOMPARE(button.styleSheet(), QString("QPushButton::menu-indicator{image:none}"));
        QVERIFY(!QApplication::activePopupWidget());
    }

    void imageWithoutSuffixBecomesPng()
    {
        m_answer = m_dir->filePath("chart");
        QVERIFY(m_menu->exportImage(m_view.data()));
        QCOMPARE(m_captions, QStringList({"Save File", "chart", "image(*.png)"}));
        QVERIFY(m_messages.isEmpty());
        QVERIFY(!QFile::exists(m_answer));
        QImage saved;
        QVERIFY(saved.load(m_answer + ".png", "PNG"));
        QCOMPARE(saved.size(), m_view->grab().size());
        QCOMPARE(QColor(saved.pixel(5, 5)), QColor(10, 200, 30));
    }

    void imageNamesKeptOrCompleted()
    {
        m_answer = m_dir->filePath("mine.png");
        QVERIFY(m_menu->exportImage(m_view.data()));
        QVERIFY(QImage(m_answer, "PNG").size() == m_view->grab().size());
        // A suffix that is no picture format gets ".png" after it.
        m_answer = m_dir->filePath("notes.txt");
        QVERIFY(m_menu->exportImage(m_view.data()));
        QVERIFY(!QFile::exists(m_answer));
        QVERIFY(!QImage(m_answer + ".png", "PNG").isNull());
        QVERIFY(m_messages.isEmpty());
    }

    void imageThatCannotBeSavedWarns()
    {
        QFile plain(m_dir->filePath("plain"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        m_answer = m_dir->filePath("plain/chart.png");
        QVERIFY(!m_menu->exportImage(m_view.data()));
        QCOMPARE(m_messages.size(), 1);
        QCOMPARE(m_messages[0].icon, QMessageBox::Warning);
        QCOMPARE(m_messages[0].title, QString::fromUtf8("错误"));
        QVERIFY2(m_messages[0].text.contains(m_answer), qPrintable(m_messages[0].text));
    }

    void cancelledImageWritesNothing()
    {
        m_answer.clear();
        QVERIFY(!m_menu->exportImage(m_view.data()));
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files).size(), 0);
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<QWidget> m_window;
    QScopedPointer<QWidget> m_view;
    ChartMenu *m_menu = nullptr;
    QVector<Message> m_messages;
    QStringList m_captions;
    QString m_answer;
};

QTEST_MAIN(TestChartMenu)
#include "test_chartmenu.moc"
