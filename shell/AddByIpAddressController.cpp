#include "shell/AddByIpAddressController.h"

#include "discovery/DnsWire.h"
#include "kit/framework/Family.h"
#include "shell/AddByIpAddressDialog.h"

#include <QLoggingCategory>
#include <QMetaObject>
#include <QWidget>

Q_LOGGING_CATEGORY(lcAddByIp, "vantorel.shell.addbyip")

namespace {

constexpr int kQueryTimeoutMs = 2000;

// What the default factory's controller asks: nothing, and it fails at once.
class InertQuery : public AddressQuery {
public:
    Finished& finished() override { return finished_; }
    void query(const std::string&, int, const std::string&) override { finished_(false, BonjourInfo()); }

private:
    Finished finished_;
};

} // namespace

AddByIpAddressController::AddByIpAddressController(QWidget* window, const QVector<Family*>* families)
    : AddByIpAddressController(window, families, [] { return std::make_unique<InertQuery>(); })
{
}

AddByIpAddressController::AddByIpAddressController(QWidget* window, const QVector<Family*>* families,
                                                   AddressQueryMaker makeQuery)
    : QObject(window), window_(window), families_(families), makeQuery_(std::move(makeQuery))
{
}

AddByIpAddressController::~AddByIpAddressController()
{
    dropQuery();
    if (dialog_) {
        dialog_->hide();
        dialog_->deleteLater();
    }
}

void AddByIpAddressController::showDialog()
{
    if (!dialog_) {
        dialog_ = new AddByIpAddressDialog(window_);
        connect(dialog_, &AddByIpAddressDialog::addDevice, this, &AddByIpAddressController::onAdd);
        connect(dialog_, &AddByIpAddressDialog::addCancelled, this, &AddByIpAddressController::onBusyCancelled);
        connect(dialog_, &AddByIpAddressDialog::closeClicked, this, &AddByIpAddressController::onClosed);
    }
    dialog_->setBusy(AddByIpAddressDialog::Input);
    dialog_->show();
}

void AddByIpAddressController::onAdd()
{
    if (!dialog_)
        return;
    dialog_->setBusy(AddByIpAddressDialog::Checking);
    remainingTypes_.clear();
    for (Family* family : *families_)
        remainingTypes_.unite(family->bonjourServiceTypes());
    query(QString());
}

void AddByIpAddressController::query(const QString& serviceName)
{
    dropQuery();
    // The completion crosses threads by a queued call with these types.
    registerBonjourInfoMetaType();
    qRegisterMetaType<quint64>("quint64");
    query_ = makeQuery_();
    const quint64 number = ++queryNumber_;
    // Connected before the query goes out: a reply may come before query() returns.
    connectionId_ = query_->finished().connect([this, number](bool ok, const BonjourInfo& info) {
        QMetaObject::invokeMethod(this, "onBonjourInfoQueryReceived", Qt::QueuedConnection, Q_ARG(quint64, number),
                                  Q_ARG(bool, ok), Q_ARG(BonjourInfo, info));
    });
    const QString name = serviceName.isEmpty() ? QString::fromLatin1(TWG::Dns::kDefaultServiceName) : serviceName;
    const QString address = dialog_ ? dialog_->address() : QString();
    query_->query(address.toUtf8().toStdString(), kQueryTimeoutMs, name.toUtf8().toStdString());
}

void AddByIpAddressController::onBonjourInfoQueryReceived(quint64 queryNumber, bool success, BonjourInfo result)
{
    // A late completion of a dropped query, or a second one of this query.
    if (!query_ || queryNumber != queryNumber_)
        return;
    dropQuery();
    if (success) {
        emit deviceAddedByIP(result);
        closeDialog();
        return;
    }
    if (!remainingTypes_.isEmpty()) {
        const QString type = *remainingTypes_.begin();
        remainingTypes_.remove(type);
        const QString name = type + QStringLiteral(".local");
        qCDebug(lcAddByIp).noquote() << "Looking for service: " + name;
        query(name);
        return;
    }
    if (dialog_)
        dialog_->setBusy(AddByIpAddressDialog::NotFound);
}

void AddByIpAddressController::closeDialog()
{
    dropQuery();
    if (dialog_) {
        dialog_->setBusy(AddByIpAddressDialog::Input);
        dialog_->hide();
    }
}

void AddByIpAddressController::onBusyCancelled()
{
    closeDialog();
}

void AddByIpAddressController::onClosed()
{
    closeDialog();
}

void AddByIpAddressController::dropQuery()
{
    if (!query_)
        return;
    // After the disconnect no slot of this query runs; completions already queued find another
    // number held, or none.
    query_->finished().disconnect(connectionId_);
    connectionId_ = -1;
    query_.reset();
}

AddByIpAddressDialog* AddByIpAddressController::dialog() const
{
    return dialog_;
}
