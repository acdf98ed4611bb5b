#pragma once

#include "kit/framework/StatusPage.h"

class CardFooter;
class CardTabbedPages;

// The tabbed settings page of a card: tabs over a footer with Cancel and Save. Derived pages
// write the device's values in commitChanges and restore them in revertChanges.
class SettingsPage : public StatusPage {
    Q_OBJECT
public:
    explicit SettingsPage(QWidget* parent = nullptr);

    // The tab must be a SettingsTab; returns its index, -1 for anything else.
    virtual int addTab(QWidget* tab, QString title);

    void setCurrentTab(int index);
    int currentTab() const;
    void showCloseOnly();
    void setFooterButtonsVisible(bool visible);
    void setFooterWidgetVisible(bool visible);

    CardTabbedPages* tabs() const { return tabs_; }
    CardFooter* footer() const { return footer_; }

signals:
    void closePage();
    void menuOptionPressed(int tag);

public slots:
    virtual void onTabSettingsStatusChange();
    virtual void onCancelPressed();
    virtual void onSavePressed();

protected:
    virtual void commitChanges() {}
    virtual void revertChanges() {}
    virtual void extensionHook() {}

private:
    CardTabbedPages* tabs_;
    CardFooter* footer_;
};
