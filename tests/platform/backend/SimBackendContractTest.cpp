// The backend contract over the simulated bus.

#include "platform/sim/SimBackend.h"
#include "tests/platform/backend/BackendContract.h"

#include <map>
#include <memory>
#include <mutex>

namespace contract {
namespace {

// The bench's converter: vendor requests answer from the table, OUT data is kept.
class ContractDevice : public platform::SimDevice {
public:
    ContractDevice() : SimDevice(descriptors()) {}

    static platform::SimDescriptors descriptors()
    {
        platform::SimDescriptors d;
        d.device.idVendor = kVendor;
        d.device.idProduct = kProduct;
        d.device.bcdDevice = 0x0100;
        platform::SimConfiguration c;
        c.interfaces = {platform::SimInterface{0, 0, 0xFF, 0xFF, 0xFF, 0, {}, {{kBulkOut, 2, 512, 0}, {kBulkIn, 2, 512, 0}}}};
        d.configurations = {c};
        return d;
    }

    std::mutex mutex;
    std::map<std::uint8_t, ContractReply> answers;
    std::vector<ContractRequest> seen;
    std::vector<Bytes> bulk;

protected:
    platform::UsbStatus classOrVendorRequest(const UsbSetup& s, Bytes& data) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        seen.push_back({s, s.isIn() ? Bytes{} : data});
        auto found = answers.find(s.bRequest);
        if (found == answers.end() || found->second.stall)
            return UsbStatus::Stall;
        if (s.isIn())
            data = found->second.data;
        return UsbStatus::Success;
    }
    platform::UsbStatus bulkOut(std::uint8_t, const Bytes& data, std::uint32_t* taken) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        bulk.push_back(data);
        *taken = static_cast<std::uint32_t>(data.size());
        return UsbStatus::Success;
    }
};

class SimBench {
public:
    bool start(std::string*)
    {
        device_ = std::make_shared<ContractDevice>();
        path_ = bus_.attach(device_);
        return !path_.empty();
    }
    platform::UsbBackend& backend() { return bus_; }
    std::string path() const { return path_; }
    std::string missingPath() const { return "sim:99"; }
    void answer(std::uint8_t request, ContractReply reply)
    {
        std::lock_guard<std::mutex> lock(device_->mutex);
        device_->answers[request] = std::move(reply);
    }
    std::vector<ContractRequest> requestsSeen()
    {
        std::lock_guard<std::mutex> lock(device_->mutex);
        return device_->seen;
    }
    std::vector<Bytes> bulkOutSeen()
    {
        std::lock_guard<std::mutex> lock(device_->mutex);
        return device_->bulk;
    }
    void queueBulkIn(Bytes data) { device_->queueIn(kBulkIn, std::move(data)); }
    void unplug() { bus_.detach(path_); }

private:
    platform::SimBackend bus_;
    std::shared_ptr<ContractDevice> device_;
    std::string path_;
};

} // namespace

INSTANTIATE_TYPED_TEST_SUITE_P(Sim, BackendContract, SimBench);

} // namespace contract
