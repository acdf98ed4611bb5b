#include "converters/fx2/Fx2Log.h"

Q_LOGGING_CATEGORY(lcTwgFx2, "twg.converters.fx2")
