#pragma once

#include "kit/framework/ProductCard.h"
#include "plugins/zanthic/device/ConnectionState.h"

#include <memory>

namespace TWG {
namespace Zanthic {

class ConnectedDevice;
class ConnectionLostDialog;
class D2VisibleDevice;

// A Zanthic device's card: "Connecting..." until its connected device is Connected, then the
// settings page; the connection-lost dialog when a connection that was up goes down. It acts
// only on its current connected device, and closes when it has none. Under a LUT upload to the
// device its pages stay, so the upload's progress and result are seen, until the upload ends.
class D2ProductCard : public ProductCard {
    Q_OBJECT
public:
    // Connects to the device's active path.
    D2ProductCard(D2VisibleDevice* device, QWidget* hostWindow);
    D2ProductCard(D2VisibleDevice* device, std::shared_ptr<ConnectedDevice> connected, QWidget* hostWindow);

    void setConnectedDevice(std::shared_ptr<ConnectedDevice> device);
    const std::shared_ptr<ConnectedDevice>& connectedDevice() const { return connected_; }
    ConnectionLostDialog* lostDialog() const { return lostDialog_; }

    // The report of the card's hidden information request.
    QString deviceInformationText() const;

signals:
    void firmwareUpdateRequested(bool confirm);

public slots:
    void onConnectionLostDialogClosed();
    void onConnectionChanged(TWG::Zanthic::ConnectionState state);
    void onShowProductEasterEgg() override;

private:
    void applyState(ConnectionState state);
    void onUploadEnded();
    void removePages();

    std::shared_ptr<ConnectedDevice> connected_;
    ConnectionLostDialog* lostDialog_;
    QWidget* hostWindow_;
    bool wasConnected_ = false;
    // The state the pages show; a change that comes under a LUT upload waits for its end.
    ConnectionState shown_ = Idle;
    bool awaitingUpload_ = false;
};

} // namespace Zanthic
} // namespace TWG
