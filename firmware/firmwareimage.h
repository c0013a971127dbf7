#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

// Loading a firmware image from a .bin file. The content is opaque: only its
// size is checked. The window shows the dialog and the message boxes and
// stores `path` under the settings key `file_path` on success; this class
// decides what is accepted and with which texts.
class FirmwareImage
{
    Q_DECLARE_TR_FUNCTIONS(FirmwareImage)

public:
    static constexpr qint64 maxFirmwareSize = 1024000;
    static constexpr const char *settingsKey = "file_path";

    // NotRegular: a named pipe, directory or device; refused without opening it.
    enum class Status { Ok, OpenFailed, TooLarge, Empty, NotRegular };

    struct LoadResult
    {
        Status status = Status::OpenFailed;
        QString path;     // the full path, to show and to store under `file_path`
        QByteArray data;  // the whole image, only when status is Ok
        QString sizeText; // the size label, only when status is Ok
        // On failure: the warning box to show and the line to log.
        QString boxTitle;
        QString boxText;
        QString logLine;
        bool ok() const { return status == Status::Ok; }
    };

    // Checks the file's size (too large before empty) and reads it whole.
    static LoadResult load(const QString &path, qint64 maxSize = maxFirmwareSize);

    // 固件大小:1024字节 up to 1024 bytes; 固件大小:1.0KB   1025字节 above.
    static QString sizeLabel(qint64 size);

    // Texts of the open-file step, in the order the window uses them.
    static QString openingLogLine();  // "打开文件..."
    static QString dialogCaption();   // "打开固件文件"
    static QString dialogFilter();    // "BIN文件(*.bin)"
    static QString startButtonText(); // "开始下载", left untranslated here
    static QString loadedLogLine();   // "读取文件完成..."
};
