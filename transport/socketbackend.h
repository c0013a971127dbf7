#pragma once

#include "hidbackend.h"

namespace hid {

// A virtual instrument served on a Unix-domain SOCK_SEQPACKET socket at `path`:
// one connection per open handle, an identity datagram (JSON) first, then one
// datagram per report in each direction.
std::unique_ptr<Backend> makeSocketBackend(const QString &path);

} // namespace hid
