#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

class DeviceFirmwareUpdater;
class FirmwareUpdateDialog;
class QWidget;
class VisibleDevice;

// Asks the user about a firmware update, runs the device's updater, follows its progress and
// ends with a result code that the card reads after firmwareUpdated().
class FirmwareUpdateController : public QObject {
    Q_OBJECT
public:
    enum Result : int {
        NoDevice = 0,
        Busy = 1,
        NoUpdater = 2,
        Declined = 4,
        Failed = 5,
        Completed = 6, // or the firmware was already current
    };

    // The parent widget is the dialog's parent; the card that creates the controller owns it.
    explicit FirmwareUpdateController(QWidget* parentWidget, QObject* parent = nullptr);
    ~FirmwareUpdateController() override;

    void promptForUpdate(VisibleDevice* device);
    // Hides the dialog and forgets the device; a running task's late reports are ignored.
    void closeDialog();

    int result() const { return result_; }
    VisibleDevice* device() const { return device_; }
    FirmwareUpdateDialog* dialog() const;

signals:
    void firmwareUpdated();

public slots:
    void onAcceptClicked();
    void onDeclineClicked();
    void onCloseClicked();
    void onFirmwareUpdateTermination(int status);

private:
    void finish(int result);
    void forget();
    void disconnectUpdater();

    DeviceFirmwareUpdater* updater_ = nullptr;
    QPointer<FirmwareUpdateDialog> dialog_;
    QPointer<QWidget> parentWidget_;
    VisibleDevice* device_ = nullptr;
    int result_ = NoDevice;

    bool updating_ = false;
    // Tells the current run's reports from the late ones of a run that was abandoned.
    quint64 run_ = 0;
    QMetaObject::Connection resultConnection_;
    QMetaObject::Connection progressConnection_;
};
