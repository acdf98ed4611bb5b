#include "kit/widgets/settings/IpAddressValidator.h"

namespace {
const QString kOctet = QStringLiteral("(25[0-5]|2[0-4][0-9]|[01]?[0-9]?[0-9])");
const QString kDot = QStringLiteral("\\.");
}

IpAddressValidator::IpAddressValidator(QObject* parent)
    : QRegExpValidator(parent)
    , partial_(kOctet + QStringLiteral("?(") + kDot + kOctet + QStringLiteral("?){,3}"),
               Qt::CaseSensitive, QRegExp::RegExp)
{
    setRegExp(QRegExp(kOctet + kDot + kOctet + kDot + kOctet + kDot + kOctet, Qt::CaseSensitive,
                      QRegExp::RegExp));
}

QValidator::State IpAddressValidator::validate(QString& text, int& position) const
{
    const int remembered = position;
    const State state = QRegExpValidator::validate(text, position);
    if (state != Invalid)
        return state;
    if (partial_.exactMatch(text)) {
        position = remembered;
        return Intermediate;
    }
    return Invalid;
}
