#pragma once

#include <QWidget>

class DeviceList;
class VisibleDevice;

// The list view a family may supply instead of the gallery; it reads the host's device list.
class VisibleDevicesListViewWidget : public QWidget {
    Q_OBJECT
public:
    VisibleDevicesListViewWidget(DeviceList* list, QWidget* parent) : QWidget(parent), list_(list) {}

signals:
    void requestShowDevice(VisibleDevice* device);

public slots:
    virtual void onDeviceAdded(VisibleDevice* device) = 0;
    virtual void onDeviceRemoved(VisibleDevice* device) = 0;
    virtual void onDeviceInfoChanged(VisibleDevice* device) = 0;

protected:
    DeviceList* list_;
};
