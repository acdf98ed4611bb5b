#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAbstractButton;
class QWidget;

namespace platform {
class SimBackend;
class SimDevice;
} // namespace platform

// Drives the program as a technician would, then saves the main window to a PNG and ends the
// program. Read from the environment:
//   TWG_SHOT_PATH     the PNG to write (required)
//   TWG_SHOT          "gallery", "power" (the unpowered TWG_SHOT_PRODUCT gets power, then the
//                     gallery), "tab" (open the device, show tab TWG_SHOT_TAB), "lost" (as tab,
//                     then unplug TWG_SHOT_PRODUCT), "replug" (as lost, then plug it back in),
//                     "build-details" (the dialog alone, on its family tab TWG_SHOT_TAB),
//                     "update" (open an out-of-date device: its update prompt; with TWG_SHOT_TAB
//                     1, accept it and wait for the completed update), "connecting" (open the
//                     device and take the card as it first shows, before the device answers),
//                     "bootloader" (hold TWG_SHOT_PRODUCT, a simulated STM32 converter, in its
//                     DFU bootloader as a failed update leaves it, then as "update"),
//                     "factory-reset" (as tab, then press "Factory Reset": its question),
//                     "lut-transfer" (as tab, then "Import" a LUT file of its own making and
//                     take the upload's progress part-way; the device needs a slow upload)
//   TWG_SHOT_DEVICE   the gallery name of the device to step to (default: the first)
//   TWG_SHOT_PRODUCT  USB product id of the simulated device to power, unplug, plug back or hold
//   TWG_SHOT_TAB      tab index of the settings page (-1: a page without tabs) or the
//                     build-details dialog (default 0)
// Every wait is for a visible outcome with a deadline; a missed one ends the program with 4.
class ShotDriver : public QObject {
    Q_OBJECT
public:
    static bool startFromEnvironment(QWidget* hostWindow);

private:
    ShotDriver(QWidget* hostWindow);

    void selectDevice();
    void act();
    void openTab(const std::function<void()>& next);
    void unplug(const std::function<void()>& next);
    void replug();
    void powerOn();
    void showBuildDetails();
    void update();
    void openConnecting();
    void holdInBootloader(const std::function<void()>& next);
    void askFactoryReset();
    void importLut();
    QString writeLutFile() const;
    void grabAndQuit();
    void fail(const QString& why);

    // Runs next once done() answers true, polling; fails with why after the deadline.
    void waitFor(const std::function<bool()>& done, const QString& why, const std::function<void()>& next);

    QWidget* galleryNameLabel() const;
    QWidget* visibleLostDialog() const;
    QWidget* buildDetailsDialog() const;
    QWidget* visibleDialog(const char* className) const;
    QAbstractButton* visibleButton(const QString& text) const;
    std::vector<QWidget*> tabButtons() const;
    bool visibleFooter() const;
    platform::SimBackend* bus() const;

    QWidget* const host_;
    QString shot_;
    QString path_;
    QString device_;
    std::uint16_t product_ = 0;
    int tab_ = 0;
    int steps_ = 0;
    bool held_ = false;
    std::vector<std::shared_ptr<platform::SimDevice>> unplugged_;
    QPointer<QWidget> grabbed_;
};
