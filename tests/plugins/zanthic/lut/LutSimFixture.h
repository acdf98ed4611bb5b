#pragma once

#include "platform/Clock.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/device/CubeParser.h"
#include "tests/converters/support/SimTranscript.h"
#include "tests/plugins/converters/lut/CubeFiles.h"
#include "usb/CUSBDevice.h"
#include "usb/DriverConnection.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QThread>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace luttest {

// The visible device that owns a connected device; it is never removed here.
class StillOwner : public QObject, public TWG::Zanthic::ConnectedDeviceOwner {
public:
    QObject* ownerObject() override { return this; }
    bool isFirmwareUpdateAvailable() const override { return false; }
    bool isSoftwareSupported() const override { return true; }
    QString availableSoftwareVersion() const override { return {}; }
    QString availableFirmwareVersion() const override { return {}; }
    void deviceRenamed(const QString&) override {}
    void watchRemoval(QObject*, std::function<void()>) override {}
};

// What the LUTs tab hears: setLutInfo with the thread it ran on.
struct LutInfoDelegate : TWG::Zanthic::ZanthicConvertersConnectedDevice::Delegate {
    QStringList heard;
    std::vector<QThread*> threads;
    void setLutInfo(int index, const QString& name) override
    {
        heard.append(QStringLiteral("%1 %2").arg(index).arg(name));
        threads.push_back(QThread::currentThread());
    }
    void setLutSelection(std::uint8_t) override {}
    void setLutOnLoopOutput(bool) override {}
    void setLutOnSdiOutput(bool) override {}
    void setLutOnHdmiOutput(bool) override {}
    void setHdmiClipLevel(bool) override {}
    void setAudioMapping(bool) override {}
    void setSecondAudioMapping(bool) override {}
    void setSdiOutputLevel(bool) override {}
    void zephIdChanged(std::uint8_t) override {}
};

// The cube decoder's log lines while it lives.
class CubeLogCapture {
public:
    CubeLogCapture()
    {
        TWG::Zanthic::setCubeLogSink([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.push_back(line);
        });
    }
    ~CubeLogCapture() { TWG::Zanthic::setCubeLogSink({}); }
    std::vector<std::string> lines() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    std::string text() const
    {
        std::string all;
        for (const std::string& l : lines())
            all += l;
        return all;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

// The Qt debug log while it lives.
class QtLogCapture {
public:
    QtLogCapture() : previous_(qInstallMessageHandler(&QtLogCapture::handler)) { active() = this; }
    ~QtLogCapture()
    {
        qInstallMessageHandler(previous_);
        active() = nullptr;
    }
    bool contains(const QString& text) const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const QString& line : lines_)
            if (line.contains(text))
                return true;
        return false;
    }

private:
    static QtLogCapture*& active()
    {
        static QtLogCapture* capture = nullptr;
        return capture;
    }
    static void handler(QtMsgType, const QMessageLogContext&, const QString& message)
    {
        if (QtLogCapture* c = active()) {
            std::lock_guard<std::mutex> lock(c->mutex_);
            c->lines_.append(message);
        }
    }
    QtMessageHandler previous_;
    mutable std::mutex mutex_;
    QStringList lines_;
};

// Zanthic converters on the simulated bus behind the emulated driver, in virtual time.
class LutSimFixture : public ::testing::Test {
protected:
    LutSimFixture() : emulator(bus) { platform::DriverPort::setInstance(&emulator); }
    ~LutSimFixture() override
    {
        QCoreApplication::processEvents();
        platform::DriverPort::setInstance(nullptr);
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

    std::vector<platform::SimRequest> controls(int request, int requestType = -1) const
    {
        return convtest::controls(bus, request, requestType);
    }

    // Runs work on a thread of its own, as the LUTs tab's transfer worker does, while this
    // thread's event loop turns.
    int onWorker(const std::function<int()>& work)
    {
        int result = -1;
        bool done = false;
        std::mutex m;
        std::thread worker([&] {
            const int r = work();
            std::lock_guard<std::mutex> lock(m);
            result = r;
            done = true;
        });
        EXPECT_TRUE(QTest::qWaitFor([&] {
            std::lock_guard<std::mutex> lock(m);
            return done;
        }, 30000));
        worker.join();
        QCoreApplication::processEvents();
        return result;
    }

    CubeDir files;
    StillOwner owner;
    LutInfoDelegate delegate;
    platform::VirtualClock clock;
    platform::ClockOverride clockOverride{&clock};
    platform::SimBackend bus;
    platform::DriverEmulator emulator;
};

// Releases a USB device reference at the end of a scope.
struct DeviceRef {
    TWG::USB::IUSBDevice* device = nullptr;
    ~DeviceRef()
    {
        if (device)
            device->release();
    }
};

// Little-endian word at a byte offset.
inline std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    return std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 | std::uint32_t(bytes[offset + 2]) << 16 |
           std::uint32_t(bytes[offset + 3]) << 24;
}

} // namespace luttest
