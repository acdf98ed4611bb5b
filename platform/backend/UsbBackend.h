#pragma once

#include "platform/Export.h"
#include "platform/driver/DriverCodes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Outcome of a backend operation. Each USB failure maps to the USBD status the driver reports
// (usbdStatusOf); the last three only occur where their operation says so.
enum class UsbStatus {
    Success,       // USBD 0
    Stall,         // 0xC0000004: the device stalled the endpoint or refused the request
    Timeout,       // 0xC0006000: no answer within the time-out
    Gone,          // 0xC0007000: unplugged, or re-enumerated as another device (new path)
    NoMemory,      // 0xC0001000
    BadArgument,   // 0x80000300: bad handle, endpoint, length or interface number
    NotResponding, // 0xC0000005: any other I/O error on the bus
    Cancelled,     // 0xC0010000: an asynchronous transfer was cancelled (cancel or close)
    NotFound,      // open: no device with that path
    AccessDenied,  // open: already open, not on the allow-list, or no permission
};

constexpr std::uint32_t usbdStatusOf(UsbStatus status)
{
    switch (status) {
    case UsbStatus::Success: return usbd::kSuccess;
    case UsbStatus::Stall: return usbd::kStall;
    case UsbStatus::Timeout: return usbd::kTimeout;
    case UsbStatus::Gone: return usbd::kDeviceGone;
    case UsbStatus::NoMemory: return usbd::kNoMemory;
    case UsbStatus::BadArgument: return usbd::kBadArgument;
    case UsbStatus::NotResponding: return usbd::kNotResponding;
    case UsbStatus::Cancelled: return usbd::kCancelled;
    case UsbStatus::NotFound: return usbd::kDeviceGone;
    case UsbStatus::AccessDenied: return usbd::kBadArgument;
    }
    return usbd::kNotResponding;
}

TWG_PLATFORM_API const char* usbStatusName(UsbStatus status);

// The standard device descriptor, fields as on the wire (host byte order).
struct UsbDeviceDescriptor {
    std::uint16_t bcdUSB = 0x0200;
    std::uint8_t bDeviceClass = 0;
    std::uint8_t bDeviceSubClass = 0;
    std::uint8_t bDeviceProtocol = 0;
    std::uint8_t bMaxPacketSize0 = 64;
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    std::uint16_t bcdDevice = 0;
    std::uint8_t iManufacturer = 0;
    std::uint8_t iProduct = 0;
    std::uint8_t iSerialNumber = 0;
    std::uint8_t bNumConfigurations = 1;
};

// A present device: its stable path ("usb:BUS:ADDRESS", "sim:N") and its device descriptor.
// A re-enumerated device comes back under a new path.
struct UsbDeviceInfo {
    std::string path;
    UsbDeviceDescriptor descriptor;
};

// The 8-byte setup packet of a control transfer; wLength is the data-stage length.
struct UsbSetup {
    std::uint8_t bmRequestType = 0;
    std::uint8_t bRequest = 0;
    std::uint16_t wValue = 0;
    std::uint16_t wIndex = 0;
    std::uint16_t wLength = 0;

    bool isIn() const { return (bmRequestType & 0x80) != 0; }
};

enum class UsbTransferType { Bulk, Interrupt };

using UsbHandle = std::uint64_t;        // an open device; 0 is never a valid handle
using UsbTransferId = std::uint64_t;    // an asynchronous transfer; never reused; 0 = none
using UsbListenerId = std::uint64_t;    // a hot-plug listener; 0 = none
constexpr UsbHandle kNoUsbHandle = 0;

// Time-outs in milliseconds; 0 means no limit.
using UsbTimeoutMs = std::uint32_t;

// Completion of an asynchronous transfer: status and the bytes actually moved.
using UsbCompletion = std::function<void(UsbStatus status, std::uint32_t transferred)>;
// Hot-plug: arrived = true for an arrival, false for a removal (descriptor as it was).
using UsbHotplugCallback = std::function<void(const UsbDeviceInfo& device, bool arrived)>;

