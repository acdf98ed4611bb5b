#pragma once

#include <QPushButton>

// The dark push button of the gallery's software page ("Update Now").
class LauncherPushButton : public QPushButton {
    Q_OBJECT
public:
    LauncherPushButton(const QString& text, QWidget* parent);

    static QString launcherStyleSheet();
};
