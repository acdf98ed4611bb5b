#pragma once

#include <QWidget>

class ElidedLabel;
class QLabel;
class VisibleDevice;

// The dark top of a product card: the device's name, its second line and its connection icon.
class CardHeader : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 620;
    static constexpr int kHeight = 100;

    CardHeader(VisibleDevice* device, QWidget* parent = nullptr);

    // Takes the name, the second line and the icon from the device again.
    void fillFromDevice(VisibleDevice* device);

    ElidedLabel* nameLabel() const { return nameLabel_; }
    ElidedLabel* secondLabel() const { return secondLabel_; }
    QLabel* iconLabel() const { return iconLabel_; }

signals:
    void showEasterEgg();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    ElidedLabel* nameLabel_;
    ElidedLabel* secondLabel_;
    QLabel* iconLabel_;
};
