#pragma once

// The Zanthic plug-in as the program drives it, on the simulated bus in paced virtual time:
// the real family with its connection manager and notifier thread, the update controller and
// its dialog, the card with its LUTs tab. An update or a LUT upload runs as the user starts
// it; the rig turns the event loop, paces the cards' status polls in virtual time and measures
// how long the GUI thread stays away from its loop.

#include "kit/widgets/CardPushButton.h"
#include "platform/Messages.h"
#include "platform/emulator/DriverEmulator.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/models/stm32/SimStm32Application.h"
#include "platform/sim/models/xmega/SimXmegaDevice.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/CubeParser.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/ui/ConnectionLostDialog.h"
#include "plugins/zanthic/ui/D2Family.h"
#include "plugins/zanthic/ui/D2ProductCard.h"
#include "tests/support/FaultSweep.h"
#include "plugins/zanthic/ui/D2SettingsLabel.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/D2SettingsPage.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/FirmwareUpdateController.h"
#include "plugins/zanthic/ui/FirmwareUpdateDialog.h"
#include "plugins/zanthic/ui/LutTransferThread.h"
#include "plugins/zanthic/ui/TransferProgressDialog.h"
#include "plugins/zanthic/ui/ZanthicConvertersLutsTab.h"
#include "plugins/zanthic/ui/ZanthicPlugInSetup.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/ZanthicFirmwareIds.h"
#include "protocol/ZanthicRegisters.h"
#include "tests/support/CubeFiles.h"
#include "tests/plugins/zanthic/PacedClock.h"
#include "tools/sim-tree/SimFirmware.h"
#include "usb/package/PackageFormat.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTimerEvent>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace zanthicrun {

using namespace TWG::Zanthic;
using zanthictest::PacedClock;
using platform::SimRequest;
using platform::SimRequestKind;
using faultsweep::describe;
namespace SimFirmware = TWG::Tools::SimFirmware;

constexpr std::uint16_t kStm32 = 0xBE89;
constexpr std::uint16_t kXmega = 0xBE90;
constexpr char kStm32Serial[] = "5a4e0089abcd";
constexpr char kOldBuild[] = "00010001";
constexpr std::uint32_t kOldFpga = 0x19;
constexpr std::uint32_t kOldXmega = 1;
// The name the device's LUT has before an upload; it is not shown then.
constexpr char kOldLutName[] = "Old grade";
constexpr std::uint8_t kLutOff = 255;

enum class Kind { Stm32Update, XmegaUpdate, Stm32Lut, XmegaLut };
inline bool isUpdate(Kind k) { return k == Kind::Stm32Update || k == Kind::XmegaUpdate; }
inline bool isStm32(Kind k) { return k == Kind::Stm32Update || k == Kind::Stm32Lut; }
inline std::uint16_t productOf(Kind k) { return isStm32(k) ? kStm32 : kXmega; }
inline const char* nameOf(Kind k)
{
    static const char* const names[] = {"Stm32Update", "XmegaUpdate", "Stm32Lut", "XmegaLut"};
    return names[int(k)];
}

// The process's plug-in folder, with the packages in its "Resources"; the model table reads
// the XMEGA versions from them once, so they are written before the first family.
inline QString pluginFolder()
{
    static QTemporaryDir root;
    static const bool written = [] {
        const QString resources = root.filePath(QStringLiteral("Resources"));
        bool ok = QDir().mkpath(resources);
        for (std::uint16_t id : {kStm32, kXmega}) {
            std::string error;
            ok = SimFirmware::writePackage(id, resources.toStdString(), &error) && ok;
            EXPECT_TRUE(ok) << error;
        }
        return ok;
    }();
    EXPECT_TRUE(written);
    return root.path();
}

