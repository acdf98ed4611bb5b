#pragma once

#include <QString>

#include <functional>

class QObject;

namespace TWG {
namespace Zanthic {

// What a connected device asks of the visible device that owns it (the plug-in's
// D2VisibleDevice implements it): the packaged firmware, a rename, and its removal.
class ConnectedDeviceOwner {
public:
    virtual ~ConnectedDeviceOwner() = default;

    // The owner as a QObject: its destruction ends the connected device's link to it.
    virtual QObject* ownerObject() = 0;
    virtual bool isFirmwareUpdateAvailable() const = 0;
    virtual bool isSoftwareSupported() const = 0;
    virtual QString availableSoftwareVersion() const = 0;
    virtual QString availableFirmwareVersion() const = 0;
    // The device was renamed through the settings.
    virtual void deviceRenamed(const QString& name) = 0;
    // Calls removed once the owner's family has removed the owner, while context lives.
    virtual void watchRemoval(QObject* context, std::function<void()> removed) = 0;
};

} // namespace Zanthic
} // namespace TWG
