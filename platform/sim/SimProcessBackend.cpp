// The simulation-only platform library's USB backend: the simulated bus of the scenario file
// that TWG_USB_SIM names. Without one the bus is empty: a program that carries synthetic
// firmware never reaches a real converter.
#include "platform/backend/BackendLog.h"
#include "platform/backend/ProcessBackend.h"
#include "platform/sim/SimBackend.h"
#include "platform/sim/SimScenario.h"

#include <cstdlib>

namespace platform {

std::unique_ptr<UsbBackend> createProcessUsbBackend()
{
    const char* scenario = std::getenv("TWG_USB_SIM");
    if (scenario && *scenario) {
        qCInfo(lcUsbBackend, "simulated USB bus from %s", scenario);
        return loadSimScenarioFile(scenario);
    }
    qCWarning(lcUsbBackend, "TWG_USB_SIM names no scenario: the simulated USB bus is empty");
    return std::make_unique<SimBackend>();
}

} // namespace platform