// Where bytes differ from the expected ones at an offset; empty when they hold them.
inline std::string differs(const char* what, const std::vector<std::uint8_t>& bytes, std::size_t at,
                           const std::vector<std::uint8_t>& expected)
{
    if (bytes.size() < at + expected.size())
        return std::string(what) + " too small";
    const auto mismatch = std::mismatch(expected.begin(), expected.end(), bytes.begin() + long(at));
    if (mismatch.first == expected.end())
        return {};
    return std::string(what) + " differs at offset " + std::to_string(mismatch.first - expected.begin());
}

// A Zanthic converter whose memories outlast its replugs.
class Converter {
public:
    virtual ~Converter() = default;
    // On the bus, powered up (again) with what its memories hold.
    virtual void plugIn(platform::SimBackend& bus) = 0;
    virtual QString serial() const = 0;
    // Why the device does not hold the package's images; empty when it does.
    virtual std::string updateIncomplete() const = 0;
    // Why the device does not hold the table and name; empty when it does.
    virtual std::string lutIncomplete(const std::vector<std::uint8_t>& table, const std::string& name) const = 0;
    // The LUT name as the device reports it.
    virtual QString lutName() const = 0;
    // Whether the device shows its LUT (off before the first upload).
    virtual bool lutSelected() const = 0;
    virtual std::vector<std::string> violations() const = 0;
};

class Stm32Converter : public Converter {
public:
    explicit Stm32Converter(bool current) : state_(std::make_shared<platform::SimStm32State>())
    {
        state_->productId = kStm32;
        state_->serial = kStm32Serial;
        state_->setText(stm32::keys::kBuildId, current ? firmwareids::stm32BuildId(kStm32) : kOldBuild);
        state_->setText(stm32::keys::kLutName, kOldLutName);
        state_->properties[stm32::keys::kLutSelection] = {kLutOff};
        state_->properties[stm32::keys::kLutData] = std::vector<std::uint8_t>(64, 7);
    }
    void plugIn(platform::SimBackend& bus) override
    {
        platform::SimStm32State& s = *state_;
        // What lives only while powered goes; a bootloader with half an image starts again,
        // one with the whole image starts it.
        s.handleKeys.clear();
        s.pendingKeys.clear();
        s.pendingValues.clear();
        const bool whole = s.flash == image();
        if (whole)
            s.startApplicationFromFlash();
        bus.attach(platform::SimStm32Application::persona(state_, !s.flash.empty() && !whole));
    }
    QString serial() const override { return QString::fromLatin1(kStm32Serial); }
    std::string updateIncomplete() const override
    {
        if (state_->flash != image())
            return "the flash is not the package's image";
        if (state_->text(stm32::keys::kBuildId) != firmwareids::stm32BuildId(kStm32))
            return "the application does not run the package's build";
        return {};
    }
    std::string lutIncomplete(const std::vector<std::uint8_t>& table, const std::string& name) const override
    {
        const auto data = state_->properties.find(stm32::keys::kLutData);
        if (data == state_->properties.end() || data->second != table)
            return "LutData is not the packed table";
        if (state_->text(stm32::keys::kLutName) != name)
            return "LutName is \"" + state_->text(stm32::keys::kLutName) + "\"";
        return {};
    }
    QString lutName() const override { return QString::fromStdString(state_->text(stm32::keys::kLutName)); }
    bool lutSelected() const override
    {
        const auto selection = state_->properties.find(stm32::keys::kLutSelection);
        return selection != state_->properties.end() && selection->second == std::vector<std::uint8_t>{0};
    }
    std::vector<std::string> violations() const override { return state_->violations; }
    const std::shared_ptr<platform::SimStm32State>& state() const { return state_; }

private:
    static std::vector<std::uint8_t> image() { return SimFirmware::images(kStm32).front().data; }
    std::shared_ptr<platform::SimStm32State> state_;
};

