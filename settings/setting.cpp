#include "setting.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSettings>

namespace {

Q_LOGGING_CATEGORY(lcSettings, "usbtester.settings")

// Qt's INI backend is case-sensitive outside Windows; find the stored
// spelling of a key so that "language" and "Language" are one entry.
QString storedSpelling(const QSettings &s, const QString &key)
{
    if (s.contains(key))
        return key;
    const QStringList keys = s.allKeys();
    for (const QString &k : keys) {
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return k;
    }
    return QString();
}

} // namespace

Setting::Setting(QObject *parent) : QObject(parent) {}

QString Setting::filePath()
{
    return QDir::currentPath() + QStringLiteral("/usb-hid.ini");
}

void Setting::write(const QString &key, const QString &value)
{
    // Saving goes to the file a link points at. The file lives in the working
    // directory, which may be shared: a link planted there must not make the
    // program overwrite somebody's file with its settings.
    if (QFileInfo(filePath()).isSymLink()) {
        qCWarning(lcSettings) << "not saving" << key << "through the symbolic link" << filePath();
        return;
    }
    QSettings s(filePath(), QSettings::IniFormat);
    const QString existing = storedSpelling(s, key);
    s.setValue(existing.isEmpty() ? key : existing, value);
    s.sync();
}

QString Setting::read(const QString &key)
{
    QSettings s(filePath(), QSettings::IniFormat);
    const QString existing = storedSpelling(s, key);
    if (existing.isEmpty())
        return QString();
    const QVariant v = s.value(existing);
    // A stored text with commas reads back as a list; keep it one text.
    if (v.type() == QVariant::StringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}
