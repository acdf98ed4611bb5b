#pragma once

#include "converters/xmega/XmegaUSBDevice.h"

#include <cstdint>
#include <memory>

class QObject;

namespace TWG {
namespace Converters {

// Loads an application image into an XMEGA converter: takes it into its bootloader, writes
// the image, checks the versions and starts the application again. It holds the converter's
// device from its start, so the device's departure into its bootloader is the loader's and
// not a removal of the converter. Each restart must be answered by a matching arrival within
// 30 s (platform clock), else the load fails. Runs on the thread that handles device changes.
class XmegaBinaryLoader {
public:
    enum State { Idle = 0, WaitingForBootloader = 1, WaitingForApplication = 2 };

    class Delegate {
    public:
        virtual ~Delegate() = default;
        // The load has ended; on success device() is the converter's device in its
        // application. The loader may be deleted from here.
        virtual void xmegaBinaryLoadFinished(XmegaBinaryLoader* loader, bool ok) = 0;
    };

    // The image stays the caller's until the load has finished.
    XmegaBinaryLoader(const std::uint8_t* data, std::uint32_t length, std::uint32_t version, Delegate* delegate);
    ~XmegaBinaryLoader();
    XmegaBinaryLoader(const XmegaBinaryLoader&) = delete;
    XmegaBinaryLoader& operator=(const XmegaBinaryLoader&) = delete;

    // False when the load could not start; the delegate then hears nothing.
    bool start(std::shared_ptr<XmegaUSBDevice> device);
    // An XMEGA arrival: true when it is this loader's device (same uuid), which it then handles.
    bool handleArrival(const std::shared_ptr<XmegaUSBDevice>& device);
    // A removal: true when it was the device the loader holds, which it then forgets.
    bool handleRemoval(const std::shared_ptr<XmegaUSBDevice>& device);

    State state() const { return state_; }
    bool isRunning() const { return running_; }
    bool succeeded() const { return succeeded_; }
    // The device held now; after the load, the device it ended with (null on failure).
    const std::shared_ptr<XmegaUSBDevice>& device() const { return device_; }
    const XmegaUSBDevice::Uuid& uuid() const { return uuid_; }

private:
    struct Deadline;

    // Writes the image and checks the versions, then restarts into the application.
    bool program(const std::shared_ptr<XmegaUSBDevice>& device);
    void armDeadline();
    void deadlinePassed(std::uint64_t generation);
    void finish(bool ok);

    const std::uint8_t* data_;
    std::uint32_t length_;
    std::uint32_t version_;
    Delegate* delegate_;
    State state_ = Idle;
    bool running_ = false;
    bool succeeded_ = false;
    XmegaUSBDevice::Uuid uuid_{};
    std::shared_ptr<XmegaUSBDevice> device_;
    std::uint64_t generation_ = 0;
    std::unique_ptr<QObject> context_;
    std::shared_ptr<Deadline> deadline_;
};

} // namespace Converters
} // namespace TWG
