#pragma once

#include "kit/framework/StatusPage.h"

#include <memory>

class CardFooter;

namespace TWG {
namespace Zanthic {

class D2CardTabbedPages;
class ZanthicConvertersConnectedDevice;

// The Zanthic settings page: a row of tabs over their pages, and Cancel and Save. Both end the
// connection (and so the card) once every tab has written back or sent its settings.
class D2SettingsPage : public StatusPage {
    Q_OBJECT
public:
    D2SettingsPage(QWidget* card, std::shared_ptr<ZanthicConvertersConnectedDevice> device);

    int addTab(QWidget* tab, const QString& title, int side);

    D2CardTabbedPages* tabs() const { return tabs_; }
    CardFooter* footer() const { return footer_; }
    const std::shared_ptr<ZanthicConvertersConnectedDevice>& device() const { return device_; }

signals:
    void closePage();
    void settingsButtonPushed();
    void menuOptionPressed(int tag);
    void settingsTabSelected(int tab);

public slots:
    virtual void onCancelPressed();
    virtual void onSavePressed();

private:
    void closeThroughDevice();

    std::shared_ptr<ZanthicConvertersConnectedDevice> device_;
    D2CardTabbedPages* tabs_;
    CardFooter* footer_;
};

// Builds a connected device's settings page on its card (a ProductCard), adds it there and
// ties its closing to the card's; returns the page.
QWidget* createD2SettingsPage(ZanthicConvertersConnectedDevice& device, QWidget* card);

} // namespace Zanthic
} // namespace TWG
