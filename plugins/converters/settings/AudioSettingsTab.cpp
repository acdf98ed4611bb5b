#include "plugins/converters/settings/AudioSettingsTab.h"

#include "converters/GainScale.h"
#include "converters/IConverter.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/GainSliderPairRow.h"

#include "kit/widgets/card/CardSection.h"
#include "kit/widgets/settings/SettingsSlider.h"

#include <QAbstractButton>
#include <QAbstractSlider>

namespace {

constexpr int kFourChannels = 4;

using Getter = bool (TWG::Converters::IConverter::*)(std::uint8_t*);
using Setter = bool (TWG::Converters::IConverter::*)(std::uint8_t);

struct ChannelAccess {
    Getter get;
    Setter set;
};

const ChannelAccess kChannels[] = {
    {&TWG::Converters::IConverter::getAudioGain1, &TWG::Converters::IConverter::setAudioGain1},
    {&TWG::Converters::IConverter::getAudioGain2, &TWG::Converters::IConverter::setAudioGain2},
    {&TWG::Converters::IConverter::getAudioGain3, &TWG::Converters::IConverter::setAudioGain3},
    {&TWG::Converters::IConverter::getAudioGain4, &TWG::Converters::IConverter::setAudioGain4},
    {&TWG::Converters::IConverter::getAesEbuGain, &TWG::Converters::IConverter::setAesEbuGain},
};

} // namespace

using TWG::Converters::IConverter;

AudioSettingsTab::AudioSettingsTab(ConverterConnection* owner, QWidget* parent)
    : ConverterSettingsTab(owner, parent)
{
    buildControls();
    readCurrentValues();
}

void AudioSettingsTab::buildControls()
{
    IConverter* d = device();
    bool audio = false;
    if (d->hasAudio(&audio) && audio) {
        int output = 0;
        d->audioLevelsAreOutput(&output);
        QWidget* section = addSection(output != 0 ? tr("Output Levels") : tr("Input Levels"));
        resetButton_ = qobject_cast<QAbstractButton*>(addIconToRow(section, QStringLiteral(":/Refresh")));
        if (resetButton_)
            connect(resetButton_, &QAbstractButton::clicked, this, &AudioSettingsTab::onResetLevels);
        ch12Row_ = static_cast<GainSliderPairRow*>(addGainPairRow(tr("Ch 1:"), tr("Ch 2:"), audioGainLabel));
        int channels = 0;
        if (d->getAudioChannelCount(&channels) && channels == kFourChannels)
            ch34Row_ = static_cast<GainSliderPairRow*>(addGainPairRow(tr("Ch 3:"), tr("Ch 4:"), audioGainLabel));
        bool aesEbu = false;
        if (d->hasAesEbuLevel(&aesEbu) && aesEbu)
            aesEbuRow_ = static_cast<GainSlider*>(addGainRow(tr("AES/EBU:"), audioGainLabel));
    }
    finishLayout();
}

void AudioSettingsTab::readPair(GainSliderPairRow* row, Channel upper, Channel lower)
{
    IConverter* d = device();
    std::uint8_t upperValue = 0;
    std::uint8_t lowerValue = 0;
    const Getter getUpper = kChannels[upper].get;
    if (!(d->*getUpper)(&upperValue))
        return;
    gains_[upper].setRead(upperValue);
    const Getter getLower = kChannels[lower].get;
    if (!(d->*getLower)(&lowerValue))
        return;
    gains_[lower].setRead(lowerValue);
    row->setValues(upperValue, lowerValue);
    row->linkIfEqual();
}

void AudioSettingsTab::readCurrentValues()
{
    if (ch12Row_) {
        readPair(ch12Row_, Ch1, Ch2);
        connect(ch12Row_, &GainSliderPairRow::gainChanged, this, &AudioSettingsTab::onCh12Change);
    }
    if (ch34Row_) {
        readPair(ch34Row_, Ch3, Ch4);
        connect(ch34Row_, &GainSliderPairRow::gainChanged, this, &AudioSettingsTab::onCh34Change);
    }
    if (aesEbuRow_) {
        std::uint8_t value = 0;
        if (device()->getAesEbuGain(&value)) {
            aesEbuRow_->setValue(value);
            gains_[AesEbu].setRead(value);
        }
        connect(aesEbuRow_->slider(), &QAbstractSlider::valueChanged, this, &AudioSettingsTab::onAesEbuChange);
    }
}

void AudioSettingsTab::writeGain(Channel channel, std::uint8_t value)
{
    const Setter set = kChannels[channel].set;
    (device()->*set)(value);
    gains_[channel].markWritten();
}

void AudioSettingsTab::writePair(GainSliderPairRow* row, Channel upper, Channel lower)
{
    std::uint8_t upperValue = 0;
    std::uint8_t lowerValue = 0;
    row->values(&upperValue, &lowerValue);
    writeGain(upper, upperValue);
    writeGain(lower, lowerValue);
}

void AudioSettingsTab::onCh12Change()
{
    writePair(ch12Row_, Ch1, Ch2);
}

void AudioSettingsTab::onCh34Change()
{
    writePair(ch34Row_, Ch3, Ch4);
}

void AudioSettingsTab::onAesEbuChange()
{
    writeGain(AesEbu, aesEbuRow_->value());
}

void AudioSettingsTab::onResetLevels()
{
    const std::uint8_t unity = TWG::Converters::kDefaultAudioGain;
    if (ch12Row_) {
        ch12Row_->setValues(unity, unity);
        writeGain(Ch1, unity);
        writeGain(Ch2, unity);
    }
    if (ch34Row_) {
        ch34Row_->setValues(unity, unity);
        writeGain(Ch3, unity);
        writeGain(Ch4, unity);
    }
    if (aesEbuRow_) {
        aesEbuRow_->setValue(unity);
        writeGain(AesEbu, unity);
    }
}

void AudioSettingsTab::commitChanges() {}

void AudioSettingsTab::revertChanges()
{
    for (int channel = Ch1; channel < ChannelCount; ++channel) {
        const KeptSetting<std::uint8_t>& kept = gains_[channel];
        if (!kept.shouldRevert())
            continue;
        // A local copy: GCC 12 with UBSan miscompiles a member call through an indexed table.
        const Setter set = kChannels[channel].set;
        (device()->*set)(kept.value);
    }
}
