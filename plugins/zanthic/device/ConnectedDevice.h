#pragma once

#include "plugins/zanthic/device/ConnectionState.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace TWG {
namespace Zanthic {

class ConnectedDeviceOwner;
class PotentialDevice;

// What the firmware-update UI asks of a connected device.
class FirmwareUpdateInfo {
public:
    virtual ~FirmwareUpdateInfo() = default;
    virtual bool isFirmwareUpdateAvailable() = 0;
    virtual bool isSoftwareSupported() = 0;
    virtual QString releaseVersion() = 0;
    virtual QString availableSoftwareVersion() = 0;
    virtual QString buildId() = 0;
    virtual QString availableFirmwareVersion() = 0;
};

// The opened device a card works with: its connection state and the update questions.
class ConnectedDevice : public QObject, public FirmwareUpdateInfo, public std::enable_shared_from_this<ConnectedDevice> {
    Q_OBJECT
public:
    ConnectedDevice(ConnectedDeviceOwner* owner, std::shared_ptr<PotentialDevice> potential);
    ~ConnectedDevice() override;

    virtual void notifyDisconnected();
    virtual QString connectionInfo();
    virtual QWidget* createSettingsPage(QWidget* card) = 0;

    ConnectionState connectionState() const { return state_; }
    int connectionType() const;
    void setConnectionState(ConnectionState state);

    // Null once the owner is gone.
    ConnectedDeviceOwner* owner() const;
    const std::shared_ptr<PotentialDevice>& potentialDevice() const { return potential_; }

    bool isFirmwareUpdateAvailable() override;
    bool isSoftwareSupported() override;
    QString releaseVersion() override;
    QString availableSoftwareVersion() override;
    QString buildId() override;
    QString availableFirmwareVersion() override;

signals:
    void connectionStateChanged(TWG::Zanthic::ConnectionState state);
    void disconnected();

private:
    ConnectedDeviceOwner* owner_;
    QPointer<QObject> ownerObject_;
    std::shared_ptr<PotentialDevice> potential_;
    ConnectionState state_ = Idle;
};

// A connected device is a QObject with timers: whoever drops the last reference, it is
// deleted on its own thread.
template <typename T, typename... Args>
std::shared_ptr<T> makeConnectedDevice(Args&&... args)
{
    return std::shared_ptr<T>(new T(std::forward<Args>(args)...), [](T* device) {
        if (device->thread() == QThread::currentThread())
            delete device;
        else
            device->deleteLater();
    });
}

// The settings interface of both model lines. A getter of an absent setting reads 0 (the LUT
// selection 255) and sends nothing; a setter of an absent one does nothing; a setter of a
// present one writes and then tells every delegate, in order, the value written.
class ZanthicConvertersConnectedDevice : public ConnectedDevice {
    Q_OBJECT
public:
    // What the open settings tabs hear of each write.
    class Delegate {
    public:
        virtual ~Delegate() = default;
        virtual void setLutSelection(std::uint8_t index) = 0;
        virtual void setLutInfo(int index, const QString& name) = 0;
        virtual void setLutOnLoopOutput(bool on) = 0;
        virtual void setLutOnSdiOutput(bool on) = 0;
        virtual void setLutOnHdmiOutput(bool on) = 0;
        virtual void setHdmiClipLevel(bool on) = 0;
        virtual void setAudioMapping(bool swapped) = 0;
        virtual void setSecondAudioMapping(bool swapped) = 0;
        virtual void setSdiOutputLevel(bool levelA) = 0;
        virtual void zephIdChanged(std::uint8_t id) = 0;
    };

    // The settings page comes from the plug-in's UI, above this layer.
    using SettingsPageBuilder = QWidget* (*)(ZanthicConvertersConnectedDevice& device, QWidget* card);
    static void setSettingsPageBuilder(SettingsPageBuilder builder);

    // Starts the status poll: the first on the event loop's next turn. The owner's removal
    // interrupts the connection for good.
    ZanthicConvertersConnectedDevice(ConnectedDeviceOwner* owner, std::shared_ptr<PotentialDevice> potential);

    // Turns the event loop until no poll read of this process is left, starting none meanwhile:
    // what they read through goes only after. GUI thread only; never a blocking wait.
    static void waitForPollReads();
    // The poll reads of this process whose thread has not yet returned (what they found is posted
    // once it has). GUI thread only: for whoever paces the program's time from there, as the
    // tests' virtual clock does, and must not let time pass a read that is still on the device.
    static int pollReadsInFlight();

