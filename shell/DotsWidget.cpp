#include "shell/DotsWidget.h"

#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "shell/DeviceList.h"

namespace {
constexpr int kDotSpacing = 6;
} // namespace

DotsWidget::DotsWidget(DeviceList* list, QWidget* parent)
    : QFrame(parent),
      row_(new TightHBoxLayout(this)),
      offImage_(loadIconPixmap(QStringLiteral(":/Dot_Off"))),
      onImage_(loadIconPixmap(QStringLiteral(":/Dot_On"))),
      list_(list)
{
    row_->setSpacing(kDotSpacing);
    connect(list_, &DeviceList::deviceListAdded, this, &DotsWidget::onDeviceListChanged);
    connect(list_, &DeviceList::deviceListRemoved, this, &DotsWidget::onDeviceListChanged);
    connect(list_, &DeviceList::deviceListSelected, this, &DotsWidget::onDeviceListChanged);
}

void DotsWidget::onDeviceListChanged(VisibleDevice*)
{
    const int n = list_->count();
    while (dots_.size() < n) {
        auto* dot = new FlatImageButton(offImage_, this);
        connect(dot, &FlatImageButton::clicked, this, &DotsWidget::onDotClicked);
        dots_.append(dot);
        row_->addWidget(dot);
        updateVisibility();
    }
    while (dots_.size() > n) {
        // Removed dots stay children, hidden, until the widget goes.
        FlatImageButton* dot = dots_.takeFirst();
        if (dot == currentDot_)
            currentDot_ = nullptr;
        delete row_->takeAt(0);
        dot->hide();
        updateVisibility();
    }
    if (n >= 1) {
        currentDot_ = dots_.value(list_->currentIndex(), nullptr);
        updatePixmaps();
    }
}

void DotsWidget::updateVisibility()
{
    const bool single = dots_.size() == 1;
    for (FlatImageButton* dot : qAsConst(dots_))
        dot->setVisible(!single);
}

void DotsWidget::updatePixmaps()
{
    for (FlatImageButton* dot : qAsConst(dots_))
        dot->setPixmap(dot == currentDot_ ? onImage_ : offImage_);
}

void DotsWidget::onDotClicked()
{
    auto* dot = qobject_cast<FlatImageButton*>(sender());
    const int index = dots_.indexOf(dot);
    if (index < 0)
        return;
    currentDot_ = dot;
    updatePixmaps();
    list_->selectAt(index);
}
