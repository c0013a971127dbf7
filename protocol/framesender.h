#pragma once

#include <QByteArray>

namespace hid {
class Handle;
}

// Writes one command frame as a 64-byte output report (the frame, then zeros)
// on `handle`. Returns the write's result: bytes written, or -1 on failure or
// without a handle. Failures are only logged; commands are not retried.
int sendFrame(hid::Handle *handle, const QByteArray &frame);
