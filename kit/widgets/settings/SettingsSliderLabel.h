#pragma once

#include <QLabel>

// The grey text beside a slider (its value or units).
class SettingsSliderLabel : public QLabel {
    Q_OBJECT
public:
    explicit SettingsSliderLabel(QWidget* parent);
};
