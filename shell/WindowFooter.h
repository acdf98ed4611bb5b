#pragma once

#include <QFrame>
#include <QStringList>

class DeviceList;
class DotsWidget;
class FooterLeftRegion;
class ViewSelectionBar;
class VisibleDevice;

// The strip at the bottom of the window: cross menu, hidden hot spot, page dots and, with a
// list view, the gallery/list toggle.
class WindowFooter : public QFrame {
    Q_OBJECT
public:
    WindowFooter(DeviceList* list, QWidget* parent, bool hasListView);

    void setCrossMenuOptions(const QStringList& texts);
    void updateVisibility();
    // The window shows the dots with the gallery and hides them with the list view.
    void setDotsVisible(bool visible);

    FooterLeftRegion* leftRegion() const { return leftRegion_; }
    DotsWidget* dots() const { return dots_; }
    ViewSelectionBar* viewSelectionBar() const { return viewBar_; }

signals:
    void crossMenuOptionSelected(QString text);
    void easterEggClicked();
    void galleryViewSelected();
    void listViewSelected();

public slots:
    void onDeviceListChanged(VisibleDevice* device);

private:
    FooterLeftRegion* leftRegion_;
    DotsWidget* dots_;
    ViewSelectionBar* viewBar_ = nullptr;
    DeviceList* list_;
};
