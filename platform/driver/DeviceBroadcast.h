#pragma once

#include "platform/driver/Guid.h"

#include <cstdint>

namespace platform {

using ConnectionId = std::uint64_t;
constexpr ConnectionId kInvalidConnection = 0;

constexpr std::uint32_t DBT_DEVTYP_DEVICEINTERFACE = 0x00000005;
constexpr std::uint32_t DBT_DEVTYP_HANDLE = 0x00000006;

// Payload records of WM_DEVICECHANGE: lParam points at the header, whose type tells the record.
struct DEV_BROADCAST_HDR {
    std::uint32_t dbch_size;
    std::uint32_t dbch_devicetype;
    std::uint32_t dbch_reserved;
};

constexpr int kMaxDevicePath = 512;

struct DEV_BROADCAST_DEVICEINTERFACE {
    DEV_BROADCAST_HDR header;
    Guid dbcc_classguid;
    char dbcc_name[kMaxDevicePath]; // UTF-8 device-interface path, NUL-terminated
};

struct DEV_BROADCAST_HANDLE {
    DEV_BROADCAST_HDR header;
    ConnectionId dbch_handle; // the connection the notification was registered for
};

} // namespace platform
