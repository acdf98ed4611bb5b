#pragma once

#include "kit/framework/VisibleDevice.h"

#include <QList>
#include <QObject>

class Family;

// The host's ordered list of devices with the family of each, and the current device.
class DeviceList : public QObject {
    Q_OBJECT
public:
    explicit DeviceList(QObject* parent = nullptr);
    ~DeviceList() override;

    int count() const { return entries_.size(); }
    int indexOf(VisibleDevice* device) const;
    VisibleDevice* currentDevice() const { return current_; }
    int currentIndex() const { return indexOf(current_); }
    VisibleDevice* deviceAt(int index) const;
    // Null for a device that is not listed.
    Family* familyOf(VisibleDevice* device) const;
    void selectAt(int index);
    void selectNext();
    void selectPrevious();
    // Devices listed first stand ahead; within each group the display names are in order and
    // equal names keep their arrival order.
    int insertionIndex(VisibleDevice* device) const;

signals:
    void deviceListAdded(VisibleDevice* device);
    void deviceListRemoved(VisibleDevice* device);
    void deviceListSelected(VisibleDevice* device);
    void deviceListChanged(VisibleDevice* device);

public slots:
    void onDeviceAdded(VisibleDevice* device);
    void onDeviceRemoved(VisibleDevice* device);
    void onDeviceInfoChanged(VisibleDevice* device);

private:
    struct Entry {
        VisibleDevice* device;
        Family* family;
    };

    QList<Entry*> entries_;
    VisibleDevice* current_ = nullptr;
};
