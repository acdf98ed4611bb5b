#pragma once

#include "platform/Messages.h"

#include <cstdint>

namespace TWG {
namespace Converters {

class IConverter;

// Loads an XMEGA converter's application image before its firmware set is programmed.
class XmegaLoaderNotifier {
public:
    class LoadXmegaBinaryDelegate {
    public:
        virtual ~LoadXmegaBinaryDelegate() = default;
        // The load has finished; ok: the converter is back in its application.
        virtual void onXmegaBinaryLoaded(IConverter* converter, bool ok) = 0;
    };

    enum class BinaryLoad {
        NotNeeded, // the converter's application already runs the version
        Started,   // the delegate will hear the load's end
        Failed,    // refused, or the converter could not be taken into its bootloader
    };

    // The image stays the caller's until the load has ended.
    virtual BinaryLoad loadXmegaBinary(IConverter* converter, const std::uint8_t* data, std::uint32_t length,
                                       std::uint32_t version, LoadXmegaBinaryDelegate* delegate) = 0;
    // Abandons a running load; its delegate hears nothing more.
    virtual void stopXmegaBinaryLoad() = 0;
    // While it runs, the converter is on its way through its bootloader.
    virtual bool isLoadingXmegaBinary() const = 0;
    virtual ~XmegaLoaderNotifier() = default;
};

// Hot-plug of the classic converters, both controller kinds. GUI thread.
class IConverterNotifier : public XmegaLoaderNotifier {
public:
    class NotificationDelegate {
    public:
        virtual ~NotificationDelegate() = default;
        // The converter stays the notifier's; keep it with addRef.
        virtual void onConverterArrived(IConverter* converter) = 0;
        virtual void onConverterRemoved(IConverter* converter) = 0;
    };

    // Once; the converters present are reported from inside. Later calls answer false.
    virtual bool start(NotificationDelegate* delegate, platform::WindowId window) = 0;
    // WM_DEVICECHANGE: true when the message was for one of the converters' notifiers.
    virtual bool handleDeviceChange(platform::WPARAM wParam, platform::LPARAM lParam) = 0;
};

} // namespace Converters
} // namespace TWG
