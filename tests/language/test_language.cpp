// The language menu's switch between Chinese and English: what the window
// shows, what lands in usb-hid.ini, what the next start shows, and that the
// English translation is complete.
#include "cdpoptips.h"
#include "customcoordinates.h"
#include "maindialog.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QToolButton>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

// usb-hid.ini in the working directory, a fresh one for every test.
QByteArray ini()
{
    QFile f(QStringLiteral("usb-hid.ini"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
void writeIni(const QByteArray &text)
{
    QFile f(QStringLiteral("usb-hid.ini"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

template <class T> T *child(const QObject &parent, const QString &name)
{
    T *w = parent.findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}
QString labelText(const QObject &d, const char *name)
{
    return child<QLabel>(d, QLatin1String(name))->text();
}
// The language menu's two entries.
void choose(MainDialog &d, bool english)
{
    QVERIFY(
        QMetaObject::invokeMethod(&d, english ? "onS_Act2Clicked_Slot" : "onS_Act1Clicked_Slot"));
}

const QString TipsEn = QStringLiteral("Please connect the HID to the computer!");
const QStringList loadZh = {"固件升级",   "仪表参数设置",    "恒电流模式", "恒电压模式",
                            "恒电阻模式", "恒功率模式",      "测内阻",     "测电源",
                            "测线组",     "充放充",          "充放充放充", "充放电循环测试",
                            "测试程序",   "更多功能等待开发"};
const QStringList loadEn = {
    "Firmware update",     "Setting",        "Constant Current",    "Constant Voltage",
    "Constant Resistance", "Constant Power", "Internal_Res_Tester", "Power Tester",
    "Cable Tester",        "CDC Mode",       "CDCDC Mode",          "CDxn Tester",
    "Test program",        "Developing"};
const QStringList testerZh = {"固件升级", "仪表参数设置", "数据图表展示", "更多功能等待开发"};
const QStringList testerEn = {"Firmware update", "Setting", "Chart Display", "Developing"};

// Both home menus read `load` and `tester`; with `navigate`, every button opens its page.
void checkMenus(MainDialog &d, const QStringList &load, const QStringList &tester,
                bool navigate = false)
{
    const int U = MainDialog::PageUpgrade, S = MainDialog::PageSettings, D = MainDialog::PageDisp,
              X = MainDialog::PageSix, P = MainDialog::PageProgram;
    const QList<int> loadPages = {U, S, D, D, D, D, X, X, X, D, D, X, P, X};
    const QList<int> testerPages = {U, MainDialog::PageRx41Settings, D, X};
    for (int cls : {1, 4}) {
        const QStringList &texts = cls == 1 ? load : tester;
        d.setDeviceClass(quint8(cls));
        for (int i = 0; i < texts.size(); ++i) {
            auto *b =
                child<QToolButton>(d, (cls == 1 ? "tbtn" : "RX41_tbtn") + QString::number(i + 1));
            QCOMPARE(b->text(), texts[i]);
            if (!navigate)
                continue;
            d.setCurrentPage(cls == 1 ? MainDialog::PageHome : MainDialog::PageRx41Home);
            b->click();
            QCOMPARE(d.currentPage(), (cls == 1 ? loadPages : testerPages)[i]);
        }
    }
    if (navigate) {
        QCOMPARE(labelText(d, "six_labTitle"), tester[3]);
        QCOMPARE(labelText(d, "disp_labTitle"), tester[2]);
    }
}

bool hasChinese(const QString &text)
{
    static const QRegularExpression cjk(
        QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return cjk.match(text).hasMatch();
}
// The one text that reads the same in both languages: the language's name.
const QStringList keptChinese = {"简体中文"};

// Chinese in any text a person can read on any widget of the application.
QStringList chineseOnScreen()
{
    QStringList found;
    for (QWidget *w : QApplication::allWidgets()) {
        QStringList t = {w->toolTip(), w->statusTip(),
                         w->isWindow() ? w->windowTitle() : QString()};
        if (auto *l = qobject_cast<QLabel *>(w))
            t << l->text();
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            t << b->text();
        if (auto *g = qobject_cast<QGroupBox *>(w))
            t << g->title();
        if (auto *e = qobject_cast<QLineEdit *>(w))
            t << e->text() << e->placeholderText();
        if (auto *e = qobject_cast<QTextEdit *>(w))
            t << e->toPlainText();
        if (auto *c = qobject_cast<QComboBox *>(w))
            for (int i = 0; i < c->count(); ++i)
                t << c->itemText(i);
        if (auto *view = qobject_cast<QAbstractItemView *>(w); view && view->model()) {
            const QAbstractItemModel *m = view->model();
            for (int c = 0; c < m->columnCount(); ++c) {
                t << m->headerData(c, Qt::Horizontal).toString();
                for (int r = 0; r < m->rowCount(); ++r)
                    t << m->index(r, c).data().toString();
            }
        }
        for (QAction *a : w->actions())
            t << a->text() << a->toolTip();
        for (const QString &text : t)
            if (hasChinese(text) && !keptChinese.contains(text))
                found << QStringLiteral("%1 (%2): %3")
                             .arg(w->objectName(), w->metaObject()->className(), text);
    }
    return found;
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;

private slots:
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(dir->path());
    }

    void chineseFirstThenEnglishAtOnceAndAtTheNextStart()
    {
        {
            InstrumentSession dSession;
            MainDialog d(dSession);
            QCOMPARE(labelText(d, "Tips_label"),
                     QStringLiteral("请使用数据线将设备的HID口与电脑相连接！"));
            checkMenus(d, loadZh, testerZh);
            // Qt's own dialogs speak the program's language too.
            const auto qtLookIn = [] {
                return QCoreApplication::translate("QFileDialog", "Look in:");
            };
            QCOMPARE(qtLookIn(), QStringLiteral("查找范围："));
            QVERIFY(!ini().contains("anguage="));
            choose(d, true);
            QCOMPARE(labelText(d, "Tips_label"), TipsEn);
            QCOMPARE(qtLookIn(), QStringLiteral("Look in:"));
            choose(d, false);
            QCOMPARE(qtLookIn(), QStringLiteral("查找范围："));
            choose(d, true);
            QVERIFY(ini().contains("language=English"));
        }
        InstrumentSession nextSession;
        MainDialog next(nextSession);
        QCOMPARE(labelText(next, "Tips_label"), TipsEn);
        checkMenus(next, loadEn, testerEn);
        // Choosing the active language again changes nothing on screen (a
        // retranslation would put the default chart title back) but is written.
        auto *title = child<QPushButton>(next, "disp_btn_title");
        title->setText(QStringLiteral("run 8"));
        QFile::remove(QStringLiteral("usb-hid.ini"));
        choose(next, true);
        QCOMPARE(title->text(), QStringLiteral("run 8"));
        QVERIFY(ini().contains("language=English"));
    }

    void lowerCaseEnglishMeansChinese()
    {
        writeIni("[General]\nlanguage=english\n");
        InstrumentSession dSession;
        MainDialog d(dSession);
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("主页"));
        // Choosing English is a real switch, not "already active".
        choose(d, true);
        QCOMPARE(labelText(d, "main_label_tip"), QStringLiteral("Main"));
    }

    void rangePanelRefillsItsVoltageMinimum()
    {
        writeIni("[General]\nVbus_Min_Value=12.50\nVbus_Max_Value=13.25\nVbusIsOpen=1\n");
        InstrumentSession dSession;
        MainDialog d(dSession);
        auto *panel = child<customcoordinates>(d, QString());
        choose(d, true);
        QCOMPARE(child<QLineEdit>(*panel, "edit_VBUS_Min")->text(), QStringLiteral("12.50"));
        QCOMPARE(child<QPushButton>(*panel, "btn_VBUS")->text(), QStringLiteral("Enable"));
    }

    void noChineseInEnglishMenusStillNavigate()
    {
        writeIni("[General]\nlanguage=English\n");
        InstrumentSession dSession;
        MainDialog d(dSession);
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.setDeviceClass(1);
        d.setCurrentPage(MainDialog::PageDisp);
        QVERIFY(QMetaObject::invokeMethod(&d, "on_disp_btn_RangCustom_clicked"));
        d.onAct3Clicked_Slot(); // the curve panel
        d.popTips()->show();
        QStringList found = chineseOnScreen();
        QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
        // Across both switches the menus are retranslated and every button
        // opens its page, titled in the language chosen.
        choose(d, false);
        QVERIFY(!chineseOnScreen().isEmpty());
        checkMenus(d, loadZh, testerZh, true);
        choose(d, true);
        checkMenus(d, loadEn, testerEn, true);
        found = chineseOnScreen();
        QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
    }

    void everyTsEntryIsFinished()
    {
        QFile ts(QStringLiteral(LIB_EN_TS));
        QVERIFY(ts.open(QIODevice::ReadOnly));
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/Language/lib_en.qm")));
        QXmlStreamReader xml(&ts);
        QString context, source;
        QStringList bad;
        int count = 0;
        while (!xml.atEnd()) {
            if (xml.readNext() != QXmlStreamReader::StartElement)
                continue;
            if (xml.name() == QLatin1String("name"))
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("source"))
                source = xml.readElementText();
            else if (xml.name() == QLatin1String("translation")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                xml.readElementText();
                if (type == QLatin1String("vanished") || type == QLatin1String("obsolete"))
                    continue;
                ++count;
                const QString compiled =
                    english.translate(context.toUtf8().constData(), source.toUtf8().constData());
                if (!type.isEmpty() || compiled.isEmpty())
                    bad << QStringLiteral("%1: %2 is unfinished").arg(context, source);
                else if (hasChinese(compiled) &&
                         !(keptChinese.contains(compiled) && compiled == source))
                    bad << QStringLiteral("%1: %2 -> %3").arg(context, source, compiled);
            }
        }
        QVERIFY(count > 250);
        QVERIFY2(bad.isEmpty(), qPrintable(bad.join('\n')));
    }
};

QTEST_MAIN(TestLanguage)
#include "test_language.moc"
