#pragma once

#include "kit/framework/BonjourInfo.h"
#include "shell/AddressQuery.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QVector>

#include <memory>

class AddByIpAddressDialog;
class Family;
class QWidget;

// Adds a network device by its address: asks it for the default service type, then for each
// type the families browse, until one answers, and reports the answer. One query at a time;
// every query's completions carry its number, and any but the held query's are ignored.
class AddByIpAddressController : public QObject {
    Q_OBJECT
public:
    // Inert: every query fails at once.
    AddByIpAddressController(QWidget* window, const QVector<Family*>* families);
    AddByIpAddressController(QWidget* window, const QVector<Family*>* families, AddressQueryMaker makeQuery);
    ~AddByIpAddressController() override;

    virtual void showDialog();
    void closeDialog();
    void query(const QString& serviceName);

    AddByIpAddressDialog* dialog() const;
    bool isQuerying() const { return query_ != nullptr; }

signals:
    void deviceAddedByIP(BonjourInfo info);

public slots:
    void onAdd();
    void onBusyCancelled();
    void onClosed();
    void onBonjourInfoQueryReceived(quint64 queryNumber, bool success, BonjourInfo result);

protected:
    QWidget* window_;
    const QVector<Family*>* families_;

private:
    void dropQuery();

    QPointer<AddByIpAddressDialog> dialog_;
    std::unique_ptr<AddressQuery> query_;
    quint64 queryNumber_ = 0; // of the held query; numbers start at 1
    int connectionId_ = -1;
    QSet<QString> remainingTypes_;
    AddressQueryMaker makeQuery_;
};
