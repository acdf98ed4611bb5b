#include "plugins/zanthic/device/ConnectedDevice.h"

#include "platform/ThreadHandOff.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/device/PotentialDevice.h"

#include <QEventLoop>
#include <QSet>

#include <algorithm>

namespace TWG {
namespace Zanthic {

namespace {
constexpr std::uint8_t kNoLutSelected = 255;

ZanthicConvertersConnectedDevice::SettingsPageBuilder settingsPageBuilder = nullptr;

// One poll's device reads. What the read holds (the device it reads through) it holds until
// this object is deleted, on the GUI thread, once the thread has ended: never on the thread,
// and never while it still reads.
class PollReadThread : public QThread {
public:
    using Read = std::function<std::optional<ConnectionState>()>;
    PollReadThread(Read read, std::shared_ptr<std::optional<ConnectionState>> found);
    ~PollReadThread() override;

protected:
    void run() override
    {
        *found_ = read_();
        // The GUI thread reads what was found, and deletes the read, after `finished`.
        platform::handOver(found_.get());
    }

private:
    Read read_;
    std::shared_ptr<std::optional<ConnectionState>> found_;
};

// The poll reads made and not yet deleted, and whether a wait for them holds new ones back.
// GUI thread only.
QSet<PollReadThread*>& pollReads()
{
    static QSet<PollReadThread*> all;
    return all;
}
int pollReadHolds = 0;

PollReadThread::PollReadThread(Read read, std::shared_ptr<std::optional<ConnectionState>> found)
    : read_(std::move(read)), found_(std::move(found))
{
    pollReads().insert(this);
    connect(this, &QThread::finished, this, &QObject::deleteLater);
}

PollReadThread::~PollReadThread()
{
    platform::takeOver(found_.get());
    pollReads().remove(this);
}

} // namespace

// --- ConnectedDevice -------------------------------------------------------------------------

ConnectedDevice::ConnectedDevice(ConnectedDeviceOwner* owner, std::shared_ptr<PotentialDevice> potential)
    : owner_(owner), ownerObject_(owner ? owner->ownerObject() : nullptr), potential_(std::move(potential))
{
    qRegisterMetaType<TWG::Zanthic::ConnectionState>("TWG::Zanthic::ConnectionState");
}

ConnectedDevice::~ConnectedDevice() = default;

void ConnectedDevice::notifyDisconnected() { emit disconnected(); }
QString ConnectedDevice::connectionInfo() { return {}; }
int ConnectedDevice::connectionType() const { return potential_ ? potential_->connectionType() : 0; }

void ConnectedDevice::setConnectionState(ConnectionState state)
{
    if (state == state_)
        return;
    state_ = state;
    emit connectionStateChanged(state);
}

ConnectedDeviceOwner* ConnectedDevice::owner() const { return ownerObject_ ? owner_ : nullptr; }

bool ConnectedDevice::isFirmwareUpdateAvailable()
{
    ConnectedDeviceOwner* o = owner();
    return o && o->isFirmwareUpdateAvailable();
}

bool ConnectedDevice::isSoftwareSupported()
{
    ConnectedDeviceOwner* o = owner();
    return o && o->isSoftwareSupported();
}

QString ConnectedDevice::releaseVersion() { return potential_ ? potential_->releaseVersion() : QString(); }

QString ConnectedDevice::availableSoftwareVersion()
{
    ConnectedDeviceOwner* o = owner();
    return o ? o->availableSoftwareVersion() : QString();
}

QString ConnectedDevice::buildId() { return potential_ ? potential_->buildId() : QString(); }

QString ConnectedDevice::availableFirmwareVersion()
{
    ConnectedDeviceOwner* o = owner();
    return o ? o->availableFirmwareVersion() : QString();
}

// --- ZanthicConvertersConnectedDevice --------------------------------------------------------

ZanthicConvertersConnectedDevice::ZanthicConvertersConnectedDevice(ConnectedDeviceOwner* owner,
                                                                   std::shared_ptr<PotentialDevice> potential)
    : ConnectedDevice(owner, std::move(potential)), pollTimer_(new QTimer(this))
{
    pollTimer_->setInterval(0);
    QObject::connect(pollTimer_, &QTimer::timeout, this, [this] {
        if (!pollReading_)
            poll();
    });
    pollTimer_->start();
    if (owner)
        owner->watchRemoval(this, [this] { onDeviceRemoved(); });
}

void ZanthicConvertersConnectedDevice::onDeviceRemoved()
{
    // A removed device reads as unreachable: polling on would call it Connecting again.
    pollTimer_->stop();
    setConnectionState(Interrupted);
}

void ZanthicConvertersConnectedDevice::setPollInterval(int ms) { pollTimer_->setInterval(ms); }

void ZanthicConvertersConnectedDevice::readOffThread(PollRead read)
{
    // The program is ending: the reads under way are waited for, and no new one begins.
    if (pollReadHolds > 0)
        return;
    auto found = std::make_shared<std::optional<ConnectionState>>();
    auto* worker = new PollReadThread(std::move(read), found);
    pollReading_ = true;
    // Queued from the thread; dropped with this object when it has gone by then.
    QObject::connect(worker, &QThread::finished, this, [this, found] {
        platform::takeOver(found.get());
        pollReading_ = false;
        // Interrupted by the removal: nothing a read found since says otherwise.
        if (*found && pollTimer_->isActive())
            setConnectionState(**found);
    });
    worker->start();
}

void ZanthicConvertersConnectedDevice::waitForPollReads()
{
    // A read that ended before this wait began had its deletion posted to the loop running
    // then, which the nested loop below never serves: ended reads go here. Their thread may
    // still be leaving; deleting it waits that out.
    const auto deleteEnded = [] {
        const QList<PollReadThread*> reads = pollReads().values();
        for (PollReadThread* read : reads)
            if (read->isFinished())
                delete read;
        return pollReads().isEmpty();
    };
    if (deleteEnded())
        return;
    ++pollReadHolds;
    // A read's end arrives queued: the loop looks on a short tick until none is left.
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&loop, &deleteEnded] {
        if (deleteEnded())
            loop.quit();
    });
    tick.start(20);
    loop.exec();
    --pollReadHolds;
}

