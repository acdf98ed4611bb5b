#pragma once

#include <QRadioButton>

// The radio button of settings rows, drawn from the kit's radio images.
class SettingsRadioButton : public QRadioButton {
    Q_OBJECT
public:
    SettingsRadioButton(const QString& text, QWidget* parent);
};
