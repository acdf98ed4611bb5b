#include "converters/xmega/XmegaStagedLoader.h"

#include "converters/xmega/XmegaLoaderStage.h"
#include "converters/xmega/XmegaUSBDevice.h"

namespace TWG {
namespace Converters {

XmegaStagedLoader::XmegaStagedLoader(std::shared_ptr<XmegaUSBDevice> device, std::vector<XmegaLoaderStage*> stages,
                                     DeviceLoaderDelegate* delegate)
    : XmegaDeviceLoader(std::move(device), delegate), stages_(std::move(stages)),
      count_(static_cast<int>(stages_.size()))
{
    setStatus("Initialising...", -1);
}

int XmegaStagedLoader::overallPercent(int percent) const
{
    if (current_ < 0 || count_ == 0 || percent < 0)
        return percent;
    return (current_ * 100 + percent) / count_;
}

bool XmegaStagedLoader::run()
{
    resetRun();
    current_ = -1;
    setStatus("Programming device", -1);
    setPending(false);
    std::uint8_t mode = 0;
    if (!device() || !device()->getMode(&mode)) {
        setError("ERROR: Unable to read bootloader status");
        return false;
    }
    const bool bootloader = mode != 0;
    bool pending = false;
    for (int k = 0; k < count_; ++k) {
        XmegaLoaderStage* stage = stages_[static_cast<std::size_t>(k)];
        current_ = k;
        setStageName(stage ? stage->name() : std::string());
        const bool ok = stage && stage->execute(*device(), *this, bootloader, &pending);
        if (!ok) {
            setStageName({});
            current_ = -1;
            setStatus("ERROR programming device", 100);
            return false;
        }
        setProgress(100);
        setStageName({});
    }
    current_ = -1;
    if (bootloader) {
        readIdentityWord();
        if (!device()->restart()) {
            failStep();
            return false;
        }
        setPending(true);
        return false;
    }
    setStatus("Finished, please unplug device", 100);
    return true;
}

} // namespace Converters
} // namespace TWG
