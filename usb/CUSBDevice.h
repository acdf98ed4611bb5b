#pragma once

#include "usb/IUSBDevice.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace TWG {
namespace USB {

class CUSBInterface;
class DriverConnection;

class CUSBDevice : public IUSBDevice {
public:
    // Takes its own reference on the connection.
    explicit CUSBDevice(DriverConnection* connection);

    std::int32_t addRef() override;
    std::int32_t release() override;
    std::uint32_t controlTransfer(USBControlRequest* request) override;
    std::uint32_t getDeviceFieldA(std::uint8_t* out) override;
    std::uint32_t getDeviceFieldB(std::uint8_t* out) override;
    std::uint32_t getProductId(std::uint16_t* out) override;
    std::uint32_t getDeviceFieldC(std::uint8_t* out) override;
    std::uint32_t getDeviceRelease(std::uint16_t* out) override;
    std::uint32_t queryUnsupportedA() override;
    std::uint32_t getDeviceFieldD(std::uint8_t* out) override;
    std::uint32_t getVendorId(std::uint16_t* out) override;
    std::uint32_t queryUnsupportedB() override;
    std::uint32_t getConfigurationCount(std::uint8_t* out) override;
    std::uint32_t selectConfiguration(std::uint8_t index) override;
    std::uint32_t getConfigurationState() override;
    std::uint32_t reserved() override;
    std::uint32_t reset() override;
    std::uint32_t getSerialNumberIndex(std::uint8_t* out) override;
    std::uint32_t createInterfaceIterator(const std::uint32_t filter[2], IUSBInterfaceIterator** out) override;
    std::uint32_t handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam) override;
    std::uint32_t setAsyncWindow(platform::WindowId window, std::uint32_t message) override;

    // For the device's interfaces (GUI thread).
    DriverConnection* connection() const { return connection_; }
    // The cached configuration descriptor (without the driver's length prefix), or null.
    // The bytes stay valid while the device lives.
    const std::vector<std::uint8_t>* configurationDescriptor(std::uint32_t index);
    // False when the interface is claimed already.
    bool claim(CUSBInterface* interface);
    void unclaim(CUSBInterface* interface);

protected:
    ~CUSBDevice() override;

private:
    std::uint32_t queryByte(std::uint32_t code, std::uint32_t required, std::uint8_t* out);
    std::uint32_t queryWord(std::uint32_t code, std::uint16_t* out);

    std::mutex cacheMutex_; // guards configCache_
    std::vector<std::unique_ptr<std::vector<std::uint8_t>>> configCache_;
    std::vector<CUSBInterface*> claimed_; // not owning; GUI thread only
    std::atomic<std::int32_t> refCount_{1};
    DriverConnection* connection_;
    platform::WindowId asyncWindow_ = platform::kNoWindow;
    std::uint32_t asyncMessage_ = 0;
};

} // namespace USB
} // namespace TWG
