#include "platform/libusb/LibusbStatus.h"

#include <libusb.h>

namespace platform {

UsbStatus usbStatusFromLibusbError(int error)
{
    if (error >= 0)
        return UsbStatus::Success;
    switch (error) {
    case LIBUSB_ERROR_PIPE: return UsbStatus::Stall;
    case LIBUSB_ERROR_TIMEOUT: return UsbStatus::Timeout;
    case LIBUSB_ERROR_NO_DEVICE: return UsbStatus::Gone;
    case LIBUSB_ERROR_NO_MEM: return UsbStatus::NoMemory;
    case LIBUSB_ERROR_INVALID_PARAM: return UsbStatus::BadArgument;
    case LIBUSB_ERROR_NOT_FOUND: return UsbStatus::BadArgument;   // no such interface or endpoint
    case LIBUSB_ERROR_ACCESS: return UsbStatus::AccessDenied;
    case LIBUSB_ERROR_BUSY: return UsbStatus::AccessDenied;       // claimed by another program
    default: return UsbStatus::NotResponding;                     // I/O, overflow, interrupted, other
    }
}

UsbStatus usbStatusFromTransferStatus(int status)
{
    switch (status) {
    case LIBUSB_TRANSFER_COMPLETED: return UsbStatus::Success;
    case LIBUSB_TRANSFER_STALL: return UsbStatus::Stall;
    case LIBUSB_TRANSFER_TIMED_OUT: return UsbStatus::Timeout;
    case LIBUSB_TRANSFER_NO_DEVICE: return UsbStatus::Gone;
    case LIBUSB_TRANSFER_CANCELLED: return UsbStatus::Cancelled;
    default: return UsbStatus::NotResponding;                     // error, overflow
    }
}

} // namespace platform