    QWidget* createSettingsPage(QWidget* card) override;

    void addDelegate(Delegate* delegate);
    void removeDelegate(Delegate* delegate);

    virtual QString deviceName();

    virtual void setDeviceName(const QString& name) = 0;
    bool supportsDeviceName() const { return true; }
    bool supportsLutSelection() const { return supports(Setting::LutSelection); }
    std::uint8_t getLutSelection();
    void setLutSelection(std::uint8_t index);
    bool supportsLutLoopEnable() const { return supports(Setting::LutLoop); }
    bool getLutLoopEnable();
    void setLutLoopEnable(bool on);
    bool supportsLutSdiOutEnable() const { return supports(Setting::LutSdiOut); }
    bool getLutSdiOutEnable();
    void setLutSdiOutEnable(bool on);
    bool supportsLutHdmiOutEnable() const { return supports(Setting::LutHdmiOut); }
    bool getLutHdmiOutEnable();
    void setLutHdmiOutEnable(bool on);
    virtual bool supportsLutName() const = 0;
    virtual QString getLutName() = 0;
    // What a LUT load answers.
    enum LutLoadResult : int {
        kLutLoaded = 0,
        kLutFileUnreadable = 2,
        kLutTransferFailed = 5,
        kLutNotXmega = 19,
        kLutUndecodable = 22,
    };
    // Loads a ".cube" file as the device LUT (an empty file name deletes it); a LutLoadResult.
    // The delegates hear setLutInfo on this object's thread once the LUT has arrived, or, when
    // the transfer failed (kLutTransferFailed), with the name the device then reports.
    virtual int loadLut(int index, const QString& fileName, const QString& lutName);
    bool supportsHdmiClampEnable() const { return supports(Setting::HdmiClamp); }
    bool getHdmiClampEnable();
    void setHdmiClampEnable(bool on);
    bool supportsHdmiRxCh34Swap() const { return supports(Setting::HdmiRxSwap); }
    bool getHdmiRxCh34Swap();
    void setHdmiRxCh34Swap(bool on);
    bool supportsHdmiTxCh34Swap() const { return supports(Setting::HdmiTxSwap); }
    bool getHdmiTxCh34Swap();
    void setHdmiTxCh34Swap(bool on);
    bool supportsSdiLevelAEnable() const { return supports(Setting::SdiLevelA); }
    bool getSdiLevelAEnable();
    void setSdiLevelAEnable(bool on);
    bool supportsZephId() const { return supports(Setting::ZephId); }
    std::uint8_t getZephId();
    void setZephId(std::uint8_t id);
    virtual bool supportsLutTransferThread() const = 0;
    virtual void factoryReset() = 0;

signals:
    void transferProgress(int percent);

public slots:
    void onDeviceRemoved();

protected:
    // One status poll, on this object's thread: it sets the interval to the next and the state,
    // or hands its device reads to readOffThread. A turn that comes while such a read has not
    // returned is let go.
    virtual void poll() = 0;
    void setPollInterval(int ms);
    // What a poll's device reads found: the state, or nothing (the turn let go).
    using PollRead = std::function<std::optional<ConnectionState>()>;
    // Runs read on a thread of its own, where no window waits on a device that does not answer.
    // It reaches the device only through what it holds itself (the shared potential device),
    // never through this object, which may go meanwhile. What it found becomes the state on this
    // object's thread, unless the object has gone or its poll has stopped by then.
    void readOffThread(PollRead read);

    // The one-byte settings of the table.
    enum class Setting { LutSelection, LutLoop, LutSdiOut, LutHdmiOut, HdmiClamp, HdmiRxSwap, HdmiTxSwap, SdiLevelA, ZephId };

    virtual bool supports(Setting setting) const = 0;
    // A present setting's value into *value (left as it is when the read fails).
    virtual void readSetting(Setting setting, std::uint8_t* value) = 0;
    virtual void writeSetting(Setting setting, std::uint8_t value) = 0;
    std::vector<Delegate*> delegates() const { return delegates_; }
    // Tells the delegates on this object's thread: at once when called there, posted otherwise.
    void reportLutInfo(int index, const QString& name);

private:
    std::uint8_t get(Setting setting, std::uint8_t absent = 0);
    void set(Setting setting, std::uint8_t value);

    std::vector<Delegate*> delegates_;
    QTimer* pollTimer_;
    bool pollReading_ = false;
};

} // namespace Zanthic
} // namespace TWG
