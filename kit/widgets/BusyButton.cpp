#include "kit/widgets/BusyButton.h"

#include "kit/widgets/StyleHelpers.h"

namespace {

const char kFrameFormat[] = ":/Busy_Frame_%1";
constexpr int kFrameCount = 12;
constexpr int kFrameIntervalMs = 100;

QString frameName(int frame)
{
    return QString::fromLatin1(kFrameFormat).arg(frame);
}

} // namespace

BusyButton::BusyButton(QWidget* parent) : FlatImageButton(frameName(1), parent)
{
    setHoverImage(QStringLiteral(":/Busy_Close"));
    timer_.setInterval(kFrameIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &BusyButton::updatePixmap);
}

void BusyButton::setBusy(bool busy)
{
    busy_ = busy;
    if (busy_ && isVisible())
        timer_.start();
    else
        timer_.stop();
}

void BusyButton::updatePixmap()
{
    ++counter_;
    setPixmap(loadIconPixmap(frameName(counter_)));
    if (counter_ >= kFrameCount)
        counter_ = 0;
}

void BusyButton::showEvent(QShowEvent* event)
{
    if (busy_)
        timer_.start();
    FlatImageButton::showEvent(event);
}

void BusyButton::hideEvent(QHideEvent* event)
{
    timer_.stop();
    FlatImageButton::hideEvent(event);
}
