// The English translation is complete: every source text of the program has a
// finished English entry, and a window started in English shows no Chinese
// anywhere, save the few texts that stay Chinese in both languages.
#include "cdpoptips.h"
#include "languagefixture.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTabWidget>
#include <QTextEdit>
#include <QTimer>
#include <QTranslator>
#include <QTreeWidget>
#include <QXmlStreamReader>

namespace {

struct Message
{
    QString context, source, translation, type;
};

QList<Message> readTs(const QString &path)
{
    QList<Message> out;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QXmlStreamReader xml(&f);
    QString context;
    Message m;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            m = Message{context, {}, {}, {}};
        } else if (xml.name() == QLatin1String("source")) {
            m.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            m.type = xml.attributes().value(QLatin1String("type")).toString();
            m.translation = xml.readElementText();
            out.append(m);
        }
    }
    return out;
}

// Texts that read the same in both languages.
bool keptChinese(const QString &text)
{
    static const QSet<QString> kept = {
        // The language's own name in the language menu and on the power
        // tester's display-language button.
        QStringLiteral("简体中文"),
        // The link's send-error box.
        QStringLiteral("错误"),
        QStringLiteral("USB发送数据异常"),
    };
    return kept.contains(text);
}

// Every text a person can read on a widget: captions, tooltips, titles,
// placeholders, list entries and headers.
QStringList textsOf(QWidget *w)
{
    QStringList t = {w->toolTip(), w->statusTip(), w->whatsThis()};
    if (w->isWindow())
        t << w->windowTitle();
    if (auto *l = qobject_cast<QLabel *>(w))
        t << l->text();
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        t << b->text();
    if (auto *g = qobject_cast<QGroupBox *>(w))
        t << g->title();
    if (auto *e = qobject_cast<QLineEdit *>(w))
        t << e->text() << e->placeholderText();
    if (auto *c = qobject_cast<QComboBox *>(w))
        for (int i = 0; i < c->count(); ++i)
            t << c->itemText(i);
    if (auto *p = qobject_cast<QProgressBar *>(w))
        t << p->format();
    if (auto *e = qobject_cast<QTextEdit *>(w))
        t << e->toPlainText() << e->placeholderText();
    if (auto *e = qobject_cast<QPlainTextEdit *>(w))
        t << e->toPlainText() << e->placeholderText();
    if (auto *tab = qobject_cast<QTabWidget *>(w))
        for (int i = 0; i < tab->count(); ++i)
            t << tab->tabText(i) << tab->tabToolTip(i);
    if (auto *tree = qobject_cast<QTreeWidget *>(w))
        for (int i = 0; i < tree->columnCount(); ++i)
            t << tree->headerItem()->text(i);
    if (auto *view = qobject_cast<QAbstractItemView *>(w)) {
        if (QAbstractItemModel *m = view->model()) {
            for (int r = 0; r < m->rowCount(); ++r) {
                t << m->headerData(r, Qt::Vertical).toString();
                for (int c = 0; c < m->columnCount(); ++c)
                    t << m->index(r, c).data().toString();
            }
            for (int c = 0; c < m->columnCount(); ++c)
                t << m->headerData(c, Qt::Horizontal).toString();
        }
    }
    for (QAction *a : w->actions())
        t << a->text() << a->toolTip();
    return t;
}

QString describe(QWidget *w)
{
    QStringList path;
    for (QObject *o = w; o; o = o->parent())
        if (!o->objectName().isEmpty())
            path.prepend(o->objectName());
    return QStringLiteral("%1 (%2)").arg(path.join(QLatin1Char('/')),
                                         QLatin1String(w->metaObject()->className()));
}

// Chinese found on any widget of the application, one line per text.
QStringList chineseOnScreen()
{
    QStringList found;
    const QWidgetList widgets = QApplication::allWidgets();
    for (QWidget *w : widgets) {
        for (const QString &text : textsOf(w)) {
            if (hasChinese(text) && !keptChinese(text))
                found << QStringLiteral("%1: %2").arg(describe(w), text);
        }
    }
    found.sort();
    return found;
}

// Opens every panel and window the readings page offers, and reads the chart
// menu's entries while it is open.
void openEverything(MainDialog &d, QStringList &menuTexts, bool curvePanel = true)
{
    d.setDeviceClass(1);
    d.setCurrentPage(MainDialog::PageDisp);
    QVERIFY(QMetaObject::invokeMethod(&d, "on_disp_btn_RangCustom_clicked"));
    if (curvePanel)
        d.onAct3Clicked_Slot();
    d.popTips()->show();
    QTimer::singleShot(0, [&] {
        if (auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) {
            for (QAction *a : menu->actions())
                menuTexts << a->text();
            menu->close();
        }
    });
    QVERIFY(QMetaObject::invokeMethod(&d, "on_disp_btn_menu_clicked"));
}

} // namespace

