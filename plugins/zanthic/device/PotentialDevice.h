#pragma once

#include "plugins/zanthic/device/ModelInfo.h"

#include <QSharedPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>

class DeviceFirmwareUpdater;
class QWidget;

namespace TWG {
namespace USB {
class IUSBDevice;
} // namespace USB

namespace Zanthic {

class ConnectedDevice;
class ConnectedDeviceOwner;
class ConnectionManager;

// Raised while a device is made when it could not yet say who it is (a read that stalled or
// timed out): the connection manager tries the device again later rather than losing it.
class DeviceNotIdentified : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A Zanthic converter present on the bus but not opened for settings: identity questions,
// and the way to connect to it or to create its firmware updater.
class PotentialDevice {
public:
    explicit PotentialDevice(std::weak_ptr<ConnectionManager> manager);
    virtual ~PotentialDevice();
    PotentialDevice(const PotentialDevice&) = delete;
    PotentialDevice& operator=(const PotentialDevice&) = delete;

    virtual std::uint16_t productId() const = 0;
    // The USB device release number: the hardware revision.
    virtual std::uint16_t hardwareId() const = 0;
    virtual QString serial() const = 0;
    virtual QString deviceName() = 0;
    virtual QString buildId() = 0;
    virtual QString releaseVersion() = 0;
    virtual int connectionType() const = 0;
    virtual bool isFirmwareCurrent(const QString& available);
    virtual bool offersFirmwareUpdate() const = 0;
    virtual bool isReady() const = 0;
    // The lowest becomes the active device of its visible device.
    virtual int modeCode() const = 0;
    virtual void showControlApp(ConnectedDeviceOwner* owner);
    virtual bool isTestMode() const;
    virtual bool showsSoftwareStatus() const;
    // Called after the family has been told of the arrival.
    virtual void onArrival();
    // The device was given this name: what deviceName answers from now on.
    virtual void deviceRenamed(const QString& name);

    std::shared_ptr<ConnectedDevice> connect(ConnectedDeviceOwner* owner);
    QSharedPointer<DeviceFirmwareUpdater> createUpdater();
    // Whether createUpdater would give an updater that can start: false once the manager has gone.
    bool canCreateUpdater() const;
    QWidget* queryManagerHook(ConnectedDeviceOwner* owner);
    const ModelInfo* findModelInfo() const;

private:
    std::weak_ptr<ConnectionManager> manager_;
};

// An STM32 converter: its serial number from the USB serial-number string, its identity
// through the control interface. Made on the notifier thread, it reads its identity once there
// and answers from what it read: no question it answers waits on the device.
class UsbPotentialDevice : public PotentialDevice {
public:
    // Takes its own reference on the device, and reads the serial (tried again a few times when
    // the read fails; empty for a device without one) and the identity.
    UsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device);
    ~UsbPotentialDevice() override;

    std::uint16_t productId() const override { return productId_; }
    std::uint16_t hardwareId() const override { return release_; }
    QString serial() const override { return serial_; }
    // As read when the device was made; the default name when that failed.
    QString deviceName() override;
    // As read when the device was made; empty when that failed.
    QString buildId() override;
    QString releaseVersion() override;
    int connectionType() const override;
    bool isFirmwareCurrent(const QString& available) override;
    bool offersFirmwareUpdate() const override { return true; }
    bool isReady() const override { return true; }
    int modeCode() const override;
    void deviceRenamed(const QString& name) override;
    // Reads the identity again, on the calling thread: for the task that changed the firmware of
    // a device that stays on the bus.
    virtual void readIdentity();

    // The boot mode (class request 0), asked now; 255 when it cannot be read.
    std::uint8_t readBootMode();

    USB::IUSBDevice* usbDevice() const { return device_; }
    // Held across one property get or set (handle, key, value), so that requests of the GUI
    // poll and of a worker never interleave on the device.
    std::recursive_mutex& requestMutex() { return requestMutex_; }

    // The order in which the manager listed its devices: a device re-enumerated is listed later
    // than the one it was. Set by the manager before anyone else sees the device.
    std::uint64_t listingOrder() const { return listingOrder_; }
    void setListingOrder(std::uint64_t order) { listingOrder_ = order; }

protected:
    struct NoSerialRead {};
    // For a subclass that knows the device by another serial and reads its own identity.
    UsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device, NoSerialRead);
    void setSerial(const QString& serial) { serial_ = serial; }
    void setIdentity(const QString& name, const QString& build, const QString& release);
    // Guards the identity, which readIdentity may replace while the GUI thread asks.
    std::mutex& identityMutex() const { return identityMutex_; }

    // The reads made while a device is made share this allowance: a device that failed it has
    // stopped answering, and every further read would wait out its time-out as well. A read that
    // fails once is tried again while the allowance lasts.
    class CreationReads {
    public:
        bool answering() const { return failuresLeft_ > 0; }
        void failed()
        {
            if (failuresLeft_ > 0)
                --failuresLeft_;
        }
        // True once read succeeded; false when it never did while the device answered.
        template <typename Read>
        bool attempt(Read read)
        {
            while (answering()) {
                if (read())
                    return true;
                failed();
            }
            return false;
        }

    private:
        int failuresLeft_ = 2;
    };

private:
    // A property through the control interface into *text; false when a request failed, true
    // (with nothing read) when the device has no interface that answers questions.
    bool readProperty(const char* key, QString* text);
    bool readBootModeOnce(std::uint8_t* mode);

    USB::IUSBDevice* device_;
    std::uint16_t productId_ = 0;
    std::uint16_t release_ = 0;
    QString serial_;
    mutable std::mutex identityMutex_; // guards the four below
    QString name_;
    QString build_;
    QString releaseVersion_;
    std::uint8_t bootMode_ = 0;
    std::uint64_t listingOrder_ = 0;
    std::recursive_mutex requestMutex_;
};

// The serial-number string descriptor's text, lower case: empty for a device without one, and
// when the read still fails after a few tries on the process clock (logged as "Unable to get
// Serial Number").
QString readUsbSerial(USB::IUSBDevice* device);

} // namespace Zanthic
} // namespace TWG
