#include "safememory.h"

// The fault handler these serve is the Linux one.
#if defined(__linux__)

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace SafeMemory {

namespace {
std::atomic<bool> vmReadRefused{false};
int probePipe[2] = {-1, -1};

bool readByVm(void *dst, uintptr_t src, size_t n)
{
    struct iovec local = {dst, n};
    struct iovec remote = {reinterpret_cast<void *>(src), n};
    const ssize_t got = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    if (got == ssize_t(n))
        return true;
    if (got < 0 && (errno == ENOSYS || errno == EPERM))
        vmReadRefused.store(true);
    return false;
}

// write() reports EFAULT for an unreadable source instead of faulting; what
// went in is read back out, so the pipe stays empty between calls.
bool readByPipe(void *dst, uintptr_t src, size_t n)
{
    if (probePipe[0] < 0)
        return false;
    auto *out = static_cast<char *>(dst);
    while (n > 0) {
        const size_t chunk = n > 4096 ? 4096 : n;
        const ssize_t put = write(probePipe[1], reinterpret_cast<const void *>(src), chunk);
        if (put <= 0)
            return false;
        ssize_t took = 0;
        while (took < put) {
            const ssize_t r = ::read(probePipe[0], out + took, size_t(put - took));
            if (r <= 0)
                return false;
            took += r;
        }
        out += put;
        src += uintptr_t(put);
        n -= size_t(put);
    }
    return true;
}
} // namespace

void init()
{
    if (probePipe[0] < 0 && pipe2(probePipe, O_CLOEXEC | O_NONBLOCK) != 0)
        probePipe[0] = probePipe[1] = -1;
}

bool read(void *dst, uintptr_t src, size_t n)
{
    if (n == 0)
        return true;
    if (src == 0 || src + n < src)
        return false;
    const int savedErrno = errno;
    bool ok;
    if (!vmReadRefused.load(std::memory_order_relaxed)) {
        ok = readByVm(dst, src, n);
        if (!ok && vmReadRefused.load(std::memory_order_relaxed))
            ok = readByPipe(dst, src, n);
    } else {
        ok = readByPipe(dst, src, n);
    }
    errno = savedErrno;
    return ok;
}

bool readWord(uintptr_t src, uintptr_t *out)
{
    return read(out, src, sizeof *out);
}

} // namespace SafeMemory

#endif
