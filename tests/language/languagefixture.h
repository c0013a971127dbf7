#pragma once

#include "maindialog.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMetaObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

// usb-hid.ini lives in the working directory: every test runs in a fresh one.
class IniDir
{
public:
    IniDir() : m_old(QDir::currentPath()) { QDir::setCurrent(m_dir.path()); }
    ~IniDir() { QDir::setCurrent(m_old); }
    IniDir(const IniDir &) = delete;
    IniDir &operator=(const IniDir &) = delete;

    QString iniPath() const { return m_dir.filePath(QStringLiteral("usb-hid.ini")); }
    QByteArray iniText() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeIni(const QByteArray &text) const
    {
        QFile f(iniPath());
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(text);
    }

private:
    QTemporaryDir m_dir;
    QString m_old;
};

template <class T> T *child(const QObject &parent, const QString &name)
{
    T *w = parent.findChild<T *>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

inline QString labelText(const MainDialog &d, const char *name)
{
    return child<QLabel>(d, QLatin1String(name))->text();
}

// The two language actions, as the menu would run them.
inline void chooseChinese(MainDialog &d)
{
    QVERIFY(QMetaObject::invokeMethod(&d, "onS_Act1Clicked_Slot"));
}
inline void chooseEnglish(MainDialog &d)
{
    QVERIFY(QMetaObject::invokeMethod(&d, "onS_Act2Clicked_Slot"));
}

// Han characters and the CJK punctuation and full-width forms that go with them.
inline bool hasChinese(const QString &text)
{
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}"
                                                       "\\x{FF00}-\\x{FFEF}]"));
    return cjk.match(text).hasMatch();
}
