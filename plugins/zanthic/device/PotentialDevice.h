#pragma once

#include "plugins/zanthic/device/ModelInfo.h"

#include <QSharedPointer>
#include <QString>

#include <cstdint>
#include <memory>
#include <mutex>

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

    std::shared_ptr<ConnectedDevice> connect(ConnectedDeviceOwner* owner);
    QSharedPointer<DeviceFirmwareUpdater> createUpdater();
    QWidget* queryManagerHook(ConnectedDeviceOwner* owner);
    const ModelInfo* findModelInfo() const;

private:
    std::weak_ptr<ConnectionManager> manager_;
};

// An STM32 converter: its identity through the control interface, its serial number from the
// USB serial-number string.
class UsbPotentialDevice : public PotentialDevice {
public:
    // Takes its own reference on the device.
    UsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device);
    ~UsbPotentialDevice() override;

    std::uint16_t productId() const override { return productId_; }
    std::uint16_t hardwareId() const override { return release_; }
    QString serial() const override { return serial_; }
    QString deviceName() override;
    QString buildId() override;
    QString releaseVersion() override;
    int connectionType() const override;
    bool isFirmwareCurrent(const QString& available) override;
    bool offersFirmwareUpdate() const override { return true; }
    bool isReady() const override { return true; }
    int modeCode() const override;

    // The boot mode (class request 0); 255 when it cannot be read.
    std::uint8_t readBootMode();

    USB::IUSBDevice* usbDevice() const { return device_; }
    // Held across one property get or set (handle, key, value), so that requests of the GUI
    // poll and of a worker never interleave on the device.
    std::recursive_mutex& requestMutex() { return requestMutex_; }

protected:
    struct NoSerialRead {};
    // For a subclass that knows the device by another serial.
    UsbPotentialDevice(std::weak_ptr<ConnectionManager> manager, USB::IUSBDevice* device, NoSerialRead);
    void setSerial(const QString& serial) { serial_ = serial; }

private:
    // A property through the control interface; empty when it cannot be read.
    QString identityProperty(const char* key);

    USB::IUSBDevice* device_;
    std::uint16_t productId_ = 0;
    std::uint16_t release_ = 0;
    QString serial_;
    std::recursive_mutex requestMutex_;
};

// The serial-number string descriptor's text: lower case, empty when the descriptor cannot be
// read or is not a string descriptor. Logs "Unable to get Serial Number" then.
QString readUsbSerial(USB::IUSBDevice* device);

} // namespace Zanthic
} // namespace TWG
