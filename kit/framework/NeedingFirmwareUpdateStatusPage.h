#pragma once

#include "kit/framework/StatusPage.h"

// Shown for a device that must be updated first; the plug-in that shows it builds its content.
class NeedingFirmwareUpdateStatusPage : public StatusPage {
    Q_OBJECT
public:
    explicit NeedingFirmwareUpdateStatusPage(QWidget* parent = nullptr) : StatusPage(parent) {}

signals:
    void updateRequested();
    void updateDeclined();
};
