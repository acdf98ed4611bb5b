#pragma once

#include <QValidator>

// Any text but the empty one; the empty text is Intermediate.
class NonEmptyValidator : public QValidator {
    Q_OBJECT
public:
    explicit NonEmptyValidator(QObject* parent = nullptr);

    State validate(QString& text, int& position) const override;
};
