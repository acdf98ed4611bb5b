#pragma once

#include <QPixmap>
#include <QRect>
#include <QString>
#include <QWidget>

// The strip at the top of the window: application name on the left, logo on the right.
class WindowHeader : public QWidget {
    Q_OBJECT
public:
    explicit WindowHeader(QWidget* parent);

    QRect textRect() const { return textRect_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString appName_;
    QRect textRect_;
    QPixmap logo_;
};
