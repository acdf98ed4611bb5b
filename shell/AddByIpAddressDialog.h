#pragma once

#include "kit/widgets/VantorelDialog.h"

class BusyButton;
class CardPushButton;
class DialogLineEdit;
class QWidget;

// Asks for a device's IPv4 address; shows the checking and not-found states its controller sets.
class AddByIpAddressDialog : public VantorelDialog {
    Q_OBJECT
public:
    enum State { Input = 0, Checking = 1, NotFound = 2 };

    explicit AddByIpAddressDialog(QWidget* parent);

    QString address() const;
    // Any other value changes nothing.
    void setBusy(int state);

    DialogLineEdit* addressField() const { return address_; }
    CardPushButton* addButton() const { return addButton_; }
    CardPushButton* cancelButton() const { return cancelButton_; }
    CardPushButton* closeButton() const { return closeButton_; }
    BusyButton* busyButton() const { return busyButton_; }
    QWidget* inputRow() const { return inputRow_; }
    QWidget* busyRow() const { return busyRow_; }
    QWidget* notFoundRow() const { return notFoundRow_; }
    QWidget* buttonRow() const { return buttonRow_; }
    QWidget* closeRow() const { return closeRow_; }

signals:
    void addDevice();
    void addCancelled();
    void closeClicked();

public slots:
    void checkAddressValid();
    void onCloseClicked();

private:
    DialogLineEdit* address_;
    QWidget* inputRow_;
    QWidget* busyRow_;
    QWidget* notFoundRow_;
    QWidget* buttonRow_;
    QWidget* closeRow_;
    CardPushButton* addButton_;
    CardPushButton* cancelButton_;
    CardPushButton* closeButton_;
    BusyButton* busyButton_;
};
