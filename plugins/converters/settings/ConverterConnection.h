#pragma once

#include <QObject>

class VisibleConverter;

namespace TWG {
namespace Converters {
class IConverter;
}
} // namespace TWG

// How the settings page and its tabs reach one converter. The converter's card makes a new one
// each time the device (re)appears and deletes it when the device goes.
class ConverterConnection : public QObject {
    Q_OBJECT
public:
    // Neither is owned; the device's reference is the visible converter's.
    ConverterConnection(VisibleConverter* converter, TWG::Converters::IConverter* device,
                        QObject* parent = nullptr);

    VisibleConverter* converter() const { return converter_; }
    virtual TWG::Converters::IConverter* device() const { return device_; }
    // Every control writes as it changes, so nothing is ever pending: announces at once.
    virtual void sendAllChanges();

signals:
    void firmwareUpdateRequestedSignal();
    void allChangesSent();

private:
    VisibleConverter* converter_;
    TWG::Converters::IConverter* device_;
};
