#include "kit/widgets/settings/SettingsSliderLabel.h"

#include "kit/widgets/settings/SettingsControlStyle.h"

namespace {
constexpr int kHeight = 25;
}

SettingsSliderLabel::SettingsSliderLabel(QWidget* parent)
    : QLabel(parent)
{
    applyControlTextPalette(this, kitColourInactiveText());
    setFont(kitFont(kSettingsControlFont));
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setFixedHeight(kHeight);
}
