#pragma once

#include <QString>

class QLabel;
class QWidget;

// Geometry shared by the single and paired gain rows.
namespace GainRowStyle {

constexpr int kRowWidth = 620;
constexpr int kCaptionX = 30;
constexpr int kCaptionY = 7;
constexpr int kCaptionWidth = 160;
constexpr int kCaptionFont = 3;
constexpr int kSliderX = 205;
constexpr int kValueX = 480;
constexpr int kValueYOffset = 8;
constexpr int kValueWidth = 60;
constexpr int kGainMinimum = 0;
constexpr int kGainMaximum = 255;

// The right-aligned grey caption at (kCaptionX, y).
QLabel* createCaption(const QString& text, int y, QWidget* parent);

} // namespace GainRowStyle
