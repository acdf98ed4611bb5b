#pragma once

#include "converters/IConverterNotifier.h"
#include "kit/framework/DeviceFirmwareUpdater.h"

#include <memory>

class ConverterFirmwareUpdater;
class FirmwareUpdateThread;

// A classic converter's firmware update as the card's controller drives it: the decision, the
// XMEGA application load and the programming thread. Lives with its VisibleConverter, which
// retires it when the converter goes; it may run any number of updates.
class VisibleUSBFirmwareUpdater : public DeviceFirmwareUpdater,
                                  public TWG::Converters::XmegaLoaderNotifier::LoadXmegaBinaryDelegate {
    Q_OBJECT
public:
    VisibleUSBFirmwareUpdater(TWG::Converters::IConverter* device, TWG::Converters::XmegaLoaderNotifier* notifier,
                              QObject* parent = nullptr);
    // With a given updater (null: none), for tests.
    VisibleUSBFirmwareUpdater(std::unique_ptr<ConverterFirmwareUpdater> updater,
                              TWG::Converters::XmegaLoaderNotifier* notifier, QObject* parent = nullptr);
    ~VisibleUSBFirmwareUpdater() override;

    bool firmwareIsCurrent() override;
    void startUpdate() override;
    void onXmegaBinaryLoaded(TWG::Converters::IConverter* converter, bool ok) override;

    // The converter is going: a running update is reported failed at once and its thread's
    // own report suppressed. The object deletes itself once its thread has finished (or the
    // application load has reported), never waiting on the GUI thread.
    void retire();

    bool isUpdating() const { return phase_ != Phase::Idle; }
    FirmwareUpdateThread* thread() const { return thread_; }

public slots:
    void onFirmwareUpdateCompletion(int status);

private:
    enum class Phase { Idle, LoadingBinary, Running };

    void startThread();
    void onThreadFinished();

    FirmwareUpdateThread* thread_;
    TWG::Converters::XmegaLoaderNotifier* const notifier_;
    Phase phase_ = Phase::Idle;
    // A retry asked for while the last run's thread was still winding down.
    bool startWhenFinished_ = false;
    bool retired_ = false;
};
