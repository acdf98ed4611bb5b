#pragma once

#include <QFrame>
#include <QStringList>

class CrossMenu;
class FlatImageButton;
class SecretButton;

// The footer's left corner: the cross button with its menu, and the hidden hot spot.
class FooterLeftRegion : public QFrame {
    Q_OBJECT
public:
    explicit FooterLeftRegion(QWidget* parent);

    void setOptions(const QStringList& texts);

    FlatImageButton* crossButton() const { return crossButton_; }
    CrossMenu* crossMenu() const { return crossMenu_; }
    SecretButton* hotSpot() const { return hotSpot_; }

signals:
    void crossMenuOptionSelected(QString text);
    void easterEggClicked();

public slots:
    void onCrossButtonClicked();

private:
    QStringList options_;
    CrossMenu* crossMenu_;
    FlatImageButton* crossButton_;
    SecretButton* hotSpot_;
};
