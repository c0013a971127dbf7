#include "deviceinfoui.h"

#include <QLabel>
#include <QPushButton>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>

namespace {

QString text(QWidget *w, const char *name)
{
    return w->findChild<QLabel *>(QLatin1String(name))->text();
}
QString style(QWidget *w, const char *name)
{
    return w->findChild<QWidget *>(QLatin1String(name))->styleSheet();
}
QPushButton *tickButton(QWidget *w)
{
    return w->findChild<QPushButton *>(QStringLiteral("btn_Tick"));
}

} // namespace

class TestDeviceInfoUI : public QObject
{
    Q_OBJECT
private slots:
    // The states' words and colours; after a language change every entry shows the same
    // instrument in the new language: its own values stay, captions, index and state words follow.
    void statesAndLanguageChange()
    {
        DeviceInfoUI fresh, e;
        const QStringList words = {"空闲", "错误", "连接"};
        const QStringList colours = {"156, 156, 0", "68, 68, 68", "16, 157, 56"};
        for (int state : {2, 1, 0}) {
            e.setState(state);
            QCOMPARE(text(&e, "label_connect_type"), words[state]);
            QVERIFY(style(&e, "widget_background").contains(colours[state]));
        }
        e.setState(3);
        QCOMPARE(int(e.state()), 0);
        e.setModelText(QStringLiteral("KV37"));
        e.setVersionText(QStringLiteral("V1.0.0"));
        e.setSerialText(QStringLiteral("4B5633"));
        e.setIndex(true, 1);
        e.setState(2);
        e.tick();

        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/Language/lib_en.qm")));
        QVERIFY(QCoreApplication::installTranslator(&english));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        const auto shown = [](DeviceInfoUI *entry) {
            return QStringList{
                text(entry, "label_model"),         text(entry, "label_model_value"),
                text(entry, "label_version_value"), text(entry, "label_serial_value"),
                text(entry, "label_index_value"),   text(entry, "label_connect_type"),
                tickButton(entry)->toolTip()}
                .join('|');
        };
        QCOMPARE(shown(&e),
                 QStringLiteral("Model|KV37|V1.0.0|4B5633|M:1|Connect|Clickto remove device"));
        QCOMPARE(shown(&fresh),
                 QStringLiteral("Model|Simulator|[none]|[none]||none|Click to add device"));
        QVERIFY(e.isTicked() && style(&e, "btn_Tick").contains(QStringLiteral("img/Tick.png")));
        QCOMPARE(int(e.state()), 2);
        QVERIFY(style(&e, "widget_background").contains(colours[2]));
        e.setIndex(false, 2);
        QCOMPARE(text(&e, "label_index_value"), QStringLiteral("S:2"));
        QCoreApplication::removeTranslator(&english);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
        QCOMPARE(shown(&e), QStringLiteral("型号|KV37|V1.0.0|4B5633|从:2|连接|点击图标移出设备"));
        QCOMPARE(text(&fresh, "label_model_value"), QStringLiteral("模拟器"));
    }

    // Master and two slaves listed; ticking a slave selects it alone, unticking selects nobody.
    void tickingAndUnticking()
    {
        QTreeWidget tree;
        DeviceList list;
        DeviceListPlan plan{"KV37", "V1.0.0", "Maker", "ABC123", {}};
        plan.entries = {{0x01, true, 1, EntryState::Connected, true},
                        {0x03, false, 2, EntryState::Idle, false},
                        {0x05, false, 3, EntryState::Idle, false}};
        const QVector<DeviceInfoUI *> rows = list.populate(&tree, plan);
        QCOMPARE(list.title(), QStringLiteral(" | KV37 1"));
        const QStringList index = {"主:1", "从:2", "从:3"}, state = {"连接", "空闲", "空闲"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(text(rows[i], "label_index_value"), index[i]);
            QCOMPARE(text(rows[i], "label_connect_type"), state[i]);
            QCOMPARE(rows[i]->isTicked(), i == 0);
        }

        QTest::mouseClick(tickButton(rows[1]), Qt::LeftButton);
        DeviceList::Selection s = list.applyTick(rows[1]);
        QVERIFY(s.changed);
        QCOMPARE(int(s.busAddress), 3);
        QCOMPARE(s.title, QStringLiteral(" | KV37 3"));
        QVERIFY(!rows[0]->isTicked() && style(rows[0], "btn_Tick").contains("img/UnTick.png"));
        QCOMPARE(text(rows[0], "label_connect_type"), QStringLiteral("空闲"));
        QCOMPARE(text(rows[1], "label_connect_type"), QStringLiteral("连接"));
        QCOMPARE(tickButton(rows[1])->toolTip(), QStringLiteral("点击图标移出设备"));

        QTest::mouseClick(tickButton(rows[1]), Qt::LeftButton);
        s = list.applyTick(rows[1]);
        QCOMPARE(int(s.busAddress), 0);
        QCOMPARE(s.title, QStringLiteral(" | KV37 Null"));
        QCOMPARE(int(rows[1]->state()), 0);

        // A lost link leaves no entry looking selected.
        rows[0]->tick();
        list.markFirstLost();
        for (DeviceInfoUI *row : rows)
            QVERIFY(!row->isTicked() && style(row, "btn_Tick").contains("img/UnTick.png"));
        QCOMPARE(text(rows[0], "label_connect_type"), QStringLiteral("错误"));
    }
};

QTEST_MAIN(TestDeviceInfoUI)
#include "test_deviceinfoui.moc"
