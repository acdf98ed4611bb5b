#pragma once

#include <QSlider>

// The horizontal slider of settings rows. It takes keys and the mouse wheel only once clicked
// into focus, so the wheel scrolls the settings column while the pointer passes over it.
class SettingsSlider : public QSlider {
    Q_OBJECT
public:
    explicit SettingsSlider(QWidget* parent);

    void setRange(int minimum, int maximum);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
};
