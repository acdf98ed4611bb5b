#pragma once

#include "ZanthicSimBase.h"

#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"

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

// Zanthic converters on the simulated bus, with their simulated states at hand.
class ZanthicSimFixture : public ZanthicSimBase {
protected:
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

    // Every control request to the device fails this way, `count` times over.
    void failRequests(const std::string& path, platform::SimFaultAction action, int count,
                      std::function<bool(const SimRequest&)> match = nullptr)
    {
        for (int i = 0; i < count; ++i) {
            platform::SimFault f;
            f.action = action;
            f.kind = SimRequestKind::Control;
            f.path = path;
            f.match = match;
            bus.addFault(f);
        }
    }

    std::vector<SimRequest> allControls() const
    {
        std::vector<SimRequest> out;
        for (const SimRequest& r : bus.transcript())
            if (r.kind == SimRequestKind::Control && (r.setup.bmRequestType & 0x60) != 0)
                out.push_back(r);
        return out;
    }
};

} // namespace zanthictest
