#include "plugins/converters/settings/VideoSettingsTab.h"

#include "protocol/Fx2Registers.h"
#include "converters/GainScale.h"
#include "converters/IConverter.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/settings/SettingsLabel.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/GainSliderPairRow.h"

#include "kit/widgets/card/CardSection.h"
#include "kit/widgets/settings/SettingsSlider.h"
#include "plugins/converters/lut/LutLog.h"
#include "plugins/converters/lut/LutSampling.h"
#include "plugins/converters/lut/TavrinLUT.h"
#include "plugins/converters/settings/ConverterConnection.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QButtonGroup>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QSignalMapper>
#include <QTimer>

#include <string>
#include <vector>

namespace {

// Models whose own quirks show on this tab.
constexpr std::uint16_t kAnalogOutModel = 0xBD15;
constexpr std::uint16_t kNoDownconversionOffModel = 0xBD91;

// Downconversion modes as the device numbers them.
constexpr int kModeOff = 0;
constexpr int kModeAnamorphic = 1;
constexpr int kModeCenterCut = 2;
constexpr int kModeLetterbox = 3;

constexpr int kLevelA = 1;
constexpr int kLevelB = 0;
constexpr int kAspectWide = 1;
constexpr int kAspectNarrow = 0;

constexpr int kLoadButtonX = 205;
constexpr int kLoadButtonY = 5;
constexpr int kLoadButtonWidth = 114;
constexpr int kLoadButtonHeight = 25;
constexpr int kLutLabelX = 349;
constexpr int kLutLabelY = 10;
constexpr int kLutLabelWidth = 241;
constexpr char kErasedByte = '\xFF';

bool capable(bool (TWG::Converters::IConverter::*query)(bool*), TWG::Converters::IConverter* device)
{
    bool answer = false;
    return (device->*query)(&answer) && answer;
}

} // namespace

using TWG::Converters::IConverter;

VideoSettingsTab::VideoSettingsTab(ConverterConnection* owner, QWidget* parent)
    : ConverterSettingsTab(owner, parent)
{
    buildControls();
    readCurrentValues();
}

SettingsLabel* VideoSettingsTab::lutLabel(int index) const
{
    return index >= 0 && index < kLutCount ? lutLabels_[index] : nullptr;
}

CardPushButton* VideoSettingsTab::lutButton(int index) const
{
    return index >= 0 && index < kLutCount ? lutButtons_[index] : nullptr;
}

void VideoSettingsTab::buildControls()
{
    IConverter* d = device();

    if (capable(&IConverter::hasVideoGains, d)) {
        int output = 0;
        d->videoLevelsAreOutput(&output);
        QWidget* section = addSection(output != 0 ? tr("Output Levels") : tr("Input Levels"));
        resetButton_ = qobject_cast<QAbstractButton*>(addIconToRow(section, QStringLiteral(":/Refresh")));
        if (resetButton_)
            connect(resetButton_, &QAbstractButton::clicked, this, &VideoSettingsTab::onResetLevels);
        lumaRow_ = static_cast<GainSlider*>(addGainRow(tr("Video:"), videoGainLabel));
        chromaRow_ = static_cast<GainSliderPairRow*>(addGainPairRow(tr("B-Y:"), tr("R-Y:"), videoGainLabel));
    }

    const bool downconversion = capable(&IConverter::hasDownconversion, d);
    const bool clamping = capable(&IConverter::hasClamping, d);
    const bool videoLevel = capable(&IConverter::hasVideoLevel, d);
    const bool instantLock = capable(&IConverter::hasHdmiInstantLock, d);
    const bool lut = capable(&IConverter::hasLut, d);
    const bool sdAspect = capable(&IConverter::hasSdAspect, d);

    if (downconversion || clamping || videoLevel || instantLock || lut || sdAspect) {
        std::uint16_t ids[2] = {};
        const bool haveProductId = d->getDeviceIds(ids);
        addSection(tr("Processing"));
        if (downconversion)
            buildDownconversion(haveProductId, ids[0]);
        if (clamping) {
            const bool analog = haveProductId
                && (ids[0] == kAnalogOutModel || ids[0] == kNoDownconversionOffModel);
            suppressRowSpacing();
            clampingBox_ = qobject_cast<QAbstractButton*>(
                addCheckBoxRow(QString(), tr("Clip video output to legal levels")));
            clampingNote_ = createTextBlock(
                tr("The %1 output will not be a true representation of the SDI input, and may display illegal colors.")
                    .arg(analog ? tr("Analog") : tr("HDMI")),
                {}, true);
            restoreRowSpacing();
        }
        if (instantLock) {
            suppressRowSpacing();
            instantLockBox_ = qobject_cast<QAbstractButton*>(addCheckBoxRow(QString(), tr("HDMI instant lock")));
            instantLockNote_ = createTextBlock(tr("May cause video and audio delay of less than one frame."), {}, true);
            restoreRowSpacing();
        }
        if (videoLevel) {
            OptionList options;
            options.add(tr("Level A"), kLevelA);
            options.add(tr("Level B"), kLevelB);
            videoLevelGroup_ = RadioGroup(addOptionRadioGrid(options, tr("3G SDI Output:")));
        }
        if (lut) {
            lutMapper_ = new QSignalMapper(this);
            for (int i = 0; i < kLutCount; ++i)
                buildLutRow(i);
            connect(lutMapper_, &QSignalMapper::mappedInt, this, &VideoSettingsTab::onLoadLut);
        }
        if (sdAspect) {
            OptionList options;
            options.add(tr("Is output as 16:9"), kAspectWide);
            options.add(tr("Is output as 4:3"), kAspectNarrow);
            sdAspectGroup_ = RadioGroup(addOptionRadioGrid(options, tr("SD aspect ratio:")));
        }
    }
    finishLayout();
}

