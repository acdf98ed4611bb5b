#pragma once

#include <QMetaObject>
#include <QObject>

#include <functional>

namespace TWG {
namespace Zanthic {

// Runs the function on the context object's thread, on a later turn of its event loop; nothing
// runs if the context is gone by then. Call it only while the context is sure to exist.
inline void invokeInContext(QObject* context, std::function<void()> function)
{
    QMetaObject::invokeMethod(context, std::move(function), Qt::QueuedConnection);
}

} // namespace Zanthic
} // namespace TWG
