#include "plugins/converters/settings/ConverterSettingsPage.h"

#include "converters/IConverter.h"
#include "plugins/converters/settings/AboutSettingsTab.h"
#include "plugins/converters/settings/AudioSettingsTab.h"
#include "plugins/converters/settings/ConverterConnection.h"
#include "plugins/converters/settings/DviExtenderSettingsTab.h"
#include "plugins/converters/settings/TallySettingsTab.h"
#include "plugins/converters/settings/VideoSettingsTab.h"

namespace {

using TWG::Converters::IConverter;

bool capable(IConverter* device, bool (IConverter::*query)(bool*))
{
    bool answer = false;
    return device && (device->*query)(&answer) && answer;
}

// Any one failing query means no Video tab, even if others answered yes.
bool wantsVideoTab(IConverter* device)
{
    if (!device)
        return false;
    bool any = false;
    for (auto query : {&IConverter::hasVideoGains, &IConverter::hasClamping, &IConverter::hasVideoLevel,
                       &IConverter::hasDownconversion, &IConverter::hasSdAspect}) {
        bool answer = false;
        if (!(device->*query)(&answer))
            return false;
        any = any || answer;
    }
    return any;
}

} // namespace

ConverterSettingsPage::ConverterSettingsPage(ConverterConnection* owner, QWidget* parent)
    : SettingsPage(parent), owner_(owner)
{
    setFooterWidgetVisible(false);
    setFooterButtonsVisible(true);

    IConverter* device = owner_ ? owner_->device() : nullptr;
    if (wantsVideoTab(device))
        addConverterTab(new VideoSettingsTab(owner_), tr("Video"));
    if (capable(device, &IConverter::hasAudio))
        addConverterTab(new AudioSettingsTab(owner_), tr("Audio"));
    if (capable(device, &IConverter::hasTally))
        addConverterTab(new TallySettingsTab(owner_), tr("Tally"));
    if (capable(device, &IConverter::hasDviExtender))
        addConverterTab(new DviExtenderSettingsTab(owner_), tr("DVI Extender"));

    bool adjustable = true;
    bool answer = true;
    if (device && device->hasAdjustableSettings(&answer) && !answer) {
        adjustable = false;
        showCloseOnly();
    }
    addConverterTab(new AboutSettingsTab(owner_, adjustable), tr("About"));
}

void ConverterSettingsPage::addConverterTab(ConverterSettingsTab* tab, const QString& title)
{
    addTab(tab, title);
    tabList_.append(tab);
}

void ConverterSettingsPage::closeWhenSent()
{
    if (owner_)
        connect(owner_, &ConverterConnection::allChangesSent, this, &ConverterSettingsPage::onAllChangesSent,
                Qt::UniqueConnection);
}

void ConverterSettingsPage::onSavePressed()
{
    closeWhenSent();
    commitChanges();
    if (owner_)
        owner_->sendAllChanges();
    else
        emit closePage();
}

void ConverterSettingsPage::onCancelPressed()
{
    closeWhenSent();
    revertChanges();
    if (owner_)
        owner_->sendAllChanges();
    else
        emit closePage();
}

void ConverterSettingsPage::onAllChangesSent()
{
    emit closePage();
}

void ConverterSettingsPage::commitChanges()
{
    for (ConverterSettingsTab* tab : qAsConst(tabList_))
        tab->commitChanges();
}

void ConverterSettingsPage::revertChanges()
{
    for (ConverterSettingsTab* tab : qAsConst(tabList_))
        tab->revertChanges();
}
