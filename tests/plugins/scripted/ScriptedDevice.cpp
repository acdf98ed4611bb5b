#include "tests/plugins/scripted/ScriptedDevice.h"

#include "tests/plugins/scripted/ScriptedUpdater.h"

#include <QLinearGradient>
#include <QPainter>

namespace {

QPixmap drawnProduct(const QSize& size, const QString& label)
{
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF box(size.width() * 0.1, size.height() * 0.3, size.width() * 0.8, size.height() * 0.4);
    QLinearGradient gradient(box.topLeft(), box.bottomLeft());
    gradient.setColorAt(0, QColor(90, 90, 90));
    gradient.setColorAt(1, QColor(40, 40, 40));
    painter.setBrush(gradient);
    painter.setPen(QPen(QColor(30, 30, 30), 2));
    painter.drawRoundedRect(box, 8, 8);
    painter.setPen(QColor(220, 220, 220));
    QFont font = painter.font();
    font.setPixelSize(qMax(8, size.height() / 14));
    painter.setFont(font);
    painter.drawText(box, Qt::AlignCenter | Qt::TextWordWrap, label);
    return pixmap;
}

QPixmap drawnUsbIcon(int size, const QColor& colour)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour, 2));
    painter.drawRoundedRect(QRectF(2, size * 0.3, size - 4, size * 0.4), 3, 3);
    painter.drawLine(QPointF(size * 0.25, size * 0.5), QPointF(size * 0.75, size * 0.5));
    return pixmap;
}

} // namespace

ScriptedDevice::ScriptedDevice(Family* family, const ScriptedDeviceSpec& spec)
    : VisibleDevice(family), spec_(spec),
      updater_(new ScriptedUpdater(spec.firmwareCurrent, spec.updateSucceeds, spec.updateSteps, spec.updateStepMs))
{
}

ScriptedDevice::~ScriptedDevice()
{
    delete updater_;
}

QPixmap ScriptedDevice::image()
{
    return drawnProduct(QSize(400, 300), spec_.displayName);
}

QPixmap ScriptedDevice::thumbnail()
{
    return drawnProduct(QSize(80, 60), spec_.displayName);
}

QPixmap ScriptedDevice::galleryConnectionIcon()
{
    return drawnUsbIcon(20, QColor(146, 146, 146));
}

QPixmap ScriptedDevice::cardConnectionIcon()
{
    return drawnUsbIcon(28, QColor(208, 208, 208));
}

bool ScriptedDevice::showsSoftwareStatus()
{
    return spec_.showsSoftwareStatus && !updater_->firmwareIsCurrent();
}

QString ScriptedDevice::softwareVersion()
{
    return updater_->firmwareIsCurrent() ? spec_.availableVersion : spec_.softwareVersion;
}

bool ScriptedDevice::isFirmwareUpdateAvailable()
{
    return !updater_->firmwareIsCurrent();
}

DeviceFirmwareUpdater* ScriptedDevice::firmwareUpdater()
{
    return updater_;
}
