#pragma once

#include <QString>

class IpAddressValidator;
class NonEmptyValidator;
class UnsignedIntValidator;

// Process-wide validators that line edits share without owning them (no parent; they live to
// the end of the process).
IpAddressValidator* sharedIpAddressValidator();
IpAddressValidator* sharedSecondIpAddressValidator();
NonEmptyValidator* sharedNonEmptyValidator();
// 1024 to 49151, the registered port range.
UnsignedIntValidator* sharedPortValidator();

// The address an empty address field starts with.
const QString& defaultIpAddress();
