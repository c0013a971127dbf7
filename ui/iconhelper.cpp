#include "iconhelper.h"

#include "uilog.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPointer>

IconHelper *IconHelper::Instance()
{
    // Guarded so a test that makes a second application object gets a fresh helper.
    static QPointer<IconHelper> instance;
    if (!instance)
        instance = new IconHelper(QCoreApplication::instance());
    return instance;
}

IconHelper::IconHelper(QObject *parent) : QObject(parent)
{
    const QString family = loadFontFamily(QString::fromLatin1(FontPath));
    if (!family.isEmpty())
        m_iconFont = QFont(family);
}

QString IconHelper::loadFontFamily(const QString &path)
{
    const int id = QFontDatabase::addApplicationFont(path);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    if (families.isEmpty()) {
        qCWarning(lcUi) << "load fontawesome-webfont.ttf error";
        return QString();
    }
    return families.first();
}

void IconHelper::setIcon(QAbstractButton *button, QChar glyph, int size)
{
    QFont font = m_iconFont;
    font.setPointSize(size);
    button->setFont(font);
    button->setText(glyph);
}

void IconHelper::setIcon(QLabel *label, QChar glyph, int size)
{
    QFont font = m_iconFont;
    font.setPointSize(size);
    label->setFont(font);
    label->setText(glyph);
}

QPixmap IconHelper::getPixmap(const QString &color, QChar glyph, int size, int width,
                              int height) const
{
    QPixmap pix(width, height);
    pix.fill(Qt::transparent);
    QPainter painter(&pix);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setPen(QColor(color));
    painter.setBrush(QColor(color));
    QFont font = m_iconFont;
    font.setPointSize(size);
    painter.setFont(font);
    painter.drawText(pix.rect(), Qt::AlignCenter, QString(glyph));
    painter.end();
    return pix;
}
