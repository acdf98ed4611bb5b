#pragma once

#include "platform/driver/DriverPort.h"
#include "usb/IUSBInterface.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace TWG {
namespace USB {

class AsyncEventListener;
class CUSBDevice;
class DriverConnection;

class CUSBInterface : public IUSBInterface {
public:
    // Takes a reference on the device; the connection lives as long as the device.
    CUSBInterface(CUSBDevice* device, DriverConnection* connection, std::uint32_t entry);

    std::int32_t addRef() override;
    std::int32_t release() override;
    std::uint32_t getInterfaceFieldA(std::uint8_t* out) override;
    std::uint32_t getInterfaceNumber(std::uint8_t* out) override;
    std::uint32_t getInterfaceFieldB(std::uint8_t* out) override;
    std::uint32_t getInterfaceFieldC(std::uint8_t* out) override;
    std::uint32_t getEndpointCount(std::uint8_t* out) override;
    std::uint32_t getEndpointInfo(std::uint8_t endpoint, std::uint8_t* direction, std::uint8_t* type,
                                  std::uint16_t* maxPacket, std::uint8_t* extra) override;
    std::uint32_t enablePipe(std::uint8_t endpoint) override;
    std::uint32_t read(std::uint8_t pipe, void* buffer, std::uint32_t* size, std::uint32_t timeoutA,
                       std::uint32_t timeoutB) override;
    std::uint32_t write(std::uint8_t pipe, const void* data, std::uint32_t length, std::uint32_t timeoutA,
                        std::uint32_t timeoutB) override;
    std::uint32_t readAsync(std::uint8_t pipe, void* buffer, std::uint32_t size, USBCompletionCallback callback,
                            void* user) override;
    std::uint32_t writeAsync(std::uint8_t pipe, const void* data, std::uint32_t length,
                             USBCompletionCallback callback, void* user) override;
    std::uint32_t queryUnsupportedA() override;
    std::uint32_t queryUnsupportedB() override;
    const std::uint8_t* getDescriptor(const std::uint8_t* after, int type) override;
    std::uint32_t open() override;
    std::uint32_t close() override;
    std::uint32_t getPendingEvents(platform::EventHandle* out, int capacity, int* count) override;
    std::uint32_t completeRequest(platform::Event* event) override;
    std::uint32_t setAsyncListener(platform::WindowId window, std::uint32_t message) override;
    std::uint32_t handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam) override;

protected:
    ~CUSBInterface() override;

private:
    struct PendingRequest {
        USBCompletionCallback callback = nullptr;
        void* user = nullptr;
        platform::EventHandle event;
        platform::Overlapped overlapped;
        std::vector<std::uint8_t> header; // pipe header, plus the data of a write
    };

    std::uint32_t queryByte(std::uint32_t code, std::uint8_t* out);
    std::uint32_t startAsync(std::uint32_t code, std::uint8_t pipe, const void* data, std::uint32_t length,
                             void* readBuffer, USBCompletionCallback callback, void* user);
    void cancelPending();
    std::uint8_t interfaceByte() const { return static_cast<std::uint8_t>(entry_); }

    std::atomic<std::int32_t> refCount_{1};
    DriverConnection* connection_;
    CUSBDevice* device_;
    std::uint32_t entry_;
    bool claimed_ = false;
    std::mutex pendingMutex_; // guards pending_; held while an overlapped request starts
    std::vector<std::unique_ptr<PendingRequest>> pending_;
    std::unique_ptr<AsyncEventListener> listener_;
};

} // namespace USB
} // namespace TWG
