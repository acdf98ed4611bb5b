#include "plugins/zanthic/device/Stm32ConnectedDevice.h"

#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/device/CubeParser.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/device/Stm32Channel.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "protocol/Stm32Protocol.h"
#include "protocol/ZanthicLut.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <initializer_list>
#include <mutex>
#include <stdexcept>

namespace TWG {
namespace Zanthic {

namespace {

constexpr int kPollIntervalMs = 1000;

bool among(std::uint16_t productId, std::initializer_list<std::uint16_t> ids)
{
    return std::find(ids.begin(), ids.end(), productId) != ids.end();
}

} // namespace

Stm32ZanthicConvertersConnectedDevice::Stm32ZanthicConvertersConnectedDevice(ConnectedDeviceOwner* owner,
                                                                             std::shared_ptr<UsbPotentialDevice> potential)
    : ZanthicConvertersConnectedDevice(owner, potential), usb_(std::move(potential))
{
}

std::uint16_t Stm32ZanthicConvertersConnectedDevice::productId() const { return usb_ ? usb_->productId() : 0; }

Stm32PropertyChannel Stm32ZanthicConvertersConnectedDevice::channel()
{
    return Stm32PropertyChannel(usb_ ? usb_->usbDevice() : nullptr, [this](int percent) { emit transferProgress(percent); });
}

bool Stm32ZanthicConvertersConnectedDevice::supports(Setting setting) const
{
    const std::uint16_t id = productId();
    switch (setting) {
    case Setting::LutSelection: return among(id, {0xBE6F, 0xBE70, 0xBE77, 0xBE78, 0xBE89});
    case Setting::LutLoop: return among(id, {0xBE6F, 0xBE77});
    case Setting::LutSdiOut: return among(id, {0xBE89});
    case Setting::LutHdmiOut: return among(id, {0xBE89});
    case Setting::HdmiClamp: return among(id, {0xBE6F, 0xBE77, 0xBE79, 0xBE89});
    case Setting::HdmiRxSwap: return false;
    case Setting::HdmiTxSwap: return among(id, {0xBE6F, 0xBE77, 0xBE79, 0xBE89});
    case Setting::SdiLevelA: return among(id, {0xBE70, 0xBE77, 0xBE78, 0xBE79, 0xBE89});
    case Setting::ZephId: return among(id, {0xBE79, 0xBE89});
    }
    return false;
}

namespace {
const char* propertyKey(int setting)
{
    static const char* const keys[] = {
        stm32::keys::kLutSelection,   stm32::keys::kLutLoopEnable,   stm32::keys::kLutSdiOutEnable,
        stm32::keys::kLutHdmiOutEnable, stm32::keys::kHdmiClampEnable, stm32::keys::kHdmiRxCh34Swap,
        stm32::keys::kHdmiTxCh34Swap, stm32::keys::kSdiLevelAEnable, stm32::keys::kZephId,
    };
    return keys[setting];
}
} // namespace

void Stm32ZanthicConvertersConnectedDevice::readSetting(Setting setting, std::uint8_t* value)
{
    if (!usb_)
        return;
    std::lock_guard<std::recursive_mutex> lock(usb_->requestMutex());
    try {
        channel().getSettingsProperty(propertyKey(static_cast<int>(setting)), value, stm32::kFlagLength);
    } catch (const std::exception& e) {
        qCDebug(lcZanthic) << "getSettingsProperty failed:" << e.what();
    }
}

void Stm32ZanthicConvertersConnectedDevice::writeSetting(Setting setting, std::uint8_t value)
{
    if (!usb_)
        return;
    std::lock_guard<std::recursive_mutex> lock(usb_->requestMutex());
    try {
        channel().setSettingsProperty(propertyKey(static_cast<int>(setting)), &value, stm32::kFlagLength);
    } catch (const std::exception& e) {
        qCDebug(lcZanthic) << "setSettingsProperty failed:" << e.what();
    }
}

void Stm32ZanthicConvertersConnectedDevice::setDeviceName(const QString& name)
{
    if (usb_) {
        std::lock_guard<std::recursive_mutex> lock(usb_->requestMutex());
        try {
            Stm32ControlInterface control(usb_->usbDevice());
            control.setProperty(stm32::keys::kDeviceName, name.toUtf8().toStdString());
        } catch (const std::exception& e) {
            qCDebug(lcZanthic) << "setSettingsProperty failed:" << e.what();
        }
    }
    if (ConnectedDeviceOwner* o = owner())
        o->deviceRenamed(name);
}

bool Stm32ZanthicConvertersConnectedDevice::supportsLutName() const
{
    return supports(Setting::LutSdiOut) && supports(Setting::LutHdmiOut);
}

QString Stm32ZanthicConvertersConnectedDevice::getLutName()
{
    std::array<char, stm32::kTextBufferLength> text{};
    if (usb_) {
        std::lock_guard<std::recursive_mutex> lock(usb_->requestMutex());
        try {
            channel().getSettingsProperty(stm32::keys::kLutName, text.data(), stm32::kTextValueLength);
        } catch (const std::exception& e) {
            qCDebug(lcZanthic) << "getSettingsProperty failed:" << e.what();
        }
    }
    text.back() = 0;
    return QString::fromUtf8(text.data());
}

int Stm32ZanthicConvertersConnectedDevice::loadLut(int index, const QString& fileName, const QString& lutName)
{
    std::vector<std::uint8_t> data;
    std::string name;
    const bool deleting = fileName.isEmpty();
    if (!deleting) {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            return kLutFileUnreadable;
        const QByteArray text = file.readAll();
        DeviceCube cube(lut::hasLargeCube(productId()) ? lut::kLargePoints : lut::kSmallPoints);
        const int code = DecodeCubeFile(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), cube);
        if (code != kCubeOk)
            return code;
        name = cube.name.empty() ? lutName.toUtf8().toStdString() : cube.name;
        data = cube.bytes();
    }
    if (!usb_)
        return kLutTransferFailed;
    // Both writes under one hold of the device: the status poll lets its turns go meanwhile
    // rather than queue behind a transfer that waits out its time-out.
    std::lock_guard<std::recursive_mutex> lock(usb_->requestMutex());
    try {
        if (!deleting)
            channel().setSettingsProperty(stm32::keys::kLutData, data.data(), static_cast<std::uint32_t>(data.size()));
        channel().setSettingsProperty(stm32::keys::kLutName, name.data(), static_cast<std::uint32_t>(name.size()));
    } catch (const std::exception& e) {
        qCDebug(lcZanthic) << "setSettingsProperty failed:" << e.what();
        // The new table may be in under the old name: the tabs show the name the device holds,
        // never the one that was meant for it.
        reportLutInfo(index, getLutName());
        return kLutTransferFailed;
    }
    reportLutInfo(index, QString::fromStdString(name));
    return kLutLoaded;
}

bool Stm32ZanthicConvertersConnectedDevice::supportsLutTransferThread() const
{
    return among(productId(), {0xBE77, 0xBE78, 0xBE89});
}

void Stm32ZanthicConvertersConnectedDevice::factoryReset()
{
    if (!usb_)
        return;
    std::lock_guard<std::recursive_mutex> lock(usb_->requestMutex());
    try {
        channel().factoryReset();
    } catch (const std::exception& e) {
        qCDebug(lcZanthic) << "factoryReset failed:" << e.what();
    }
}

void Stm32ZanthicConvertersConnectedDevice::poll()
{
    if (!usb_) {
        setConnectionState(Interrupted);
        return;
    }
    setPollInterval(kPollIntervalMs);
    readOffThread([usb = usb_]() -> std::optional<ConnectionState> {
        // A LUT upload holds the device on its worker for the whole of its data write, seconds
        // on a slow device: the poll lets that turn go rather than queue behind it.
        std::unique_lock<std::recursive_mutex> free(usb->requestMutex(), std::try_to_lock);
        if (!free.owns_lock())
            return std::nullopt;
        return stm32::isApplicationBootMode(usb->readBootMode()) ? Connected : Connecting;
    });
}

} // namespace Zanthic
} // namespace TWG
