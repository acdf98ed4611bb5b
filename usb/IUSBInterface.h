#pragma once

#include "platform/Messages.h"
#include "platform/driver/Event.h"

#include <cstdint>

namespace TWG {
namespace USB {

// Runs on the thread that handles the completion message: status 0 or 1, bytes transferred.
using USBCompletionCallback = void (*)(std::uint32_t status, std::uint32_t count, void* user);

// One interface of a device. Results are the library's result codes.
class IUSBInterface {
public:
    virtual std::int32_t addRef() = 0;
    virtual std::int32_t release() = 0;

    virtual std::uint32_t getInterfaceFieldA(std::uint8_t* out) = 0;
    virtual std::uint32_t getInterfaceNumber(std::uint8_t* out) = 0;
    virtual std::uint32_t getInterfaceFieldB(std::uint8_t* out) = 0;
    virtual std::uint32_t getInterfaceFieldC(std::uint8_t* out) = 0;
    virtual std::uint32_t getEndpointCount(std::uint8_t* out) = 0;
    virtual std::uint32_t getEndpointInfo(std::uint8_t endpoint, std::uint8_t* direction, std::uint8_t* type,
                                          std::uint16_t* maxPacket, std::uint8_t* extra) = 0;
    virtual std::uint32_t enablePipe(std::uint8_t endpoint) = 0;

    virtual std::uint32_t read(std::uint8_t pipe, void* buffer, std::uint32_t* size, std::uint32_t timeoutA,
                               std::uint32_t timeoutB) = 0;
    virtual std::uint32_t write(std::uint8_t pipe, const void* data, std::uint32_t length, std::uint32_t timeoutA,
                                std::uint32_t timeoutB) = 0;
    // The buffer belongs to the caller again once the callback has run.
    virtual std::uint32_t readAsync(std::uint8_t pipe, void* buffer, std::uint32_t size,
                                    USBCompletionCallback callback, void* user) = 0;
    virtual std::uint32_t writeAsync(std::uint8_t pipe, const void* data, std::uint32_t length,
                                     USBCompletionCallback callback, void* user) = 0;

    virtual std::uint32_t queryUnsupportedA() = 0;
    virtual std::uint32_t queryUnsupportedB() = 0;

    // The first descriptor of the type (0xFF: any) within this interface's part of
    // configuration 0, beyond `after` when given; null when there is none.
    virtual const std::uint8_t* getDescriptor(const std::uint8_t* after, int type) = 0;

    virtual std::uint32_t open() = 0;
    virtual std::uint32_t close() = 0;

    virtual std::uint32_t getPendingEvents(platform::EventHandle* out, int capacity, int* count) = 0;
    virtual std::uint32_t completeRequest(platform::Event* event) = 0;

protected:
    // Released through release(); declared in its place among the operations.
    virtual ~IUSBInterface() = default;

public:
    virtual std::uint32_t setAsyncListener(platform::WindowId window, std::uint32_t message) = 0;
    // wParam: the request's event, lParam: the interface, as the listener posted them.
    virtual std::uint32_t handleAsyncMessage(platform::WPARAM wParam, platform::LPARAM lParam) = 0;
};

} // namespace USB
} // namespace TWG
