#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace TWG {
namespace USB {
class IUSBDevice;
} // namespace USB

namespace Zanthic {

// The settings channel of an STM32 converter: vendor device requests 10 to 13 and 20. Each
// operation throws std::runtime_error "Failed to send get request N" or "Failed to send set
// request N" at the first request that fails. The caller holds the device's request lock.
class Stm32PropertyChannel {
public:
    using Progress = std::function<void(int percent)>;

    // The device stays the caller's; progress (may be empty) hears each chunked transfer.
    Stm32PropertyChannel(USB::IUSBDevice* device, Progress progress);

    void getSettingsProperty(const std::string& key, void* buffer, std::uint16_t size);
    void setSettingsProperty(const std::string& key, const void* data, std::uint32_t size);
    void factoryReset();

private:
    std::uint16_t getHandle();
    // One out request of the data in pieces, ended by a short (or zero-length) piece.
    void sendChunked(std::uint8_t request, std::uint16_t value, const std::uint8_t* data, std::uint32_t size);
    void send(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t length, void* data);

    USB::IUSBDevice* device_;
    Progress progress_;
};

// The vendor-class control interface (FF/03/00) of an STM32 converter: class requests 0 to 4
// for the boot mode and the identity properties. The constructor throws "Unable to create
// iterator", "Unable to find interface" or "Unable to find associated functional descriptor";
// a request that fails throws as Stm32PropertyChannel's do.
class Stm32ControlInterface {
public:
    explicit Stm32ControlInterface(USB::IUSBDevice* device);

    std::uint8_t interfaceNumber() const { return interfaceNumber_; }
    // Bit 0 of the functional descriptor's attributes: the interface answers questions.
    bool answers() const;

    std::uint8_t readBootMode();
    std::string getProperty(const std::string& key);
    void setProperty(const std::string& key, const std::string& value);

private:
    std::uint16_t getHandle();
    void setKey(std::uint16_t handle, const std::string& key);
    void send(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t length, void* data);

    USB::IUSBDevice* device_;
    std::uint8_t interfaceNumber_ = 0;
    std::uint8_t attributes_ = 0;
};

} // namespace Zanthic
} // namespace TWG
