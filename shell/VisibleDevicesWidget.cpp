#include "shell/VisibleDevicesWidget.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/VisibleDevice.h"
#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TestModePixmap.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/ElidedLabel.h"
#include "shell/DeviceList.h"
#include "shell/LauncherPushButton.h"
#include "shell/ShellBranding.h"

#include <QFontMetrics>
#include <QLabel>
#include <QStackedWidget>

namespace {
constexpr int kMessagePageWidth = 470;
constexpr int kDevicePageWidth = 400;
constexpr int kSoftwarePageHeight = 123;
constexpr int kTestModeWidth = 400;
constexpr int kTestModeHeight = 360;
constexpr int kIconPadding = 10;
constexpr int kSoftwareLabelY[3] = {6, 40, 58};
constexpr int kUpdateButtonY = 95;
const QColor kNameColour(241, 241, 241);

QVBoxLayout* arrowColumn(FlatImageButton* arrow)
{
    auto* column = new TightVBoxLayout;
    column->addStrut(32);
    column->addStretch(1);
    column->addWidget(arrow);
    column->addStretch(1);
    return column;
}
} // namespace

VisibleDevicesWidget::VisibleDevicesWidget(DeviceList* list, QWidget* parent)
    : QFrame(parent), list_(list), noDeviceImage_(brandingNoDeviceImage()), badInstallImage_(brandingBadInstallImage())
{
    setObjectName(QStringLiteral("VisibleDevicesWidget"));
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kitColourGrey31());
    setPalette(pal);
    setAutoFillBackground(true);

    leftArrow_ = new FlatImageButton(QStringLiteral(":/LeftArrow"), this);
    leftArrow_->setHoverImage(QStringLiteral(":/LeftArrow_Hover"));
    rightArrow_ = new FlatImageButton(QStringLiteral(":/RightArrow"), this);
    rightArrow_->setHoverImage(QStringLiteral(":/RightArrow_Hover"));

    auto* outer = new TightVBoxLayout(this);
    outer->addStretch(2);
    outer->addSpacerItem(new QSpacerItem(40, 33, QSizePolicy::Minimum, QSizePolicy::Preferred));
    auto* cardRow = new TightHBoxLayout;
    cardRow->addSpacing(40);
    cardRow->addLayout(arrowColumn(leftArrow_));
    cardRow->addSpacing(35);
    cardRow->addWidget(buildCardColumn());
    cardRow->addSpacing(35);
    cardRow->addLayout(arrowColumn(rightArrow_));
    cardRow->addSpacing(40);
    outer->addLayout(cardRow);
    outer->addSpacerItem(new QSpacerItem(40, 0, QSizePolicy::Minimum, QSizePolicy::Fixed));
    extraLayout_ = new TightVBoxLayout;
    extraLayout_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    outer->addLayout(extraLayout_);
    outer->addSpacerItem(new QSpacerItem(40, 20, QSizePolicy::Minimum, QSizePolicy::Expanding));
    outer->addStretch(3);

    onDeviceListChanged();

    connect(imageButton_, &FlatImageButton::clicked, this, &VisibleDevicesWidget::onDeviceClicked);
    connect(leftArrow_, &FlatImageButton::clicked, this, &VisibleDevicesWidget::onLeftClicked);
    connect(rightArrow_, &FlatImageButton::clicked, this, &VisibleDevicesWidget::onRightClicked);
    connect(list_, &DeviceList::deviceListAdded, this, &VisibleDevicesWidget::onDeviceListChanged);
    connect(list_, &DeviceList::deviceListRemoved, this, [this](VisibleDevice* device) {
        if (device == versionShownFor_)
            versionShownFor_ = nullptr;
    });
    connect(list_, &DeviceList::deviceListRemoved, this, &VisibleDevicesWidget::onDeviceListChanged);
    connect(list_, &DeviceList::deviceListSelected, this, &VisibleDevicesWidget::onDeviceListChanged);
    connect(list_, &DeviceList::deviceListChanged, this, &VisibleDevicesWidget::onDeviceListChanged);
}

VisibleDevicesWidget::~VisibleDevicesWidget()
{
    if (extraWidget_)
        disconnect(extraWidgetConnection_);
}

