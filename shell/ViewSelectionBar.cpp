#include "shell/ViewSelectionBar.h"

#include "kit/widgets/FlatImageButton.h"
#include "kit/widgets/TightLayouts.h"

ViewSelectionBar::ViewSelectionBar(QWidget* parent) : QFrame(parent)
{
    galleryButton_ = new FlatImageButton(QStringLiteral(":/Gallery"), this);
    galleryButton_->setHoverImage(QStringLiteral(":/GalleryHover"));
    listButton_ = new FlatImageButton(QStringLiteral(":/List"), this);
    listButton_->setHoverImage(QStringLiteral(":/ListHover"));
    auto* layout = new TightHBoxLayout(this);
    layout->addWidget(galleryButton_);
    layout->addSpacing(20);
    layout->addWidget(listButton_);
    setMinimumSize(50, 30);
    connect(galleryButton_, &FlatImageButton::clicked, this, &ViewSelectionBar::onGalleryViewSelected);
    connect(listButton_, &FlatImageButton::clicked, this, &ViewSelectionBar::onListViewSelected);
}

void ViewSelectionBar::onListViewSelected()
{
    selectedView_ = ListView;
    emit listViewSelected();
}

void ViewSelectionBar::onGalleryViewSelected()
{
    selectedView_ = GalleryView;
    emit galleryViewSelected();
}
