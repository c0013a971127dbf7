#pragma once

#include <QString>
#include <functional>

// The settings file lives in a layer above; its owner hands the transport
// these two calls (an empty pair leaves the file alone).
struct SettingsAccess
{
    std::function<QString(const QString &key)> read;
    std::function<void(const QString &key, const QString &value)> write;

    bool isValid() const { return bool(read) && bool(write); }
};
