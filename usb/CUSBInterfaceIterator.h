#pragma once

#include "usb/IUSBInterfaceIterator.h"

#include <atomic>
#include <cstdint>
#include <vector>

namespace TWG {
namespace USB {

class CUSBDevice;
class DriverConnection;

class CUSBInterfaceIterator : public IUSBInterfaceIterator {
public:
    // Takes a reference on the device and on the connection.
    CUSBInterfaceIterator(CUSBDevice* device, DriverConnection* connection, std::vector<std::uint32_t> entries);

    std::int32_t addRef() override;
    std::int32_t release() override;
    bool next(IUSBInterface** out) override;

protected:
    ~CUSBInterfaceIterator() override;

private:
    std::atomic<std::int32_t> refCount_{1};
    CUSBDevice* device_;
    DriverConnection* connection_;
    std::vector<std::uint32_t> entries_;
    std::size_t cursor_ = 0;
};

} // namespace USB
} // namespace TWG
