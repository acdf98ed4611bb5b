#pragma once

#include "kit/framework/BonjourInfo.h"
#include "kit/framework/Family.h"
#include "shell/DeviceList.h"
#include "shell/DiscoveryFactory.h"

#include <QMainWindow>
#include <QPair>
#include <QVector>

#include <memory>
#include <string>

class AddByIpAddressController;
class DiscoveryHelper;
class QStackedWidget;
class TightVBoxLayout;
class VisibleDevicesWidget;
class WindowFooter;

// The host's main window: the hub between the families and everything the user sees. It knows
// no device model; every device action is forwarded to the device's family.
class VantorelWindow : public QMainWindow {
    Q_OBJECT
public:
    // Without a factory the window uses the default one.
    explicit VantorelWindow(std::unique_ptr<DiscoveryFactory> discovery = nullptr);
    ~VantorelWindow() override;

    void addFamily(Family* family);

    const QVector<Family*>& families() const { return families_; }
    DeviceList* deviceList() { return &deviceList_; }
    VisibleDevicesWidget* gallery() const { return gallery_; }
    QStackedWidget* viewStack() const { return viewStack_; }
    WindowFooter* footer() const { return footer_; }
    AddByIpAddressController* addByIpController() const { return addByIpController_; }
    QStringList crossMenuTexts() const;
    const QVector<DiscoveryHelper*>& discoveryHelpers() const { return helpers_; }

    virtual bool handleNativeMessage(MSG* message, long* result);
    virtual QWidget* familyListView();

public slots:
    void showAboutBox();
    void showBuildDetails();
    void onBonjourDeviceAdded(BonjourInfo info);
    void onBonjourDeviceRemoved(BonjourInfo info);
    void onBonjourDeviceUpdated(BonjourInfo info);
    void onBonjourResolveRequested(BonjourInfo info);
    void onBonjourResolveRequestedWithPort(BonjourInfo info, int port);
    void onBonjourDeviceHaveHostName(BonjourInfo info, bool success, std::string hostName, int port);
    void onBonjourDeviceResolved(BonjourInfo info, bool success, QString hostName, QString ipAddress, int port);
    void newDeviceAddedByIP(BonjourInfo info);
    void onAddByIpClicked();
    void onGalleryViewSelected();
    void onListViewSelected();
    void showDevice(VisibleDevice* device);
    void showControlApp(VisibleDevice* device);
    void updateFirmware(VisibleDevice* device);
    void onCrossMenuChanged();
    void onCrossMenuOptionSelected(QString text);
    void postShowStartup();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;

private:
    DeviceList deviceList_;
    bool started_ = false;
    VisibleDevicesWidget* gallery_ = nullptr;
    QWidget* listView_ = nullptr;
    QVector<Family*> families_;
    AddByIpAddressController* addByIpController_ = nullptr;
    TightVBoxLayout* mainLayout_ = nullptr;
    QStackedWidget* viewStack_ = nullptr;
    WindowFooter* footer_ = nullptr;
    QVector<QPair<QString, Family*>> crossMenuEntries_;
    std::unique_ptr<DiscoveryFactory> discovery_;
    QVector<DiscoveryHelper*> helpers_;
};
