#pragma once

#include <QRegExp>
#include <QRegExpValidator>

// A dotted IPv4 address; partial addresses such as "192.168." are Intermediate.
class IpAddressValidator : public QRegExpValidator {
    Q_OBJECT
public:
    explicit IpAddressValidator(QObject* parent = nullptr);

    State validate(QString& text, int& position) const override;

private:
    QRegExp partial_;
};
