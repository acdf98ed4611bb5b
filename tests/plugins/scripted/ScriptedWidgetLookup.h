#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QList>
#include <QString>
#include <QWidget>

// Across the plug-in boundary widgets are found by class name: each side has its own kit, so
// the other side's classes cannot be cast to.
namespace scriptedlookup {

inline QWidget* visibleWidgetOfClass(QWidget* window, const char* className)
{
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (widget->inherits(className) && widget->isVisible())
            return widget;
    }
    return nullptr;
}

inline QAbstractButton* visibleButton(QWidget* parent, const QString& text)
{
    const QList<QAbstractButton*> buttons = parent->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons) {
        if (button->text() == text && button->isVisible())
            return button;
    }
    return nullptr;
}

inline bool showsLabel(QWidget* parent, const QString& text)
{
    const QList<QLabel*> labels = parent->findChildren<QLabel*>();
    for (QLabel* label : labels) {
        if (label->text() == text && label->isVisible())
            return true;
    }
    return false;
}

} // namespace scriptedlookup
