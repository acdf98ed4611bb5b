#include "kit/widgets/settings/SliderLink.h"

#include "kit/widgets/settings/SettingsSliderLabel.h"
#include "kit/widgets/settings/SettingsSliderWithEditableValue.h"

#include <QEvent>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <cmath>

namespace {
constexpr int kOffsetX = 32;
// Proportional following leaves the source alone unless it is this far off.
constexpr double kSourceTolerance = 0.1;

QPoint anchorOf(SettingsSliderWithEditableValue* control, QWidget* into)
{
    const QPoint local(control->width() - control->unitsLabel()->width(), control->height() / 2);
    return into ? into->mapFromGlobal(control->mapToGlobal(local)) : local;
}
}

SliderLink::SliderLink(SettingsSliderWithEditableValue* first,
                       SettingsSliderWithEditableValue* second, int mode, QWidget* parent)
    : SliderLinkBase(parent)
    , a_(first)
    , b_(second)
    , mode_(mode)
{
    aObject_ = first;
    bObject_ = second;
    aParent_ = first->parentWidget();
    bParent_ = second->parentWidget();
    connect(first, qOverload<double>(&SettingsSliderWithEditableValue::valueChanged), this,
            &SliderLink::onSliderAValueChanged);
    connect(second, qOverload<double>(&SettingsSliderWithEditableValue::valueChanged), this,
            &SliderLink::onSliderBValueChanged);
    connect(this, &SliderLinkBase::onSliderLinkClicked, this, &SliderLink::onSliderLinkChanged);

    for (QObject* watched : {static_cast<QObject*>(first), static_cast<QObject*>(first->parentWidget()),
                             static_cast<QObject*>(second),
                             static_cast<QObject*>(second->parentWidget()),
                             static_cast<QObject*>(parent)}) {
        if (watched)
            watched->installEventFilter(this);
    }
}

void SliderLink::onSliderLinkChanged(bool linked)
{
    if (!linked || !a_ || !b_)
        return;
    refA_ = a_->currentValue();
    refB_ = b_->currentValue();
}

void SliderLink::onSliderAValueChanged(double value)
{
    if (isLinked() && a_ && b_)
        follow(b_, a_, refB_, refA_, value);
}

void SliderLink::onSliderBValueChanged(double value)
{
    if (isLinked() && a_ && b_)
        follow(a_, b_, refA_, refB_, value);
}

void SliderLink::follow(SettingsSliderWithEditableValue* target,
                        SettingsSliderWithEditableValue* source, double targetRef,
                        double sourceRef, double value)
{
    if (following_)
        return;
    // The follower is moved with its signals open, so its listeners hear where it ends; the
    // guard stops those signals from starting a follow back.
    const QScopedValueRollback<bool> guard(following_, true);

    switch (mode_) {
    case SameChange: {
        const double before = source->previousValue();
        const double delta = value - before;
        double overshoot = 0.0;
        if (!target->shiftBy(delta, overshoot))
            pullBack(source, before + (delta - overshoot));
        break;
    }
    case Proportional: {
        const double sourceSpan = source->maximum() - source->minimum();
        const double targetSpan = target->maximum() - target->minimum();
        if (sourceSpan <= 0.0 || targetSpan <= 0.0)
            return;
        const double ratio = sourceSpan / targetSpan;
        const double low = (target->minimum() - targetRef) * ratio + sourceRef;
        const double high = (target->maximum() - targetRef) * ratio + sourceRef;
        const double s = qMin(high, qMax(low, value));
        if (std::fabs(source->currentValue() - s) > kSourceTolerance)
            pullBack(source, s);
        const double t = (s - sourceRef) / sourceSpan * targetSpan + targetRef;
        target->setValue(qBound(target->minimum(), t, target->maximum()));
        break;
    }
    default:
        target->setValue(value);
        break;
    }
}

void SliderLink::pullBack(SettingsSliderWithEditableValue* source, double value)
{
    {
        const QSignalBlocker blocker(source);
        source->setValue(value);
    }
    // The source is still emitting the value it was pulled back from; its later listeners
    // would hear that one last. Announce the corrected value once that emission is over.
    QPointer<SettingsSliderWithEditableValue> guarded(source);
    QMetaObject::invokeMethod(
        this,
        [this, guarded] {
            if (!guarded)
                return;
            const QScopedValueRollback<bool> guard(following_, true);
            guarded->announceValue();
        },
        Qt::QueuedConnection);
}

bool SliderLink::bothShown() const
{
    if (!a_ || !b_)
        return false;
    QWidget* into = parentWidget();
    return into ? a_->isVisibleTo(into) && b_->isVisibleTo(into) : a_->isVisible() && b_->isVisible();
}

void SliderLink::schedulePlacement()
{
    updateLinkGeometry();
    update();
    // Filters see a resize or layout request before the layout has moved the rows.
    if (placementQueued_)
        return;
    placementQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            placementQueued_ = false;
            updateLinkGeometry();
            update();
        },
        Qt::QueuedConnection);
}

void SliderLink::updateLinkGeometry()
{
    if (!bothShown())
        return;
    QWidget* into = parentWidget();
    const QPoint anchorA = anchorOf(a_, into);
    const QPoint anchorB = anchorOf(b_, into);
    fitHeight(std::abs(anchorB.y() - anchorA.y()));
    move(anchorA.x() + kOffsetX, anchorA.y());
    raise();
}

bool SliderLink::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::Resize && type != QEvent::ShowToParent && type != QEvent::HideToParent
        && type != QEvent::LayoutRequest)
        return SliderLinkBase::eventFilter(watched, event);
    const bool isControl = watched == aObject_ || watched == bObject_;
    const bool isControlOrParent = isControl || watched == aParent_ || watched == bParent_;
    const bool isOwnParent = watched == parent();

    switch (type) {
    case QEvent::Resize:
        if (isControl || isOwnParent)
            schedulePlacement();
        break;
    case QEvent::ShowToParent:
        // Shown again only once both rows are; one row alone has nothing to bracket.
        if (isControlOrParent && bothShown()) {
            schedulePlacement();
            show();
        }
        break;
    case QEvent::HideToParent:
        if (isControlOrParent) {
            hide();
            update();
        }
        break;
    case QEvent::LayoutRequest:
        if (isOwnParent)
            schedulePlacement();
        break;
    default:
        break;
    }
    return SliderLinkBase::eventFilter(watched, event);
}