// What the driver emulator needs from a USB stack: one implementation over libusb (real
// devices), one over the simulated bus. All operations are thread-safe. "Blocks" means the call
// waits for bus traffic for at most its time-out; the others return without waiting for I/O.
// Handles are plain numbers: a stale or closed handle is refused with BadArgument (or Gone
// when its device has left), never dereferenced.
class TWG_PLATFORM_API UsbBackend {
public:
    virtual ~UsbBackend();

    // Any thread; no I/O. The present devices this backend may open (the libusb backend lists
    // only allow-listed vendor/product pairs), in a stable order (by path).
    virtual std::vector<UsbDeviceInfo> listDevices() = 0;

    // Any thread; no I/O, never opens, claims or waits for the device, so it answers while
    // another handle holds it. The device descriptor of a present device by its path, as
    // listDevices gives it. Success, NotFound (no such device, or one this backend may not
    // open), BadArgument (no descriptor).
    virtual UsbStatus describe(const std::string& path, UsbDeviceDescriptor* descriptor) = 0;

    // Any thread; no I/O. Exclusive: one handle per device.
    // Success (*handle set), NotFound, AccessDenied (already open, not allowed, no
    // permission), Gone (left meanwhile), NoMemory.
    virtual UsbStatus open(const std::string& path, UsbHandle* handle) = 0;

    // Any thread, never from a completion or hot-plug callback. Cancels the handle's
    // asynchronous transfers and waits until their completions (Cancelled, or Gone) have run,
    // releases every claim; the handle is invalid afterwards. Unknown handles are ignored.
    virtual void close(UsbHandle handle) = 0;

    // Any thread; no I/O. The device descriptor of an open device.
    // Success, BadArgument (unknown handle), Gone.
    virtual UsbStatus deviceDescriptor(UsbHandle handle, UsbDeviceDescriptor* descriptor) = 0;

    // Any thread; may block (a GET_DESCRIPTOR request). The whole configuration descriptor of
    // the index (0-based, not bConfigurationValue): wTotalLength bytes, interfaces, endpoints
    // and class descriptors included. Success, BadArgument (unknown handle or index), Gone,
    // Stall, Timeout, NotResponding.
    virtual UsbStatus configDescriptor(UsbHandle handle, std::uint8_t index, std::vector<std::uint8_t>* bytes) = 0;

    // Any thread; blocks. SET_CONFIGURATION with the value; a no-op when it is already active.
    // Success, BadArgument, Gone, Stall, Timeout, NotResponding.
    virtual UsbStatus setConfiguration(UsbHandle handle, std::uint8_t configurationValue) = 0;

    // Any thread; no bus traffic. Claims are counted per (handle, bInterfaceNumber): the
    // interface is claimed from the system (detaching a kernel driver if needed) on the first
    // claim and released on the last release. Success, BadArgument (no such interface),
    // AccessDenied (claimed by another program), Gone. Releasing an unclaimed interface:
    // BadArgument.
    virtual UsbStatus claimInterface(UsbHandle handle, std::uint8_t interfaceNumber) = 0;
    virtual UsbStatus releaseInterface(UsbHandle handle, std::uint8_t interfaceNumber) = 0;

    // Any thread; blocks for at most the time-out. data holds setup.wLength bytes: the data
    // stage to send (OUT) or room for the answer (IN). transferred is required: an IN answer
    // may be short, and only its first *transferred bytes are written to data (the rest stays as
    // it was). Results:
    //   Success       the request was answered; *transferred = bytes sent or received
    //   Stall         the device refused the request; it still answers the next one
    //   Timeout       no answer within the time-out
    //   Gone          the device left (unplugged or re-enumerated)
    //   BadArgument   unknown or closed handle, no transferred, no data for a data stage, or
    //                 a data stage over driver::kMaxControlData bytes; nothing reaches the bus
    //   NoMemory, NotResponding
    // *transferred is 0 unless the result is Success.
    virtual UsbStatus controlTransfer(UsbHandle handle, const UsbSetup& setup, std::uint8_t* data,
                                      UsbTimeoutMs timeout, std::uint32_t* transferred) = 0;

