#include "kit/widgets/settings/SharedValidators.h"

#include "kit/widgets/settings/IpAddressValidator.h"
#include "kit/widgets/settings/NonEmptyValidator.h"
#include "kit/widgets/settings/UnsignedIntValidator.h"

namespace {
constexpr int kPortBottom = 1024;
constexpr int kPortTop = 49151;
}

IpAddressValidator* sharedIpAddressValidator()
{
    static IpAddressValidator validator;
    return &validator;
}

IpAddressValidator* sharedSecondIpAddressValidator()
{
    static IpAddressValidator validator;
    return &validator;
}

NonEmptyValidator* sharedNonEmptyValidator()
{
    static NonEmptyValidator validator;
    return &validator;
}

UnsignedIntValidator* sharedPortValidator()
{
    static UnsignedIntValidator validator(kPortBottom, kPortTop);
    return &validator;
}

const QString& defaultIpAddress()
{
    static const QString address = QStringLiteral("0.0.0.0");
    return address;
}
