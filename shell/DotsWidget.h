#pragma once

#include <QFrame>
#include <QList>
#include <QPixmap>

class DeviceList;
class FlatImageButton;
class TightHBoxLayout;
class VisibleDevice;

// One dot per listed device, the current device's dot lit; a click selects that device.
class DotsWidget : public QFrame {
    Q_OBJECT
public:
    DotsWidget(DeviceList* list, QWidget* parent);

    const QList<FlatImageButton*>& dots() const { return dots_; }
    FlatImageButton* currentDot() const { return currentDot_; }

public slots:
    void onDotClicked();
    void onDeviceListChanged(VisibleDevice* device);

private:
    void updateVisibility();
    void updatePixmaps();

    TightHBoxLayout* row_;
    QList<FlatImageButton*> dots_;
    QPixmap offImage_;
    QPixmap onImage_;
    FlatImageButton* currentDot_ = nullptr;
    DeviceList* list_;
};