    // Any thread; blocks. Bulk or interrupt transfer on the endpoint address (bit 7 = IN);
    // the interface owning the endpoint must be claimed. Never adds a zero-length packet of its
    // own: the caller sends one explicitly (length 0). transferred is required; *transferred =
    // bytes moved, also on Timeout. Success, Stall, Timeout, Gone, BadArgument (unknown handle,
    // no transferred, no data, unclaimed or unknown endpoint), NoMemory, NotResponding.
    virtual UsbStatus transfer(UsbHandle handle, std::uint8_t endpoint, UsbTransferType type, std::uint8_t* data,
                               std::uint32_t length, UsbTimeoutMs timeout, std::uint32_t* transferred) = 0;

    // Any thread; never blocks. Starts the same transfer asynchronously; data stays the
    // caller's until the completion has run. Success (*id set): done() runs exactly once, on
    // the backend's event thread (libusb) or on the thread that completes it (simulator:
    // possibly the submitting thread, before submit returns). done() must not block and must
    // not call into the backend. Any other result: done() never runs (BadArgument, Gone,
    // NoMemory).
    virtual UsbStatus submit(UsbHandle handle, std::uint8_t endpoint, UsbTransferType type, std::uint8_t* data,
                             std::uint32_t length, UsbTimeoutMs timeout, UsbCompletion done, UsbTransferId* id) = 0;

    // Any thread; never blocks. Asks a pending transfer to end; its completion then runs with
    // Cancelled (or its real result if it finished first). Unknown or finished ids: BadArgument.
    virtual UsbStatus cancel(UsbHandle handle, UsbTransferId id) = 0;

    // Any thread; blocks. Port reset. A device that re-enumerates in answer (and so leaves
    // the handle Gone) counts as reset: Success. Stall, Timeout, BadArgument, NotResponding.
    virtual UsbStatus reset(UsbHandle handle) = 0;

    // Any thread. Arrivals and removals after this call, on the backend's event thread
    // (libusb) or the thread that changed the bus (simulator). The callback only records or
    // posts: it must not block and must not call into the backend. Present devices are not
    // reported. 0 on failure.
    virtual UsbListenerId addHotplugListener(UsbHotplugCallback callback) = 0;
    // Any thread, never from the listener itself. After it returns the callback does not run.
    virtual void removeHotplugListener(UsbListenerId id) = 0;
};

// The backend of the process, created on first use; lives until exit. The product's platform
// library talks to the converters through libusb (a backend without devices when libusb cannot
// start); the simulation-only one, which the tests and the simulation-only tree run on, puts
// the process on the simulated bus (platform/sim/SimProcessBackend.cpp). An installed backend
// (setUsbBackend) takes precedence.
TWG_PLATFORM_API UsbBackend& usbBackend();

// Installs a backend for the process (tests); null restores the default. The caller keeps
// ownership. The process's default driver port binds to usbBackend() on its first use, so
// install before that, or build a DriverEmulator over the backend and install it as the port.
TWG_PLATFORM_API void setUsbBackend(UsbBackend* backend);

class UsbBackendOverride {
public:
    explicit UsbBackendOverride(UsbBackend* backend) { setUsbBackend(backend); }
    ~UsbBackendOverride() { setUsbBackend(nullptr); }
    UsbBackendOverride(const UsbBackendOverride&) = delete;
    UsbBackendOverride& operator=(const UsbBackendOverride&) = delete;
};

// The libusb backend (platform/libusb/); null when libusb cannot be initialised.
std::unique_ptr<UsbBackend> createLibusbBackend();

} // namespace platform
