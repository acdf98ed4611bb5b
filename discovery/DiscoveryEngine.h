#pragma once

#include "discovery/DnsSdEngine.h"

#include <functional>
#include <memory>

namespace TWG {

// The one DNS-SD engine of the process, started by the first use and stopped by the last. Each
// operation object holds one use for its whole life. A start that fails is not reported: the
// engine stays not running, every operation refuses, until the last use is given back.
void acquireDiscoveryEngine();
// Nothing at a use count of 0. Must not be called on the event thread.
void releaseDiscoveryEngine();
bool discoveryEngineRunning();
// Lets the event thread send a new query now rather than at its next due time.
void wakeDiscoveryEngine();
// The running engine, or null. Valid while the caller holds a use.
DnsSdEngine* discoveryEngine();

// Which engine the next start makes; an empty factory restores the real one. For tests: call
// only while no use is held.
using DnsSdEngineFactory = std::function<std::unique_ptr<DnsSdEngine>()>;
void setDnsSdEngineFactory(DnsSdEngineFactory factory);

} // namespace TWG