int ZanthicConvertersConnectedDevice::pollReadsInFlight()
{
    const QSet<PollReadThread*>& all = pollReads();
    return static_cast<int>(
        std::count_if(all.begin(), all.end(), [](const PollReadThread* t) { return !t->isFinished(); }));
}

void ZanthicConvertersConnectedDevice::setSettingsPageBuilder(SettingsPageBuilder builder)
{
    settingsPageBuilder = builder;
}

QWidget* ZanthicConvertersConnectedDevice::createSettingsPage(QWidget* card)
{
    return settingsPageBuilder ? settingsPageBuilder(*this, card) : nullptr;
}

void ZanthicConvertersConnectedDevice::addDelegate(Delegate* delegate)
{
    if (delegate && std::find(delegates_.begin(), delegates_.end(), delegate) == delegates_.end())
        delegates_.push_back(delegate);
}

void ZanthicConvertersConnectedDevice::removeDelegate(Delegate* delegate)
{
    delegates_.erase(std::remove(delegates_.begin(), delegates_.end(), delegate), delegates_.end());
}

QString ZanthicConvertersConnectedDevice::deviceName()
{
    return potentialDevice() ? potentialDevice()->deviceName() : QString();
}

int ZanthicConvertersConnectedDevice::loadLut(int, const QString&, const QString&) { return kLutTransferFailed; }

void ZanthicConvertersConnectedDevice::reportLutInfo(int index, const QString& name)
{
    auto tell = [this, index, name] {
        for (Delegate* d : delegates())
            d->setLutInfo(index, name);
    };
    if (QThread::currentThread() == thread())
        tell();
    else
        QMetaObject::invokeMethod(this, tell, Qt::QueuedConnection);
}

