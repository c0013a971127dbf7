// The chart title on the readings page: edited through an input dialog.
#include "maindialog.h"

#include <QInputDialog>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

class TestTitle : public QObject
{
    Q_OBJECT

private:
    // Answers the next input dialog with `text`, or cancels it.
    void answer(const QString &text, bool accept)
    {
        QTimer::singleShot(0, this, [this, text, accept] {
            auto *dlg = qobject_cast<QInputDialog *>(QApplication::activeModalWidget());
            if (!dlg) {
                seen = false;
                return;
            }
            seen = true;
            windowTitle = dlg->windowTitle();
            label = dlg->labelText();
            preset = dlg->textValue();
            dlg->setTextValue(text);
            accept ? dlg->accept() : dlg->reject();
        });
    }

    bool seen = false;
    QString windowTitle, label, preset;

private slots:
    void okSetsTheTextEvenWhenEmpty()
    {
        MainDialog dialog;
        auto *title = dialog.findChild<QPushButton *>("disp_btn_title");
        QCOMPARE(title->text(), QStringLiteral("Simple Real-Time Chart"));
        QCOMPARE(title->toolTip(), QStringLiteral("单击修改标题"));

        answer(QStringLiteral("Battery 18650 #2"), true);
        title->click();
        QVERIFY(seen);
        QCOMPARE(windowTitle, QStringLiteral("标题变更对话框"));
        QCOMPARE(label, QStringLiteral("请输入标题:"));
        QCOMPARE(preset, QStringLiteral("Simple Real-Time Chart"));
        QCOMPARE(title->text(), QStringLiteral("Battery 18650 #2"));

        answer(QString(), true);
        title->click();
        QCOMPARE(preset, QStringLiteral("Battery 18650 #2"));
        QCOMPARE(title->text(), QString());
        QVERIFY(title->isEnabled());

        // An empty title stays clickable.
        answer(QStringLiteral("again"), true);
        title->click();
        QCOMPARE(title->text(), QStringLiteral("again"));
    }

    void cancelKeepsTheOldTitle()
    {
        MainDialog dialog;
        auto *title = dialog.findChild<QPushButton *>("disp_btn_title");
        answer(QStringLiteral("kept?"), true);
        title->click();
        answer(QStringLiteral("discarded"), false);
        title->click();
        QVERIFY(seen);
        QCOMPARE(title->text(), QStringLiteral("kept?"));
    }

    void retranslationRestoresTheDefaultTitle()
    {
        MainDialog dialog;
        auto *title = dialog.findChild<QPushButton *>("disp_btn_title");
        answer(QStringLiteral("mine"), true);
        title->click();
        dialog.retranslate();
        QCOMPARE(title->text(), QStringLiteral("Simple Real-Time Chart"));
    }
};

QTEST_MAIN(TestTitle)
#include "test_title.moc"
