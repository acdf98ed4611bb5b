#include "plugins/converters/firmware/FirmwareLog.h"

Q_LOGGING_CATEGORY(lcConverterFirmware, "ostrel.firmware")
