#pragma once

#include <QMenu>

class QSignalMapper;

// The footer's menu: each option carries an integer tag, sent out when it is chosen.
class CardPopupMenu : public QMenu {
    Q_OBJECT
public:
    explicit CardPopupMenu(QWidget* parent = nullptr);

    QAction* addOption(const QString& text, int tag);

signals:
    void menuOptionPressed(int tag);

private:
    QSignalMapper* mapper_;
};

// Pops the menu up at the point of the widget, in global coordinates.
void popupMenuAt(QMenu* menu, QWidget* widget, const QPoint& point);
