#pragma once

#include <QFrame>
#include <QMetaObject>
#include <QPixmap>

class DeviceList;
class ElidedLabel;
class FlatImageButton;
class LauncherPushButton;
class QHBoxLayout;
class QLabel;
class QStackedWidget;
class TightVBoxLayout;
class VisibleDevice;

// The device gallery: one device at a time as a large card, with arrows to step through the
// list, or the no-device or bad-install page when there is nothing to show.
class VisibleDevicesWidget : public QFrame {
    Q_OBJECT
public:
    enum Page { MessagePage = 0, DevicePage = 1, SoftwarePage = 2 };

    VisibleDevicesWidget(DeviceList* list, QWidget* parent);
    ~VisibleDevicesWidget() override;

    bool isBadInstall() const { return badInstall_; }
    FlatImageButton* imageButton() const { return imageButton_; }
    ElidedLabel* nameLabel() const { return nameLabel_; }
    FlatImageButton* openButton() const { return openButton_; }
    FlatImageButton* controlAppButton() const { return controlAppButton_; }
    QLabel* messageLabel() const { return messageLabel_; }
    QStackedWidget* pageStack() const { return pageStack_; }
    QLabel* deviceTextLabel() const { return deviceTextLabel_; }
    QLabel* connectionIconLabel() const { return connectionIconLabel_; }
    QLabel* softwareLabel(int index) const { return softwareLabels_[index]; }
    LauncherPushButton* updateButton() const { return updateButton_; }
    FlatImageButton* leftArrow() const { return leftArrow_; }
    FlatImageButton* rightArrow() const { return rightArrow_; }
    QWidget* extraWidget() const { return extraWidget_; }

signals:
    void addByIpClicked();
    void requestShowDevice(VisibleDevice* device);
    void requestShowControlApp(VisibleDevice* device);
    void requestFirmwareUpdate(VisibleDevice* device);

public slots:
    void onBadInstall();
    void onDeviceClicked();
    void onUpdateButtonClicked();
    void onDeviceListChanged();
    void onLeftClicked();
    void onRightClicked();
    void onControlAppClicked();
    void onSummaryWidgetDestroyed();

private:
    QWidget* buildCardColumn();
    QWidget* buildDevicePage();
    QWidget* buildSoftwarePage();
    void dropExtraWidget();
    void showSoftwarePage(VisibleDevice* device);
    void showDevicePage(VisibleDevice* device);

    bool badInstall_ = false;
    TightVBoxLayout* extraLayout_ = nullptr;
    FlatImageButton* imageButton_ = nullptr;
    ElidedLabel* nameLabel_ = nullptr;
    FlatImageButton* openButton_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QStackedWidget* pageStack_ = nullptr;
    QLabel* deviceTextLabel_ = nullptr;
    QLabel* connectionIconLabel_ = nullptr;
    QLabel* softwareLabels_[3] = {};
    LauncherPushButton* updateButton_ = nullptr;
    FlatImageButton* leftArrow_ = nullptr;
    FlatImageButton* rightArrow_ = nullptr;
    QWidget* extraWidget_ = nullptr;
    QMetaObject::Connection extraWidgetConnection_;
    DeviceList* list_;
    QPixmap noDeviceImage_;
    QPixmap badInstallImage_;
    FlatImageButton* controlAppButton_ = nullptr;
    QHBoxLayout* buttonRow_ = nullptr;
    // The device whose version the software page's first label shows.
    VisibleDevice* versionShownFor_ = nullptr;
};
