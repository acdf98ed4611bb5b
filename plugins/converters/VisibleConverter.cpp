#include "plugins/converters/VisibleConverter.h"

#include "converters/IConverter.h"
#include "plugins/converters/ConverterProducts.h"
#include "plugins/converters/firmware/VisibleUSBFirmwareUpdater.h"
#include "plugins/converters/settings/ConverterConnection.h"

#include <QCoreApplication>
#include <QIcon>

namespace {

QPixmap iconPixmap(const QString& resource)
{
    const QIcon icon(resource);
    const QList<QSize> sizes = icon.availableSizes();
    if (sizes.isEmpty())
        return QPixmap();
    return icon.pixmap(sizes.first());
}

} // namespace

VisibleConverter::VisibleConverter(Family* family, TWG::Converters::IConverter* device,
                                   TWG::Converters::XmegaLoaderNotifier* notifier)
    : VisibleDevice(family), device_(device), notifier_(notifier)
{
    device_->addRef();
    std::uint16_t ids[2] = {0, 0};
    if (device_->getDeviceIds(ids))
        setProductId(ids[0]);
    refreshPoweredState();
}

VisibleConverter::~VisibleConverter()
{
    device_->release();
    // A running update reports failure now; the updater goes once its thread has finished.
    if (updater_)
        updater_->retire();
}

QString VisibleConverter::displayName()
{
    return powered_ ? shortName_ : QCoreApplication::translate("VisibleConverter", "No power connected");
}

QPixmap VisibleConverter::galleryConnectionIcon()
{
    return iconPixmap(QStringLiteral(":/Launcher_Connection_USB"));
}

QPixmap VisibleConverter::cardConnectionIcon()
{
    return iconPixmap(QStringLiteral(":/Card_Connection_USB"));
}

DeviceFirmwareUpdater* VisibleConverter::firmwareUpdater()
{
    if (!updater_)
        updater_ = new VisibleUSBFirmwareUpdater(device_, notifier_);
    return updater_;
}

void VisibleConverter::setProductId(std::uint16_t productId)
{
    productId_ = productId;
    const ConverterProduct product = converterProduct(productId);
    shortName_ = product.shortName;
    fullName_ = product.fullName;
    picture_ = product.picture.isEmpty() ? QPixmap() : QPixmap(product.picture);
    thumbnail_ = product.thumbnail.isEmpty() ? QPixmap() : QPixmap(product.thumbnail);
}

void VisibleConverter::refreshPoweredState()
{
    bool powered = false;
    powered_ = device_->isPowered(&powered) && powered;
}

ConverterConnection* VisibleConverter::createConnection()
{
    return new ConverterConnection(this, device_);
}
