#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace TWG {
namespace USB {
class IUSBDevice;
class IUSBInterface;
} // namespace USB

namespace Zanthic {

// The DFU 1.1 interface of a device (run-time or DFU mode) and its class requests. The
// constructor throws std::runtime_error "Unable to create iterator", "Unable to find interface"
// or "Unable to find associated functional descriptor"; the operations throw runtime errors
// with the texts below (a trailing newline belongs to the text).
class DFUInterface {
public:
    using Progress = std::function<void(std::uint32_t done, std::uint32_t total)>;

    // Takes its own reference on the device. stop (may be null) ends the status polls early.
    DFUInterface(USB::IUSBDevice* device, const std::atomic<bool>* stop = nullptr);
    ~DFUInterface();
    DFUInterface(const DFUInterface&) = delete;
    DFUInterface& operator=(const DFUInterface&) = delete;

    bool willDetach() const { return willDetach_; }
    bool manifestationTolerant() const { return manifestationTolerant_; }
    bool canUpload() const { return canUpload_; }
    bool canDnload() const { return canDnload_; }
    std::uint16_t detachTimeout() const { return detachTimeout_; }
    std::uint16_t transferSize() const { return transferSize_; }
    std::uint16_t dfuVersion() const { return dfuVersion_; }
    std::uint8_t interfaceNumber() const { return interfaceNumber_; }

    // Brings the device to dfuIDLE; false when it leaves the bus instead. An application
    // detaches into its bootloader: by itself with willDetach, else at the bus reset sent here.
    // A bootloader that an earlier run left in its manifestation finishes it and starts its
    // application (restartsApplication() then tells so).
    bool enterIdle();
    bool restartsApplication() const { return restarting_; }
    // Downloads the image block by block, takes the device through its manifestation and sends
    // it back to its application (a bus reset where it does not leave by itself). A final empty
    // DNLOAD that fails throws std::system_error with std::errc::timed_out: the device may have
    // rebooted at once. An error status in any state fails with that status.
    void download(const std::vector<std::uint8_t>& image, const Progress& progress);

private:
    struct Status {
        std::uint8_t status = 0;
        std::uint32_t pollTimeoutMs = 0;
        std::uint8_t state = 0;
    };
    std::uint32_t request(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t length,
                          void* data, std::uint32_t timeoutMs);
    // The USB result code; *out is all zero unless the request went through.
    std::uint32_t readStatus(Status* out);
    Status getStatus();
    // Asks again, bwPollTimeout apart, while the device reports a state it leaves by itself
    // (download or manifestation under way) with an OK status; returns the first other answer.
    Status waitWhileBusy(Status status);
    // Sleeps bwPollTimeout in steps that watch the stop flag; throws once the poll's deadline
    // has passed or the task stops.
    void pollPause(const Status& status, std::int64_t deadlineMs, std::int64_t startedMs);
    // Once manifested (dfuIDLE or dfuMANIFEST-WAIT-RESET), the device goes back to its
    // application: a bus reset unless it detaches by itself.
    void restartApplication(std::uint8_t state);
    void resetDevice();
    [[noreturn]] static void failWith(const char* what, const Status& status);

    USB::IUSBDevice* device_;
    USB::IUSBInterface* interface_ = nullptr;
    const std::atomic<bool>* stop_;
    std::uint8_t interfaceNumber_ = 0;
    bool willDetach_ = false;
    bool manifestationTolerant_ = false;
    bool canUpload_ = false;
    bool canDnload_ = false;
    std::uint16_t detachTimeout_ = 0;
    std::uint16_t transferSize_ = 0;
    std::uint16_t dfuVersion_ = 0;
    bool restarting_ = false;
};

} // namespace Zanthic
} // namespace TWG
