#pragma once

#include "kit/widgets/StyleHelpers.h"

#include <QWidget>

// The settings controls' shared text look.
constexpr int kSettingsControlFont = 7;
constexpr int kDisabledTextAlpha = 100;

// The radio button's style sheet, from the kit's radio images; both product lines use it.
QString settingsRadioButtonStyle();

// Window text in the colour for every group; the disabled group at alpha 100.
inline void applyControlTextPalette(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setBrush(QPalette::All, QPalette::WindowText, colour);
    QColor disabled = colour;
    disabled.setAlpha(kDisabledTextAlpha);
    palette.setBrush(QPalette::Disabled, QPalette::WindowText, disabled);
    widget->setPalette(palette);
}
