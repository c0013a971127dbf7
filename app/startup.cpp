#include "startup.h"

#include <QApplication>
#include <QFile>
#include <QFont>
#include <QPalette>
#include <QTextCodec>

namespace Startup {

bool applyStyleSheet(QApplication &app, const QString &path)
{
    QFile file(path);
    if (!file.open(QFile::ReadOnly))
        return false;
    QByteArray bytes = file.readAll();
    const int zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    const QString qss = QString::fromLatin1(bytes);
    // The sheet's first rule carries the window colour at a fixed place.
    const QString paletteColor = qss.mid(20, 7);
    app.setPalette(QPalette(QColor(paletteColor)));
    app.setStyleSheet(qss);
    file.close();
    return true;
}

void applyLook(QApplication &app)
{
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("utf-8"));
    applyStyleSheet(app);
    // The family the interface asks for is a Windows font; elsewhere point it
    // at an installed CJK font so Chinese renders instead of boxes.
    QFont::insertSubstitutions(QStringLiteral("Microsoft Yahei"),
                               {QStringLiteral("WenQuanYi Micro Hei"),
                                QStringLiteral("Noto Sans CJK SC"),
                                QStringLiteral("Source Han Sans SC")});
    app.setFont(QFont(QStringLiteral("Microsoft Yahei"), 9));
}

} // namespace Startup
