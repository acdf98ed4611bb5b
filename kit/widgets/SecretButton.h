#pragma once

#include <QWidget>

// An invisible hot spot: a Shift double-click emits secretClick().
class SecretButton : public QWidget {
    Q_OBJECT
public:
    explicit SecretButton(QWidget* parent);

signals:
    void secretClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
