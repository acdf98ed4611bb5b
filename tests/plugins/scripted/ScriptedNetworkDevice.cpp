#include "tests/plugins/scripted/ScriptedNetworkDevice.h"

#include "tests/plugins/scripted/ScriptedPictures.h"

ScriptedNetworkDevice::ScriptedNetworkDevice(Family* family, const BonjourInfo& info)
    : VisibleDevice(family), info_(info)
{
}

QString ScriptedNetworkDevice::name()
{
    // A browsed record has no address until it is resolved.
    if (info_.host.empty())
        return displayName();
    return QString::fromStdString(info_.host) + QLatin1Char(':') + QString::number(info_.port);
}

QPixmap ScriptedNetworkDevice::image()
{
    return drawnProduct(QSize(400, 300), displayName());
}

QPixmap ScriptedNetworkDevice::thumbnail()
{
    return drawnProduct(QSize(80, 60), displayName());
}

QPixmap ScriptedNetworkDevice::galleryConnectionIcon()
{
    return drawnNetworkIcon(20, QColor(146, 146, 146));
}

QPixmap ScriptedNetworkDevice::cardConnectionIcon()
{
    return drawnNetworkIcon(28, QColor(208, 208, 208));
}
