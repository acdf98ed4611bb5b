#pragma once

#include "plugins/converters/settings/ConverterSettingsTab.h"
#include "plugins/converters/settings/KeptSetting.h"

class QButtonGroup;

// Whether the SDI output feeds an extender or ordinary SDI equipment.
class DviExtenderSettingsTab : public ConverterSettingsTab {
    Q_OBJECT
public:
    static constexpr int kExtenderMode = 0;
    static constexpr int kVideoMode = 1;

    explicit DviExtenderSettingsTab(ConverterConnection* owner, QWidget* parent = nullptr);

    void commitChanges() override;
    void revertChanges() override;

    QButtonGroup* modeGroup() const { return group_; }

public slots:
    void onExtenderChanged(int mode);

private:
    QButtonGroup* group_ = nullptr;
    KeptSetting<int> mode_{kExtenderMode};
};
