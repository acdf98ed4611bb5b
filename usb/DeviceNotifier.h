#pragma once

#include "platform/Messages.h"
#include "platform/driver/DeviceBroadcast.h"
#include "usb/DeviceIdFilter.h"

namespace TWG {
namespace USB {

class IUSBDevice;

// Runs on the thread that handles the window's WM_DEVICECHANGE (and inside create for the
// devices present then). The device stays the notifier's; keep it with addRef.
using DeviceNotifierCallback = void (*)(IUSBDevice* device, void* user);

struct DeviceNotifierContext;

// Null on failure; flags must be 0 or 1. A null filter accepts every device.
DeviceNotifierContext* TWGUsb_CreateDeviceNotifier(DeviceNotifierCallback arrival, void* arrivalUser,
                                                   DeviceNotifierCallback removal, void* removalUser,
                                                   const DeviceIdFilter* filter, platform::WindowId window,
                                                   int flags);
// lParam of WM_DEVICECHANGE with DBT_DEVICEARRIVAL; true when the message was the notifier's.
bool TWGUsb_HandleDeviceArrivalMessage(DeviceNotifierContext* context, const platform::DEV_BROADCAST_HDR* header);
// lParam of WM_DEVICECHANGE with DBT_DEVICEQUERYREMOVE..DBT_DEVICEREMOVECOMPLETE.
bool TWGUsb_HandleDeviceRemovalMessage(DeviceNotifierContext* context, const platform::DEV_BROADCAST_HDR* header);
void TWGUsb_DestroyDeviceNotifier(DeviceNotifierContext* context);

} // namespace USB
} // namespace TWG
