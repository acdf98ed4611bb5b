#include "kit/widgets/SecretButton.h"

#include <QMouseEvent>

SecretButton::SecretButton(QWidget* parent) : QWidget(parent) {}

void SecretButton::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->modifiers() & Qt::ShiftModifier)
        emit secretClick();
}
