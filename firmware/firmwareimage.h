#pragma once

#include <QByteArray>
#include <QString>

// Loading a firmware image from a .bin file. The content is opaque: only its
// size is checked. The window shows the dialog and the message boxes and
// stores `path` under the settings key `file_path` on success; this class
// decides what is accepted.
class FirmwareImage
{
public:
    static constexpr qint64 MaxFirmwareSize = 1024000;
    static constexpr const char *SettingsKey = "file_path";

    // NotRegular: a named pipe, directory or device; refused without opening it.
    enum class Status { Ok, OpenFailed, TooLarge, Empty, NotRegular };

    struct LoadResult
    {
        Status status = Status::OpenFailed;
        QString path;    // the full path, to show and to store under `file_path`
        QByteArray data; // the whole image, only when status is Ok
        bool ok() const { return status == Status::Ok; }
    };

    // Checks the file's size (too large before empty) and reads it whole.
    static LoadResult load(const QString &path, qint64 maxSize = MaxFirmwareSize);
};
