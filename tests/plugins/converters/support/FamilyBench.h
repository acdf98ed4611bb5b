#pragma once

#include "plugins/converters/ConverterFamily.h"
#include "plugins/converters/ConverterProductCard.h"
#include "plugins/converters/VisibleConverter.h"
#include "tests/converters/support/FakeConverter.h"
#include "tests/plugins/converters/support/FakeNotifier.h"

#include <QWidget>

#include <memory>
#include <vector>

namespace ostreltest {

// A family over a fake notifier, with detection started, in a host window; converters come
// and go through the notifier's delegate.
struct FamilyBench {
    FamilyBench()
    {
        qRegisterMetaType<VisibleDevice*>();
        family = new ConverterFamily(&host, [this] {
            ++notifiersMade;
            auto made = std::make_unique<FakeNotifier>();
            notifier = made.get();
            return std::unique_ptr<TWG::Converters::IConverterNotifier>(std::move(made));
        });
        family->startDeviceDetection();
    }
    ~FamilyBench()
    {
        delete family;
        for (convtest::FakeConverter* device : devices)
            device->release();
    }
    FamilyBench(const FamilyBench&) = delete;
    FamilyBench& operator=(const FamilyBench&) = delete;

    convtest::FakeConverter* plug(std::uint16_t productId, bool powered = true)
    {
        auto* device = new convtest::FakeConverter(productId);
        device->values["powered"] = powered ? 1 : 0;
        devices.push_back(device);
        notifier->delegate->onConverterArrived(device);
        return device;
    }
    void unplug(convtest::FakeConverter* device) { notifier->delegate->onConverterRemoved(device); }
    VisibleConverter* visible(int index) const { return family->converters().value(index); }
    QList<ConverterProductCard*> cards() const { return host.findChildren<ConverterProductCard*>(); }

    QWidget host;
    ConverterFamily* family = nullptr;
    FakeNotifier* notifier = nullptr;
    int notifiersMade = 0;
    std::vector<convtest::FakeConverter*> devices;
};

} // namespace ostreltest
