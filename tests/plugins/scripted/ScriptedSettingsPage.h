#pragma once

#include "kit/framework/SettingsPage.h"

// The settings of a scripted device: a couple of plain tabs, and the demonstration tab when it
// is built in.
class ScriptedSettingsPage : public SettingsPage {
    Q_OBJECT
public:
    explicit ScriptedSettingsPage(QWidget* parent = nullptr);

    // Index of the demonstration tab, -1 without it.
    int demoTabIndex() const { return demoTab_; }

protected:
    void commitChanges() override;
    void revertChanges() override;

private:
    int demoTab_ = -1;
};
