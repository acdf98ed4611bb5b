#include "usb/package/PackageLog.h"

Q_LOGGING_CATEGORY(lcTwgUsbPackage, "twg.usb.package")