void VideoSettingsTab::buildDownconversion(bool haveProductId, std::uint16_t productId)
{
    // When the id cannot be read, Off is offered rather than lost.
    offOffered_ = !haveProductId || productId != kNoDownconversionOffModel;
    ImageOptionList options;
    if (offOffered_)
        options.add(QPixmap(QStringLiteral(":/HD_To_SDAnamorphic")), QStringLiteral("Off"), kModeOff);
    options.add(QPixmap(QStringLiteral(":/HD_To_SDLetterbox")), QStringLiteral("Letterbox"), kModeLetterbox);
    options.add(QPixmap(QStringLiteral(":/HD_To_SDAnamorphic")), QStringLiteral("Anamorphic"), kModeAnamorphic);
    options.add(QPixmap(QStringLiteral(":/HD_To_SDCenterCut")), QStringLiteral("Center Cut"), kModeCenterCut);
    downconversionGroup_ = RadioGroup(addImageOptionGroup(options, tr("Downconversion:")));
    downconversionNote_ = createTextBlock(tr("Based on the current DIP switch setting."), {}, true);
}

void VideoSettingsTab::buildLutRow(int index)
{
    QWidget* row = createCaptionRow(tr("Load 3D LUT %1:").arg(index + 1));
    auto* button = new CardPushButton(tr("Load"), row, kLoadButtonWidth, kLoadButtonHeight);
    button->move(kLoadButtonX, kLoadButtonY);
    auto* label = new SettingsLabel(QString(), row);
    label->setElided(1);
    label->setFixedWidth(kLutLabelWidth);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->move(kLutLabelX, kLutLabelY);
    label->setText(tr("LUT %1").arg(index));
    connect(button, &QAbstractButton::clicked, lutMapper_, qOverload<>(&QSignalMapper::map));
    lutMapper_->setMapping(button, index);
    lutButtons_[index] = button;
    lutLabels_[index] = label;
}

