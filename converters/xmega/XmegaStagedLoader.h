#pragma once

#include "converters/xmega/XmegaDeviceLoader.h"

#include <vector>

namespace TWG {
namespace Converters {

class XmegaLoaderStage;

// Runs a list of stages on an XMEGA application. A device found in its bootloader is
// restarted and the run ends pending; the caller runs it again once the device is back.
class XmegaStagedLoader : public XmegaDeviceLoader {
public:
    // The stages stay the caller's.
    XmegaStagedLoader(std::shared_ptr<XmegaUSBDevice> device, std::vector<XmegaLoaderStage*> stages,
                      DeviceLoaderDelegate* delegate = nullptr);

    bool run() override;

protected:
    int overallPercent(int percent) const override;

private:
    std::vector<XmegaLoaderStage*> stages_;
    int current_ = -1; // the stage running, -1 between stages
    int count_ = 0;
};

} // namespace Converters
} // namespace TWG
