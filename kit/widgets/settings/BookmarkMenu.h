#pragma once

#include <QMenu>

// The pop-up list of a settings tab's bookmarks; choosing one tells the tab which to scroll to.
class BookmarkMenu : public QMenu {
    Q_OBJECT
public:
    explicit BookmarkMenu(QWidget* parent = nullptr);

signals:
    void bookmarkSelected(int index);

public slots:
    // Reports the choice and closes the menu.
    void onBookmarkSelected(int index);
};
