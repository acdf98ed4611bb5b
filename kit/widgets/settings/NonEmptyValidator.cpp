#include "kit/widgets/settings/NonEmptyValidator.h"

NonEmptyValidator::NonEmptyValidator(QObject* parent)
    : QValidator(parent)
{
}

QValidator::State NonEmptyValidator::validate(QString& text, int& /*position*/) const
{
    return text.isEmpty() ? Intermediate : Acceptable;
}