void VideoSettingsTab::readCurrentValues()
{
    IConverter* d = device();

    if (lumaRow_) {
        std::uint8_t luma = 0;
        if (d->getLumaGain(&luma)) {
            lumaRow_->setValue(luma);
            luma_.setRead(luma);
        }
        connect(lumaRow_->slider(), &QAbstractSlider::valueChanged, this, &VideoSettingsTab::onLumaChange);
    }
    if (chromaRow_) {
        std::uint8_t upper = 0;
        std::uint8_t lower = 0;
        const bool upperRead = d->getChromaBGain(&upper);
        const bool lowerRead = d->getChromaRGain(&lower);
        if (upperRead)
            chromaB_.setRead(upper);
        if (lowerRead)
            chromaR_.setRead(lower);
        if (upperRead && lowerRead) {
            chromaRow_->setValues(upper, lower);
            chromaRow_->linkIfEqual();
        }
        connect(chromaRow_, &GainSliderPairRow::gainChanged, this, &VideoSettingsTab::onChromaChange);
    }
    if (clampingBox_) {
        bool disabled = false;
        if (d->getClampingDisabled(&disabled)) {
            clampingBox_->setChecked(!disabled);
            clampingDisabled_.setRead(disabled);
        }
        setRowVisible(clampingNote_, !clampingBox_->isChecked());
        connect(clampingBox_, &QAbstractButton::clicked, this, &VideoSettingsTab::onClampingChange);
    }
    if (videoLevelGroup_.isValid()) {
        bool level = false;
        if (d->getVideoLevel(&level)) {
            videoLevelGroup_.setCheckedId(level ? kLevelA : kLevelB);
            videoLevel_.setRead(level);
        }
        connect(videoLevelGroup_.buttonGroup(), &QButtonGroup::idClicked, this,
                &VideoSettingsTab::onVideoLevelChange);
    }
    if (instantLockBox_) {
        bool on = false;
        if (d->getHdmiInstantLock(&on)) {
            instantLockBox_->setChecked(on);
            instantLock_.setRead(on);
        }
        setRowVisible(instantLockNote_, instantLockBox_->isChecked());
        connect(instantLockBox_, &QAbstractButton::clicked, this, &VideoSettingsTab::onHDMIResyncChange);
    }
    if (sdAspectGroup_.isValid()) {
        bool wide = false;
        if (d->getSdAspectWide(&wide)) {
            sdAspectGroup_.setCheckedId(wide ? kAspectWide : kAspectNarrow);
            sdAspectWide_.setRead(wide);
        }
        connect(sdAspectGroup_.buttonGroup(), &QButtonGroup::idClicked, this,
                &VideoSettingsTab::onSdAspectChange);
    }
    if (downconversionGroup_.isValid()) {
        int mode = 0;
        std::uint8_t flag = 0;
        if (d->getDownconversion(&mode, &flag)) {
            downconversion_.setRead(mode);
            downconversionOverridden_ = flag != 0;
        } else {
            mode = 0;
            flag = 0;
        }
        showDownconversion(mode, flag);
        connect(downconversionGroup_.buttonGroup(), &QButtonGroup::idClicked, this,
                &VideoSettingsTab::onDownconversionChanged);
        // The DIP switches can change under the page; only polled when there is something to show.
        resampleTimer_ = new QTimer(this);
        resampleTimer_->setInterval(kResampleIntervalMs);
        connect(resampleTimer_, &QTimer::timeout, this, &VideoSettingsTab::resampleDownconversion);
        resampleTimer_->start();
    }
    for (int i = 0; i < kLutCount; ++i) {
        if (!lutLabels_[i])
            continue;
        std::string name;
        if (!d->getLutName(i, &name))
            continue;
        // Erased EEPROM reads as 0xFF, which no UTF-8 text contains: the name ends there, and
        // a slot that was never written keeps its placeholder.
        const std::size_t erased = name.find(kErasedByte);
        if (erased != 0)
            lutLabels_[i]->setText(QString::fromStdString(name.substr(0, erased)));
    }
}

void VideoSettingsTab::showDownconversion(int mode, std::uint8_t flag)
{
    if (offOffered_ || mode != kModeOff)
        downconversionGroup_.setCheckedId(mode);
    setRowVisible(downconversionNote_, flag == 0);
    shownMode_ = mode;
    shownFlag_ = flag;
}

void VideoSettingsTab::resampleDownconversion()
{
    IConverter* d = device();
    d->ping();
    int mode = shownMode_;
    std::uint8_t flag = shownFlag_;
    if (d->getDownconversion(&mode, &flag) && (mode != shownMode_ || flag != shownFlag_))
        showDownconversion(mode, flag);
}

void VideoSettingsTab::onResetLevels()
{
    IConverter* d = device();
    const std::uint8_t unity = TWG::Converters::kDefaultVideoGain;
    if (lumaRow_) {
        lumaRow_->setValue(unity);
        d->setLumaGain(unity);
        luma_.markWritten();
    }
    if (chromaRow_) {
        chromaRow_->setValues(unity, unity);
        d->setChromaBGain(unity);
        d->setChromaRGain(unity);
        chromaB_.markWritten();
        chromaR_.markWritten();
    }
}

void VideoSettingsTab::onLumaChange()
{
    device()->setLumaGain(lumaRow_->value());
    luma_.markWritten();
}

void VideoSettingsTab::onChromaChange()
{
    std::uint8_t upper = 0;
    std::uint8_t lower = 0;
    chromaRow_->values(&upper, &lower);
    device()->setChromaBGain(upper);
    device()->setChromaRGain(lower);
    chromaB_.markWritten();
    chromaR_.markWritten();
}

void VideoSettingsTab::onClampingChange()
{
    device()->setClampingDisabled(!clampingBox_->isChecked());
    clampingDisabled_.markWritten();
    setRowVisible(clampingNote_, !clampingBox_->isChecked());
}

void VideoSettingsTab::onHDMIResyncChange()
{
    device()->setHdmiInstantLock(instantLockBox_->isChecked());
    instantLock_.markWritten();
    setRowVisible(instantLockNote_, instantLockBox_->isChecked());
}

