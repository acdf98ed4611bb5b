#pragma once

#include "converters/IConverterNotifier.h"
#include "kit/framework/Family.h"

#include <QList>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QWidget;
class VisibleConverter;
class VisibleUSBFirmwareUpdater;

// The classic converters as one family: finds them through the converter notifier, keeps
// watching the ones without external power and opens a card for the one the user picks.
class ConverterFamily : public Family, public TWG::Converters::IConverterNotifier::NotificationDelegate {
    Q_OBJECT
public:
    using NotifierFactory = std::function<std::unique_ptr<TWG::Converters::IConverterNotifier>()>;

    // The factory makes the notifier on the first startDeviceDetection; the default is the
    // process's converter notifier.
    explicit ConverterFamily(QWidget* hostWindow, NotifierFactory notifierFactory = NotifierFactory());
    ~ConverterFamily() override;

    // Refuses, and says why, while an update runs (its application load included): a
    // converter's programming is never cut short by the program closing.
    bool canClose() override;
    // Waits, with the event loop turning, until every update the family started has ended: an
    // XMEGA application load and the programming thread after it; called before the family goes.
    void shutdown() override;
    QString familyName() override;
    void startDeviceDetection() override;
    void showDevice(VisibleDevice* device) override;
    QString buildInformation() override;
    bool handleDeviceChange(MSG* message) override;

    void onConverterArrived(TWG::Converters::IConverter* device) override;
    void onConverterRemoved(TWG::Converters::IConverter* device) override;

    const QList<VisibleConverter*>& converters() const { return converters_; }
    bool isPolling() const { return pollTimer_.isActive(); }
    // An update of a listed converter, or of one that went, has not ended yet.
    bool isUpdating() const;
    TWG::Converters::IConverterNotifier* notifier() const { return notifier_.get(); }

public slots:
    void checkUnpoweredDevices();

private:
    void startPolling();
    // The updaters of the listed converters and those of converters that went mid-update.
    QList<VisibleUSBFirmwareUpdater*> knownUpdaters() const;

    QWidget* const hostWindow_;
    NotifierFactory notifierFactory_;
    std::unique_ptr<TWG::Converters::IConverterNotifier> notifier_;
    QList<VisibleConverter*> converters_;
    QTimer pollTimer_;
    // Retired with their converter, they delete themselves once their thread has finished.
    QList<QPointer<VisibleUSBFirmwareUpdater>> retiring_;
};
