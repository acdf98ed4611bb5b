#pragma once

#include <QMenu>
#include <QStringList>

class QSignalMapper;

// The menu of extra actions that pops up above the footer's cross button.
class CrossMenu : public QMenu {
    Q_OBJECT
public:
    explicit CrossMenu(QWidget* parent);

    void setOptions(const QStringList& texts);

signals:
    void menuOptionSelected(QString text);

private:
    QSignalMapper* mapper_;
};
