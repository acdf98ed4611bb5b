#pragma once

#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "tests/converters/support/SimTranscript.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zanthictest {

using platform::SimRequest;
using platform::SimRequestKind;

// The visible device that owns a connected device, with a removal the test sets off.
class FakeOwner : public QObject, public TWG::Zanthic::ConnectedDeviceOwner {
public:
    QObject* ownerObject() override { return this; }
    bool isFirmwareUpdateAvailable() const override { return true; }
    bool isSoftwareSupported() const override { return true; }
    QString availableSoftwareVersion() const override { return QStringLiteral("7.6"); }
    QString availableFirmwareVersion() const override { return QStringLiteral("0000b6f1"); }
    void deviceRenamed(const QString& name) override { renamed.append(name); }
    void watchRemoval(QObject* context, std::function<void()> removed) override
    {
        watchers.emplace_back(context, std::move(removed));
    }
    void remove()
    {
        for (auto& w : watchers)
            if (w.first)
                w.second();
    }
    QStringList renamed;
    std::vector<std::pair<QPointer<QObject>, std::function<void()>>> watchers;
};

// What the settings tabs heard, as "operation value".
struct RecordingDelegate : TWG::Zanthic::ZanthicConvertersConnectedDevice::Delegate {
    QStringList heard;
    void note(const char* op, int v) { heard.append(QStringLiteral("%1 %2").arg(QLatin1String(op)).arg(v)); }
    void setLutSelection(std::uint8_t i) override { note("setLutSelection", i); }
    void setLutInfo(int i, const QString& n) override { heard.append(QStringLiteral("setLutInfo %1 %2").arg(i).arg(n)); }
    void setLutOnLoopOutput(bool on) override { note("setLutOnLoopOutput", on); }
    void setLutOnSdiOutput(bool on) override { note("setLutOnSdiOutput", on); }
    void setLutOnHdmiOutput(bool on) override { note("setLutOnHdmiOutput", on); }
    void setHdmiClipLevel(bool on) override { note("setHdmiClipLevel", on); }
    void setAudioMapping(bool on) override { note("setAudioMapping", on); }
    void setSecondAudioMapping(bool on) override { note("setSecondAudioMapping", on); }
    void setSdiOutputLevel(bool on) override { note("setSdiOutputLevel", on); }
    void zephIdChanged(std::uint8_t id) override { note("zephIdChanged", id); }
};

// Collects the debug log while it lives.
class LogCapture {
public:
    LogCapture() : previous_(qInstallMessageHandler(&LogCapture::handler)) { active() = this; }
    ~LogCapture()
    {
        qInstallMessageHandler(previous_);
        active() = nullptr;
    }
    bool contains(const QString& text) const
    {
        for (const QString& line : lines)
            if (line.contains(text))
                return true;
        return false;
    }
    QStringList lines;

private:
    static LogCapture*& active()
    {
        static LogCapture* capture = nullptr;
        return capture;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (active())
            active()->lines.append(message);
    }
    QtMessageHandler previous_;
};

// Zanthic converters on the simulated bus behind the emulated driver, in virtual time.
class ZanthicSimFixture : public ::testing::Test {
protected:
    ZanthicSimFixture() : emulator(bus) { platform::DriverPort::setInstance(&emulator); }
    // Runs after the test's own members are gone: by then every device it opened is closed.
    ~ZanthicSimFixture() override
    {
        QCoreApplication::processEvents();
        EXPECT_EQ(bus.liveObjects(), 0) << "a USB device reference was never released";
        platform::DriverPort::setInstance(nullptr);
    }

    std::shared_ptr<platform::SimStm32State> stm32State(std::uint16_t product = 0xBE6F)
    {
        auto s = std::make_shared<platform::SimStm32State>();
        s->productId = product;
        return s;
    }
    std::string attachStm32(const std::shared_ptr<platform::SimStm32State>& s)
    {
        return bus.attach(std::make_shared<platform::SimStm32Application>(s));
    }

    std::shared_ptr<platform::SimXmegaState> xmegaState(std::uint16_t product = 0xBE90)
    {
        auto s = std::make_shared<platform::SimXmegaState>();
        s->productId = product;
        s->registerMap = platform::SimXmegaState::RegisterMap::Zanthic;
        s->application.assign(s->application.size(), 0x5A); // an application to restart into
        return s;
    }
    std::string attachXmega(const std::shared_ptr<platform::SimXmegaState>& s, bool bootloader = false)
    {
        return bus.attach(platform::SimXmegaDevice::persona(s, bootloader));
    }

    // The device at the path as the USB library opens it (one reference, the caller's).
    TWG::USB::IUSBDevice* open(const std::string& path)
    {
        TWG::USB::DriverConnection* c =
            TWG::USB::DriverConnection::connectToDriverWithPath(path, platform::kNoWindow, 0);
        if (!c)
            return nullptr;
        auto* usb = new TWG::USB::CUSBDevice(c);
        c->release();
        return usb;
    }

    std::vector<SimRequest> controls(int request, int requestType = -1) const
    {
        return convtest::controls(bus, request, requestType);
    }
    std::vector<SimRequest> allControls() const
    {
        std::vector<SimRequest> out;
        for (const SimRequest& r : bus.transcript())
            if (r.kind == SimRequestKind::Control && (r.setup.bmRequestType & 0x60) != 0)
                out.push_back(r);
        return out;
    }

    platform::VirtualClock clock;
    platform::ClockOverride clockOverride{&clock};
    platform::SimBackend bus;
    platform::DriverEmulator emulator;
};

// Holds one USB device reference and releases it at the end of a scope. Replace the device
// with reset(): assigning `device` would drop the reference held.
struct DeviceRef {
    TWG::USB::IUSBDevice* device = nullptr;
    DeviceRef() = default;
    explicit DeviceRef(TWG::USB::IUSBDevice* d) : device(d) {}
    DeviceRef(const DeviceRef&) = delete;
    DeviceRef& operator=(const DeviceRef&) = delete;
    ~DeviceRef() { reset(); }
    void reset(TWG::USB::IUSBDevice* d = nullptr)
    {
        if (device)
            device->release();
        device = d;
    }
};

} // namespace zanthictest
