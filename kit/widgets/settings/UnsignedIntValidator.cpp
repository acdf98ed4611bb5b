#include "kit/widgets/settings/UnsignedIntValidator.h"

QLocale kitNumberLocale()
{
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

UnsignedIntValidator::UnsignedIntValidator(int bottom, int top, QObject* parent)
    : QIntValidator(bottom, top, parent)
{
    setLocale(kitNumberLocale());
}

QValidator::State UnsignedIntValidator::validate(QString& text, int& position) const
{
    if (text.isEmpty())
        return Intermediate;
    const QChar first = text.at(0);
    if (first < QLatin1Char('1') || first > QLatin1Char('9'))
        return Invalid;
    return QIntValidator::validate(text, position);
}
