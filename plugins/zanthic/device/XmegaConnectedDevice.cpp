#include "plugins/zanthic/device/XmegaConnectedDevice.h"

#include "converters/xmega/XmegaUSBDevice.h"
#include "platform/Clock.h"
#include "plugins/zanthic/device/ConnectedDeviceOwner.h"
#include "plugins/zanthic/device/CubeParser.h"
#include "plugins/zanthic/device/XmegaUsbPotentialDevice.h"
#include "plugins/zanthic/device/ZanthicLog.h"
#include "protocol/ZanthicRegisters.h"

#include <QByteArray>
#include <QFile>

#include <array>
#include <mutex>

namespace TWG {
namespace Zanthic {

namespace {

constexpr int kPollIntervalMs = 500;
constexpr std::uint16_t kLoopModel = 0xBE90;  // HDMI clamp, transmit swap, LUT on loop output
constexpr std::uint16_t kSdiModel = 0xBE91;   // SDI level A

// The register of a one-byte setting; 0 for a setting these models never have.
std::uint32_t registerOf(int setting)
{
    static const std::uint32_t registers[] = {
        xmegareg::kLutSelection, xmegareg::kLutLoop, 0, 0, xmegareg::kHdmiClamp, xmegareg::kHdmiRxCh34Swap,
        xmegareg::kHdmiTxCh34Swap, xmegareg::kSdiLevelA, 0,
    };
    return registers[setting];
}

// At most max bytes of UTF-8, cut where a character begins.
QByteArray cutUtf8(const QString& text, int max)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= max)
        return bytes;
    int end = max;
    while (end > 0 && (static_cast<unsigned char>(bytes[end]) & 0xC0) == 0x80)
        --end;
    return bytes.left(end);
}

} // namespace

XmegaZanthicConvertersConnectedDevice::XmegaZanthicConvertersConnectedDevice(ConnectedDeviceOwner* owner,
                                                                             std::shared_ptr<PotentialDevice> potential)
    : ZanthicConvertersConnectedDevice(owner, potential),
      xmega_(std::dynamic_pointer_cast<XmegaUsbPotentialDevice>(potential))
{
}

Converters::XmegaUSBDevice* XmegaZanthicConvertersConnectedDevice::channel() const
{
    return xmega_ ? xmega_->channel().get() : nullptr;
}

std::uint16_t XmegaZanthicConvertersConnectedDevice::productId() const { return xmega_ ? xmega_->productId() : 0; }

bool XmegaZanthicConvertersConnectedDevice::supports(Setting setting) const
{
    const std::uint16_t id = productId();
    switch (setting) {
    case Setting::LutSelection: return id == kLoopModel || id == kSdiModel;
    case Setting::LutLoop:
    case Setting::HdmiClamp:
    case Setting::HdmiTxSwap: return id == kLoopModel;
    case Setting::SdiLevelA: return id == kSdiModel;
    case Setting::LutSdiOut:
    case Setting::LutHdmiOut:
    case Setting::HdmiRxSwap:
    case Setting::ZephId: return false;
    }
    return false;
}

void XmegaZanthicConvertersConnectedDevice::readSetting(Setting setting, std::uint8_t* value)
{
    if (Converters::XmegaUSBDevice* c = channel())
        if (!c->readMemory(registerOf(static_cast<int>(setting)), xmegareg::kFlagLength, value))
            *value = 0;
}

void XmegaZanthicConvertersConnectedDevice::writeSetting(Setting setting, std::uint8_t value)
{
    if (Converters::XmegaUSBDevice* c = channel())
        c->writeMemory(registerOf(static_cast<int>(setting)), xmegareg::kFlagLength, &value);
}

void XmegaZanthicConvertersConnectedDevice::setDeviceName(const QString& name)
{
    // The name as the field keeps it: what a replug reads back.
    const QByteArray bytes = cutUtf8(name, static_cast<int>(xmegareg::kTextLength));
    if (Converters::XmegaUSBDevice* c = channel()) {
        std::array<char, xmegareg::kTextLength> field{};
        std::copy(bytes.begin(), bytes.end(), field.begin());
        c->writeMemory(xmegareg::kDeviceName, xmegareg::kTextLength, field.data());
    }
    if (ConnectedDeviceOwner* o = owner())
        o->deviceRenamed(QString::fromUtf8(bytes));
}

QString XmegaZanthicConvertersConnectedDevice::getLutName()
{
    std::array<char, xmegareg::kTextLength> text{};
    if (Converters::XmegaUSBDevice* c = channel())
        if (!c->readMemory(xmegareg::kLutName, xmegareg::kTextLength, text.data()))
            text.fill(0);
    return registerFieldText(text.data(), text.size());
}

