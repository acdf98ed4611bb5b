#include "shell/WindowFooter.h"

#include "kit/widgets/StyleHelpers.h"
#include "kit/widgets/TightLayouts.h"
#include "shell/DeviceList.h"
#include "shell/DotsWidget.h"
#include "shell/FooterLeftRegion.h"
#include "shell/ViewSelectionBar.h"

WindowFooter::WindowFooter(DeviceList* list, QWidget* parent, bool hasListView) : QFrame(parent), list_(list)
{
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kitColourGrey31());
    setPalette(pal);
    setAutoFillBackground(true);

    leftRegion_ = new FooterLeftRegion(this);
    dots_ = new DotsWidget(list_, this);
    auto* layout = new TightHBoxLayout(this);
    layout->addWidget(leftRegion_);
    layout->addStretch();
    layout->addWidget(dots_, 0, Qt::AlignTop);
    layout->addStretch();
    if (hasListView) {
        viewBar_ = new ViewSelectionBar(this);
        layout->addWidget(viewBar_, 0, Qt::AlignTop);
        layout->addSpacing(40);
        connect(viewBar_, &ViewSelectionBar::galleryViewSelected, this, &WindowFooter::galleryViewSelected);
        connect(viewBar_, &ViewSelectionBar::listViewSelected, this, &WindowFooter::listViewSelected);
    } else {
        layout->addSpacerItem(new QSpacerItem(100, 20, QSizePolicy::Minimum, QSizePolicy::Fixed));
    }

    connect(list_, &DeviceList::deviceListAdded, this, &WindowFooter::onDeviceListChanged);
    connect(list_, &DeviceList::deviceListRemoved, this, &WindowFooter::onDeviceListChanged);
    connect(list_, &DeviceList::deviceListSelected, this, &WindowFooter::onDeviceListChanged);
    connect(leftRegion_, &FooterLeftRegion::crossMenuOptionSelected, this, &WindowFooter::crossMenuOptionSelected);
    connect(leftRegion_, &FooterLeftRegion::easterEggClicked, this, &WindowFooter::easterEggClicked);

    updateVisibility();
}

void WindowFooter::setCrossMenuOptions(const QStringList& texts)
{
    leftRegion_->setOptions(texts);
}

void WindowFooter::onDeviceListChanged(VisibleDevice*)
{
    updateVisibility();
}

void WindowFooter::updateVisibility()
{
    const bool dotsFollow = !viewBar_ || viewBar_->selectedView() == ViewSelectionBar::GalleryView;
    if (!list_->currentDevice()) {
        if (dotsFollow)
            dots_->hide();
        if (viewBar_)
            viewBar_->hide();
        emit galleryViewSelected();
        return;
    }
    if (viewBar_)
        viewBar_->show();
    if (dotsFollow)
        dots_->show();
}

void WindowFooter::setDotsVisible(bool visible)
{
    dots_->setVisible(visible);
}
