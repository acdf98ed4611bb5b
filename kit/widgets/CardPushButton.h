#pragma once

#include <QPushButton>

// The kit's push button: grey gradient, rounded border, font 7; the default button's border is
// the accent colour.
class CardPushButton : public QPushButton {
    Q_OBJECT
public:
    CardPushButton(const QString& text, QWidget* parent, int width, int height);
};
