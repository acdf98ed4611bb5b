#include "kit/framework/Family.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/VisibleDevice.h"
#include "kit/widgets/CommonDialog.h"

#include <QEvent>
#include <QLabel>

Family::EventReceiverWindow::EventReceiverWindow(Family* owner) : QWidget(nullptr, Qt::WindowFlags()), owner_(owner) {}

Family::EventReceiverWindow::~EventReceiverWindow()
{
    if (id_ != platform::kNoWindow)
        platform::unregisterTarget(id_);
}

platform::WindowId Family::EventReceiverWindow::windowId()
{
    if (id_ == platform::kNoWindow)
        id_ = platform::registerQtTarget(this);
    return id_;
}

bool Family::EventReceiverWindow::event(QEvent* event)
{
    if (MSG* msg = platform::messageOf(event)) {
        long result = 0;
        nativeEvent(QByteArray(platform::kMessageEventType), msg, &result);
        return true;
    }
    return QWidget::event(event);
}

bool Family::EventReceiverWindow::nativeEvent(const QByteArray& eventType, void* message, long* result)
{
    if (eventType != platform::kMessageEventType || !message)
        return false;
    MSG* msg = static_cast<MSG*>(message);
    if (msg->message != platform::WM_DEVICECHANGE)
        return false;
    if (!owner_->handleDeviceChange(msg))
        return false;
    *result = 1;
    return true;
}

Family::Family(QObject* hostWindow) : QObject(hostWindow), hostWindow_(hostWindow), eventWindow_(this) {}

CommonDialog* Family::closeRefusal() const { return closeRefusal_.data(); }

void Family::showCloseRefusal(QWidget* window, const QString& title, const QString& heading, const QString& message)
{
    if (!closeRefusal_) {
        closeRefusal_ = new CommonDialog(title, window);
        closeRefusal_->setSingleButton(tr("OK"));
        connect(closeRefusal_, &CommonDialog::closeClicked, closeRefusal_, &QWidget::close);
    }
    closeRefusal_->titleLabel()->setText(title);
    closeRefusal_->setTitleAndMessage(heading, message);
    closeRefusal_->show();
    closeRefusal_->raise();
}

Family::~Family() = default;

QWidget* Family::listViewWidget(DeviceList*, QWidget*)
{
    return nullptr;
}

void Family::setAccentColour(const QColor& colour)
{
    brandingAccentColour() = colour;
}

bool Family::onBonjourDeviceResolved(const BonjourInfo&, bool, QString, QString, int)
{
    return false;
}

void Family::onCrossMenuOptionSelected(QString) {}

bool Family::handleDeviceChange(MSG*)
{
    return false;
}

WId Family::eventWindowId()
{
    return static_cast<WId>(eventWindow_.windowId());
}

void Family::onDeviceSelected(VisibleDevice* device)
{
    selectedDevice_ = (device && device->family() == this) ? device : nullptr;
}
