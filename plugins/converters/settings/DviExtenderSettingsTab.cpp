#include "plugins/converters/settings/DviExtenderSettingsTab.h"

#include "converters/IConverter.h"

#include <QAbstractButton>
#include <QButtonGroup>

DviExtenderSettingsTab::DviExtenderSettingsTab(ConverterConnection* owner, QWidget* parent)
    : ConverterSettingsTab(owner, parent)
{
    addSection(tr("Settings"));
    suppressRowSpacing();
    group_ = beginRadioGroup(tr("Set SDI output to:"));
    addRadioButton(tr("Extender mode for use with Quelmar Pro"), kExtenderMode);
    addRadioButton(tr("Video mode for use with all SDI video equipment"), kVideoMode);
    fitRadioGroupHeight();
    createTextBlock(tr("Extender mode requires Quelmar Pro or Quelmar Optical Fiber models."), {}, true);
    restoreRowSpacing();
    finishLayout();

    int mode = kExtenderMode;
    if (device()->getDviExtenderMode(&mode))
        mode_.setRead(mode);
    if (QAbstractButton* button = group_->button(mode_.value))
        button->setChecked(true);
    connect(group_, &QButtonGroup::idClicked, this, &DviExtenderSettingsTab::onExtenderChanged);
}

void DviExtenderSettingsTab::onExtenderChanged(int mode)
{
    device()->setDviExtenderMode(mode);
    mode_.markWritten();
}

void DviExtenderSettingsTab::commitChanges() {}

void DviExtenderSettingsTab::revertChanges()
{
    if (mode_.shouldRevert())
        device()->setDviExtenderMode(mode_.value);
}
