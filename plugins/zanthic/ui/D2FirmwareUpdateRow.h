#pragma once

#include <QFrame>

class QLabel;

namespace TWG {
namespace Zanthic {

class D2SettingsLabel;
class D2SettingsPushButton;
class FirmwareUpdateInfo;

// The "Software:" row of the Setup tab: the installed version, and the packaged one with
// "Update Now" when an update is available. Built once with its tab; it does not refresh.
class D2FirmwareUpdateRow : public QFrame {
    Q_OBJECT
public:
    D2FirmwareUpdateRow(QWidget* tab, FirmwareUpdateInfo& info);

    // "Version 1.2, Build abc", "Version 1.2" or "Unknown" (an empty release).
    static QString versionText(const QString& release, const QString& build, bool withBuild);

    D2SettingsLabel* installedLabel() const { return installed_; }
    // Null unless an update is available.
    D2SettingsLabel* availableLabel() const { return available_; }
    D2SettingsPushButton* updateButton() const { return updateButton_; }
    QLabel* alertIcon() const { return alertIcon_; }

signals:
    void updateFirmware();

public slots:
    void focusChanged(QWidget* old, QWidget* now);

private:
    QString release_;
    QString build_;
    D2SettingsLabel* installed_;
    D2SettingsLabel* available_ = nullptr;
    D2SettingsPushButton* updateButton_ = nullptr;
    QLabel* alertIcon_ = nullptr;
};

} // namespace Zanthic
} // namespace TWG
