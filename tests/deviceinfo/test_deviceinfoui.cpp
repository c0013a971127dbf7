#include "deviceinfoui.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString text(QWidget *w, const char *name)
{
    auto *label = w->findChild<QLabel *>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

QString background(QWidget *w)
{
    auto *bg = w->findChild<QWidget *>(QStringLiteral("widget_background"));
    return bg ? bg->styleSheet() : QString();
}

QPushButton *tickButton(QWidget *w)
{
    return w->findChild<QPushButton *>(QStringLiteral("btn_Tick"));
}

const QString untickedStyle =
    QStringLiteral("QPushButton{border-image: url(:/sys/rs/rs/img/UnTick.png);} "
                   "QToolTip{background-color: rgb(84, 84, 84);}");
const QString tickedStyle =
    QStringLiteral("QPushButton{border-image: url(:/sys/rs/rs/img/Tick.png);} "
                   "QToolTip{background-color: rgb(84, 84, 84);}");

// English for the entry's texts, as the compiled-in translation gives them.
class EnglishEntry : public QTranslator
{
public:
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char * = nullptr,
                      int = -1) const override
    {
        if (qstrcmp(context, "DeviceInfoUI") != 0)
            return QString();
        static const QHash<QString, QString> en = {
            {QStringLiteral("型号"), QStringLiteral("Model")},
            {QStringLiteral("序列号"), QStringLiteral("SN")},
            {QStringLiteral("模拟器"), QStringLiteral("Simulator")},
            {QStringLiteral("空闲"), QStringLiteral("Idle")},
            {QStringLiteral("错误"), QStringLiteral("Error")},
            {QStringLiteral("连接"), QStringLiteral("Connect")},
            {QStringLiteral("点击图标添加设备"), QStringLiteral("Click to add device")},
            {QStringLiteral("点击图标移出设备"), QStringLiteral("Clickto remove device")},
            {QStringLiteral("主:%1"), QStringLiteral("M:%1")},
            {QStringLiteral("从:%1"), QStringLiteral("S:%1")},
        };
        return en.value(QString::fromUtf8(source));
    }
};

DeviceListPlan threeInstruments()
{
    DeviceListPlan plan;
    plan.model = QStringLiteral("KV37");
    plan.version = QStringLiteral("V1.0.0");
    plan.typeText = QStringLiteral("Maker");
    plan.shortSerial = QStringLiteral("ABC123");
    plan.titleNumber = 1;
    plan.entries = {{0x01, true, 1, EntryState::Connected, true},
                    {0x03, false, 2, EntryState::Idle, false},
                    {0x05, false, 3, EntryState::Idle, false}};
    return plan;
}

} // namespace

class TestDeviceInfoUI : public QObject
{
    Q_OBJECT
private slots:
    void newEntryShowsDefaults()
    {
        DeviceInfoUI e;
        QCOMPARE(text(&e, "label_model"), QStringLiteral("型号"));
        QCOMPARE(text(&e, "label_model_value"), QStringLiteral("模拟器"));
        QCOMPARE(text(&e, "label_serialnum"), QStringLiteral("序列号"));
        QCOMPARE(text(&e, "label_serial_value"), QStringLiteral("[none]"));
        QCOMPARE(text(&e, "label_type_value"), QStringLiteral("[none]"));
        QCOMPARE(text(&e, "label_version_value"), QStringLiteral("[none]"));
        QCOMPARE(text(&e, "label_index_value"), QString());
        QCOMPARE(text(&e, "label_connect_type"), QStringLiteral("none"));
        QCOMPARE(background(&e),
                 QStringLiteral("background-color: rgb(54, 131, 59);border-radius:4px;"));
        QCOMPARE(tickButton(&e)->text(), QString());
        QCOMPARE(tickButton(&e)->styleSheet(), untickedStyle);
        QCOMPARE(tickButton(&e)->toolTip(), QStringLiteral("点击图标添加设备"));
        QCOMPARE(int(e.state()), 0);
        QVERIFY(!e.isTicked());
    }