class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    void everySourceTextHasAFinishedEnglishEntry()
    {
        const QList<Message> messages = readTs(QStringLiteral(LIB_EN_TS));
        QVERIFY(messages.size() > 250);
        QTranslator english;
        QVERIFY(english.load(QStringLiteral(":/Language/lib_en.qm")));
        QStringList bad;
        for (const Message &m : messages) {
            if (m.type == QLatin1String("vanished") || m.type == QLatin1String("obsolete"))
                continue;
            const QString compiled =
                english.translate(m.context.toUtf8().constData(), m.source.toUtf8().constData());
            if (!m.type.isEmpty() || compiled.isEmpty())
                bad << QStringLiteral("%1: %2 is unfinished").arg(m.context, m.source);
            else if (hasChinese(compiled) && !(keptChinese(compiled) && compiled == m.source))
                bad << QStringLiteral("%1: %2 -> %3").arg(m.context, m.source, compiled);
        }
        if (!bad.isEmpty())
            QFAIL(qPrintable(bad.join(QLatin1Char('\n'))));
    }

    void englishWindowShowsNoChinese()
    {
        IniDir dir;
        dir.writeIni("[General]\nlanguage=English\n");
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        // Visit every page the menus reach, so the titles they set are English too.
        for (int cls : {1, 4}) {
            d.setDeviceClass(cls);
            for (QToolButton *b : d.findChildren<QToolButton *>()) {
                if (!b->objectName().contains(QLatin1String("tbtn")))
                    continue;
                d.setCurrentPage(cls == 1 ? MainDialog::PageHome : MainDialog::PageRx41Home);
                b->click();
            }
        }
        const QStringList found = chineseOnScreen();
        if (!found.isEmpty())
            QFAIL(qPrintable(QStringLiteral("Chinese in English:\n") + found.join('\n')));
    }

    void dialogsInEnglish()
    {
        IniDir dir;
        dir.writeIni("[General]\nlanguage=English\n");
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QStringList menu;
        openEverything(d, menu);
        QCOMPARE(menu, QStringList({"Export data (.csv)", "Export image (.png)", "Curve Settings",
                                    "All Display", "Scroll display", "Developing..."}));
        QStringList boxes;
        d.setMessageBox([&](QWidget *, QMessageBox::Icon, const QString &title,
                            const QString &text) { boxes << title << text; });
        d.onAct1Clicked_Slot(); // nothing recorded yet: too little to export
        QCOMPARE(boxes, QStringList({"Prompt information",
                                     "<font color='red'>There is too little data, please record "
                                     "at least ten pieces of data.</font>"}));
        QString caption, filter;
        d.setOpenFileDialog([&](QWidget *, const QString &c, const QString &, const QString &f) {
            caption = c;
            filter = f;
            return QString();
        });
        d.setCurrentPage(MainDialog::PageUpgrade);
        QVERIFY(QMetaObject::invokeMethod(&d, "on_upgrade_pushButton_openfile_clicked"));
        QCOMPARE(caption, QStringLiteral("Open firmware file"));
        QCOMPARE(filter, QStringLiteral("BIN file (*.bin)"));
        const QStringList found = chineseOnScreen();
        if (!found.isEmpty())
            QFAIL(qPrintable(QStringLiteral("Chinese in English:\n") + found.join('\n')));
    }

    void switchingToEnglishLeavesNoChinese()
    {
        IniDir dir;
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QStringList menu;
        openEverything(d, menu, false);
        QCOMPARE(menu.value(0), QStringLiteral("导出数据(.csv)"));
        QVERIFY(!chineseOnScreen().isEmpty());
        chooseEnglish(d);
        const QStringList found = chineseOnScreen();
        if (!found.isEmpty())
            QFAIL(qPrintable(QStringLiteral("Chinese after the switch:\n") + found.join('\n')));
    }

    void curvePanelOpenDuringTheSwitch()
    {
        IniDir dir;
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        d.setCurrentPage(MainDialog::PageDisp);
        d.onAct3Clicked_Slot();
        chooseEnglish(d);
        QVERIFY(chineseOnScreen().isEmpty());
    }

    void titleDialogInEnglish()
    {
        IniDir dir;
        dir.writeIni("[General]\nlanguage=English\n");
        MainDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        QString title, label;
        QTimer::singleShot(0, [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *input = qobject_cast<QInputDialog *>(w)) {
                    title = input->windowTitle();
                    label = input->labelText();
                    input->reject();
                }
            }
        });
        child<QPushButton>(d, "disp_btn_title")->click();
        QCOMPARE(title, QStringLiteral("Title Change Dialog"));
        QCOMPARE(label, QStringLiteral("Please enter a title:"));
    }
};

QTEST_MAIN(TestTranslation)
#include "test_translation.moc"
