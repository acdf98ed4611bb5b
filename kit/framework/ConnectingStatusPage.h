#pragma once

#include "kit/framework/StatusPage.h"

// Shown while a device connects; the plug-in that shows it builds its content.
class ConnectingStatusPage : public StatusPage {
    Q_OBJECT
public:
    explicit ConnectingStatusPage(QWidget* parent = nullptr) : StatusPage(parent) {}

signals:
    void connectionCancelled();
};
