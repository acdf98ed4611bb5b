#include "plugins/zanthic/ui/D2ProductCard.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/ConnectingStatusPage.h"
#include "kit/widgets/card/CardHeader.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/device/PotentialDevice.h"
#include "plugins/zanthic/ui/ConnectingPageContent.h"
#include "plugins/zanthic/ui/ConnectionLostDialog.h"
#include "plugins/zanthic/ui/D2VisibleDevice.h"
#include "plugins/zanthic/ui/InfoText.h"
#include "plugins/zanthic/ui/LutTransferThread.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyle>

namespace TWG {
namespace Zanthic {

namespace {

constexpr int kInfoMinimumWidth = 600;
constexpr int kInfoMinimumHeight = 300;

QString connectionStateText(int state)
{
    switch (state) {
    case Idle: return QStringLiteral("Idle");
    case Connecting: return QStringLiteral("Connecting");
    case Connected: return QStringLiteral("Connected");
    case Interrupted: return QStringLiteral("Interrupted");
    default: return QStringLiteral("?");
    }
}

} // namespace

D2ProductCard::D2ProductCard(D2VisibleDevice* device, QWidget* hostWindow)
    : D2ProductCard(device, device ? device->connect() : nullptr, hostWindow)
{
}

D2ProductCard::D2ProductCard(D2VisibleDevice* device, std::shared_ptr<ConnectedDevice> connected, QWidget* hostWindow)
    : ProductCard(device, hostWindow, brandingAccentColour()),
      lostDialog_(new ConnectionLostDialog(this, device ? device->modelName() : QString())),
      hostWindow_(hostWindow)
{
    lostDialog_->hide();
    qRegisterMetaType<TWG::Zanthic::ConnectionState>("TWG::Zanthic::ConnectionState");
    connect(this, &D2ProductCard::firmwareUpdateRequested, this, &QWidget::close);
    connect(lostDialog_, &CommonDialog::closeClicked, lostDialog_, &QWidget::close);
    connect(lostDialog_, &CommonDialog::closeClicked, this, &D2ProductCard::onConnectionLostDialogClosed);
    setConnectedDevice(std::move(connected));
}

void D2ProductCard::setConnectedDevice(std::shared_ptr<ConnectedDevice> device)
{
    if (connected_)
        disconnect(connected_.get(), &ConnectedDevice::connectionStateChanged, this, &D2ProductCard::onConnectionChanged);
    connected_ = std::move(device);
    wasConnected_ = false;
    if (!connected_) {
        // Nothing to show or to press: the card goes rather than cover the window empty.
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    connect(connected_.get(), &ConnectedDevice::connectionStateChanged, this, &D2ProductCard::onConnectionChanged,
            Qt::QueuedConnection);
    applyState(connected_->connectionState());
}

void D2ProductCard::onConnectionChanged(ConnectionState state)
{
    // A change the previous device posted before it was let go still arrives.
    if (!connected_ || sender() != connected_.get())
        return;
    applyState(state);
}

void D2ProductCard::removePages()
{
    while (QWidget* page = pages()->currentWidget()) {
        pages()->removeWidget(page);
        page->hide();
        page->deleteLater();
    }
}

void D2ProductCard::applyState(ConnectionState state)
{
    // The upload's page holds its progress and then its result: the card shows the state the
    // device has come to once the upload has told it.
    if (LutTransferThread* upload = LutTransferThread::runningFor(connected_.get())) {
        if (!awaitingUpload_) {
            awaitingUpload_ = true;
            connect(upload, &LutTransferThread::transferred, this, &D2ProductCard::onUploadEnded, Qt::QueuedConnection);
        }
        return;
    }
    shown_ = state;
    removePages();
    if (state == Connected) {
        lostDialog_->hide();
        if (QWidget* page = connected_->createSettingsPage(this))
            showPage(page);
        wasConnected_ = true;
        return;
    }
    auto* page = new ConnectingStatusPage;
    buildConnectingPageContent(page);
    connect(page, &ConnectingStatusPage::connectionCancelled, this, &QWidget::close);
    addPage(page);
    showPage(page);
    if (wasConnected_) {
        wasConnected_ = false;
        lostDialog_->setConnectionType(connected_->connectionType());
        lostDialog_->setConnectionState(state);
        lostDialog_->show();
        lostDialog_->raise();
    }
}

void D2ProductCard::onUploadEnded()
{
    awaitingUpload_ = false;
    if (connected_ && connected_->connectionState() != shown_)
        applyState(connected_->connectionState());
}

void D2ProductCard::onConnectionLostDialogClosed()
{
    auto* owner = connected_ && connected_->owner() ? qobject_cast<D2VisibleDevice*>(connected_->owner()->ownerObject())
                                                    : nullptr;
    if (owner && owner->activeDevice()) {
        setConnectedDevice(owner->connect());
        header()->fillFromDevice(owner);
        return;
    }
    close();
}

QString D2ProductCard::deviceInformationText() const
{
    QString text = QStringLiteral("** Device Information:\n\n");
    const std::shared_ptr<PotentialDevice> potential = connected_ ? connected_->potentialDevice() : nullptr;
    const ModelInfo* info = potential ? potential->findModelInfo() : nullptr;
    text += infoLine(QStringLiteral("Model Name"), info ? info->fullName : QString());
    text += infoLine(QStringLiteral("Device Name"), potential ? potential->deviceName() : QString());
    text += infoLine(QStringLiteral("Unique ID"), potential ? potential->serial() : QString());
    text += infoLine(QStringLiteral("Product Id"), hex4(potential ? potential->productId() : 0));
    text += infoLine(QStringLiteral("Hardware Revision"), hex4(potential ? potential->hardwareId() : 0));
    text += infoLine(QStringLiteral("Firmware Build"), potential ? potential->buildId() : QString());
    text += infoLine(QStringLiteral("Release Version"), potential ? potential->releaseVersion() : QString());
    text += infoLine(QStringLiteral("Connection Type"), connectionTypeText(connected_ ? connected_->connectionType() : 0));
    text += infoLine(QStringLiteral("Connection State"),
                 connectionStateText(connected_ ? connected_->connectionState() : Idle));
    text += infoLine(QStringLiteral("Connection Info"), connected_ ? connected_->connectionInfo() : QString());
    text += QLatin1Char('\n');
    text += QStringLiteral("** Available Firmware:\n\n");
    text += infoLine(QStringLiteral("Firmware Build"), info ? info->firmwareVersion : QString());
    text += infoLine(QStringLiteral("Release Version"), info ? info->releaseVersion : QString());
    text += QLatin1Char('\n');
    return text;
}

void D2ProductCard::onShowProductEasterEgg()
{
    QMessageBox box;
    auto* label = new QLabel(deviceInformationText());
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (!font.fixedPitch())
        font = QFont(QStringLiteral("courier"));
    label->setFont(font);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setWordWrap(true);
    label->setMinimumWidth(kInfoMinimumWidth);
    auto* scroll = new QScrollArea;
    scroll->setMinimumSize(kInfoMinimumWidth, kInfoMinimumHeight);
    scroll->setWidget(label);
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addWidget(scroll, 1, 0, 1, grid->columnCount());
    box.setStandardButtons(QMessageBox::Close);
    QPushButton* force = box.addButton(tr("Force Update"), QMessageBox::ApplyRole);
    force->setIcon(style()->standardIcon(QStyle::SP_MessageBoxCritical));
    box.exec();
    if (box.clickedButton() == force)
        emit firmwareUpdateRequested(false);
}

} // namespace Zanthic
} // namespace TWG
