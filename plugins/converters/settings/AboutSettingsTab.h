#pragma once

#include "plugins/converters/settings/ConverterSettingsTab.h"

class SettingsLabel;

// The plug-in's software version, and a word for models the user cannot adjust.
class AboutSettingsTab : public ConverterSettingsTab {
    Q_OBJECT
public:
    static const char* const kSoftwareVersion;

    AboutSettingsTab(ConverterConnection* owner, bool hasAdjustableSettings, QWidget* parent = nullptr);

    void commitChanges() override;
    void revertChanges() override;

    SettingsLabel* versionLabel() const { return versionLabel_; }

private:
    SettingsLabel* versionLabel_ = nullptr;
};
