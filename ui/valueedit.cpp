#include "valueedit.h"

#include "commandframe.h"
#include "maindialog.h"

#include <QCoreApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMessageBox>
#include <cmath>

namespace ValueEdit {

QByteArray frame(quint8 address, quint8 code, Kind kind, const QString &text)
{
    bool ok = false;
    if (kind == Kind::Float) {
        const float value = text.toFloat(&ok);
        // "nan" and "inf" read as numbers; the instrument must never get one.
        if (!ok || !std::isfinite(value))
            return QByteArray();
        return CommandFrame::withFloat(address, code, value);
    }
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return QByteArray();
    return CommandFrame::withTime(
        address, value, kind == Kind::Hours ? CommandFrame::Hours : CommandFrame::Minutes);
}

bool commit(MainDialog &window, QLineEdit *edit, quint8 code, Kind kind)
{
    bool sent = false;
    if (edit->hasFocus()) {
        const QByteArray f = frame(window.busAddress(), code, kind, edit->text());
        if (f.isEmpty())
            showIllegalText(&window);
        else
            sent = window.sendFrame(f);
    }
    edit->clearFocus();
    return sent;
}

QString illegalTextTitle()
{
    return QCoreApplication::translate("MainDialog", "提示");
}

QString illegalTextMessage()
{
    return QCoreApplication::translate("MainDialog",
                                       "<font color='red'>文本框含有非法字符，请重新输入！</font>");
}

void showIllegalText(QWidget *parent)
{
    QMessageBox::information(parent, illegalTextTitle(), illegalTextMessage(), QMessageBox::Ok);
}

bool pointerOver(const QWidget *w)
{
    if (!w || !w->isVisible())
        return false;
    const QWidget *parent = w->parentWidget();
    const QPoint p = parent ? parent->mapFromGlobal(QCursor::pos()) : QCursor::pos();
    return w->geometry().contains(p);
}

} // namespace ValueEdit
