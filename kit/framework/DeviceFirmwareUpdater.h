#pragma once

#include <QObject>

// A device's update task as the interface sees it. The object lives in the GUI thread; the
// task may emit its signals from its own thread, and they then arrive queued. An implementation
// stops a running task and waits for its thread before it is destroyed; a report already queued
// may still arrive afterwards, so receivers tell their current run from an abandoned one.
class DeviceFirmwareUpdater : public QObject {
    Q_OBJECT
public:
    enum Status : int { Succeeded = 0, Failed = 1 };

    explicit DeviceFirmwareUpdater(QObject* parent = nullptr) : QObject(parent) {}

    // True when no update is needed or possible.
    virtual bool firmwareIsCurrent() = 0;
    // Starts the update in the background; the result arrives through firmwareUpdated.
    virtual void startUpdate() = 0;

signals:
    void isFirmwareCurrent(bool isCurrent);
    // 0 success, 1 failure.
    void firmwareUpdated(int status);
    // 0-100; negative while the task cannot tell how far it is.
    void firmwareUpdateProgress(int percent);
};
