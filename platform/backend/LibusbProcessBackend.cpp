// The product's USB backend: the converters plugged into this computer, through libusb. No
// environment variable changes it; the simulated bus is not part of this library.
#include "platform/backend/BackendLog.h"
#include "platform/backend/ProcessBackend.h"

namespace platform {

std::unique_ptr<UsbBackend> createProcessUsbBackend()
{
    std::unique_ptr<UsbBackend> real = createLibusbBackend();
    if (!real) {
        qCWarning(lcUsbBackend, "no USB access: the libusb backend could not start");
        real = createEmptyUsbBackend();
    }
    return real;
}

} // namespace platform
