#include "shell/DeviceList.h"

#include "kit/framework/VisibleDevice.h"

DeviceList::DeviceList(QObject* parent) : QObject(parent) {}

DeviceList::~DeviceList()
{
    qDeleteAll(entries_);
}

int DeviceList::indexOf(VisibleDevice* device) const
{
    if (!device)
        return -1;
    for (int i = 0; i < entries_.size(); ++i) {
        if (entries_.at(i)->device == device)
            return i;
    }
    return -1;
}

VisibleDevice* DeviceList::deviceAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_.at(index)->device : nullptr;
}

Family* DeviceList::familyOf(VisibleDevice* device) const
{
    const int index = indexOf(device);
    return index < 0 ? nullptr : entries_.at(index)->family;
}

void DeviceList::selectAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return;
    current_ = entries_.at(index)->device;
    emit deviceListSelected(current_);
}

void DeviceList::selectNext()
{
    const int i = currentIndex();
    if (i >= 0 && i + 1 < entries_.size())
        selectAt(i + 1);
}

void DeviceList::selectPrevious()
{
    const int i = currentIndex();
    if (i >= 1)
        selectAt(i - 1);
}

int DeviceList::insertionIndex(VisibleDevice* device) const
{
    int listedFirst = 0;
    for (const Entry* entry : entries_) {
        if (entry->device->isListedFirst())
            ++listedFirst;
    }
    const bool first = device->isListedFirst();
    const int begin = first ? 0 : listedFirst;
    const int end = first ? listedFirst : entries_.size();
    const QString name = device->displayName();
    for (int i = begin; i < end; ++i) {
        if (entries_.at(i)->device->displayName() > name)
            return i;
    }
    return end;
}

void DeviceList::onDeviceAdded(VisibleDevice* device)
{
    if (!device)
        return;
    Family* family = device->family();
    // A second arrival of a listed device would leave a dangling entry after its removal.
    if (!family || indexOf(device) >= 0)
        return;
    entries_.insert(insertionIndex(device), new Entry{device, family});
    if (!current_)
        selectAt(0);
    emit deviceListAdded(device);
}

void DeviceList::onDeviceRemoved(VisibleDevice* device)
{
    const int index = indexOf(device);
    if (index >= 0)
        delete entries_.takeAt(index);
    if (index >= 0 && device == current_) {
        current_ = entries_.isEmpty() ? nullptr : entries_.first()->device;
        emit deviceListSelected(current_);
    }
    emit deviceListRemoved(device);
}

void DeviceList::onDeviceInfoChanged(VisibleDevice* device)
{
    emit deviceListChanged(device);
}