QWidget* VisibleDevicesWidget::buildCardColumn()
{
    auto* column = new QWidget(this);
    auto* layout = new TightVBoxLayout(column);

    imageButton_ = new FlatImageButton(noDeviceImage_, column);
    nameLabel_ = new ElidedLabel(QString(), kitFont(0), kNameColour, column);
    nameLabel_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    nameLabel_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    const int descent = QFontMetrics(nameLabel_->font()).descent();

    pageStack_ = new QStackedWidget(column);
    messageLabel_ = createStyledLabel(1, kitColourControl(), nullptr);
    messageLabel_->setWordWrap(true);
    messageLabel_->setAlignment(Qt::AlignHCenter);
    messageLabel_->setScaledContents(true);
    messageLabel_->setIndent(0);
    connect(messageLabel_, &QLabel::linkActivated, this, &VisibleDevicesWidget::addByIpClicked);
    pageStack_->insertWidget(MessagePage, messageLabel_);
    pageStack_->insertWidget(DevicePage, buildDevicePage());
    pageStack_->insertWidget(SoftwarePage, buildSoftwarePage());

    layout->addStretch(4);
    layout->addSpacing(16);
    layout->addWidget(imageButton_, 0, Qt::AlignHCenter);
    layout->addSpacing(25 - descent);
    layout->addWidget(nameLabel_, 0, Qt::AlignHCenter | Qt::AlignTop);
    layout->addSpacing(8 - descent);
    layout->addWidget(pageStack_, 0, Qt::AlignHCenter);
    layout->addStretch(6);
    return column;
}

QWidget* VisibleDevicesWidget::buildDevicePage()
{
    auto* page = new QFrame;
    page->setFixedWidth(kDevicePageWidth);
    auto* layout = new TightVBoxLayout(page);

    auto* textRow = new TightHBoxLayout;
    deviceTextLabel_ = createStyledLabel(1, kitColourControl(), page);
    deviceTextLabel_->setAlignment(Qt::AlignCenter);
    connectionIconLabel_ = new QLabel(page);
    connectionIconLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    textRow->addStretch(1);
    textRow->addWidget(deviceTextLabel_);
    textRow->addWidget(connectionIconLabel_);
    textRow->addStretch(1);
    layout->addLayout(textRow);
    layout->addSpacing(15 - QFontMetrics(deviceTextLabel_->font()).descent());

    auto* buttonFrame = new QFrame(page);
    buttonRow_ = new QHBoxLayout(buttonFrame);
    buttonRow_->setSpacing(30);
    buttonRow_->setAlignment(Qt::AlignCenter);
    openButton_ = new FlatImageButton(QStringLiteral(":/Setup"), buttonFrame);
    openButton_->setHoverImage(QStringLiteral(":/Setup_Hover"));
    buttonRow_->addWidget(openButton_);
    controlAppButton_ = new FlatImageButton(QPixmap(), buttonFrame);
    controlAppButton_->hide();
    layout->addWidget(buttonFrame);
    layout->addSpacing(20);

    connect(openButton_, &FlatImageButton::clicked, this, &VisibleDevicesWidget::onDeviceClicked);
    connect(controlAppButton_, &FlatImageButton::clicked, this, &VisibleDevicesWidget::onControlAppClicked);
    return page;
}

QWidget* VisibleDevicesWidget::buildSoftwarePage()
{
    auto* page = new QWidget;
    page->setFixedSize(kDevicePageWidth, kSoftwarePageHeight);
    for (int i = 0; i < 3; ++i) {
        QLabel* label = createStyledLabel(1, kitColourControl(), page);
        label->setAlignment(Qt::AlignHCenter);
        label->setFixedSize(kDevicePageWidth, QFontMetrics(label->font()).height());
        label->move(0, kSoftwareLabelY[i]);
        softwareLabels_[i] = label;
    }
    updateButton_ = new LauncherPushButton(tr("Update Now"), page);
    updateButton_->move((kDevicePageWidth - updateButton_->width()) / 2, kUpdateButtonY);
    connect(updateButton_, &QPushButton::clicked, this, &VisibleDevicesWidget::onUpdateButtonClicked);
    return page;
}

void VisibleDevicesWidget::dropExtraWidget()
{
    if (!extraWidget_)
        return;
    disconnect(extraWidgetConnection_);
    extraWidget_->hide();
    extraLayout_->removeWidget(extraWidget_);
    extraWidget_->deleteLater();
    extraWidget_ = nullptr;
}

