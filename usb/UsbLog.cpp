#include "usb/UsbLog.h"

Q_LOGGING_CATEGORY(lcTwgUsb, "twg.usb")