std::uint8_t ZanthicConvertersConnectedDevice::get(Setting setting, std::uint8_t absent)
{
    if (!supports(setting))
        return absent;
    std::uint8_t value = 0;
    readSetting(setting, &value);
    return value;
}

void ZanthicConvertersConnectedDevice::set(Setting setting, std::uint8_t value)
{
    if (!supports(setting))
        return;
    writeSetting(setting, value);
    // A delegate may take itself out while it hears the value.
    for (Delegate* d : delegates()) {
        switch (setting) {
        case Setting::LutSelection: d->setLutSelection(value); break;
        case Setting::LutLoop: d->setLutOnLoopOutput(value != 0); break;
        case Setting::LutSdiOut: d->setLutOnSdiOutput(value != 0); break;
        case Setting::LutHdmiOut: d->setLutOnHdmiOutput(value != 0); break;
        case Setting::HdmiClamp: d->setHdmiClipLevel(value != 0); break;
        case Setting::HdmiRxSwap: d->setAudioMapping(value != 0); break;
        case Setting::HdmiTxSwap: d->setSecondAudioMapping(value != 0); break;
        case Setting::SdiLevelA: d->setSdiOutputLevel(value != 0); break;
        case Setting::ZephId: d->zephIdChanged(value); break;
        }
    }
}

std::uint8_t ZanthicConvertersConnectedDevice::getLutSelection() { return get(Setting::LutSelection, kNoLutSelected); }
void ZanthicConvertersConnectedDevice::setLutSelection(std::uint8_t index) { set(Setting::LutSelection, index); }
bool ZanthicConvertersConnectedDevice::getLutLoopEnable() { return get(Setting::LutLoop) != 0; }
void ZanthicConvertersConnectedDevice::setLutLoopEnable(bool on) { set(Setting::LutLoop, on ? 1 : 0); }
bool ZanthicConvertersConnectedDevice::getLutSdiOutEnable() { return get(Setting::LutSdiOut) != 0; }
void ZanthicConvertersConnectedDevice::setLutSdiOutEnable(bool on) { set(Setting::LutSdiOut, on ? 1 : 0); }
bool ZanthicConvertersConnectedDevice::getLutHdmiOutEnable() { return get(Setting::LutHdmiOut) != 0; }
void ZanthicConvertersConnectedDevice::setLutHdmiOutEnable(bool on) { set(Setting::LutHdmiOut, on ? 1 : 0); }
bool ZanthicConvertersConnectedDevice::getHdmiClampEnable() { return get(Setting::HdmiClamp) != 0; }
void ZanthicConvertersConnectedDevice::setHdmiClampEnable(bool on) { set(Setting::HdmiClamp, on ? 1 : 0); }
bool ZanthicConvertersConnectedDevice::getHdmiRxCh34Swap() { return get(Setting::HdmiRxSwap) != 0; }
void ZanthicConvertersConnectedDevice::setHdmiRxCh34Swap(bool on) { set(Setting::HdmiRxSwap, on ? 1 : 0); }
bool ZanthicConvertersConnectedDevice::getHdmiTxCh34Swap() { return get(Setting::HdmiTxSwap) != 0; }
void ZanthicConvertersConnectedDevice::setHdmiTxCh34Swap(bool on) { set(Setting::HdmiTxSwap, on ? 1 : 0); }
bool ZanthicConvertersConnectedDevice::getSdiLevelAEnable() { return get(Setting::SdiLevelA) != 0; }
void ZanthicConvertersConnectedDevice::setSdiLevelAEnable(bool on) { set(Setting::SdiLevelA, on ? 1 : 0); }
std::uint8_t ZanthicConvertersConnectedDevice::getZephId() { return get(Setting::ZephId); }
void ZanthicConvertersConnectedDevice::setZephId(std::uint8_t id) { set(Setting::ZephId, id); }

} // namespace Zanthic
} // namespace TWG
