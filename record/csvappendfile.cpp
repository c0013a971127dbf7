#include "csvappendfile.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

CsvAppendFile::~CsvAppendFile()
{
    close();
}

bool CsvAppendFile::fail(int error)
{
    m_error = QString::fromLocal8Bit(std::strerror(error));
    return false;
}

bool CsvAppendFile::open(const QString &fileName)
{
    close();
    m_error.clear();
    const QByteArray name = QFile::encodeName(fileName);
    // Read access only serves to look at the last byte; a write-only file is
    // taken as ending with its line end.
    m_fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0 && errno == EACCES)
        m_fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (m_fd < 0)
        return fail(errno);
    struct stat st;
    if (::fstat(m_fd, &st) != 0) {
        const int error = errno;
        close();
        return fail(error);
    }
    m_regular = S_ISREG(st.st_mode);
    m_size = m_regular ? qint64(st.st_size) : 0;
    char last = '\n';
    m_endsMidLine = m_size > 0 && ::pread(m_fd, &last, 1, off_t(m_size - 1)) == 1 && last != '\n';
    return true;
}

bool CsvAppendFile::append(const QByteArray &lines, int rowsFrom)
{
    if (m_fd < 0) {
        m_error = QStringLiteral("the file is not open");
        return false;
    }
    const char *data = lines.constData();
    const size_t total = size_t(lines.size());
    size_t written = 0;
    int error = 0;
    while (written < total) {
        const ssize_t n = ::write(m_fd, data + written, total - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? errno : EIO;
            break;
        }
        written += size_t(n);
    }
    if (written == total) {
        m_size += qint64(total);
        m_endsMidLine = false;
        return true;
    }

    // Keep the rows that made it whole; drop the torn one (and a head without rows).
    qint64 keep = 0;
    for (qint64 i = qint64(written) - 1; i >= rowsFrom; --i) {
        if (data[i] == '\n') {
            keep = i + 1;
            break;
        }
    }
    qint64 kept = qint64(written);
    if (m_regular && written > 0 && ::ftruncate(m_fd, off_t(m_size + keep)) == 0)
        kept = keep;
    m_size += kept;
    // Should the cut fail, the torn row stays and the next row starts a new line.
    if (kept > 0)
        m_endsMidLine = data[kept - 1] != '\n';
    return fail(error);
}

bool CsvAppendFile::sync()
{
    if (m_fd < 0)
        return false;
    // A pipe or a terminal has nothing to flush to a disk.
    if (::fsync(m_fd) != 0 && errno != EINVAL && errno != EROFS)
        return fail(errno);
    return true;
}

bool CsvAppendFile::close()
{
    if (m_fd < 0)
        return true;
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0 && errno != EINTR)
        return fail(errno);
    return true;
}
