// The backend contract over libusb, with usbfs emulated by umockdev (CTest runs this program
// under umockdev's preload through under-umockdev.sh).

#include "platform/libusb/LibusbBackend.h"
#include "tests/platform/backend/BackendContract.h"
#include "tests/platform/libusb/fixture/MockTestbed.h"
#include "tests/platform/libusb/fixture/UsbfsDevice.h"

#include <map>
#include <memory>
#include <mutex>

namespace contract {
namespace {

class LibusbBench {
public:
    ~LibusbBench()
    {
        backend_.reset();
        testbed_.reset();
        device_.reset();
    }

    bool start(std::string* why)
    {
        if (!usbfs_fixture::MockTestbed::preloaded()) {
            *why = "needs umockdev's preload: run it through ctest (under-umockdev.sh)";
            return false;
        }
        usbfs_fixture::DeviceSpec spec;
        spec.vendorId = kVendor;
        spec.productId = kProduct;
        spec.endpoints = {{kBulkOut, 2, 512, 0}, {kBulkIn, 2, 512, 0}};
        testbed_ = std::make_unique<usbfs_fixture::MockTestbed>();
        device_ = std::make_unique<usbfs_fixture::UsbfsDevice>(spec);
        device_->setControlResponder(
            [this](const usbfs_fixture::Setup& s, const Bytes&) -> std::optional<usbfs_fixture::Reply> {
                if ((s.requestType & 0x60) != 0x40)
                    return std::nullopt;
                std::lock_guard<std::mutex> lock(mutex_);
                auto found = answers_.find(s.request);
                if (found == answers_.end() || found->second.stall)
                    return usbfs_fixture::Reply{usbfs_fixture::Outcome::Stall, {}};
                return usbfs_fixture::Reply{usbfs_fixture::Outcome::Complete, found->second.data};
            });
        if (!testbed_->plug(*device_)) {
            *why = "the device could not be plugged into the testbed";
            return false;
        }
        backend_ = platform::LibusbBackend::create();
        if (!backend_)
            *why = "libusb did not start";
        return backend_ != nullptr;
    }
    platform::UsbBackend& backend() { return *backend_; }
    std::string path() const { return "usb:1:2"; }
    std::string missingPath() const { return "usb:1:9"; }
    void answer(std::uint8_t request, ContractReply reply)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        answers_[request] = std::move(reply);
    }
    std::vector<ContractRequest> requestsSeen()
    {
        std::vector<ContractRequest> seen;
        for (const usbfs_fixture::ControlRequest& r : device_->controlRequests()) {
            if ((r.setup.requestType & 0x60) != 0x40)
                continue;
            UsbSetup s = setup(r.setup.requestType, r.setup.request, r.setup.length, r.setup.value, r.setup.index);
            seen.push_back({s, r.dataOut});
        }
        return seen;
    }
    std::vector<Bytes> bulkOutSeen() { return device_->bulkOut(kBulkOut); }
    void queueBulkIn(Bytes data) { device_->queueBulkIn(kBulkIn, std::move(data)); }
    void unplug() { testbed_->unplug(*device_); }

private:
    std::unique_ptr<usbfs_fixture::MockTestbed> testbed_;
    std::unique_ptr<usbfs_fixture::UsbfsDevice> device_;
    std::unique_ptr<platform::LibusbBackend> backend_;
    std::mutex mutex_;
    std::map<std::uint8_t, ContractReply> answers_;
};

} // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Libusb, BackendContract, LibusbBench);

} // namespace contract
