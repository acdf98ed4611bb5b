#pragma once

#include "tests/plugins/zanthic/ZanthicSimBase.h"

#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/device/CubeParser.h"
#include "tests/support/CubeFiles.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace luttest {

using zanthictest::DeviceRef;
using zanthictest::LogCapture;

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

// A connected device whose status polls (GUI thread) are timed on the wall clock while
// `uploading` is set.
template <typename Device>
class TimedPolls : public Device {
public:
    using Device::Device;
    std::atomic<bool> uploading{false};
    std::vector<qint64> pollMs; // the polls made while uploading

protected:
    void poll() override
    {
        const bool during = uploading;
        QElapsedTimer wall;
        wall.start();
        Device::poll();
        if (during)
            pollMs.push_back(wall.elapsed());
    }
};

// Zanthic converters on the simulated bus, with a cube folder and a LUTs tab that listens.
class LutSimFixture : public zanthictest::ZanthicSimBase {
protected:
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
};

// Little-endian word at a byte offset.
inline std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    return std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 | std::uint32_t(bytes[offset + 2]) << 16 |
           std::uint32_t(bytes[offset + 3]) << 24;
}

} // namespace luttest