    void statesAndValues()
    {
        DeviceInfoUI e;
        e.setState(2);
        QCOMPARE(text(&e, "label_connect_type"), QStringLiteral("连接"));
        QCOMPARE(background(&e), QStringLiteral("background-color: rgb(16, 157, 56);"));
        e.setState(1);
        QCOMPARE(text(&e, "label_connect_type"), QStringLiteral("错误"));
        QCOMPARE(background(&e), QStringLiteral("background-color: rgb(68, 68, 68);"));
        e.setState(0);
        QCOMPARE(text(&e, "label_connect_type"), QStringLiteral("空闲"));
        QCOMPARE(background(&e), QStringLiteral("background-color: rgb(156, 156, 0);"));
        e.setState(3);
        QCOMPARE(int(e.state()), 0);
        QCOMPARE(text(&e, "label_connect_type"), QStringLiteral("空闲"));

        e.setModelText(QStringLiteral("RX41"));
        e.setSerialText(QStringLiteral("A1B2C3"));
        e.setTypeText(QStringLiteral("Maker"));
        e.setVersionText(QStringLiteral("V2.1"));
        e.setIndexText(QStringLiteral("x"));
        QCOMPARE(text(&e, "label_model_value"), QStringLiteral("RX41"));
        QCOMPARE(text(&e, "label_serial_value"), QStringLiteral("A1B2C3"));
        QCOMPARE(text(&e, "label_type_value"), QStringLiteral("Maker"));
        QCOMPARE(text(&e, "label_version_value"), QStringLiteral("V2.1"));
        QCOMPARE(text(&e, "label_index_value"), QStringLiteral("x"));
        e.setIndex(false, 3);
        QCOMPARE(text(&e, "label_index_value"), QStringLiteral("从:3"));
    }

    void tickingAndToggling()
    {
        DeviceInfoUI e;
        e.resize(260, 56);
        QSignalSpy spy(&e, &DeviceInfoUI::TickShow_Signal);
        e.tick();
        QVERIFY(e.isTicked());
        QCOMPARE(tickButton(&e)->styleSheet(), tickedStyle);
        QCOMPARE(tickButton(&e)->toolTip(), QStringLiteral("点击图标移出设备"));
        e.untick();
        QCOMPARE(tickButton(&e)->styleSheet(), untickedStyle);
        QCOMPARE(spy.size(), 0);

        QTest::mouseClick(tickButton(&e), Qt::LeftButton);
        QVERIFY(e.isTicked());
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy[0][0].value<DeviceInfoUI *>(), &e);

