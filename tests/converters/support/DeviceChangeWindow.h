#pragma once

#include "platform/Messages.h"

#include <QEvent>
#include <QObject>

namespace convtest {

// The family's hidden window: device changes go to the notifier.
template <typename Notifier>
class DeviceChangeWindow : public QObject {
public:
    DeviceChangeWindow() : id(platform::registerQtTarget(this)) {}
    ~DeviceChangeWindow() override { platform::unregisterTarget(id); }
    platform::WindowId id;
    Notifier* notifier = nullptr;

protected:
    bool event(QEvent* e) override
    {
        platform::MSG* m = platform::messageOf(e);
        if (!m)
            return QObject::event(e);
        if (m->message == platform::WM_DEVICECHANGE && notifier)
            notifier->handleDeviceChange(m->wParam, m->lParam);
        return true;
    }
};

} // namespace convtest
