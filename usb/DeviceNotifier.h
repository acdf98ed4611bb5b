#pragma once

#include "platform/Messages.h"
#include "platform/driver/DeviceBroadcast.h"
#include "usb/DeviceIdFilter.h"

namespace TWG {
namespace USB {

class IUSBDevice;

// Run on the thread that handles the window's WM_DEVICECHANGE (and inside create for the
// devices present then). The device stays the notifier's; keep it with addRef.
// The arrival answers whether the device was taken: one that was not (its start-up or open
// failed, say) is unfiled and its exclusive connection released at once, without a removal.
using DeviceArrivalCallback = bool (*)(IUSBDevice* device, void* user);
using DeviceNotifierCallback = void (*)(IUSBDevice* device, void* user);

struct DeviceNotifierContext;

// Null on failure; flags must be 0 or 1. A null filter accepts every device.
DeviceNotifierContext* TWGUsb_CreateDeviceNotifier(DeviceArrivalCallback arrival, void* arrivalUser,
                                                   DeviceNotifierCallback removal, void* removalUser,
                                                   const DeviceIdFilter* filter, platform::WindowId window,
                                                   int flags);
// lParam of WM_DEVICECHANGE with DBT_DEVICEARRIVAL; true when the message was the notifier's
// and its device was taken.
bool TWGUsb_HandleDeviceArrivalMessage(DeviceNotifierContext* context, const platform::DEV_BROADCAST_HDR* header);
// lParam of WM_DEVICECHANGE with DBT_DEVICEQUERYREMOVE..DBT_DEVICEREMOVECOMPLETE.
bool TWGUsb_HandleDeviceRemovalMessage(DeviceNotifierContext* context, const platform::DEV_BROADCAST_HDR* header);
// A WM_DEVICECHANGE message as a window receives it: the arrival and the removal family go to the
// two handlers above, anything else (another wParam, no record, no notifier) answers false.
bool TWGUsb_HandleDeviceChange(DeviceNotifierContext* context, platform::WPARAM wParam, platform::LPARAM lParam);
void TWGUsb_DestroyDeviceNotifier(DeviceNotifierContext* context);

} // namespace USB
} // namespace TWG
