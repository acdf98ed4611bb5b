#include "plugins/zanthic/ui/ZanthicOstrelTab.h"

#include "kit/widgets/settings/UnsignedIntValidator.h"
#include "plugins/zanthic/device/ModelInfo.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/ui/D2FirmwareUpdateRow.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/InvokeInContext.h"
#include "plugins/zanthic/ui/MaxUtf8LengthValidator.h"

#include <QButtonGroup>
#include <QEvent>

namespace TWG {
namespace Zanthic {

namespace {

constexpr int kCameraIdMin = 1;
constexpr int kCameraIdMax = 99;
constexpr int kCameraIdWidth = 40;

// The camera-id field's values.
QValidator* sharedCameraIdValidator()
{
    static UnsignedIntValidator* validator = new UnsignedIntValidator(kCameraIdMin, kCameraIdMax);
    return validator;
}

// The model name a device's dialogs speak of.
QString zanthicModelName(ConnectedDevice& device)
{
    if (ConnectedDeviceOwner* owner = device.owner())
        if (auto* visible = qobject_cast<D2VisibleDevice*>(owner->ownerObject()))
            return visible->modelName();
    const ModelInfo* info = device.potentialDevice() ? device.potentialDevice()->findModelInfo() : nullptr;
    return info ? info->modelName : QString();
}

} // namespace

ZanthicOstrelTab::ZanthicOstrelTab(std::shared_ptr<ZanthicConvertersConnectedDevice> device, QWidget* card, QWidget* page)
    : D2SettingsTab(page), device_(std::move(device)), card_(card)
{
    ZanthicConvertersConnectedDevice& d = *device_;

    addSection(QString());
    nameField_ = addLineEdit(tr("Name:"), D2SettingsLineEdit::NonEmpty);
    nameField_->setText(d.deviceName());
    nameField_->setValidator(sharedDeviceNameValidator());

    firmwareRow_ = addFirmwareRow(d);
    connect(firmwareRow_, &D2FirmwareUpdateRow::updateFirmware, this, [this] { emit firmwareUpdateRequested(true); });

    if (d.supportsZephId()) {
        addSection(tr("SDI Camera Control"));
        cameraIdField_ = addLineEdit(tr("ZEPH Camera ID:"), D2SettingsLineEdit::NonEmpty);
        cameraIdField_->setFixedWidth(kCameraIdWidth);
        cameraIdField_->setShowStatus(false);
        cameraIdField_->setValidator(sharedCameraIdValidator());
        savedCameraId_ = d.getZephId();
        cameraIdField_->setText(QString::number(savedCameraId_));
        connect(cameraIdField_, &QLineEdit::editingFinished, this, &ZanthicOstrelTab::onCameraIdFinished);
        // Qt finishes no edit that is not acceptable: an emptied field is seen leaving here.
        cameraIdField_->installEventFilter(this);
    }
    if (d.supportsSdiLevelAEnable()) {
        savedSdiLevelA_ = d.getSdiLevelAEnable();
        sdiLevel_ = addChoice(tr("SDI Output"), tr("3G SDI Output:"), {{1, tr("Level A")}, {0, tr("Level B")}},
                              savedSdiLevelA_, &ZanthicConvertersConnectedDevice::setSdiLevelAEnable);
    }
    if (d.supportsHdmiClampEnable()) {
        savedHdmiClip_ = d.getHdmiClampEnable();
        hdmiClip_ = addChoice(tr("HDMI Output"), tr("Clip signal to:"),
                              {{1, tr("Normal levels (16 - 235)")}, {0, tr("Illegal levels (0 - 255)")}}, savedHdmiClip_,
                              &ZanthicConvertersConnectedDevice::setHdmiClampEnable);
    }
    const QList<QPair<int, QString>> mappings{{0, tr("SMPTE standard (L, R, C, LFE, Ls, Rs)")},
                                              {1, tr("Consumer standard (L, R, LFE, C, Ls, Rs)")}};
    if (d.supportsHdmiRxCh34Swap()) {
        savedRxMapping_ = d.getHdmiRxCh34Swap();
        rxMapping_ = addChoice(tr("Audio Mapping"), tr("For 5.1 surround use:"), mappings, savedRxMapping_,
                               &ZanthicConvertersConnectedDevice::setHdmiRxCh34Swap);
    }
    if (d.supportsHdmiTxCh34Swap()) {
        savedTxMapping_ = d.getHdmiTxCh34Swap();
        txMapping_ = addChoice(tr("Audio Mapping"), tr("For 5.1 surround use:"), mappings, savedTxMapping_,
                               &ZanthicConvertersConnectedDevice::setHdmiTxCh34Swap);
    }

    addSection(tr("Reset"));
    resetButton_ = addPushButton(QString(), tr("Factory Reset"));
    resetDialog_ = new FactoryResetDialog(zanthicModelName(d), this);
    resetDialog_->hide();
    connect(resetButton_, &QPushButton::clicked, resetDialog_, &QWidget::show);
    connect(resetDialog_, &CommonDialog::noClicked, resetDialog_, &QWidget::hide);
    connect(resetDialog_, &CommonDialog::yesClicked, this, &ZanthicOstrelTab::onFactoryReset);

    finishLayout();
    d.addDelegate(this);
}

ZanthicOstrelTab::~ZanthicOstrelTab()
{
    device_->removeDelegate(this);
    delete resetDialog_;
}

QButtonGroup* ZanthicOstrelTab::addChoice(const QString& section, const QString& label,
                                          const QList<QPair<int, QString>>& entries, bool saved,
                                          void (ZanthicConvertersConnectedDevice::*write)(bool))
{
    addSection(section);
    QButtonGroup* group = addRadioGroup(entries, label);
    setRadioGroupChecked(group, saved ? 1 : 0);
    // A click, not a toggle: the device's own echo through the delegate must not write again.
    connect(group, &QButtonGroup::idClicked, this,
            [this, write](int id) { ((*device_).*write)(id != 0); });
    return group;
}

void ZanthicOstrelTab::onCameraIdFinished()
{
    int value = device_->getZephId();
    const QString text = cameraIdField_->text().trimmed();
    if (cameraIdField_->hasAcceptableInput() && !text.isEmpty())
        value = text.toInt();
    const auto sent = static_cast<std::uint8_t>(value & 0xFF);
    device_->setZephId(sent);
    cameraIdField_->setText(QString::number(sent));
}

bool ZanthicOstrelTab::eventFilter(QObject* watched, QEvent* event)
{
    // After the field has handled its focus-out: an acceptable text is sent by editingFinished.
    if (watched == cameraIdField_ && event->type() == QEvent::FocusOut && !cameraIdField_->hasAcceptableInput())
        invokeInContext(this, [this] {
            if (!cameraIdField_->hasAcceptableInput() && !cameraIdField_->hasFocus())
                onCameraIdFinished();
        });
    return D2SettingsTab::eventFilter(watched, event);
}

void ZanthicOstrelTab::onFactoryReset()
{
    resetDialog_->hide();
    device_->factoryReset();
    if (card_)
        card_->close();
}

void ZanthicOstrelTab::applySettings()
{
    const QString name = nameField_->text().trimmed();
    if (!name.isEmpty() && name != device_->deviceName())
        device_->setDeviceName(name);
}

void ZanthicOstrelTab::revertSettings()
{
    ZanthicConvertersConnectedDevice& d = *device_;
    if (d.supportsHdmiClampEnable())
        d.setHdmiClampEnable(savedHdmiClip_);
    if (d.supportsHdmiRxCh34Swap())
        d.setHdmiRxCh34Swap(savedRxMapping_);
    if (d.supportsHdmiTxCh34Swap())
        d.setHdmiTxCh34Swap(savedTxMapping_);
    if (d.supportsSdiLevelAEnable())
        d.setSdiLevelAEnable(savedSdiLevelA_);
    if (d.supportsZephId())
        d.setZephId(savedCameraId_);
}

void ZanthicOstrelTab::setHdmiClipLevel(bool on) { setRadioGroupChecked(hdmiClip_, on ? 1 : 0); }
void ZanthicOstrelTab::setAudioMapping(bool swapped) { setRadioGroupChecked(rxMapping_, swapped ? 1 : 0); }
void ZanthicOstrelTab::setSecondAudioMapping(bool swapped) { setRadioGroupChecked(txMapping_, swapped ? 1 : 0); }
void ZanthicOstrelTab::setSdiOutputLevel(bool levelA) { setRadioGroupChecked(sdiLevel_, levelA ? 1 : 0); }

} // namespace Zanthic
} // namespace TWG
