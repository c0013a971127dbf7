#include "valueedit.h"

#include <QCoreApplication>
#include <QCursor>
#include <QLineEdit>
#include <QMessageBox>
#include <cmath>

namespace ValueEdit {

bool parse(Kind kind, const QString &text, double *value)
{
    bool ok = false;
    if (kind == Kind::Float) {
        const float v = text.toFloat(&ok);
        // "nan" and "inf" read as numbers; the instrument must never get one.
        if (!ok || !std::isfinite(v))
            return false;
        *value = double(v);
        return true;
    }
    const int v = text.toInt(&ok, 10);
    if (!ok)
        return false;
    *value = v;
    return true;
}

bool commit(QWidget *window, QLineEdit *edit, Kind kind, const std::function<bool(double)> &send)
{
    bool sent = false;
    if (edit->hasFocus()) {
        double value = 0;
        if (!parse(kind, edit->text(), &value))
            showIllegalText(window);
        else
            sent = send(value);
    }
    edit->clearFocus();
    return sent;
}

bool commitFloat(QWidget *window, QLineEdit *edit, const std::function<bool(float)> &send)
{
    return commit(window, edit, Kind::Float, [&send](double v) { return send(float(v)); });
}

bool commitTime(QWidget *window, QLineEdit *edit, const std::function<bool(int)> &send)
{
    // Minutes are parsed as hours are: a base-10 integer.
    return commit(window, edit, Kind::Hours, [&send](double v) { return send(int(v)); });
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
