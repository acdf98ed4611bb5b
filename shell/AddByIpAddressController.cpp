#include "shell/AddByIpAddressController.h"

#include <QWidget>

AddByIpAddressController::AddByIpAddressController(QWidget* window, const QVector<Family*>* families)
    : QObject(window), window_(window), families_(families)
{
}

void AddByIpAddressController::showDialog() {}
