#pragma once

#include "plugins/zanthic/device/ConnectedDevice.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QStringList>
#include <QThread>

#include <condition_variable>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <mutex>

namespace settingstest {

using namespace TWG::Zanthic;

// Holds a LUT load until the test lets it go.
class Gate {
public:
    void close()
    {
        std::lock_guard<std::mutex> lock(m_);
        open_ = false;
    }
    void open()
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            open_ = true;
        }
        cv_.notify_all();
    }
    bool isOpen() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return open_;
    }
    void pass()
    {
        std::unique_lock<std::mutex> lock(m_);
        ++waiting_;
        cv_.wait(lock, [this] { return open_; });
        --waiting_;
    }
    int waiting() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return waiting_;
    }

private:
    mutable std::mutex m_;
    std::condition_variable cv_;
    bool open_ = true;
    int waiting_ = 0;
};

// A connected device of a given product id with the capabilities of its model line, that
// records every write ("Setting value", plus whether the GUI thread made it) and never
// touches a bus.
class RecordingDevice : public ZanthicConvertersConnectedDevice {
    Q_OBJECT
public:
    explicit RecordingDevice(std::uint16_t productId)
        : ZanthicConvertersConnectedDevice(nullptr, nullptr), productId_(productId)
    {
        transferThread = among({0xBE77, 0xBE78, 0xBE89, 0xBE90, 0xBE91});
    }

    // A capability set of no model: both audio mappings.
    bool bothMappings = false;
    bool transferThread;
    QString name = QStringLiteral("Studio A");
    QStringList names;     // setDeviceName calls
    int factoryResets = 0;
    int loadResult = 0;    // what a LUT load returns
    int deleteResult = 0;  // what a LUT removal returns (failed: the LUT stays)
    Gate gate;             // a LUT load waits here

    void setValue(const char* setting, std::uint8_t value) { values_[settingOf(setting)] = value; }
    std::uint8_t value(const char* setting) const
    {
        auto it = values_.find(settingOf(setting));
        return it == values_.end() ? 0 : it->second;
    }
    QStringList writes() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return writes_;
    }
    QStringList offGuiWrites() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return offGui_;
    }
    QStringList loads() const
    {
        std::lock_guard<std::mutex> lock(m_);
        return loads_;
    }
    void clearWrites()
    {
        std::lock_guard<std::mutex> lock(m_);
        writes_.clear();
        offGui_.clear();
    }
    void setLutName(const QString& lut)
    {
        std::lock_guard<std::mutex> lock(m_);
        lutName_ = lut;
    }

    QString deviceName() override { return name; }
    void setDeviceName(const QString& n) override { names.append(n); }
    bool supportsLutName() const override { return supports(Setting::LutSdiOut) && supports(Setting::LutHdmiOut); }
    QString getLutName() override
    {
        std::lock_guard<std::mutex> lock(m_);
        return lutName_;
    }
    int loadLut(int index, const QString& fileName, const QString& lutName) override
    {
        {
            std::lock_guard<std::mutex> lock(m_);
            loads_.append(QStringLiteral("%1 %2 %3").arg(index).arg(fileName, lutName));
        }
        emit transferProgress(40);
        gate.pass();
        if (!fileName.isEmpty() && loadResult != 0)
            return loadResult;
        if (fileName.isEmpty() && deleteResult != 0) {
            reportLutInfo(index, getLutName());
            return deleteResult;
        }
        setLutName(lutName);
        reportLutInfo(index, lutName);
        return 0;
    }
    bool supportsLutTransferThread() const override { return transferThread; }
    void factoryReset() override { ++factoryResets; }

protected:
    void poll() override
    {
        setConnectionState(Connected);
        setPollInterval(60 * 60 * 1000);
    }
    bool supports(Setting s) const override
    {
        switch (s) {
        case Setting::LutSelection: return among({0xBE6F, 0xBE70, 0xBE77, 0xBE78, 0xBE89, 0xBE90, 0xBE91});
        case Setting::LutLoop: return among({0xBE6F, 0xBE77, 0xBE90});
        case Setting::LutSdiOut:
        case Setting::LutHdmiOut: return among({0xBE89});
        case Setting::HdmiClamp: return among({0xBE6F, 0xBE77, 0xBE79, 0xBE89, 0xBE90});
        case Setting::HdmiRxSwap: return bothMappings;
        case Setting::HdmiTxSwap: return among({0xBE6F, 0xBE77, 0xBE79, 0xBE89, 0xBE90});
        case Setting::SdiLevelA: return among({0xBE70, 0xBE77, 0xBE78, 0xBE79, 0xBE89, 0xBE91});
        case Setting::ZephId: return among({0xBE79, 0xBE89});
        }
        return false;
    }
    void readSetting(Setting s, std::uint8_t* v) override
    {
        std::lock_guard<std::mutex> lock(m_);
        auto it = values_.find(s);
        *v = it == values_.end() ? 0 : it->second;
    }
    void writeSetting(Setting s, std::uint8_t v) override
    {
        std::lock_guard<std::mutex> lock(m_);
        values_[s] = v;
        const QString w = QStringLiteral("%1 %2").arg(QLatin1String(nameOf(s))).arg(v);
        writes_.append(w);
        if (QThread::currentThread() != qApp->thread())
            offGui_.append(w);
    }

private:
    bool among(std::initializer_list<int> ids) const
    {
        for (int id : ids)
            if (id == productId_)
                return true;
        return false;
    }
    static const char* nameOf(Setting s)
    {
        switch (s) {
        case Setting::LutSelection: return "LutSelection";
        case Setting::LutLoop: return "LutLoop";
        case Setting::LutSdiOut: return "LutSdiOut";
        case Setting::LutHdmiOut: return "LutHdmiOut";
        case Setting::HdmiClamp: return "HdmiClamp";
        case Setting::HdmiRxSwap: return "HdmiRxSwap";
        case Setting::HdmiTxSwap: return "HdmiTxSwap";
        case Setting::SdiLevelA: return "SdiLevelA";
        case Setting::ZephId: return "ZephId";
        }
        return "?";
    }
    static Setting settingOf(const char* name)
    {
        for (Setting s : {Setting::LutSelection, Setting::LutLoop, Setting::LutSdiOut, Setting::LutHdmiOut, Setting::HdmiClamp,
                          Setting::HdmiRxSwap, Setting::HdmiTxSwap, Setting::SdiLevelA, Setting::ZephId})
            if (qstrcmp(nameOf(s), name) == 0)
                return s;
        ADD_FAILURE() << "no setting " << name;
        return Setting::LutSelection;
    }

    std::uint16_t productId_;
    mutable std::mutex m_;
    std::map<Setting, std::uint8_t> values_;
    QStringList writes_;
    QStringList offGui_;
    QStringList loads_;
    QString lutName_;
};

inline std::shared_ptr<RecordingDevice> recordingDevice(std::uint16_t productId)
{
    return makeConnectedDevice<RecordingDevice>(productId);
}

} // namespace settingstest
