#include "platform/sim/models/fx2/SimFx2Running.h"

#include "platform/Clock.h"
#include "protocol/At90Protocol.h"
#include "protocol/Fx2Protocol.h"

#include <algorithm>
#include <cstdio>

namespace platform {

namespace fx2 = TWG::Converters::fx2;
namespace at90 = TWG::Converters::at90;

namespace {

enum class Armed { Nothing, FlashPage, At90Buffer };

std::uint32_t address24(const std::vector<std::uint8_t>& d)
{
    return std::uint32_t(d[0]) << 16 | std::uint32_t(d[1]) << 8 | d[2];
}

std::string hex(const char* format, std::uint32_t value)
{
    char text[96];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

struct SimFx2Running::State {
    mutable std::mutex mutex;
    Options options;
    std::array<std::uint8_t, 256> registers{};
    std::vector<std::uint8_t> flash = std::vector<std::uint8_t>(kFlashSize, 0xFF);
    std::vector<std::uint8_t> eeprom = std::vector<std::uint8_t>(kEepromSize, 0xFF);
    bool programming = false;
    bool flashDone = true;
    std::uint64_t eraseGeneration = 0;
    std::uint64_t restartGeneration = 0;
    Armed armed = Armed::Nothing;
    std::uint32_t armedAddress = 0;
    int probes = 0;
    std::vector<std::vector<std::uint8_t>> modePairs;
    std::vector<std::string> violations;
    std::unique_ptr<SimAt90> at90;
};

SimDescriptors SimFx2Running::descriptors(std::uint16_t vendor, std::uint16_t product, std::uint16_t release)
{
    SimDescriptors d;
    d.device.idVendor = vendor;
    d.device.idProduct = product;
    d.device.bcdDevice = release;
    SimInterface i;
    i.endpoints = {{0x02, usbch9::kEndpointBulk, 512, 0}, {0x86, usbch9::kEndpointBulk, 512, 0}};
    d.configurations[0].interfaces = {i};
    return d;
}

std::shared_ptr<SimFx2Running> SimFx2Running::create(SimDescriptors descriptors, Options options)
{
    return std::make_shared<SimFx2Running>(std::move(descriptors), std::move(options));
}

SimFx2Running::SimFx2Running(SimDescriptors descriptors, Options options)
    : SimDevice(std::move(descriptors)), state_(std::make_shared<State>())
{
    state_->options = options;
    for (const auto& [index, value] : options.registers)
        state_->registers[index] = value;
    state_->registers[fx2::kRegisterPing] = 1;
    state_->registers[fx2::kRegisterVersion] = options.version;
    std::copy_n(options.flash.begin(), std::min<std::size_t>(options.flash.size(), kFlashSize), state_->flash.begin());
    std::copy_n(options.eeprom.begin(), std::min<std::size_t>(options.eeprom.size(), kEepromSize),
                state_->eeprom.begin());
    if (options.at90)
        state_->at90 = std::make_unique<SimAt90>(*options.at90);
}

SimFx2Running::~SimFx2Running() = default;

void SimFx2Running::violation(State& s, const std::string& text)
{
    s.violations.push_back(text);
}

UsbStatus SimFx2Running::classOrVendorRequest(const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    if ((setup.bmRequestType & 0x60) != 0x40)
        return UsbStatus::Stall;
    std::lock_guard<std::mutex> lock(state_->mutex);
    return vendorRequest(*state_, setup, data);
}

UsbStatus SimFx2Running::vendorRequest(State& s, const UsbSetup& setup, std::vector<std::uint8_t>& data)
{
    const bool in = setup.isIn();
    auto answer = [&data](std::uint8_t b) {
        data = {b};
        return UsbStatus::Success;
    };
    auto needOut = [&](std::size_t n) { return !in && data.size() == n; };
    if (setup.bRequest >= at90::kRequestEnable && setup.bRequest <= at90::kRequestReadFuse) {
        if (!s.at90)
            return UsbStatus::Stall;
        if (setup.bRequest == at90::kRequestLoadBuffer) {
            if (in)
                return UsbStatus::Stall;
            s.armed = Armed::At90Buffer;
            return UsbStatus::Success;
        }
        std::uint8_t b = 0;
        if (!in || !s.at90->request(setup.bRequest, setup.wValue, setup.wIndex, &b))
            return UsbStatus::Stall;
        for (std::string& v : s.at90->takeViolations())
            violation(s, v);
        return answer(b);
    }
    switch (setup.bRequest) {
    case fx2::kRequestReadRegister:
        return in ? answer(s.registers[setup.wIndex >> 8]) : UsbStatus::Stall;
    case fx2::kRequestWriteRegister:
        if (in)
            return UsbStatus::Stall;
        s.registers[setup.wIndex >> 8] = static_cast<std::uint8_t>(setup.wIndex & 0xFF);
        return UsbStatus::Success;
    case fx2::kRequestReadyProbe:
        return in ? answer(s.probes++ >= s.options.readyAfterProbes ? 1 : 0) : UsbStatus::Stall;
    case fx2::kRequestPower:
        return in ? answer(s.options.powered ? 1 : 0) : UsbStatus::Stall;
    case fx2::kRequestModePair:
        if (!needOut(2))
            return UsbStatus::Stall;
        s.modePairs.push_back(data);
        return UsbStatus::Success;
    case fx2::kRequestEepromWrite:
        if (!needOut(1))
            return UsbStatus::Stall;
        s.eeprom[setup.wIndex] = data[0];
        return UsbStatus::Success;
    case fx2::kRequestEepromRead:
        return in ? answer(s.eeprom[setup.wIndex]) : UsbStatus::Stall;
    case fx2::kRequestEnterProgramming:
        if (in)
            return UsbStatus::Stall;
        s.programming = true;
        return UsbStatus::Success;
    case fx2::kRequestLeaveProgramming: {
        if (in)
            return UsbStatus::Stall;
        s.programming = false;
        s.armed = Armed::Nothing;
        // The firmware restarts: it answers register reads again once it is up.
        s.registers[fx2::kRegisterPing] = 0;
        const std::uint64_t generation = ++s.restartGeneration;
        std::weak_ptr<State> weak = state_;
        clock().callAfter(Clock::Duration(s.options.restartMs), [weak, generation] {
            std::shared_ptr<State> st = weak.lock();
            if (!st)
                return;
            std::lock_guard<std::mutex> lock(st->mutex);
            if (st->restartGeneration != generation)
                return;
            st->registers[fx2::kRegisterPing] = 1;
            if (st->options.versionAddress && *st->options.versionAddress < st->flash.size())
                st->registers[fx2::kRegisterVersion] = st->flash[*st->options.versionAddress];
        });
        return UsbStatus::Success;
    }
    case fx2::kRequestFlashAddress: {
        if (!needOut(3))
            return UsbStatus::Stall;
        const std::uint32_t a = address24(data);
        if (!s.programming || a + fx2::kPageSize > kFlashSize) {
            violation(s, hex(s.programming ? "flash page address %06x past the end" : "flash address %06x outside programming", a));
            return UsbStatus::Stall;
        }
        s.armed = Armed::FlashPage;
        s.armedAddress = a;
        return UsbStatus::Success;
    }
    case fx2::kRequestFlashDone:
        return in ? answer(s.flashDone ? 1 : 0) : UsbStatus::Stall;
    case fx2::kRequestEraseBlock: {
        if (!needOut(3))
            return UsbStatus::Stall;
        const std::uint32_t a = address24(data);
        if (!s.programming || a % fx2::kBlockSize != 0 || a >= kFlashSize) {
            violation(s, hex(s.programming ? "erase of block address %06x out of place" : "erase of %06x outside programming", a));
            return UsbStatus::Stall;
        }
        s.flashDone = false;
        if (s.options.eraseNeverDone)
            return UsbStatus::Success;
        const std::uint64_t generation = ++s.eraseGeneration;
        std::weak_ptr<State> weak = state_;
        clock().callAfter(Clock::Duration(s.options.eraseMs), [weak, generation, a] {
            std::shared_ptr<State> st = weak.lock();
            if (!st)
                return;
            std::lock_guard<std::mutex> lock(st->mutex);
            if (st->eraseGeneration != generation)
                return;
            std::fill(st->flash.begin() + a, st->flash.begin() + a + fx2::kBlockSize, 0xFF);
            st->flashDone = true;
        });
        return UsbStatus::Success;
    }
    default:
        return UsbStatus::Stall;
    }
}

UsbStatus SimFx2Running::bulkOut(std::uint8_t, const std::vector<std::uint8_t>& data, std::uint32_t* taken)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    State& s = *state_;
    *taken = 0;
    const Armed armed = s.armed;
    s.armed = Armed::Nothing;
    if (armed == Armed::At90Buffer && s.at90) {
        s.at90->loadBuffer(data);
        for (std::string& v : s.at90->takeViolations())
            violation(s, v);
    } else if (armed == Armed::FlashPage) {
        if (data.size() != fx2::kPageSize || !s.flashDone) {
            violation(s, hex("flash page %06x sent out of place", s.armedAddress));
            return UsbStatus::Stall;
        }
        auto first = s.flash.begin() + s.armedAddress;
        if (std::any_of(first, first + fx2::kPageSize, [](std::uint8_t b) { return b != 0xFF; }))
            violation(s, hex("programming an unerased page at %06x", s.armedAddress));
        std::transform(first, first + fx2::kPageSize, data.begin(), first,
                       [](std::uint8_t a, std::uint8_t b) { return static_cast<std::uint8_t>(a & b); });
    } else {
        violation(s, "bulk data with nothing armed");
        return UsbStatus::Stall;
    }
    *taken = static_cast<std::uint32_t>(data.size());
    return UsbStatus::Success;
}

std::vector<std::uint8_t> SimFx2Running::flash() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->flash;
}

std::vector<std::uint8_t> SimFx2Running::eeprom() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->eeprom;
}

std::uint8_t SimFx2Running::reg(std::uint8_t index) const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->registers[index];
}

void SimFx2Running::setPowered(bool on)
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->options.powered = on;
}

bool SimFx2Running::programming() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->programming;
}

std::vector<std::vector<std::uint8_t>> SimFx2Running::modePairs() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->modePairs;
}

std::vector<std::string> SimFx2Running::violations() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->violations;
}

bool SimFx2Running::hasAt90() const
{
    return state_->at90 != nullptr;
}

std::vector<std::uint8_t> SimFx2Running::at90Flash() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->at90 ? state_->at90->flash() : std::vector<std::uint8_t>{};
}

std::array<std::uint8_t, 3> SimFx2Running::at90Fuses() const
{
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->at90 ? state_->at90->fuses() : std::array<std::uint8_t, 3>{};
}

} // namespace platform
