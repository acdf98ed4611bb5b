#pragma once

#include "plugins/converters/settings/ConverterSettingsTab.h"
#include "plugins/converters/settings/KeptSetting.h"

class QAbstractButton;
class QLineEdit;

// The SDI tally: which camera number the converter answers to, and whether it shows tally.
class TallySettingsTab : public ConverterSettingsTab {
    Q_OBJECT
public:
    static constexpr int kFirstCamera = 1;
    static constexpr int kLastCamera = 99;

    explicit TallySettingsTab(ConverterConnection* owner, QWidget* parent = nullptr);

    void commitChanges() override;
    void revertChanges() override;

    QLineEdit* cameraNumberEdit() const { return cameraEdit_; }
    QAbstractButton* showTallyBox() const { return showTallyBox_; }

public slots:
    void onCameraNumberChanged(const QString& text);
    void onShowTallyChanged(bool on);

private:
    QLineEdit* cameraEdit_ = nullptr;
    QAbstractButton* showTallyBox_ = nullptr;
    KeptSetting<int> cameraNumber_{kFirstCamera};
    KeptSetting<bool> showTally_{false};
};
