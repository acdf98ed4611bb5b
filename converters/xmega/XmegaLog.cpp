#include "converters/xmega/XmegaLog.h"

Q_LOGGING_CATEGORY(lcXmega, "twg.converters.xmega")