void VideoSettingsTab::onVideoLevelChange()
{
    int id = -1;
    if (!videoLevelGroup_.checkedId(id))
        return;
    device()->setVideoLevel(id != 0);
    videoLevel_.markWritten();
}

void VideoSettingsTab::onSdAspectChange()
{
    int id = -1;
    if (!sdAspectGroup_.checkedId(id))
        return;
    device()->setSdAspectWide(id != 0);
    sdAspectWide_.markWritten();
}

void VideoSettingsTab::onDownconversionChanged()
{
    int id = -1;
    if (!downconversionGroup_.checkedId(id))
        return;
    device()->setDownconversion(id);
    downconversion_.markWritten();
}

void VideoSettingsTab::onLoadLut(int index)
{
    CardPushButton* button = lutButton(index);
    if (!button)
        return;
    button->setEnabled(false);
    // A converter unplugged while a dialog runs deletes this tab and its connection.
    const QPointer<VideoSettingsTab> self(this);
    const QPointer<ConverterConnection> connection(owner());
    const auto openFile = lutDialogs_.openFile;
    const QString path = openFile(this, tr("Open LUT %1").arg(index + 1), tr("Tavrin 3D LUT file (*.cube)"));
    if (!self || !connection)
        return;
    if (path.isEmpty()) {
        button->setEnabled(true);
        return;
    }
    TavrinLUT lut;
    if (!lut.load(path)) {
        qCDebug(lcLut).noquote() << lut.message().trimmed();
        const auto critical = lutDialogs_.critical;
        critical(this, tr("Loading LUT failed"), tr("The file %1 could not be loaded").arg(path));
        if (!self || !connection)
            return;
        button->setEnabled(true);
        return;
    }
    uploadLut(lut, index, QFileInfo(path).completeBaseName());
}

void VideoSettingsTab::uploadLut(const TavrinLUT& lut, int index, const QString& name)
{
    SettingsLabel* label = lutLabel(index);
    CardPushButton* button = lutButton(index);
    if (!label || !button)
        return;
    const std::vector<std::uint8_t> table = lutgrid::sampleTable(lut);
    setSettingsStatus(SettingsStatus::Changed);
    const QString before = label->text();
    label->setText(tr("Loading..."));
    label->repaint(); // the upload holds the event loop
    const std::string stored = name.toUtf8().toStdString();
    IConverter* d = device();
    if (!d || !d->loadLut(index, stored, table)) {
        label->setText(before);
        button->setEnabled(true);
        const auto critical = lutDialogs_.critical;
        critical(this, tr("Loading LUT failed"), tr("The LUT could not be sent to the converter"));
        return;
    }
    // The converter may keep a shortened name; show what it holds.
    std::string held;
    label->setText(d->getLutName(index, &held) ? QString::fromStdString(held) : name);
    button->setEnabled(true);
}

void VideoSettingsTab::commitChanges() {}

// Writing a mode always moves an FX2 converter's downconversion under software control; a
// converter that followed its DIP switches at open goes back to them.
void VideoSettingsTab::restoreDownconversionControl(IConverter* d)
{
    namespace reg = TWG::Converters::fx2reg;
    constexpr std::uint8_t mask = 1u << reg::kDownconversionControlBit;
    std::uint8_t select = 0;
    if (!d->readRegister(reg::kControlSelect, &select))
        return;
    const std::uint8_t atOpen = static_cast<std::uint8_t>(downconversionOverridden_ ? select | mask : select & ~mask);
    if (atOpen != select)
        d->writeRegister(reg::kControlSelect, atOpen);
}

void VideoSettingsTab::revertChanges()
{
    IConverter* d = device();
    if (luma_.shouldRevert())
        d->setLumaGain(luma_.value);
    if (chromaB_.shouldRevert())
        d->setChromaBGain(chromaB_.value);
    if (chromaR_.shouldRevert())
        d->setChromaRGain(chromaR_.value);
    if (clampingDisabled_.shouldRevert())
        d->setClampingDisabled(clampingDisabled_.value);
    if (instantLock_.shouldRevert())
        d->setHdmiInstantLock(instantLock_.value);
    if (downconversion_.shouldRevert()) {
        d->setDownconversion(downconversion_.value);
        if (!d->isXmega())
            restoreDownconversionControl(d);
    }
    if (videoLevel_.shouldRevert())
        d->setVideoLevel(videoLevel_.value);
    if (sdAspectWide_.shouldRevert())
        d->setSdAspectWide(sdAspectWide_.value);
}
