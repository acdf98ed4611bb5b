#pragma once

#include "kit/framework/BonjourInfo.h"

#include <QObject>
#include <QVector>

class Family;
class QWidget;

// Adds a network device by its address. Holds the dialog's place until the unicast query
// exists; showDialog then opens the dialog.
class AddByIpAddressController : public QObject {
    Q_OBJECT
public:
    AddByIpAddressController(QWidget* window, const QVector<Family*>* families);

    virtual void showDialog();

signals:
    void deviceAddedByIP(BonjourInfo info);

protected:
    QWidget* window_;
    const QVector<Family*>* families_;
};
