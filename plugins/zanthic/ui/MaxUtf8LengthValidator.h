#pragma once

#include <QValidator>

namespace TWG {
namespace Zanthic {

// A text of at most (maximum - 1) UTF-8 bytes, the room a device's zero-terminated text field
// leaves. Leading and trailing white space and the empty text are refused unless allowed.
class MaxUtf8LengthValidator : public QValidator {
    Q_OBJECT
public:
    enum Flag { AllowEmpty = 1, AllowLeadingSpace = 2, AllowTrailingSpace = 4 };

    MaxUtf8LengthValidator(int maximum, int flags, QObject* parent = nullptr);

    State validate(QString& text, int& position) const override;
    void fixup(QString& text) const override;

    int byteLimit() const { return byteLimit_; }
    int flags() const { return flags_; }

private:
    int byteLimit_;
    int flags_;
};

// The device-name validator the Setup tab shares: 63 bytes, empty allowed, no outer spaces.
MaxUtf8LengthValidator* sharedDeviceNameValidator();

} // namespace Zanthic
} // namespace TWG
