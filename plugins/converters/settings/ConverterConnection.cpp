#include "plugins/converters/settings/ConverterConnection.h"

ConverterConnection::ConverterConnection(VisibleConverter* converter,
                                         TWG::Converters::IConverter* device, QObject* parent)
    : QObject(parent), converter_(converter), device_(device)
{
}

void ConverterConnection::sendAllChanges()
{
    emit allChangesSent();
}
