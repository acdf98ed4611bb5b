#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QWidget;
class ScriptedFamily;
class ScriptedNetworkFamily;

// Drives the program for pictures: after a delay it opens what TWG_SCRIPTED_SHOT names
// ("gallery", "card", "update-dialog", "update-progress", "unplugged", "demo-tab", "about",
// "build-details", and the add-by-IP dialog: "add-by-ip" as it opens, "add-by-ip-checking",
// "add-by-ip-not-found", "add-by-ip-added"), grabs the main window (or the host's dialog) to the
// PNG file TWG_SCRIPTED_SHOT_PATH and ends the program. Does nothing without a path.
// TWG_SCRIPTED_SHOT_DELAY_MS sets the delay (default 500). The add-by-IP shots type the address
// TWG_SCRIPTED_ADD_ADDRESS and log the cross menu and each dialog state they see; they need the
// network family (TWG_SCRIPTED_SERVICE_TYPE). "browsed" waits for the network family's first
// device, found by DNS-SD browsing, and logs the name the gallery shows. "quit-resolving" takes
// no picture: it has the host resolve and look up names nobody answers for, and ends the program
// 200 ms later with both pending.
class ScriptedAutomation : public QObject {
    Q_OBJECT
public:
    static void startFromEnvironment(ScriptedFamily* family);

private:
    ScriptedAutomation(ScriptedFamily* family, const QString& shot, const QString& path);

    QWidget* hostWindow() const;
    void act();
    void openHostDialog();
    void addByIp();
    void showBrowsed();
    void quitResolving();
    // Null, logged and the program ended without the network family.
    ScriptedNetworkFamily* networkFamily();
    // Runs then() once done() answers true; ends the program after kAddWaitMs without it.
    void pollUntil(std::function<bool()> done, const QString& waitingFor, std::function<void()> then);
    // Null: the host window.
    void grabAndQuit(QWidget* widget = nullptr);

    ScriptedFamily* family_;
    QString shot_;
    QString path_;
};
