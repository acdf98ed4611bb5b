#include "kit/widgets/settings/BookmarkSelector.h"

#include <QMenu>

BookmarkSelector::BookmarkSelector(QWidget* parent)
    : QWidget(parent)
{
}

QPoint BookmarkSelector::menuPosition() const
{
    const QWidget* top = window();
    return mapTo(top, QPoint(kMenuX, kMenuY)) + top->pos();
}

void BookmarkSelector::onRaiseBookmarkMenu()
{
    if (menu_)
        menu_->popup(menuPosition());
}
