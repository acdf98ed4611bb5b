#pragma once

#include "kit/framework/VisibleDevice.h"

#include <cstdint>

namespace TWG::Converters {
class IConverter;
class XmegaLoaderNotifier;
} // namespace TWG::Converters

class ConverterConnection;
class VisibleUSBFirmwareUpdater;

// One classic converter as the host lists and shows it. Holds a reference on the device.
class VisibleConverter : public VisibleDevice {
public:
    VisibleConverter(Family* family, TWG::Converters::IConverter* device,
                     TWG::Converters::XmegaLoaderNotifier* notifier);
    ~VisibleConverter() override;
    VisibleConverter(const VisibleConverter&) = delete;
    VisibleConverter& operator=(const VisibleConverter&) = delete;

    QString name() override { return fullName_; }
    QPixmap image() override { return picture_; }
    QPixmap thumbnail() override { return thumbnail_; }
    QString displayName() override;
    QPixmap galleryConnectionIcon() override;
    QPixmap cardConnectionIcon() override;
    bool isListedFirst() override { return false; }
    bool showsSoftwareStatus() override { return false; }
    QString softwareVersion() override { return QString(); }
    bool isSoftwareSupported() override { return true; }
    bool isFirmwareUpdateAvailable() override { return false; }
    bool isReady() override { return true; }
    QString availableSoftwareVersion() override { return QString(); }
    DeviceFirmwareUpdater* firmwareUpdater() override;
    bool isTestMode() override { return false; }
    QWidget* cardExtraWidget() override { return nullptr; }
    bool canOpen() override { return true; }
    bool hasStatusImages() override { return false; }
    QPixmap statusImage() override { return QPixmap(); }
    QPixmap statusImageOverlay() override { return QPixmap(); }
    virtual QString deviceKind() { return QStringLiteral("Converter"); }

    void setProductId(std::uint16_t productId);
    // A failed query counts as unpowered.
    void refreshPoweredState();
    // The caller owns the connection.
    ConverterConnection* createConnection();
    bool matches(const TWG::Converters::IConverter* device) const { return device == device_; }
    // The updater once firmwareUpdater() has made it; null before.
    VisibleUSBFirmwareUpdater* createdFirmwareUpdater() const { return updater_; }

    std::uint16_t productId() const { return productId_; }
    bool isPowered() const { return powered_; }
    TWG::Converters::IConverter* device() const { return device_; }

private:
    std::uint16_t productId_ = 0;
    bool powered_ = false;
    QString shortName_;
    QString fullName_;
    QPixmap picture_;
    QPixmap thumbnail_;
    TWG::Converters::IConverter* const device_;
    TWG::Converters::XmegaLoaderNotifier* const notifier_;
    VisibleUSBFirmwareUpdater* updater_ = nullptr;
};
