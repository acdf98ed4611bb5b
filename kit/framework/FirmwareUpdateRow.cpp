#include "kit/framework/FirmwareUpdateRow.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/widgets/CardPushButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/settings/SettingsLabel.h"

#include <QLabel>

namespace {
constexpr int kFont = 7;
constexpr int kRowHeightWithUpdate = 62;
constexpr int kRowHeight = 31;
constexpr int kFirstLineY = 7;
constexpr int kSecondLineY = 38;
constexpr int kCaptionX = 30;
constexpr int kCaptionWidth = 160;
constexpr int kValueX = 214;
constexpr int kAvailableWidth = 476;
constexpr int kDeviceVersionWidth = 385;
constexpr int kButtonX = 476;
constexpr int kButtonY = 3;
constexpr int kButtonWidth = 114;
constexpr int kButtonHeight = 25;
constexpr int kAlertX = 254;
constexpr int kIncompatibleX = 284;

QLabel* captionLabel(QWidget* parent, int y, const QString& text)
{
    QLabel* label = createStyledLabel(kFont, kitColourText(), parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setFixedWidth(kCaptionWidth);
    label->move(kCaptionX, y);
    label->setText(text);
    return label;
}
}

FirmwareUpdateRow::FirmwareUpdateRow(const QString& deviceVersion,
                                     const QString& availableVersion, bool updateAvailable,
                                     bool incompatible, QWidget* parent)
    : QFrame(parent)
{
    const QString device = deviceVersion.isEmpty() ? tr("Unknown") : deviceVersion;
    const QString available = availableVersion.isEmpty() ? tr("Unknown") : availableVersion;

    if (!updateAvailable) {
        setFixedHeight(kRowHeight);
        addVersionLine(kFirstLineY, tr("Software Version:"), device);
        return;
    }

    setFixedHeight(kRowHeightWithUpdate);
    captionLabel(this, kFirstLineY, tr("Available Software Version:"));
    QLabel* availableLabel = createStyledLabel(kFont, brandingAccentColour(), this);
    availableLabel->setFixedWidth(kAvailableWidth);
    availableLabel->move(kValueX, kFirstLineY);
    if (incompatible) {
        availableLabel->setText(tr("%1").arg(available));
        auto* alert = new QLabel(this);
        alert->setPixmap(loadIconPixmap(QStringLiteral(":/Field_Icon_Alert")));
        alert->adjustSize();
        alert->move(kAlertX, kFirstLineY);
        QLabel* warning = createStyledLabel(kFont, kitColourError(), this);
        warning->setText(tr("This software is not compatible with your device."));
        warning->adjustSize();
        warning->move(kIncompatibleX, kFirstLineY);
    } else {
        availableLabel->setText(tr("%1 is available for update").arg(available));
        updateButton_ = new CardPushButton(tr("Update Now"), this, kButtonWidth, kButtonHeight);
        updateButton_->move(kButtonX, kButtonY);
        connect(updateButton_, &QAbstractButton::clicked, this, &FirmwareUpdateRow::updateFirmware);
    }
    addVersionLine(kSecondLineY, tr("Device Software Version:"), device);
}

void FirmwareUpdateRow::addVersionLine(int y, const QString& caption, const QString& version)
{
    captionLabel(this, y, caption);
    auto* value = new SettingsLabel(version, this);
    value->setFixedWidth(kDeviceVersionWidth);
    value->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    value->move(kValueX, y);
}
