#include "plugins/zanthic/ui/D2SettingsPage.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/ProductCard.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/CardFooter.h"
#include "kit/widgets/card/CardSeparator.h"
#include "plugins/zanthic/device/ConnectedDevice.h"
#include "plugins/zanthic/ui/D2CardTabbedPages.h"
#include "plugins/zanthic/ui/D2SettingsTab.h"

#include <QStackedWidget>

namespace TWG {
namespace Zanthic {

D2SettingsPage::D2SettingsPage(QWidget* card, std::shared_ptr<ZanthicConvertersConnectedDevice> device)
    : StatusPage(card),
      device_(std::move(device)),
      tabs_(new D2CardTabbedPages(brandingAccentColour(), this)),
      footer_(new CardFooter(this))
{
    auto* column = new TightVBoxLayout(this);
    column->addWidget(tabs_);
    column->addWidget(new CardSeparatorDark(this));
    column->addWidget(footer_);

    connect(tabs_, &D2CardTabbedPages::tabSelected, this, &D2SettingsPage::settingsTabSelected);
    connect(footer_, &CardFooter::cancelPressed, this, &D2SettingsPage::onCancelPressed);
    connect(footer_, &CardFooter::savePressed, this, &D2SettingsPage::onSavePressed);
    connect(footer_, &CardFooter::menuOptionPressed, this, &D2SettingsPage::menuOptionPressed);
    connect(footer_, &CardFooter::settingsButtonPushed, this, &D2SettingsPage::settingsButtonPushed);
    footer_->setSettingsButtonVisible(false);
}

int D2SettingsPage::addTab(QWidget* tab, const QString& title, int side) { return tabs_->addPage(tab, title, side); }

void D2SettingsPage::onCancelPressed()
{
    for (int i = 0; i < tabs_->stack()->count(); ++i)
        if (auto* tab = qobject_cast<D2SettingsTab*>(tabs_->stack()->widget(i)))
            tab->revertSettings();
    closeThroughDevice();
}

void D2SettingsPage::onSavePressed()
{
    // An edited field loses the focus first, so its text is final when the tabs send.
    footer_->setFocus(Qt::OtherFocusReason);
    for (int i = 0; i < tabs_->stack()->count(); ++i)
        if (auto* tab = qobject_cast<D2SettingsTab*>(tabs_->stack()->widget(i)))
            tab->applySettings();
    closeThroughDevice();
}

void D2SettingsPage::closeThroughDevice()
{
    if (!device_) {
        emit closePage();
        return;
    }
    connect(device_.get(), &ConnectedDevice::disconnected, this, &D2SettingsPage::closePage, Qt::UniqueConnection);
    device_->notifyDisconnected();
}

QWidget* createD2SettingsPage(ZanthicConvertersConnectedDevice& device, QWidget* card)
{
    auto self = std::static_pointer_cast<ZanthicConvertersConnectedDevice>(device.shared_from_this());
    auto* page = new D2SettingsPage(card, self);
    // The Setup and LUTs tabs join here with the settings work.
    if (auto* productCard = qobject_cast<ProductCard*>(card)) {
        productCard->addPage(page);
        QObject::connect(page, &D2SettingsPage::closePage, productCard, &QWidget::close);
    }
    return page;
}

} // namespace Zanthic
} // namespace TWG