int XmegaZanthicConvertersConnectedDevice::loadLut(int index, const QString& fileName, const QString& lutName)
{
    if (!xmega_)
        return kLutNotXmega;
    Converters::XmegaUSBDevice* c = channel();
    if (!c || (productId() != kLoopModel && productId() != kSdiModel))
        return kLutTransferFailed;

    // No file: an all-zero cube without a name takes the LUT's place.
    DeviceCube cube(xmegareg::kLutCubeSize);
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            return kLutFileUnreadable;
        const QByteArray text = file.readAll();
        const int code = DecodeCubeFile(std::string_view(text.constData(), static_cast<std::size_t>(text.size())), cube);
        if (code != kCubeOk)
            return code;
        if (cube.name.empty())
            cube.name = lutName.toUtf8().toStdString();
    }
    const std::vector<std::uint8_t> bytes = cube.bytes();
    std::array<char, xmegareg::kTextLength> field{};
    const QByteArray name = cutUtf8(QString::fromStdString(cube.name), static_cast<int>(field.size()));
    std::copy(name.begin(), name.end(), field.begin());

    // The upload holds the device from its first request to its last: the status poll lets
    // its turns go meanwhile rather than queue behind a transfer that waits out its time-out.
    std::lock_guard<std::recursive_mutex> lock(xmega_->requestMutex());
    emit transferProgress(0);
    bool sent = false;
    for (int attempt = 0; attempt < xmegareg::kLutUploadAttempts && !sent; ++attempt) {
        if (attempt > 0)
            platform::clock().sleepFor(platform::Clock::Duration(xmegareg::kLutUploadRetryMs));
        if (!xmega_->beginStagedProgramming())
            continue;
        const bool programmed =
            xmega_->program(xmegareg::kLutEepromTarget, xmegareg::kLutEepromAddress, bytes.data(),
                            static_cast<std::uint32_t>(bytes.size()),
                            [this](float fraction) { emit transferProgress(static_cast<int>(fraction * 100)); });
        // The session closes whatever became of the image.
        const bool ended = xmega_->endStagedProgramming();
        sent = programmed && ended;
    }
    // The device takes the LUT only with its name and the load command: without either it is
    // not loaded, whatever the EEPROM holds.
    const std::uint8_t command = xmegareg::kLutCommandLoaded;
    if (!sent || !c->writeMemory(xmegareg::kLutNameWritten, xmegareg::kTextLength, field.data()) ||
        !c->writeMemory(xmegareg::kLutCommand, xmegareg::kFlagLength, &command)) {
        qCWarning(lcZanthic) << "XMEGA LUT upload failed";
        reportLutInfo(index, getLutName());
        return kLutTransferFailed;
    }
    reportLutInfo(index, QString::fromUtf8(name));
    return kLutLoaded;
}

bool XmegaZanthicConvertersConnectedDevice::supportsLutTransferThread() const
{
    return productId() == kLoopModel || productId() == kSdiModel;
}

void XmegaZanthicConvertersConnectedDevice::factoryReset()
{
    Converters::XmegaUSBDevice* c = channel();
    if (!c)
        return;
    const std::uint8_t command = xmegareg::kFactoryResetCommand;
    c->writeMemory(xmegareg::kFactoryReset, xmegareg::kFlagLength, &command);
    for (int read = 0; read < xmegareg::kFactoryResetReads; ++read) {
        std::uint8_t state = command;
        if (c->readMemory(xmegareg::kFactoryReset, xmegareg::kFlagLength, &state) && state == 0)
            break;
        platform::clock().sleepFor(platform::Clock::Duration(xmegareg::kFactoryResetReadIntervalMs));
    }
    xmega_->reboot(false);
}

void XmegaZanthicConvertersConnectedDevice::poll()
{
    if (!xmega_) {
        setConnectionState(Interrupted);
        return;
    }
    // In the bootloader too: at the first poll's interval 0 it would ask without pause.
    setPollInterval(kPollIntervalMs);
    readOffThread([xmega = xmega_]() -> std::optional<ConnectionState> {
        // A LUT upload holds the device on its worker, through transfers that may each wait out
        // their time-out: the poll lets that turn go rather than queue behind it.
        std::unique_lock<std::recursive_mutex> free(xmega->requestMutex(), std::try_to_lock);
        if (!free.owns_lock())
            return std::nullopt;
        std::uint8_t bootState = 0;
        if (xmega->readBootState(&bootState) && bootState != 0)
            return Interrupted;
        std::uint8_t version[xmegareg::kFpgaVersionLength] = {};
        const bool probed = xmega->channel()->readMemory(xmegareg::kFpgaVersion, xmegareg::kFpgaVersionLength, version);
        return probed ? Connected : Connecting;
    });
}

} // namespace Zanthic
} // namespace TWG
