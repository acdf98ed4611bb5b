#pragma once

#include <QCoreApplication>
#include <QPoint>
#include <QPointF>
#include <QWidget>
#include <QWindow>

// Qt 5 has no public way to send a wheel that comes "from the window system"; only such a wheel
// travels from an ignoring widget up to its parents. The entry below is exported by QtGui for
// platform plug-ins; its header ships only with the private development files.
class QWindowSystemInterface {
public:
    static bool handleWheelEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                 QPoint pixelDelta, QPoint angleDelta, Qt::KeyboardModifiers mods,
                                 Qt::ScrollPhase phase, Qt::MouseEventSource source);
};

// One notch of the wheel (towards the user) over the centre of target.
inline void wheelOver(QWidget* target)
{
    QWidget* top = target->window();
    const QPoint local = target->mapTo(top, target->rect().center());
    QWindowSystemInterface::handleWheelEvent(top->windowHandle(), local, top->mapToGlobal(local),
                                             QPoint(), QPoint(0, -120), Qt::NoModifier,
                                             Qt::NoScrollPhase, Qt::MouseEventNotSynthesized);
    QCoreApplication::processEvents();
}