        // A click anywhere else on the entry toggles it as well.
        QTest::mouseClick(e.findChild<QLabel *>(QStringLiteral("label_model_value")),
                          Qt::LeftButton);
        QVERIFY(!e.isTicked());
        QCOMPARE(tickButton(&e)->toolTip(), QStringLiteral("点击图标添加设备"));
        QCOMPARE(spy.size(), 2);
    }

    void languageChangeShowsTheDefaults()
    {
        DeviceInfoUI fresh;
        DeviceInfoUI e;
        e.setModelText(QStringLiteral("KV37"));
        e.setTypeText(QStringLiteral("Maker"));
        e.setSerialText(QStringLiteral("ABC123"));
        e.setVersionText(QStringLiteral("V1.0.0"));
        e.setIndex(true, 1);
        e.setState(2);
        e.tick();

        EnglishEntry english;
        QVERIFY(QCoreApplication::installTranslator(&english));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        for (DeviceInfoUI *entry : {&e, &fresh}) {
            QCOMPARE(text(entry, "label_model"), QStringLiteral("Model"));
            QCOMPARE(text(entry, "label_serialnum"), QStringLiteral("SN"));
            QCOMPARE(text(entry, "label_model_value"), QStringLiteral("Simulator"));
            QCOMPARE(text(entry, "label_serial_value"), QStringLiteral("[none]"));
            QCOMPARE(text(entry, "label_version_value"), QStringLiteral("[none]"));
            QCOMPARE(text(entry, "label_type_value"), QStringLiteral("[none]"));
            QCOMPARE(text(entry, "label_index_value"), QString());
            QCOMPARE(text(entry, "label_connect_type"), QStringLiteral("none"));
            // The unticked tooltip, whatever the tick.
            QCOMPARE(tickButton(entry)->toolTip(), QStringLiteral("Click to add device"));
        }
        // Tick, state and colours are not texts: they stay.
        QVERIFY(e.isTicked());
        QCOMPARE(int(e.state()), 2);
        QCOMPARE(tickButton(&e)->styleSheet(), tickedStyle);
        QCOMPARE(background(&e), QStringLiteral("background-color: rgb(16, 157, 56);"));
        // Whoever re-applies the state gets the state word in the new language.
        e.setState(e.state());
        QCOMPARE(text(&e, "label_connect_type"), QStringLiteral("Connect"));
        e.setIndex(false, 2);
        QCOMPARE(text(&e, "label_index_value"), QStringLiteral("S:2"));

        QCoreApplication::removeTranslator(&english);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(text(&e, "label_model"), QStringLiteral("型号"));
        QCOMPARE(text(&e, "label_model_value"), QStringLiteral("模拟器"));
        QCOMPARE(text(&e, "label_index_value"), QString());
        QCOMPARE(text(&e, "label_connect_type"), QStringLiteral("none"));
        QCOMPARE(tickButton(&e)->toolTip(), QStringLiteral("点击图标添加设备"));
        QCOMPARE(text(&fresh, "label_model_value"), QStringLiteral("模拟器"));
    }

    void listOfMasterAndSlaves()
    {
        QTreeWidget tree;
        DeviceList list;
        QSignalSpy ticks(&list, &DeviceList::TickShow_Signal);
        const QVector<DeviceInfoUI *> rows = list.populate(&tree, threeInstruments());
        QCOMPARE(tree.topLevelItemCount(), 3);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(list.pairs().size(), 3);
        QCOMPARE(list.title(), QStringLiteral(" | KV37 1"));

        const char *index[] = {"主:1", "从:2", "从:3"};
        for (int i = 0; i < 3; ++i) {
            DeviceInfoUI *e = rows[i];
            QCOMPARE(tree.itemWidget(tree.topLevelItem(i), 0), e);
            QCOMPARE(text(e, "label_index_value"), QString::fromUtf8(index[i]));
            QCOMPARE(text(e, "label_model_value"), QStringLiteral("KV37"));
            QCOMPARE(text(e, "label_version_value"), QStringLiteral("V1.0.0"));
            QCOMPARE(text(e, "label_type_value"), QStringLiteral("Maker"));
            QCOMPARE(text(e, "label_serial_value"), QStringLiteral("ABC123"));
            QCOMPARE(e->isTicked(), i == 0);
            QCOMPARE(text(e, "label_connect_type"),
                     i == 0 ? QStringLiteral("连接") : QStringLiteral("空闲"));
        }
        QCOMPARE(ticks.size(), 0); // ticking the master is presentation only

        // Ticking the slave at address 3 selects it alone.
        QTest::mouseClick(tickButton(rows[1]), Qt::LeftButton);
        QCOMPARE(ticks.size(), 1);
        DeviceList::Selection s = list.applyTick(rows[1]);
        QVERIFY(s.changed);
        QCOMPARE(int(s.busAddress), 3);
        QCOMPARE(s.title, QStringLiteral(" | KV37 3"));
        QVERIFY(!rows[0]->isTicked());
        QCOMPARE(int(rows[0]->state()), 0);
        QCOMPARE(text(rows[0], "label_connect_type"), QStringLiteral("空闲"));
        QCOMPARE(text(rows[1], "label_connect_type"), QStringLiteral("连接"));
        QCOMPARE(tickButton(rows[0])->styleSheet(), untickedStyle);

        // Unticking it selects nothing.
        QTest::mouseClick(tickButton(rows[1]), Qt::LeftButton);
        s = list.applyTick(rows[1]);
        QCOMPARE(int(s.busAddress), 0);
        QCOMPARE(s.title, QStringLiteral(" | KV37 Null"));
        QCOMPARE(int(rows[1]->state()), 0);

        list.markFirstLost();
        QCOMPARE(text(rows[0], "label_connect_type"), QStringLiteral("错误"));

        QPointer<DeviceInfoUI> master = rows[0];
        list.clear(&tree);
        QCOMPARE(tree.topLevelItemCount(), 0);
        QVERIFY(list.pairs().isEmpty());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(master.isNull());
        list.markFirstLost(); // nothing listed: nothing to mark
    }

    void listWithoutVersionOrAnswers()
    {
        QTreeWidget tree;
        DeviceList list;
        DeviceListPlan plan = threeInstruments();
        plan.version.clear();
        plan.entries.resize(1);
        const QVector<DeviceInfoUI *> rows = list.populate(&tree, plan);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(text(rows[0], "label_version_value"), QStringLiteral("[none]"));
        // A duplicate address gets its row but no second pair.
        plan.entries[0].ticked = false;
        list.populate(&tree, plan);
        QCOMPARE(tree.topLevelItemCount(), 2);
        QCOMPARE(list.pairs().size(), 1);
    }
};

QTEST_MAIN(TestDeviceInfoUI)
#include "test_deviceinfoui.moc"
