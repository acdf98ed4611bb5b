#include "converters/ConverterLog.h"

Q_LOGGING_CATEGORY(lcConverters, "twg.converters")
