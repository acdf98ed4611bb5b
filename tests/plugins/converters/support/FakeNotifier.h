#pragma once

#include "converters/IConverterNotifier.h"
#include "kit/framework/VisibleDevice.h"

#include <QMetaType>

#include <functional>
#include <vector>

namespace ostreltest {

// The converter notifier as the family sees it: it hands converters to the delegate when the
// test says so, and tells the test when it goes.
class FakeNotifier : public TWG::Converters::IConverterNotifier {
public:
    ~FakeNotifier() override
    {
        if (onDestroyed)
            onDestroyed();
    }

    bool start(NotificationDelegate* d, platform::WindowId window) override
    {
        ++starts;
        delegate = d;
        startWindow = window;
        return true;
    }
    bool handleDeviceChange(platform::WPARAM wParam, platform::LPARAM) override
    {
        changes.push_back(wParam);
        return accept;
    }
    BinaryLoad loadXmegaBinary(TWG::Converters::IConverter*, const std::uint8_t*, std::uint32_t, std::uint32_t,
                               LoadXmegaBinaryDelegate*) override
    {
        return BinaryLoad::NotNeeded;
    }
    void stopXmegaBinaryLoad() override {}
    bool isLoadingXmegaBinary() const override { return loading; }

    NotificationDelegate* delegate = nullptr;
    platform::WindowId startWindow = platform::kNoWindow;
    int starts = 0;
    bool accept = true;
    bool loading = false;
    std::vector<platform::WPARAM> changes;
    std::function<void()> onDestroyed;
};

} // namespace ostreltest

// Signal spies read the family's device arguments.
Q_DECLARE_METATYPE(VisibleDevice*)
