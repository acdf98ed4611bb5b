#include "plugins/converters/lut/LutLog.h"

Q_LOGGING_CATEGORY(lcLut, "twg.ostrel.lut")
