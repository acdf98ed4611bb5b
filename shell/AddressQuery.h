#pragma once

#include "discovery/Signal.h"
#include "kit/framework/BonjourInfo.h"

#include <functional>
#include <memory>
#include <string>

// One unicast DNS-SD question to one address, as the add-by-IP controller uses it; tests
// script it.
class AddressQuery {
public:
    // Each completion with its own result; may come on any thread, more than once (a time-out
    // at every period until a reply).
    using Finished = TWG::Signal<void(bool, const BonjourInfo&)>;

    virtual ~AddressQuery() = default;
    virtual Finished& finished() = 0;
    virtual void query(const std::string& address, int timeoutMs, const std::string& serviceName) = 0;
};

using AddressQueryMaker = std::function<std::unique_ptr<AddressQuery>()>;

// The real query, on the discovery library's socket and threads.
std::unique_ptr<AddressQuery> makeUnicastAddressQuery();
