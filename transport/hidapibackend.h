#pragma once

#include "hidbackend.h"

namespace hid {

// Real instruments through hidapi (the hidraw implementation on Linux, which
// lets two handles read one device, each getting every input report).
std::unique_ptr<Backend> makeHidapiBackend();

} // namespace hid
