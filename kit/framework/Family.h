#pragma once

#include "kit/framework/BonjourInfo.h"
#include "platform/Messages.h"

#include <QColor>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QWidget>

class CommonDialog;
class DeviceList;
class VisibleDevice;

using MSG = platform::MSG;
// WId carries a platform::WindowId here: a registry number, never a native handle.

// A device family: what a plug-in gives the host. The host drives it through its signals and
// virtual operations; every virtual has a harmless default.
class Family : public QObject {
    Q_OBJECT
public:
    // Passes device-change messages posted to the family's window to handleDeviceChange.
    class EventReceiverWindow : public QWidget {
    public:
        explicit EventReceiverWindow(Family* owner);
        ~EventReceiverWindow() override;

        // Registers the widget with the message layer on first use.
        platform::WindowId windowId();

    protected:
        bool event(QEvent* event) override;
        bool nativeEvent(const QByteArray& eventType, void* message, long* result) override;

    private:
        Family* owner_;
        platform::WindowId id_ = platform::kNoWindow;
    };

    explicit Family(QObject* hostWindow);
    ~Family() override;

    QObject* hostWindow() const { return hostWindow_; }
    VisibleDevice* selectedDevice() const { return selectedDevice_; }
    // The dialog that said why the program may not close yet; null before the first refusal.
    CommonDialog* closeRefusal() const;

    virtual void shutdown() {}
    virtual QString familyName() { return QString(); }
    virtual bool usesBonjour() { return false; }
    virtual QWidget* listViewWidget(DeviceList* list, QWidget* parent);
    virtual QSet<QString> bonjourServiceTypes() { return QSet<QString>(); }
    virtual void setAccentColour(const QColor& colour);
    virtual void startDeviceDetection() {}
    virtual bool canClose() { return true; }
    virtual bool onBonjourDeviceAdded(const BonjourInfo&) { return false; }
    virtual bool onBonjourDeviceRemoved(const BonjourInfo&) { return false; }
    virtual bool onBonjourDeviceUpdated(const BonjourInfo&) { return false; }
    virtual bool onBonjourDeviceResolved(const BonjourInfo&, bool success, QString hostName, QString ipAddress,
                                         int port);
    virtual void showDevice(VisibleDevice*) {}
    virtual void showControlApp(VisibleDevice*) {}
    virtual void updateFirmware(VisibleDevice*) {}
    virtual QStringList crossMenuOptions() { return QStringList(); }
    virtual void onCrossMenuOptionSelected(QString option);
    virtual QString buildInformation() { return QString(); }
    virtual bool handleDeviceChange(MSG* message);
    // The id of the family's event window; asking for it registers the window.
    virtual WId eventWindowId();

signals:
    void deviceArrived(VisibleDevice* device);
    void deviceRemoved(VisibleDevice* device);
    void deviceInfoChanged(VisibleDevice* device);
    void displayDevice(VisibleDevice* device);
    void bonjourResolveRequested(BonjourInfo info);
    void bonjourResolveRequestedWithPort(BonjourInfo info, int port);
    void crossMenuChanged();
    void badInstall();

public slots:
    void onDeviceSelected(VisibleDevice* device);

protected:
    // For canClose's refusals: says why over window, in one dialog kept for every refusal,
    // titled for what is running.
    void showCloseRefusal(QWidget* window, const QString& title, const QString& heading, const QString& message);

private:
    QObject* hostWindow_;
    QPointer<CommonDialog> closeRefusal_;
    VisibleDevice* selectedDevice_ = nullptr;
    EventReceiverWindow eventWindow_;
};
