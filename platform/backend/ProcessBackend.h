#pragma once

#include "platform/backend/UsbBackend.h"

#include <memory>

namespace platform {

// The backend usbBackend() makes on its first use. Each platform library defines it once, in
// the one source that sets it apart: the product's in backend/LibusbProcessBackend.cpp, the
// simulation-only library's in sim/SimProcessBackend.cpp.
std::unique_ptr<UsbBackend> createProcessUsbBackend();

// A backend with no devices: opens fail with NotFound.
std::unique_ptr<UsbBackend> createEmptyUsbBackend();

} // namespace platform
