#pragma once

#include <QByteArray>
#include <QString>

// A CSV file that only grows by whole lines. Each append() is one write() of
// whole lines (a short write is finished by further writes), so a reader or
// a killed program never sees half a row; when the disk fills, the file is cut
// back to the end of the last whole row written, and the error names the
// system's reason ("No space left on device"). Line ends are '\n' or "\r\n".
class CsvAppendFile
{
public:
    CsvAppendFile() = default;
    ~CsvAppendFile();
    CsvAppendFile(const CsvAppendFile &) = delete;
    CsvAppendFile &operator=(const CsvAppendFile &) = delete;

    // Opens for appending, creating a missing file empty.
    bool open(const QString &fileName);
    bool isOpen() const { return m_fd >= 0; }
    // Nothing in the file yet: it wants its banner and header first.
    bool isEmpty() const { return m_size == 0; }
    // The file's last line has no line end (another program wrote it, or a
    // write was cut short before this class kept the file): new rows must
    // start on a line of their own.
    bool endsMidLine() const { return m_endsMidLine; }

    // Appends `lines`, which ends with a line end. Bytes from `rowsFrom` on are
    // whole rows; the bytes before them (banner, header, a line end that
    // closes a foreign last line) are kept only together with a row. On
    // failure the file ends after the last whole row that was written, or
    // as it was before the call.
    bool append(const QByteArray &lines, int rowsFrom = 0);
    // Flushes the file to the disk.
    bool sync();
    bool close();

    QString errorString() const { return m_error; }

private:
    bool fail(int error);

    int m_fd = -1;
    bool m_regular = false;
    bool m_endsMidLine = false;
    qint64 m_size = 0;
    QString m_error;
};
