#pragma once

#include "kit/framework/SettingsTab.h"
#include "kit/widgets/settings/RadioGroup.h"

// A settings tab that shows every row kind, control and block of the kit, for the scripted
// test plug-in's card.
class DemoSettingsTab : public SettingsTab {
public:
    explicit DemoSettingsTab(QWidget* parent);

    RadioGroup outputMode() const { return outputMode_; }
    RadioGroup levelChoice() const { return levelChoice_; }
    RadioGroup downconversion() const { return downconversion_; }
    SliderLink* gainLink() const { return gainLink_; }

private:
    void buildStatus();
    void buildNetwork();
    void buildLevels();
    void buildOptions();

    RadioGroup outputMode_;
    RadioGroup levelChoice_;
    RadioGroup downconversion_;
    SliderLink* gainLink_ = nullptr;
};