void VisibleDevicesWidget::onDeviceListChanged()
{
    dropExtraWidget();
    VisibleDevice* device = list_->currentDevice();
    if (!device || badInstall_) {
        pageStack_->setFixedWidth(kMessagePageWidth);
        if (badInstall_) {
            imageButton_->setPixmap(badInstallImage_);
            nameLabel_->setText(brandingBadInstallHeader());
            messageLabel_->setText(brandingBadInstallMessage());
        } else {
            imageButton_->setPixmap(noDeviceImage_);
            nameLabel_->setText(brandingNoDeviceHeader());
            messageLabel_->setText(brandingNoDeviceMessage());
        }
        imageButton_->setEnabled(false);
        pageStack_->setCurrentIndex(MessagePage);
        leftArrow_->hide();
        rightArrow_->hide();
        return;
    }

    pageStack_->setFixedWidth(kDevicePageWidth);
    const int n = list_->count();
    const int i = list_->indexOf(device);
    if (i < 0)
        return;

    const QPixmap image = device->image();
    if (device->isTestMode())
        imageButton_->setPixmap(TestModePixmap(image, kTestModeWidth, kTestModeHeight, 0));
    else
        imageButton_->setPixmap(image);
    nameLabel_->setText(device->displayName());

    if (device->hasStatusImages()) {
        controlAppButton_->setPixmap(device->statusImage());
        controlAppButton_->setHoverPixmap(device->statusImageOverlay());
        controlAppButton_->setVisible(true);
        if (buttonRow_->indexOf(controlAppButton_) < 0)
            buttonRow_->addWidget(controlAppButton_);
    } else {
        buttonRow_->removeWidget(controlAppButton_);
        controlAppButton_->hide();
    }

    if (device->showsSoftwareStatus())
        showSoftwarePage(device);
    else
        showDevicePage(device);

    leftArrow_->setVisible(i > 0);
    rightArrow_->setVisible(i < n - 1);
}

void VisibleDevicesWidget::showSoftwarePage(VisibleDevice* device)
{
    imageButton_->setEnabled(false);
    pageStack_->setCurrentIndex(SoftwarePage);
    const QString version = device->softwareVersion();
    if (!version.isEmpty()) {
        softwareLabels_[0]->setText(tr("Version ") + version);
        versionShownFor_ = device;
    } else if (device != versionShownFor_) {
        // Another device's version must not stand under this one.
        softwareLabels_[0]->clear();
        versionShownFor_ = nullptr;
    }
    if (device->isFirmwareUpdateAvailable()) {
        softwareLabels_[1]->setText(tr("Software update available."));
        softwareLabels_[2]->setText(tr("Version ") + device->availableSoftwareVersion());
        softwareLabels_[2]->show();
        updateButton_->show();
    } else {
        softwareLabels_[1]->setText(tr("Software is up to date."));
        softwareLabels_[2]->hide();
        updateButton_->hide();
    }
}

void VisibleDevicesWidget::showDevicePage(VisibleDevice* device)
{
    imageButton_->setEnabled(true);
    pageStack_->setCurrentIndex(DevicePage);

    int space = kDevicePageWidth;
    const QPixmap icon = device->galleryConnectionIcon();
    if (icon.isNull()) {
        connectionIconLabel_->hide();
    } else {
        connectionIconLabel_->setPixmap(icon);
        connectionIconLabel_->setFixedWidth(int(icon.width() / icon.devicePixelRatio() + kIconPadding));
        connectionIconLabel_->show();
        space -= connectionIconLabel_->width();
    }

    const QString name = device->name();
    const int textWidth = QFontMetrics(deviceTextLabel_->font()).horizontalAdvance(name);
    if (textWidth > space) {
        deviceTextLabel_->setFixedWidth(space);
        deviceTextLabel_->setText(elideToWidth(deviceTextLabel_, name, Qt::ElideRight));
    } else {
        deviceTextLabel_->setFixedWidth(textWidth);
        deviceTextLabel_->setText(name);
    }

    openButton_->setVisible(device->canOpen());

    if (QWidget* extra = device->cardExtraWidget()) {
        extra->setParent(this);
        extraLayout_->addWidget(extra, 0, Qt::AlignHCenter | Qt::AlignTop);
        extra->show();
        extraWidget_ = extra;
        extraWidgetConnection_ =
            connect(extra, &QObject::destroyed, this, &VisibleDevicesWidget::onSummaryWidgetDestroyed);
    }
}

void VisibleDevicesWidget::onSummaryWidgetDestroyed()
{
    // The widget is going: only take it out of the layout.
    extraLayout_->removeWidget(extraWidget_);
    extraWidget_ = nullptr;
    onDeviceListChanged();
}

void VisibleDevicesWidget::onBadInstall()
{
    badInstall_ = true;
    onDeviceListChanged();
}

void VisibleDevicesWidget::onDeviceClicked()
{
    VisibleDevice* device = list_->currentDevice();
    if (!device || !device->canOpen())
        return;
    imageButton_->clearFocus();
    openButton_->clearFocus();
    emit requestShowDevice(device);
}

void VisibleDevicesWidget::onUpdateButtonClicked()
{
    emit requestFirmwareUpdate(list_->currentDevice());
}

void VisibleDevicesWidget::onLeftClicked()
{
    list_->selectPrevious();
}

void VisibleDevicesWidget::onRightClicked()
{
    list_->selectNext();
}

void VisibleDevicesWidget::onControlAppClicked()
{
    emit requestShowControlApp(list_->currentDevice());
}
