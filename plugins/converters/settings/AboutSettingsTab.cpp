#include "plugins/converters/settings/AboutSettingsTab.h"

#include "kit/widgets/settings/SettingsLabel.h"

const char* const AboutSettingsTab::kSoftwareVersion = "7.6.1";

AboutSettingsTab::AboutSettingsTab(ConverterConnection* owner, bool hasAdjustableSettings, QWidget* parent)
    : ConverterSettingsTab(owner, parent)
{
    addSection(tr("Software Information"));
    versionLabel_ = addTextRow(tr("Software version:"), QString::fromLatin1(kSoftwareVersion));
    if (!hasAdjustableSettings) {
        addSection(tr("Settings"));
        createTextBlock(tr("There are no user-adjustable settings for this model."), {}, false);
    }
    finishLayout();
}

void AboutSettingsTab::commitChanges() {}

void AboutSettingsTab::revertChanges() {}
