#pragma once

// What the Zanthic device fuzzers share: the visible device that owns a connected device, and a
// small LUT file to upload.
#include "FuzzSupport.h"

#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/device/CubeParser.h"

#include <QCoreApplication>
#include <QObject>
#include <QThread>
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

// A status poll reads on a thread of its own: the fuzzer lets it end, and takes what it found,
// before it asks the device anything else or the bus it reads through goes. The read is spun
// for, so that the wait at exit finds it ended and needs no tick of its own.
inline void settlePollReads()
{
    while (TWG::Zanthic::ZanthicConvertersConnectedDevice::pollReadsInFlight() > 0)
        QThread::yieldCurrentThread();
    TWG::Zanthic::ZanthicConvertersConnectedDevice::waitForPollReads();
    QCoreApplication::sendPostedEvents();
}

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
