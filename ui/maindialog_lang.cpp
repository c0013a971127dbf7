// The language menu behind the title bar's menu button and the switch between
// the Chinese interface and its English translation.
#include "maindialog.h"
#include "uilog.h"
#include "maindialogui.h"
#include "setting.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPixmap>
#include <QTranslator>

namespace {

const char *const EnglishFile = ":/Language/lib_en.qm";

} // namespace

void MainDialog::on_btnMenu_Menu_clicked()
{
    // Built anew on each click, so its entries follow the current language.
    QMenu menu(ui->btnMenu_Menu);
    menu.setObjectName(QStringLiteral("languageMenu"));
    QAction *chinese = menu.addAction(
        QIcon(QPixmap(QStringLiteral(":/sys/rs/rs/cn_en.png"))
                  .scaled(100, 100, Qt::KeepAspectRatio, Qt::SmoothTransformation)),
        tr("简体中文"));
    QAction *english = menu.addAction(tr("English"));
    connect(chinese, &QAction::triggered, this, &MainDialog::onS_Act1Clicked_Slot);
    connect(english, &QAction::triggered, this, &MainDialog::onS_Act2Clicked_Slot);
    // The menu opens at the pointer, not under the button, so the button
    // itself carries no menu (it would pop up a second one) and no arrow.
    ui->btnMenu_Menu->setStyleSheet(QStringLiteral("QPushButton::menu-indicator{image:none}"));
    menu.exec(QCursor::pos());
}

void MainDialog::onS_Act1Clicked_Slot()
{
    switchLanguage(false);
    Setting().write(QStringLiteral("language"), QStringLiteral("Chinese"));
}

void MainDialog::onS_Act2Clicked_Slot()
{
    switchLanguage(true);
    Setting().write(QStringLiteral("language"), QStringLiteral("English"));
}

void MainDialog::switchLanguage(bool english)
{
    // The translator holds the English only while it is installed, so it
    // tells which language is on screen even when the settings file could
    // not be written or was changed behind the program's back.
    const bool shown = !m_translator->isEmpty();
    if (shown == english)
        return;
    if (english) {
        if (!m_translator->load(QString::fromLatin1(EnglishFile)))
            return; // no translation: the texts stay Chinese
        QCoreApplication::installTranslator(m_translator);
    } else {
        QCoreApplication::removeTranslator(m_translator);
        m_translator->load(QString()); // empties it
    }
    // Widgets that retranslate themselves (device entries, the axis range
    // panel) do so now, before the window puts its own state back on them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    retranslate();

    // The first device entry went back to its default texts; show its link
    // state again.
    const QVector<DeviceList::Pair> &pairs = m_devices.pairs();
    if (!pairs.isEmpty() && pairs.first().entry) {
        DeviceInfoUI *first = pairs.first().entry;
        const quint8 state = first->state();
        if (state == EntryState::Error || state == EntryState::Connected)
            first->setState(state);
    }
}

void MainDialog::changeEvent(QEvent *event)
{
    // The language actions retranslate the window themselves.
    if (event->type() == QEvent::LanguageChange)
        qCDebug(lcUi) << "语言改变了";
    QDialog::changeEvent(event);
}
