#pragma once

#include "kit/framework/VisibleDevice.h"

#include <QPixmap>
#include <QString>

class DeviceFirmwareUpdater;

// A device that answers only what a card or a controller asks.
class FakeDevice : public VisibleDevice {
public:
    explicit FakeDevice(Family* family = nullptr) : VisibleDevice(family) {}

    QString name() override { return deviceName; }
    QPixmap image() override { return QPixmap(); }
    QPixmap thumbnail() override { return QPixmap(); }
    QString displayName() override { return secondLine; }
    QPixmap galleryConnectionIcon() override { return QPixmap(); }
    QPixmap cardConnectionIcon() override { return icon; }
    bool showsSoftwareStatus() override { return false; }
    QString softwareVersion() override { return QString(); }
    bool isSoftwareSupported() override { return true; }
    bool isFirmwareUpdateAvailable() override { return false; }
    bool isReady() override { return true; }
    QString availableSoftwareVersion() override { return QString(); }
    DeviceFirmwareUpdater* firmwareUpdater() override { return updater; }

    QString deviceName = QStringLiteral("Mini Converter");
    QString secondLine = QStringLiteral("SDI to HDMI");
    QPixmap icon;
    DeviceFirmwareUpdater* updater = nullptr;
};
