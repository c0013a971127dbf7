#pragma once

#include <QObject>
#include <QString>

// The one INI file of persistent settings, usb-hid.ini in the working
// directory. Each call opens and closes the file, so a value written anywhere
// is seen at once by the next read. Keys compare without regard to case on
// every platform, as the instrument's original platform does. Nothing is
// saved through a symbolic link at the file's name.
class Setting : public QObject
{
    Q_OBJECT
public:
    explicit Setting(QObject *parent = nullptr);

    void write(const QString &key, const QString &value);
    QString read(const QString &key);

    // Path of the file the calls use: the current working directory's usb-hid.ini.
    static QString filePath();
};
