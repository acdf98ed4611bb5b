#include "plugins/converters/settings/ConverterSettingsTab.h"

#include "plugins/converters/settings/ConverterConnection.h"
#include "plugins/converters/settings/GainSlider.h"
#include "plugins/converters/settings/GainSliderPairRow.h"

ConverterSettingsTab::ConverterSettingsTab(ConverterConnection* owner, QWidget* parent)
    : SettingsTab(parent), owner_(owner)
{
    // Nothing waits to be saved, so Save is offered from the start.
    setSettingsStatus(SettingsStatus::Changed);
}

QWidget* ConverterSettingsTab::addGainPairRow(const QString& upperCaption,
                                              const QString& lowerCaption,
                                              GainLabelFormatter formatter)
{
    auto* row = new GainSliderPairRow(upperCaption, lowerCaption, formatter);
    addWidgetRow(row);
    return row;
}

QWidget* ConverterSettingsTab::addGainRow(const QString& caption, GainLabelFormatter formatter)
{
    auto* row = new GainSlider(caption, formatter);
    addWidgetRow(row);
    return row;
}

TWG::Converters::IConverter* ConverterSettingsTab::device() const
{
    return owner_ ? owner_->device() : nullptr;
}
