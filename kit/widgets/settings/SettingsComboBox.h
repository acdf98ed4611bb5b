#pragma once

#include <QComboBox>

// The combo box of settings rows. It never takes the keyboard focus, so a mouse wheel over it
// scrolls the settings column instead of changing the choice.
class SettingsComboBox : public QComboBox {
    Q_OBJECT
public:
    SettingsComboBox(QWidget* parent, int width);

protected:
    void wheelEvent(QWheelEvent* event) override;
};
