#pragma once

#include <QObject>
#include <QString>

class QWidget;
class ScriptedFamily;

// Drives the program for pictures: after a delay it opens what TWG_SCRIPTED_SHOT names
// ("gallery", "card", "update-dialog", "update-progress", "unplugged", "demo-tab", "about",
// "build-details"), grabs the main window (or the host's dialog) to the PNG file
// TWG_SCRIPTED_SHOT_PATH and ends the program. Does nothing without a path.
// TWG_SCRIPTED_SHOT_DELAY_MS sets the delay (default 500).
class ScriptedAutomation : public QObject {
    Q_OBJECT
public:
    static void startFromEnvironment(ScriptedFamily* family);

private:
    ScriptedAutomation(ScriptedFamily* family, const QString& shot, const QString& path);

    QWidget* hostWindow() const;
    void act();
    void openHostDialog();
    // Null: the host window.
    void grabAndQuit(QWidget* widget = nullptr);

    ScriptedFamily* family_;
    QString shot_;
    QString path_;
};
