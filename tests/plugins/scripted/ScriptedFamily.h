#pragma once

#include "kit/framework/Family.h"

#include <QPointer>
#include <QVector>

class ScriptedDevice;
class ScriptedProductCard;

// The family of the scripted devices: they all arrive when detection starts.
class ScriptedFamily : public Family {
    Q_OBJECT
public:
    explicit ScriptedFamily(QWidget* hostWindow);
    ~ScriptedFamily() override;

    QString familyName() override { return QStringLiteral("Scripted"); }
    void startDeviceDetection() override;
    void showDevice(VisibleDevice* device) override;
    void updateFirmware(VisibleDevice* device) override;
    void shutdown() override;
    // The options named by TWG_SCRIPTED_CROSS_MENU, separated by ";".
    QStringList crossMenuOptions() override;
    void onCrossMenuOptionSelected(QString option) override;

    // The device goes away: an open card for it shows the connection as lost, the host forgets
    // it, then it is deleted (a running update is stopped first).
    void unplug(ScriptedDevice* device);

    const QVector<ScriptedDevice*>& devices() const { return devices_; }
    ScriptedProductCard* openCard() const;
    QWidget* window() const { return window_; }

private:
    void closeCard();

    QWidget* window_;
    QVector<ScriptedDevice*> devices_;
    QPointer<ScriptedProductCard> card_;
    bool detecting_ = false;
};
