// The switch between the Chinese interface and its English translation, as
// the title bar's language menu chooses it.
#include "maindialog.h"
#include "setting.h"
#include "uilog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

const char *const EnglishFile = ":/Language/lib_en.qm";

} // namespace

void MainDialog::applyQtTranslation(bool english)
{
    // Qt's own dialogs (file, colour, message box buttons) speak English by
    // themselves; in Chinese they take Qt's Chinese translation, where the
    // system has it (Debian's qttranslations5-l10n).
    if (english) {
        QCoreApplication::removeTranslator(m_qtTranslator);
        return;
    }
    if (m_qtTranslator->isEmpty() &&
        !m_qtTranslator->load(QStringLiteral("qtbase_zh_CN"),
                              QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        return;
    QCoreApplication::installTranslator(m_qtTranslator);
}

void MainDialog::loadLanguage()
{
    const bool english = Setting().read(QStringLiteral("Language")) == QLatin1String("English");
    if (english) {
        if (m_translator->load(QString::fromLatin1(EnglishFile)))
            QCoreApplication::installTranslator(m_translator);
    } else {
        QCoreApplication::removeTranslator(m_translator);
    }
    applyQtTranslation(english && !m_translator->isEmpty());
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
    applyQtTranslation(english);
    // Widgets that retranslate themselves (device entries, the axis range
    // panel) do so now, before the window puts its own state back on them.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LanguageChange);
    retranslate();
}

void MainDialog::changeEvent(QEvent *event)
{
    // The language actions retranslate the window themselves.
    if (event->type() == QEvent::LanguageChange)
        qCDebug(lcUi) << "语言改变了";
    QDialog::changeEvent(event);
}
