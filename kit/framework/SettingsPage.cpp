#include "kit/framework/SettingsPage.h"

#include "kit/branding/BrandingSettings.h"
#include "kit/framework/FrameworkLog.h"
#include "kit/framework/SettingsTab.h"
#include "kit/widgets/TightLayouts.h"
#include "kit/widgets/card/CardFooter.h"
#include "kit/widgets/card/CardSeparator.h"
#include "kit/widgets/card/CardTabbedPages.h"

#include <QStackedWidget>

SettingsPage::SettingsPage(QWidget* parent)
    : StatusPage(parent), tabs_(new CardTabbedPages(brandingAccentColour(), this)), footer_(new CardFooter(this))
{
    auto* layout = new TightVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addWidget(new CardSeparatorDark(this));
    layout->addWidget(footer_);

    connect(tabs_, &CardTabbedPages::settingsStatusChanged, this, &SettingsPage::onTabSettingsStatusChange);
    connect(footer_, &CardFooter::cancelPressed, this, &SettingsPage::onCancelPressed);
    connect(footer_, &CardFooter::savePressed, this, &SettingsPage::onSavePressed);
    connect(footer_, &CardFooter::menuOptionPressed, this, &SettingsPage::menuOptionPressed);
}

int SettingsPage::addTab(QWidget* tab, QString title)
{
    auto* settingsTab = qobject_cast<SettingsTab*>(tab);
    if (!settingsTab) {
        qCWarning(lcKitFramework) << "Not a settings tab:" << title;
        return -1;
    }
    return tabs_->addPage(settingsTab, title);
}

void SettingsPage::onTabSettingsStatusChange()
{
    footer_->setSaveEnabledForStatus(tabs_->overallStatus());
}

void SettingsPage::onCancelPressed()
{
    revertChanges();
    emit closePage();
}

void SettingsPage::onSavePressed()
{
    // Taking the focus away makes an open editor commit the text typed into it.
    footer_->setFocus(Qt::OtherFocusReason);
    commitChanges();
    emit closePage();
}

void SettingsPage::setCurrentTab(int index)
{
    tabs_->setCurrentIndex(index);
}

int SettingsPage::currentTab() const
{
    return tabs_->stack()->currentIndex();
}

void SettingsPage::showCloseOnly()
{
    footer_->showCloseOnly();
}

void SettingsPage::setFooterButtonsVisible(bool visible)
{
    footer_->setButtonsVisible(visible);
}

void SettingsPage::setFooterWidgetVisible(bool visible)
{
    footer_->setSettingsButtonVisible(visible);
}
