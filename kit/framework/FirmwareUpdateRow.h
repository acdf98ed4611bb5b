#pragma once

#include <QFrame>

class CardPushButton;

// The settings row that shows the device's software version and, when the plug-in carries a
// newer one, offers the update.
class FirmwareUpdateRow : public QFrame {
    Q_OBJECT
public:
    FirmwareUpdateRow(const QString& deviceVersion, const QString& availableVersion,
                      bool updateAvailable, bool incompatible, QWidget* parent);

    // Null unless an update is offered.
    CardPushButton* updateButton() const { return updateButton_; }

signals:
    void updateFirmware();

private:
    void addVersionLine(int y, const QString& caption, const QString& version);

    CardPushButton* updateButton_ = nullptr;
};