class XmegaConverter : public Converter {
public:
    explicit XmegaConverter(bool current) : state_(std::make_shared<platform::SimXmegaState>())
    {
        platform::SimXmegaState& s = *state_;
        s.productId = kXmega;
        s.registerMap = platform::SimXmegaState::RegisterMap::Zanthic;
        s.eeproms = platform::SimXmegaState::zanthicEeproms();
        for (std::size_t i = 0; i < s.uuid.size(); ++i)
            s.uuid[i] = static_cast<std::uint8_t>(0xB0 + i);
        s.application.assign(s.application.size(), 0x5A);
        s.fpgaVersion = current ? firmwareids::kXmegaFpgaVersion : kOldFpga;
        s.versions[0] = s.versions[1] = current ? firmwareids::kXmegaVersion : kOldXmega;
        for (std::size_t i = 0; i < sizeof kOldLutName - 1; ++i)
            s.memory[xmegareg::kLutName + std::uint32_t(i)] = static_cast<std::uint8_t>(kOldLutName[i]);
        s.memory[xmegareg::kLutSelection] = kLutOff;
    }
    void plugIn(platform::SimBackend& bus) override
    {
        if (plugged_)
            state_->powerCycle();
        plugged_ = true;
        bus.attach(platform::SimXmegaDevice::persona(state_, !state_->applicationPresent()));
    }
    QString serial() const override
    {
        QString text;
        for (std::uint8_t b : state_->uuid)
            text += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
        return text;
    }
    std::string updateIncomplete() const override
    {
        std::string why;
        for (const SimFirmware::Image& image : SimFirmware::images(kXmega)) {
            if (!why.empty())
                break;
            if (image.type != TWG::USB::PackageFormat::kEntryTypeFirmware)
                continue;
            if (image.application)
                why = differs("application area", state_->application, 0, image.data);
            else
                why = differs("EEPROM", state_->eeproms.at(image.target).bytes, image.word, image.data);
        }
        if (why.empty() && state_->fpgaVersion != firmwareids::kXmegaFpgaVersion)
            why = "the FPGA does not run the package's image";
        return why;
    }
    std::string lutIncomplete(const std::vector<std::uint8_t>& table, const std::string& name) const override
    {
        std::string why = differs("LUT area", state_->eeproms.at(xmegareg::kLutEepromTarget).bytes,
                                  xmegareg::kLutEepromAddress, table);
        if (why.empty() && registerText(xmegareg::kLutNameWritten) != name)
            why = "register 1040 holds \"" + registerText(xmegareg::kLutNameWritten) + "\"";
        if (why.empty() && state_->readRegister(xmegareg::kLutCommand) != xmegareg::kLutCommandLoaded)
            why = "the LUT was never loaded (register 1024)";
        return why;
    }
    QString lutName() const override { return QString::fromStdString(registerText(xmegareg::kLutName)); }
    bool lutSelected() const override { return state_->readRegister(xmegareg::kLutSelection) == 0; }
    std::vector<std::string> violations() const override { return state_->violations; }
    const std::shared_ptr<platform::SimXmegaState>& state() const { return state_; }

private:
    std::string registerText(std::uint32_t at) const
    {
        std::string text;
        for (std::uint32_t a = at; a < at + xmegareg::kTextLength; ++a) {
            const std::uint8_t b = state_->readRegister(a);
            if (b == 0)
                break;
            text += static_cast<char>(b);
        }
        return text;
    }
    std::shared_ptr<platform::SimXmegaState> state_;
    bool plugged_ = false;
};

inline std::unique_ptr<Converter> makeConverter(Kind kind)
{
    // An update starts from old firmware; an upload from the packaged one, so no update is asked.
    if (isStm32(kind))
        return std::make_unique<Stm32Converter>(!isUpdate(kind));
    return std::make_unique<XmegaConverter>(!isUpdate(kind));
}

// Swallows the real timer events of the status polls: the rig fires them in virtual time.
class PollGate : public QObject {
public:
    bool firing = false;
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer && !firing; }
};

