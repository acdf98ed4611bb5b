#include "usb/CUSBInterfaceIterator.h"

#include "usb/CUSBDevice.h"
#include "usb/CUSBInterface.h"
#include "usb/DriverConnection.h"

#include <new>

namespace TWG {
namespace USB {

CUSBInterfaceIterator::CUSBInterfaceIterator(CUSBDevice* device, DriverConnection* connection,
                                             std::vector<std::uint32_t> entries)
    : device_(device), connection_(connection), entries_(std::move(entries))
{
    device_->addRef();
    connection_->addRef();
}

CUSBInterfaceIterator::~CUSBInterfaceIterator()
{
    connection_->release();
    device_->release();
}

std::int32_t CUSBInterfaceIterator::addRef()
{
    return refCount_.fetch_add(1) + 1;
}

std::int32_t CUSBInterfaceIterator::release()
{
    std::int32_t count = refCount_.fetch_sub(1) - 1;
    if (count == 0)
        delete this;
    return count;
}

bool CUSBInterfaceIterator::next(IUSBInterface** out)
{
    if (!out || cursor_ >= entries_.size())
        return false;
    CUSBInterface* interface = new (std::nothrow) CUSBInterface(device_, connection_, entries_[cursor_]);
    if (!interface)
        return false;
    ++cursor_;
    *out = interface;
    return true;
}

} // namespace USB
} // namespace TWG
