#pragma once

#include "discovery/Signal.h"
#include "kit/framework/BonjourInfo.h"

#include <cstdint>
#include <memory>
#include <string>

namespace TWG {

class BonjourDiscoveryPrivate;

// Browses one service type and follows each instance's TXT record. An instance arrives with its
// first TXT record, is updated when a later one gives another map, and is removed (with its last
// map) when the browser loses it. The TXT record is asked for again every requery interval.
// Signals come on engine and timer threads with no lock of the discovery held.
class BonjourDiscovery {
public:
    static constexpr std::int32_t kRequeryIntervalMs = 2000;

    explicit BonjourDiscovery(std::int32_t requeryIntervalMs = kRequeryIntervalMs);
    ~BonjourDiscovery();

    BonjourDiscovery(const BonjourDiscovery&) = delete;
    BonjourDiscovery& operator=(const BonjourDiscovery&) = delete;

    Signal<void(const BonjourInfo&)> arrived;
    Signal<void(const BonjourInfo&)> removed;
    Signal<void(const BonjourInfo&)> updated;
    // Never emitted: nothing resolves inside the discovery.
    Signal<void(const BonjourInfo&)> resolved;

    // The first call starts; later calls do nothing.
    void browse(const std::string& type);

private:
    std::unique_ptr<BonjourDiscoveryPrivate> d;
};

} // namespace TWG
