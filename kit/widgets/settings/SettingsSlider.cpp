#include "kit/widgets/settings/SettingsSlider.h"

#include "kit/widgets/StyleHelpers.h"

#include <QKeyEvent>
#include <QWheelEvent>

namespace {
constexpr int kWidth = 260;
constexpr int kHeight = 30;

const QString& sliderStyle()
{
    static const QString style =
        QStringLiteral(
            "QSlider::groove:horizontal { border: none; height: 22px; background: none; "
            "margin-top: -9px; margin-bottom: -10px; }"
            "QSlider::handle:horizontal { image: url(:/Radio); }"
            "QSlider::handle:horizontal:hover { image: url(:/Radio_Hover); }"
            "QSlider::handle:horizontal::disabled { image: url(:/Radio_Disabled); }"
            "QSlider::handle:horizontal:hover::disabled { image: url(:/Radio_Disabled); }"
            "QSlider::sub-page:horizontal { background: %1; }"
            "QSlider::sub-page:horizontal::disabled { background: %2; }"
            "QSlider::add-page:horizontal { background: %2; }"
            "QSlider::sub-page:horizontal:disabled { background: %3; }"
            "QSlider::add-page:horizontal:disabled { background: %3; }")
            .arg(colourToHex(kitColourControl()), colourToHex(kitColourBorder()),
                 colourToHex(kitColourLightFill()));
    return style;
}
}

SettingsSlider::SettingsSlider(QWidget* parent)
    : QSlider(Qt::Horizontal, parent)
{
    setStyleSheet(sliderStyle());
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::ClickFocus);
}

void SettingsSlider::setRange(int minimum, int maximum)
{
    QSlider::setRange(minimum, maximum);
}

void SettingsSlider::keyPressEvent(QKeyEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QSlider::keyPressEvent(event);
}

void SettingsSlider::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    QSlider::wheelEvent(event);
}
