#include "plugins/zanthic/ui/D2FirmwareUpdateRow.h"

#include "kit/widgets/StyleHelpers.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/ui/D2SettingsLabel.h"
#include "plugins/zanthic/ui/D2SettingsLineEdit.h"
#include "plugins/zanthic/ui/D2SettingsPushButton.h"
#include "plugins/zanthic/ui/D2SettingsTab.h"

#include <QApplication>

namespace TWG {
namespace Zanthic {

namespace {
constexpr int kLineHeight = 32;
constexpr int kUpdateButtonX = 444;
constexpr int kUpdateButtonWidth = 92;
constexpr int kAlertCentreX = 420;

// A version text longer than the label is cut with "…"; the whole of it is its tooltip.
void showVersion(D2SettingsLabel* label, const QString& text)
{
    label->setElided(true);
    label->setText(text);
    label->setToolTip(text);
}
} // namespace

QString D2FirmwareUpdateRow::versionText(const QString& release, const QString& build, bool withBuild)
{
    QString text = release.isEmpty() ? tr("Unknown") : tr("Version %1").arg(release);
    if (withBuild && !build.isEmpty())
        text += tr(", Build %1").arg(build.toLower());
    return text;
}

D2FirmwareUpdateRow::D2FirmwareUpdateRow(QWidget* tab, FirmwareUpdateInfo& info)
    : QFrame(tab), release_(info.releaseVersion()), build_(info.buildId())
{
    const bool available = info.isFirmwareUpdateAvailable();
    const bool supported = info.isSoftwareSupported();

    addD2RowLabel(this, tr("Software:"));
    installed_ = new D2SettingsLabel(QString(), this);
    showVersion(installed_, versionText(release_, build_, available && supported));
    installed_->move(D2SettingsTab::kControlX, D2SettingsTab::kControlY);

    if (!available) {
        setFixedHeight(kLineHeight);
        connect(qApp, &QApplication::focusChanged, this, &D2FirmwareUpdateRow::focusChanged);
        return;
    }

    setFixedHeight(2 * kLineHeight);
    addD2RowLabel(this, tr("Available Software:"), 7 + kLineHeight);
    const QString packaged = versionText(info.availableSoftwareVersion(), info.availableFirmwareVersion(), true);
    available_ = new D2SettingsLabel(QString(), this);
    showVersion(available_, packaged);
    available_->move(D2SettingsTab::kControlX, D2SettingsTab::kControlY + kLineHeight);
    if (supported) {
        updateButton_ = new D2SettingsPushButton(tr("Update Now"), this);
        updateButton_->setFixedWidth(kUpdateButtonWidth);
        updateButton_->move(kUpdateButtonX, D2SettingsTab::kControlY + kLineHeight);
        connect(updateButton_, &QPushButton::clicked, this, &D2FirmwareUpdateRow::updateFirmware);
        return;
    }
    showVersion(available_, tr("%1 is not compatible").arg(packaged));
    available_->setStyleSheet(QStringLiteral("QLabel { color: %1; background-color: %2; }")
                                  .arg(colourToHex(kitColourError()), colourToHex(kitColourGrey245())));
    alertIcon_ = new QLabel(this);
    alertIcon_->setStyleSheet(QStringLiteral("QLabel{ background-color: transparent; }"));
    alertIcon_->setPixmap(loadIconPixmap(QStringLiteral(":/Field_Icon_Alert")));
    alertIcon_->adjustSize();
    alertIcon_->move(kAlertCentreX - alertIcon_->width() / 2, kLineHeight + (kLineHeight - alertIcon_->height()) / 2);
}

void D2FirmwareUpdateRow::focusChanged(QWidget* old, QWidget* now)
{
    if (now == installed_)
        showVersion(installed_, versionText(release_, build_, true));
    else if (old == installed_)
        showVersion(installed_, versionText(release_, build_, false));
}

} // namespace Zanthic
} // namespace TWG
