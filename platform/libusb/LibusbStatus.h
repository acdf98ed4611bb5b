#pragma once

#include "platform/Export.h"
#include "platform/backend/UsbBackend.h"

namespace platform {

// libusb's results translated once, at the edge of the backend.
// A libusb_error (negative return of a libusb call; 0 and positive counts are Success).
TWG_PLATFORM_API UsbStatus usbStatusFromLibusbError(int error);
// A libusb_transfer_status of a completed asynchronous transfer.
TWG_PLATFORM_API UsbStatus usbStatusFromTransferStatus(int status);

} // namespace platform
