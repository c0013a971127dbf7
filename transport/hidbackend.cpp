#include "hidbackend.h"

#include "hidapibackend.h"

#include <QMutex>

namespace hid {

namespace {
QMutex backendMutex;
std::unique_ptr<Backend> current;
} // namespace

Backend &backend()
{
    QMutexLocker lock(&backendMutex);
    if (!current)
        current = makeHidapiBackend();
    return *current;
}

void setBackend(std::unique_ptr<Backend> backend)
{
    QMutexLocker lock(&backendMutex);
    current = std::move(backend);
}

} // namespace hid