// What the user sees at the end of one update or upload.
struct Outcome {
    bool ended = false;
    int reports = 0;          // of the update task, or of the upload's thread
    bool succeeded = false;   // "Update Complete!", or the tab showing the new LUT
    QString failure;          // the dialog that told of a failure: its heading
};

class Rig {
public:
    static constexpr platform::Clock::Duration kIdleStep{10};
    static constexpr platform::Clock::Duration kBlockLimit{250};
    static constexpr int kRealLimitMs = 30000;
    static constexpr int kCatchUpMs = 500;

    Rig() : emulator_(bus_)
    {
        platform::DriverPort::setInstance(&emulator_);
        host_.resize(780, 710);
        host_.show();
    }
    ~Rig()
    {
        closeFamily();
        platform::DriverPort::setInstance(nullptr);
    }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;

    platform::SimBackend& bus() { return bus_; }
    PacedClock& clock() { return clock_; }
    QWidget& host() { return host_; }
    D2Family* family() const { return family_; }

    void startFamily()
    {
        family_ = setUpZanthicFamily(QDir(pluginFolder()), &host_);
        family_->startDeviceDetection();
    }
    // The family goes (as the window does) and what it opened is closed; what is still live.
    int closeFamily()
    {
        for (D2ProductCard* card : host_.findChildren<D2ProductCard*>())
            delete card;
        delete family_;
        family_ = nullptr;
        clock_.setFreeRunning(true);
        for (int i = 0; i < 20; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        clock_.setFreeRunning(false);
        return bus_.liveObjects();
    }

    D2VisibleDevice* deviceOf(std::uint16_t product) const
    {
        if (family_)
            for (const auto& d : family_->visibleDevices())
                if (d->activeDevice() && d->activeDevice()->productId() == product)
                    return d.get();
        return nullptr;
    }
    D2ProductCard* card() const
    {
        const auto cards = host_.findChildren<D2ProductCard*>();
        return cards.isEmpty() ? nullptr : cards.last();
    }
    ZanthicConvertersLutsTab* lutsTab() const
    {
        D2ProductCard* c = card();
        if (!c || !qobject_cast<D2SettingsPage*>(c->pages()->currentWidget()))
            return nullptr;
        return c->findChild<ZanthicConvertersLutsTab*>();
    }

    // --- time and the event loop ---------------------------------------------------------

    // The longest the GUI thread stayed away from its loop in an enumeration or a status poll,
    // in device time, and what it was doing then.
    platform::Clock::Duration worstBlock() const { return worst_; }
    const std::string& worstBlockAt() const { return worstAt_; }
    // Turns of the event loop that run the user's own upload to its end (its writes and what it
    // reads back) are the user's, as are the writes of the user's clicks: they are not measured.
    void setUserWindow(std::function<bool()> open) { userWindow_ = std::move(open); }

    // One step: a turn of the event loop, the polls due, then time moves: to the next poll or
    // the next worker's sleep, or on by a step when nothing runs. While a worker runs and does
    // not sleep, time stands, so its requests and the GUI thread's keep their order. A poll
    // fires only while every other thread stands, and its reads run to their end before
    // anything goes on (their own sleeps granted); time then stands until a turn has taken up
    // what they found.
    void step()
    {
        const std::uint64_t handled = platform::threadMessagesHandled();
        trackPolls();
        const bool user = userWindow_ && userWindow_();
        measure(user ? nullptr : "a turn of the event loop", [] {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        });
        pollResultsPosted_ = false;
        trackPolls();
        if (firePollsDue())
            return;
        // Hot-plug goes through the notifier thread: time waits until it has handed on what it
        // was told (and that was taken up in a turn), else a device would arrive late by time.
        if (platform::threadMessagesInFlight() > 0 || platform::threadMessagesHandled() != handled) {
            if (!catchingUp_.isValid() || platform::threadMessagesHandled() != catchUpHandled_) {
                catchingUp_.start();
                catchUpHandled_ = platform::threadMessagesHandled();
                notifierSleeps_.clear();
            }
            // Unless the notifier thread itself sleeps (it retries a read, or a request of its
            // times out): then it waits for time, and time goes on until that sleep is granted.
            if (catchingUp_.elapsed() < kCatchUpMs) {
                std::this_thread::yield();
                return;
            }
            const std::vector<std::uint64_t> waiting = clock_.waitingSleeps();
            if (notifierSleeps_.empty()) {
                notifierSleeps_ = waiting;
            } else {
                std::vector<std::uint64_t> still;
                std::set_intersection(notifierSleeps_.begin(), notifierSleeps_.end(), waiting.begin(), waiting.end(),
                                      std::back_inserter(still));
                notifierSleeps_.swap(still);
                if (notifierSleeps_.empty()) {
                    // What slept all along has woken: the notifier thread may be running again.
                    catchingUp_.start();
                    std::this_thread::yield();
                    return;
                }
            }
        } else {
            catchingUp_.invalidate();
        }
        const platform::Clock::TimePoint wake = clock_.nextWake();
        const platform::Clock::TimePoint poll = nextPollDue();
        if (wake != platform::Clock::TimePoint::max()) {
            if (poll <= wake) {
                clock_.advanceTo(poll);
                firePollsDue();
            } else {
                clock_.grantNext();
            }
        } else if (!workerRuns()) {
            clock_.advanceTo(std::min(clock_.now() + kIdleStep, poll));
            firePollsDue();
        } else {
            std::this_thread::yield();
        }
    }
    // Done, and nothing a poll read found is still on its way to the GUI thread: the run goes
    // on only from there.
    bool settle(const std::function<bool()>& done, platform::Clock::Duration limit = std::chrono::minutes(5))
    {
        const platform::Clock::TimePoint until = clock_.now() + limit;
        QElapsedTimer real;
        real.start();
        while (!done() || pollResultsPosted_) {
            if (clock_.now() > until || real.elapsed() > kRealLimitMs)
                return false;
            step();
        }
        return true;
    }
    void idle(platform::Clock::Duration d)
    {
        const platform::Clock::TimePoint until = clock_.now() + d;
        settle([&] { return clock_.now() >= until && !workerRuns(); });
    }
    bool workerRuns() const { return (family_ && family_->isUpdating()) || LutTransferThread::anyRunning(); }

    // --- an update, as the user runs it ---------------------------------------------------

    // Opening the device offers the update; or (offered false) the host asks for it at once.
    Outcome update(std::uint16_t product, bool offered)
    {
        Outcome out;
        D2VisibleDevice* device = deviceOf(product);
        if (!device) {
            ADD_FAILURE() << "no device to update";
            return out;
        }
        auto reports = std::make_shared<int>(0);
        if (DeviceFirmwareUpdater* updater = device->firmwareUpdater())
            QObject::connect(updater, &DeviceFirmwareUpdater::firmwareUpdated, &host_, [reports] { ++*reports; });
        if (offered) {
            family_->showDevice(device);
            EXPECT_FALSE(card()) << "the card opened instead of the offer";
            if (!family_->controller() || family_->controller()->dialog()->state() != FirmwareUpdateDialog::Required) {
                ADD_FAILURE() << "the update is not offered";
                return out;
            }
            family_->controller()->dialog()->yesButton()->click();
        } else {
            family_->updateFirmware(device);
        }
        QPointer<FirmwareUpdateController> controller = family_->controller();
        if (!controller) {
            ADD_FAILURE() << "no update started";
            return out;
        }
        FirmwareUpdateDialog* dialog = controller->dialog();
        out.ended = settle([&] { return !family_->isUpdating(); });
        idle(std::chrono::seconds(1));
        out.reports = *reports;
        out.succeeded = dialog->state() == FirmwareUpdateDialog::Complete;
        if (dialog->state() == FirmwareUpdateDialog::Failed)
            out.failure = dialog->headingLabel()->text();
        dialog->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(family_->controller()) << "the dialog's close does not end the update";
        return out;
    }

    // --- a LUT upload, as the user runs it ------------------------------------------------

    // Opens the device's card and waits for its LUTs tab.
    bool openLutsTab(std::uint16_t product)
    {
        if (!card()) {
            D2VisibleDevice* device = deviceOf(product);
            if (!device)
                return false;
            family_->showDevice(device);
        }
        // Connected, and still so a poll later: a state change on its way rebuilds the pages.
        const auto ready = [&] {
            D2ProductCard* c = card();
            return lutsTab() && c->connectedDevice() && c->connectedDevice()->connectionState() == Connected &&
                   !c->lostDialog()->isVisible();
        };
        if (!settle(ready, std::chrono::seconds(30)))
            return false;
        idle(std::chrono::seconds(1));
        return settle(ready, std::chrono::seconds(30));
    }
    // A card left with the connection-lost dialog reconnects once it is closed.
    void closeLostDialog()
    {
        if (D2ProductCard* c = card())
            if (c->lostDialog()->isVisible())
                c->lostDialog()->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    // "Import" with the file chosen; the outcome as the tab tells it once the upload has ended
    // (a card that lost its device tells of that instead).
    Outcome upload(const QString& path)
    {
        Outcome out;
        QPointer<ZanthicConvertersLutsTab> tab = lutsTab();
        if (!tab) {
            ADD_FAILURE() << "no LUTs tab";
            return out;
        }
        QPointer<D2ProductCard> c = card();
        const QList<CommonDialog*> before = visibleDialogs();
        tab->importFile(path);
        QPointer<TransferProgressDialog> transfer = tab->transferDialog();
        if (!transfer) {
            ADD_FAILURE() << "the upload did not run on its thread";
            return out;
        }
        setUserWindow([transfer] { return transfer && transfer->isBusy(); });
        out.ended = settle([&] { return !(transfer && transfer->isBusy()) && !LutTransferThread::anyRunning(); });
        setUserWindow({});
        QList<CommonDialog*> told;
        for (CommonDialog* d : visibleDialogs())
            if (!before.contains(d) && d != transfer)
                told.append(d);
        out.succeeded = told.isEmpty() && tab && tab->nameLabel()->text() == QFileInfo(path).fileName();
        if (!told.isEmpty())
            out.failure = told.last()->headingLabel()->text();
        out.reports = told.size() + (out.succeeded ? 1 : 0);
        if (out.reports == 0 && c && c->lostDialog()->isVisible()) {
            out.failure = c->lostDialog()->headingLabel()->text();
            out.reports = 1;
        }
        for (CommonDialog* d : told)
            if (d->closeButton())
                d->closeButton()->click();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        idle(std::chrono::milliseconds(500));
        return out;
    }
    QList<CommonDialog*> visibleDialogs() const
    {
        QList<CommonDialog*> out;
        for (CommonDialog* d : host_.findChildren<CommonDialog*>())
            if (d->isVisible() && !qobject_cast<ConnectionLostDialog*>(d))
                out.append(d);
        return out;
    }

private:
    void measure(const char* what, const std::function<void()>& work)
    {
        const platform::Clock::TimePoint start = clock_.now();
        work();
        const platform::Clock::Duration took = std::chrono::duration_cast<platform::Clock::Duration>(clock_.now() - start);
        if (what && took > worst_) {
            worst_ = took;
            worstAt_ = std::string(what) + ", " + std::to_string(took.count()) + " ms";
        }
    }

    // The status polls of the open cards' connected devices.
    struct Poll {
        QPointer<QTimer> timer;
        platform::Clock::TimePoint last;
        bool fired = false;
    };
    void trackPolls()
    {
        for (D2ProductCard* c : host_.findChildren<D2ProductCard*>()) {
            const std::shared_ptr<ConnectedDevice>& device = c->connectedDevice();
            if (!device)
                continue;
            for (QTimer* t : device->findChildren<QTimer*>(QString(), Qt::FindDirectChildrenOnly)) {
                if (std::any_of(polls_.begin(), polls_.end(), [t](const Poll& p) { return p.timer == t; }))
                    continue;
                t->installEventFilter(&gate_);
                polls_.push_back({t, clock_.now(), false});
            }
        }
        polls_.erase(std::remove_if(polls_.begin(), polls_.end(), [](const Poll& p) { return !p.timer; }), polls_.end());
    }
    platform::Clock::TimePoint dueOf(const Poll& p) const
    {
        if (!p.timer || !p.timer->isActive())
            return platform::Clock::TimePoint::max();
        return p.fired ? p.last + platform::Clock::Duration(p.timer->interval()) : p.last;
    }
    platform::Clock::TimePoint nextPollDue() const
    {
        platform::Clock::TimePoint next = platform::Clock::TimePoint::max();
        for (const Poll& p : polls_)
            next = std::min(next, dueOf(p));
        return next;
    }
    // Fires the polls due and waits for their reads; whether any fired.
    bool firePollsDue()
    {
        const std::uint64_t since = clock_.lastSleep();
        bool fired = false;
        for (Poll& p : polls_) {
            if (dueOf(p) > clock_.now())
                continue;
            QPointer<QTimer> timer = p.timer;
            p.last = clock_.now();
            p.fired = true;
            fired = true;
            measure("a status poll", [&] {
                gate_.firing = true;
                clock_.setStartingThreads(true);
                QTimerEvent event(timer->timerId());
                QCoreApplication::sendEvent(timer, &event);
                clock_.setStartingThreads(false);
                gate_.firing = false;
            });
        }
        if (fired)
            awaitPollReads(since);
        return fired;
    }
    // The reads a poll started, on threads of their own, run to their end while every other
    // thread stands; a request of theirs that times out sleeps, and only such a sleep (asked
    // after since) is granted. The GUI thread only looks on: it is not what the poll holds up.
    void awaitPollReads(std::uint64_t since)
    {
        QElapsedTimer real;
        real.start();
        while (ZanthicConvertersConnectedDevice::pollReadsInFlight() > 0) {
            if (clock_.grantNext(since))
                continue;
            // A read held up by what a standing thread holds never returns here: the pacing,
            // not the program, is then at fault.
            if (real.elapsed() > kRealLimitMs) {
                ADD_FAILURE() << "a status poll's read never returned while the other threads stood";
                break;
            }
            std::this_thread::yield();
        }
        pollResultsPosted_ = true;
    }

    PacedClock clock_;
    platform::ClockOverride clockOverride_{&clock_};
    platform::SimBackend bus_;
    platform::DriverEmulator emulator_;
    QWidget host_;
    D2Family* family_ = nullptr;
    PollGate gate_;
    std::vector<Poll> polls_;
    std::function<bool()> userWindow_;
    bool pollResultsPosted_ = false; // by reads that have returned, for the next turn to take up
    QElapsedTimer catchingUp_;
    std::uint64_t catchUpHandled_ = 0;
    // The sleeps that waited all through the notifier thread's catching up, one of them its own.
    std::vector<std::uint64_t> notifierSleeps_;
    platform::Clock::Duration worst_{0};
    std::string worstAt_;
};

// The table an upload of the file leaves in the device: the file decoded and packed.
inline std::vector<std::uint8_t> packedTable(Kind kind, const std::string& cube)
{
    DeviceCube device(kind == Kind::Stm32Lut ? 33 : xmegareg::kLutCubeSize);
    EXPECT_EQ(DecodeCubeFile(cube, device), kCubeOk);
    return device.bytes();
}

} // namespace zanthicrun
