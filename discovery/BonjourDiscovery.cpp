#include "discovery/BonjourDiscovery.h"

#include "discovery/BonjourOperations.h"
#include "discovery/IntervalTimer.h"
#include "discovery/SerialExecutor.h"
#include "discovery/TxtRecord.h"

#include <algorithm>
#include <list>
#include <mutex>
#include <utility>
#include <vector>

namespace TWG {

namespace {

bool names(const BonjourInfo& info, const BonjourDevice& device)
{
    return info.name == device.name && info.type == device.type && info.domain == device.domain
           && info.interfaceIndex == device.interfaceIndex;
}

} // namespace

class BonjourDiscoveryPrivate {
public:
    BonjourDiscoveryPrivate(BonjourDiscovery* q, std::int32_t requeryIntervalMs)
        : q(q), requeryIntervalMs(requeryIntervalMs), executor(std::make_unique<SerialExecutor>()),
          browser(std::make_unique<BonjourBrowser>())
    {
        browser->added.connect([this](const BonjourDevice& device) { onAdded(device); });
        browser->removed.connect([this](const BonjourDevice& device) { onRemoved(device); });
        timer.tick.connect([this] { requeryAll(); });
    }

    ~BonjourDiscoveryPrivate()
    {
        executor->stop();
        {
            std::lock_guard<std::mutex> lock(devicesMutex);
            devices.clear();
        }
        browser.reset();
        timer.stop();
        queries.clear();
        executor.reset();
    }

    void browse(const std::string& type)
    {
        if (browsing)
            return;
        browser->browse(type);
        timer.start(requeryIntervalMs);
        browsing = true;
    }

    // Event thread.
    void onAdded(const BonjourDevice& device)
    {
        {
            std::lock_guard<std::mutex> lock(devicesMutex);
            if (std::any_of(devices.begin(), devices.end(), [&](const BonjourInfo& i) { return names(i, device); }))
                return;
            BonjourInfo info;
            info.name = device.name;
            info.type = device.type;
            info.domain = device.domain;
            info.interfaceIndex = device.interfaceIndex;
            devices.push_back(std::move(info));
        }
        executor->post([this, device] { startTxtQuery(device); });
    }

    // Event thread.
    void onRemoved(const BonjourDevice& device)
    {
        BonjourInfo gone;
        {
            std::lock_guard<std::mutex> lock(devicesMutex);
            const auto found =
                std::find_if(devices.begin(), devices.end(), [&](const BonjourInfo& i) { return names(i, device); });
            if (found == devices.end())
                return;
            gone = *found;
            devices.erase(found);
        }
        q->removed(gone);
        executor->post([this, device] { stopTxtQuery(device); });
    }

    // Event thread.
    void onTxtReply(const BonjourDevice& device, std::uint16_t length, const void* data)
    {
        applyTxt(device, static_cast<const std::uint8_t*>(data), length);
        executor->post([this, device] { stopTxtQuery(device); });
    }

    void onTxtFailed(const BonjourDevice& device)
    {
        executor->post([this, device] { stopTxtQuery(device); });
    }

    void applyTxt(const BonjourDevice& device, const std::uint8_t* data, std::size_t length)
    {
        BonjourInfo copy;
        bool arrived = false;
        bool changed = false;
        {
            std::lock_guard<std::mutex> lock(devicesMutex);
            const auto found =
                std::find_if(devices.begin(), devices.end(), [&](const BonjourInfo& i) { return names(i, device); });
            if (found == devices.end())
                return;
            const std::map<std::string, std::string> old = found->txt;
            applyTxtRecord(&found->txt, data, length);
            if (!found->announced) {
                found->announced = true;
                arrived = true;
            } else {
                changed = found->txt != old;
            }
            copy = *found;
        }
        if (arrived)
            q->arrived(copy);
        else if (changed)
            q->updated(copy);
    }

    // Task thread.
    void startTxtQuery(const BonjourDevice& device)
    {
        if (std::any_of(queries.begin(), queries.end(), [&](const auto& running) { return running.first == device; }))
            return;
        queries.emplace_back(device, std::make_unique<BonjourQuery>());
        BonjourQuery& query = *queries.back().second;
        query.txtReceived.connect([this](const BonjourDevice& d, std::uint16_t length, const void* data) {
            onTxtReply(d, length, data);
        });
        query.failed.connect([this](const BonjourDevice& d, DNSServiceErrorType) { onTxtFailed(d); });
        // A refused start stays in the list, as a running query would.
        query.queryTxt(device);
    }

    // Task thread.
    void stopTxtQuery(const BonjourDevice& device)
    {
        queries.remove_if([&](const auto& running) { return running.first == device; });
    }

    // Timer thread.
    void requeryAll()
    {
        std::lock_guard<std::mutex> lock(devicesMutex);
        for (const BonjourInfo& info : devices) {
            const BonjourDevice device{info.name, info.type, info.domain, info.interfaceIndex};
            executor->post([this, device] { startTxtQuery(device); });
        }
    }

    BonjourDiscovery* q;
    const std::int32_t requeryIntervalMs;
    std::mutex devicesMutex; // guards devices; never held while a signal is emitted
    std::vector<BonjourInfo> devices;
    std::unique_ptr<SerialExecutor> executor;
    std::list<std::pair<BonjourDevice, std::unique_ptr<BonjourQuery>>> queries; // task thread only
    IntervalTimer timer;
    bool browsing = false;
    std::unique_ptr<BonjourBrowser> browser;
};

BonjourDiscovery::BonjourDiscovery(std::int32_t requeryIntervalMs)
    : d(std::make_unique<BonjourDiscoveryPrivate>(this, requeryIntervalMs))
{
}

BonjourDiscovery::~BonjourDiscovery()
{
    d.reset();
}

void BonjourDiscovery::browse(const std::string& type)
{
    d->browse(type);
}

} // namespace TWG
