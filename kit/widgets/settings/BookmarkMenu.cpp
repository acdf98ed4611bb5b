#include "kit/widgets/settings/BookmarkMenu.h"

BookmarkMenu::BookmarkMenu(QWidget* parent)
    : QMenu(parent)
{
}

void BookmarkMenu::onBookmarkSelected(int index)
{
    emit bookmarkSelected(index);
    hide();
}
