#pragma once

#include <QPointer>
#include <QWidget>

class QMenu;

// The place on a settings tab that raises its bookmark menu.
class BookmarkSelector : public QWidget {
    Q_OBJECT
public:
    // Where the menu's top-left corner goes, in the selector's own coordinates.
    static constexpr int kMenuX = 50;
    static constexpr int kMenuY = 23;

    explicit BookmarkSelector(QWidget* parent = nullptr);

    void setMenu(QMenu* menu) { menu_ = menu; }
    QMenu* menu() const { return menu_; }
    // The screen position onRaiseBookmarkMenu shows the menu at.
    QPoint menuPosition() const;

public slots:
    void onRaiseBookmarkMenu();

private:
    QPointer<QMenu> menu_;
};
