#pragma once

// What the Zanthic device fuzzers share: the visible device that owns a connected device, and a
// small LUT file to upload.
#include "FuzzSupport.h"

#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/device/CubeParser.h"

#include <QObject>
#include <QString>

#include <functional>
#include <string>

namespace fuzzsupport {

class ZanthicOwner : public QObject, public TWG::Zanthic::ConnectedDeviceOwner {
public:
    QObject* ownerObject() override { return this; }
    bool isFirmwareUpdateAvailable() const override { return false; }
    bool isSoftwareSupported() const override { return true; }
    QString availableSoftwareVersion() const override { return QStringLiteral("1.0"); }
    QString availableFirmwareVersion() const override { return QStringLiteral("0000001a"); }
    void deviceRenamed(const QString&) override {}
    void watchRemoval(QObject*, std::function<void()>) override {}
};

// A 2-point identity cube with a title, which every device size expands; its path. The cube
// reader's log goes nowhere.
inline QString smallLutFile()
{
    TWG::Zanthic::setCubeLogSink([](const std::string&) {});
    std::string cube = "TITLE \"fuzz\"\nLUT_3D_SIZE 2\n";
    for (int i = 0; i < 8; ++i)
        cube += std::to_string(i & 1) + " " + std::to_string(i >> 1 & 1) + " " + std::to_string(i >> 2) + "\n";
    return writeInput(QStringLiteral("lut.cube"), reinterpret_cast<const std::uint8_t*>(cube.data()), cube.size());
}

} // namespace fuzzsupport
