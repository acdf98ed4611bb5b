#pragma once

#include <QIntValidator>

// An unsigned decimal number in [bottom, top], written without sign, leading zero or group
// separators. Parsed in the C locale, as the callers read the text back with toInt.
class UnsignedIntValidator : public QIntValidator {
    Q_OBJECT
public:
    UnsignedIntValidator(int bottom, int top, QObject* parent = nullptr);

    State validate(QString& text, int& position) const override;
};

// The C locale with group separators refused: what the kit's numeric validators parse with.
QLocale kitNumberLocale();
