#pragma once

#include <QCheckBox>

// The check box of settings rows, drawn from the kit's check-box images.
class SettingsCheckBox : public QCheckBox {
    Q_OBJECT
public:
    SettingsCheckBox(const QString& text, QWidget* parent);
};
